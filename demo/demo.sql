-- The demo database: accounts, their budgets and a journal, with columns of every kind
-- the result grid and the exports handle. Built into build/demo.sqlite by the build.
BEGIN;

CREATE TABLE Mtn_Account (
    AccountNo    VARCHAR(10) NOT NULL PRIMARY KEY,
    AccountName  NVARCHAR(60) NOT NULL,
    AccountType  CHAR(3),
    OpenedOn     DATE,
    Balance      DECIMAL(12,2),
    CreditLimit  BIGINT,
    InterestRate REAL,
    Active       BOOLEAN,
    LastReview   DATETIME,
    CutoffTime   TIME,
    Notes        TEXT,
    Logo         BLOB
);

INSERT INTO Mtn_Account VALUES
 ('A-1001', 'Northwind Traders',           'CUR', '2019-03-14', 15230.75,  5000000000, 0.0125, 1, '2026-01-31 00:00:00', '17:30:00', 'Main operating account', X'89504E470D0A1A0A'),
 ('A-1002', 'Zürich Rückversicherung AG',  'SAV', '2020-11-02', -820.10,   2147483648, 0.035,  1, '2026-02-15 09:45:30', '16:00:00', 'Quarterly review, audited', NULL),
 ('A-1003', 'Société Générale d''Épargne', 'SAV', '2015-06-30', 98765.43,  9007199254740993, 0.0275, 0, '2025-12-31 23:59:59', NULL, 'Says "hold" until further notice', X'00FF10'),
 ('A-1004', 'Ελληνική Τράπεζα',            'CUR', '2021-01-01', 0,         250000,     NULL,   1, NULL,                  '08:15:00', 'Line one' || char(13) || char(10) || 'Line two', NULL),
 ('A-1005', '東京 Trading Co.',             'LOA', '2018-09-09', 1234567.89, -3000000000, 0.061, 1, '2026-03-01 12:00:00', '00:00:00', 'Loan, secured; rate "fixed", review in Q3', NULL),
 ('A-1006', 'Øresund Logistics',           NULL,  NULL,         NULL,      NULL,       NULL,   NULL, NULL,               NULL, NULL, NULL),
 ('A-1007', 'Acme, Inc.',                  'CUR', '2022-07-04', 42.5,      100,        0.0,    0, '2026-04-30 00:00:00', '23:59:59', 'bare line feed' || char(10) || 'second line', NULL),
 ('A-1008', 'Ça va Café',                  'SAV', '1999-12-31', 0.01,      1,          1.5e-7, 1, '2000-01-01 00:00:01', '12:34:56', '', NULL),
 ('A-1009', 'Nordic || Pipe Works',        'CUR', '2023-02-28', 500000,    4294967295, 12.75,  1, '2026-05-20 18:05:00', '18:05:00', 'pipes | single || double', NULL),
 ('A-1010', 'Tab	Separated Ltd',          'LOA', '2010-10-10', -15000,    -1,         1e20,   0, '2024-02-29 00:00:00', '06:00:00', 'Tab	inside', NULL),
 ('A-1011', 'Long Text Holdings',          'SAV', '2012-05-05', 3.14159,   31415926535, 3.141592653589793, 1, '2026-06-01 07:07:07', '07:07:07',
  'This account carries a long note. ' || 'It repeats to make a long text value that is wider than any grid column and longer than most exports expect; ' || 'It repeats to make a long text value that is wider than any grid column and longer than most exports expect; ' || 'It repeats to make a long text value that is wider than any grid column and longer than most exports expect.', NULL),
 ('A-1012', 'Čeština s.r.o.',              'CUR', '2017-08-15', 7777.77,   7777777777, 0.07,   1, '2026-07-15 00:00:00', '10:10:10', 'ends with comma,', NULL);

CREATE TABLE Mtn_AccountBudget (
    BudgetId    INTEGER PRIMARY KEY,
    AccountNo   VARCHAR(10) NOT NULL REFERENCES Mtn_Account(AccountNo),
    FiscalYear  SMALLINT NOT NULL,
    Quarter     INT NOT NULL,
    Amount      DECIMAL(14,2),
    Spent       MONEY,
    Forecast    FLOAT,
    UpdatedAt   TIMESTAMP,
    Comment     VARCHAR(200)
);

-- Four quarters for every account: 48 budget rows.
INSERT INTO Mtn_AccountBudget (AccountNo, FiscalYear, Quarter, Amount, Spent, Forecast, UpdatedAt, Comment)
SELECT a.AccountNo, 2026, q.n,
       round(1000 + (abs(unicode(substr(a.AccountNo, 6, 1))) * 37.5) * q.n, 2),
       CASE WHEN q.n = 4 THEN NULL ELSE round(250.1234 * q.n + length(a.AccountName), 4) END,
       (q.n * 1.1) / 3.0,
       printf('2026-%02d-%02d %02d:00:00', q.n * 3, 1 + q.n, q.n * 5),
       CASE q.n WHEN 1 THEN 'Opening budget' WHEN 2 THEN 'Revised, "approved"' WHEN 3 THEN NULL
            ELSE 'Year end' || char(13) || char(10) || 'closing' END
FROM Mtn_Account a
CROSS JOIN (SELECT 1 AS n UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4) q
ORDER BY a.AccountNo, q.n;

CREATE TABLE Mtn_Journal (
    EntryNo    INTEGER PRIMARY KEY,
    AccountNo  VARCHAR(10) NOT NULL REFERENCES Mtn_Account(AccountNo),
    PostedAt   DATETIME NOT NULL,
    Debit      DECIMAL(12,2),
    Credit     DECIMAL(12,2),
    Memo       NVARCHAR(80)
);

-- 250 journal entries spread over the accounts.
WITH RECURSIVE seq(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM seq WHERE n < 250)
INSERT INTO Mtn_Journal (EntryNo, AccountNo, PostedAt, Debit, Credit, Memo)
SELECT n,
       printf('A-%04d', 1001 + (n % 12)),
       datetime('2026-01-01 08:00:00', printf('+%d hours', n * 7)),
       CASE WHEN n % 3 = 0 THEN NULL ELSE round(n * 12.34, 2) END,
       CASE WHEN n % 3 = 0 THEN round(n * 5.5, 2) ELSE NULL END,
       CASE WHEN n % 10 = 0 THEN 'Überweisung Nr. ' || n ELSE 'Entry ' || n END
FROM seq;

CREATE VIEW Mtn_AccountBalance AS
SELECT a.AccountNo, a.AccountName, sum(coalesce(j.Debit, 0)) - sum(coalesce(j.Credit, 0)) AS Movement
FROM Mtn_Account a LEFT JOIN Mtn_Journal j ON j.AccountNo = a.AccountNo
GROUP BY a.AccountNo, a.AccountName;

COMMIT;
