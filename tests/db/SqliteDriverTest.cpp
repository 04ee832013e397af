#include "SqliteFiles.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/SqliteDriver.h"
#include "db/TransactionGuard.h"
#include "db/ValueFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vnk::db;
using vnk::test::createSqliteFile;
using namespace Qt::StringLiterals;

namespace {

class SqliteTest : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = dir_.filePath(QStringLiteral("test.sqlite"));
        createSqliteFile(file_, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT)");
        conn_.setConnectionString(vnk::test::sqliteConnectionString(file_));
        conn_.open();
    }

    // What Query::open holds.
    std::unique_ptr<ResultSet> open(const char* sql) {
        auto rows = conn_.execute(QString::fromUtf8(sql));
        EXPECT_NE(rows, nullptr) << sql;
        return rows ? ResultSet::fetchAll(*rows) : nullptr;
    }
    void run(const char* sql) { conn_.execute(QString::fromUtf8(sql)); }

    QTemporaryDir dir_;
    QString file_;
    Connection conn_;
};

TEST(SqliteOpen, MissingFileIsAnErrorAndNoFileIsCreated) {
    QTemporaryDir dir;
    const QString relative = QStringLiteral("sub/none.sqlite");
    for (const QString& cs : {QStringLiteral("Provider=SQLite;Data Source=") + relative,
                              QStringLiteral("Provider=SQLite;Data Source=none.sqlite"),
                              QStringLiteral("Provider=SQLite;Data Source=:memory:"),
                              QStringLiteral("Provider=SQLite;Data Source=file:x.db?mode=rwc")}) {
        try {
            openDriver(cs, std::nullopt, dir.path());
            FAIL() << qPrintable(cs);
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().contains(u"does not exist")) << qPrintable(e.message());
        }
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST(SqliteOpen, RelativeDataSourceIsTakenFromTheWorkFolder) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("data"));
    createSqliteFile(dir.filePath(QStringLiteral("data/a b.sqlite")), "CREATE TABLE x(a)");
    Connection conn;
    conn.setWorkFolder(dir.path());
    conn.setConnectionString(QStringLiteral("Provider=SQLite;Data Source='data/a b.sqlite'"));
    conn.open();
    EXPECT_TRUE(conn.isOpen());
    conn.close();
    EXPECT_FALSE(conn.isOpen());
    EXPECT_THROW(conn.execute(QStringLiteral("SELECT 1")), DbError);
}

TEST(SqliteOpen, AFileThatIsNoDatabaseFailsAtConnect) {
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("notes.sqlite")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    try {
        SqliteDriver driver(f.fileName());
        FAIL() << "a text file opened as a database";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), u"file is not a database");
    }
}

TEST(SqliteKinds, DeclaredTypesDecideKindAndSize) {
    const struct {
        const char* decl;
        FieldKind kind;
        int size;
    } cases[] = {
        {"CHAR(10)", FieldKind::FixedChar, 10},
        {"character(3)", FieldKind::FixedChar, 3},
        {"VARCHAR(40)", FieldKind::String, 40},
        {"TEXT", FieldKind::String, 0},
        {"NCHAR(5)", FieldKind::FixedWideChar, 5},
        {"NVARCHAR(60)", FieldKind::WideString, 60},
        {"national character varying ( 7 )", FieldKind::WideString, 7},
        {"CLOB", FieldKind::Memo, 0},
        {"INTEGER", FieldKind::LargeInt, 0},
        {"INT", FieldKind::Integer, 0},
        {"MEDIUMINT", FieldKind::Integer, 0},
        {"SMALLINT", FieldKind::SmallInt, 0},
        {"TINYINT", FieldKind::SmallInt, 0},
        {"BIGINT", FieldKind::LargeInt, 0},
        {"UNSIGNED BIG INT", FieldKind::LargeInt, 0},
        {"REAL", FieldKind::Float, 0},
        {"DOUBLE PRECISION", FieldKind::Float, 0},
        {"DECIMAL(12,2)", FieldKind::Decimal, 0},
        {"NUMERIC", FieldKind::Decimal, 0},
        {"MONEY", FieldKind::Currency, 0},
        {"DATE", FieldKind::Date, 0},
        {"TIME", FieldKind::Time, 0},
        {"DATETIME", FieldKind::DateTime, 0},
        {"TIMESTAMP", FieldKind::DateTime, 0},
        {"BOOLEAN", FieldKind::Boolean, 0},
        {"BLOB", FieldKind::Blob, 0},
        {"VARBINARY(16)", FieldKind::VarBytes, 16},
        {"UNIQUEIDENTIFIER", FieldKind::Guid, 0},
        {"MYINTTYPE", FieldKind::LargeInt, 0},    // SQLite's affinity rules
        {"VARYING STUFF CHAR", FieldKind::String, 0},
        {"JSON", FieldKind::Unknown, 0},          // decided by the values
        {"", FieldKind::Unknown, 0},
    };
    for (const auto& c : cases) {
        const FieldInfo f = fieldFromDeclaredType(c.decl);
        EXPECT_EQ(f.kind, c.kind) << c.decl << ": " << kindName(f.kind);
        EXPECT_EQ(f.size, c.size) << c.decl;
    }
    const FieldInfo d = fieldFromDeclaredType("decimal(12, 2)");
    EXPECT_EQ(d.precision, 12);
    EXPECT_EQ(d.scale, 2);
}

TEST_F(SqliteTest, KindsComeFromColumnsAndFromExpressionValues) {
    run("CREATE TABLE k(c CHAR(4), v VARCHAR(40), n NVARCHAR(60), i INT, b BIGINT, d DECIMAL(12,2),"
        " dt DATETIME, dd DATE, tm TIME, f BOOLEAN, g BLOB, j JSON);"
        "INSERT INTO k VALUES('ab', 'text', 'Zürich', 7, 5000000000, 12, '2024-01-02 03:04:05',"
        " '2024-01-02', '10:30:00', 1, x'00ff', '[1]')");
    auto rs = open("SELECT k.*, 1 AS e1, 1.5 AS e2, 'x' AS e3, x'01' AS e4, NULL AS e5,"
                   " i + 1 AS e6 FROM k");
    const struct {
        const char* name;
        FieldKind kind;
        int size;
    } expected[] = {
        {"c", FieldKind::FixedChar, 4},    {"v", FieldKind::String, 40},
        {"n", FieldKind::WideString, 60},  {"i", FieldKind::Integer, 0},
        {"b", FieldKind::LargeInt, 0},     {"d", FieldKind::Decimal, 0},
        {"dt", FieldKind::DateTime, 0},    {"dd", FieldKind::Date, 0},
        {"tm", FieldKind::Time, 0},        {"f", FieldKind::Boolean, 0},
        {"g", FieldKind::Blob, 0},         {"j", FieldKind::String, 0},
        {"e1", FieldKind::LargeInt, 0},    {"e2", FieldKind::Float, 0},
        {"e3", FieldKind::String, 0},      {"e4", FieldKind::Blob, 0},
        {"e5", FieldKind::String, 0},      {"e6", FieldKind::LargeInt, 0},
    };
    ASSERT_EQ(rs->fieldCount(), static_cast<int>(std::size(expected)));
    for (int i = 0; i < rs->fieldCount(); ++i) {
        EXPECT_EQ(rs->field(i).name, QString::fromUtf8(expected[i].name));
        EXPECT_EQ(rs->field(i).kind, expected[i].kind)
            << expected[i].name << ": " << kindName(rs->field(i).kind);
        EXPECT_EQ(rs->field(i).size, expected[i].size) << expected[i].name;
        EXPECT_GT(rs->field(i).displayWidth, 0) << expected[i].name;
    }
    EXPECT_EQ(rs->displayText(0, 2), u"Zürich");
    EXPECT_EQ(rs->int64At(0, 4), 5000000000LL);
    EXPECT_DOUBLE_EQ(rs->doubleAt(0, 5), 12.0);  // an integer in a decimal column
    EXPECT_EQ(rs->dateTimeAt(0, 6), toDateTimeValue({2024, 1, 2, 3, 4, 5, 0}));
    EXPECT_EQ(rs->dateTimeAt(0, 7), toDateTimeValue({2024, 1, 2}));
    EXPECT_EQ(rs->dateTimeAt(0, 8), toDateTimeValue({1899, 12, 30, 10, 30, 0, 0}));
    EXPECT_TRUE(rs->boolAt(0, 9));
    EXPECT_EQ(rs->bytesAt(0, 10), QByteArray("\x00\xFF", 2));
    EXPECT_TRUE(rs->isNull(0, 16));

    // Without rows the declared types still decide; expressions are text.
    auto none = open("SELECT i, dt, 1 + 1 AS e FROM k WHERE 0");
    EXPECT_EQ(none->recordCount(), 0);
    EXPECT_EQ(none->recNo(), 0);
    EXPECT_EQ(none->field(0).kind, FieldKind::Integer);
    EXPECT_EQ(none->field(1).kind, FieldKind::DateTime);
    EXPECT_EQ(none->field(2).kind, FieldKind::String);
}

// A declared kind holds: the few values it cannot hold are their own text in their own
// cells (the table test in tests/export goes through the sort and the exports as well).
TEST_F(SqliteTest, ValuesADeclaredKindCannotHoldAreTextInTheirCellOnly) {
    run("CREATE TABLE m(i INTEGER, d DATE, f BOOLEAN, s TEXT, r DECIMAL(20,2), big INTEGER);"
        "INSERT INTO m VALUES(1, '2024-01-02', 1, 'a', 1.5, 1);"
        "INSERT INTO m VALUES(2, 'soon', 0, x'00ff', 2, 9007199254740993);"
        "INSERT INTO m VALUES('abc', '2024-01-03 10:00:00', 2, 'c', 9007199254740993, 2.5);"
        "INSERT INTO m VALUES(NULL, NULL, NULL, NULL, NULL, NULL)");
    auto rs = open("SELECT * FROM m");
    ASSERT_EQ(rs->recordCount(), 4);
    const FieldKind kinds[] = {FieldKind::LargeInt, FieldKind::Date, FieldKind::Boolean,
                               FieldKind::String, FieldKind::Decimal, FieldKind::LargeInt};
    for (int c = 0; c < rs->fieldCount(); ++c)
        EXPECT_EQ(rs->field(c).kind, kinds[c]) << c << ": " << kindName(rs->field(c).kind);
    auto textCell = [&rs](int row, int col) {
        EXPECT_EQ(rs->valueStorage(row, col), Storage::Text) << row << "," << col;
        return QString::fromUtf8(rs->textAt(row, col));
    };
    EXPECT_EQ(rs->int64At(1, 0), 2);
    EXPECT_EQ(textCell(2, 0), u"abc"_s);
    EXPECT_EQ(textCell(1, 1), u"soon"_s);
    EXPECT_EQ(rs->dateTimeAt(2, 1), toDateTimeValue({2024, 1, 3, 10, 0, 0, 0}));
    EXPECT_FALSE(rs->boolAt(1, 2));
    EXPECT_EQ(textCell(2, 2), u"2"_s);
    EXPECT_EQ(rs->bytesAt(1, 3), QByteArray("\x00\xFF", 2)) << "a blob's bytes as the text";
    EXPECT_DOUBLE_EQ(rs->doubleAt(1, 4), 2.0);
    EXPECT_EQ(textCell(2, 4), u"9007199254740993"_s) << "a double would round it";
    EXPECT_EQ(rs->int64At(1, 5), 9007199254740993LL);
    EXPECT_EQ(textCell(2, 5), u"2.5"_s);
    // The grid and a variant read the text of such a cell, not the column's form.
    EXPECT_EQ(rs->displayText(2, 0), u"abc"_s);
    EXPECT_EQ(rs->value(2, 2), QVariant(u"2"_s));
    for (int c = 0; c < rs->fieldCount(); ++c)
        EXPECT_TRUE(rs->isNull(3, c)) << c;
}

// Columns without a declared type take their kind from the first value; a later value of
// another form widens the whole column without loss.
TEST_F(SqliteTest, ExpressionValuesOfAnotherFormWidenTheColumnWithoutLoss) {
    auto rs = open("SELECT column1 AS i, column2 AS s, column3 AS r, column4 AS big FROM"
                   " (VALUES (1, 'a', 1.5, 1), (2, x'00ff', 2, 9007199254740993),"
                   "         ('abc', 'c', 9007199254740993, 2.5), (NULL, NULL, NULL, NULL))");
    ASSERT_EQ(rs->recordCount(), 4);
    auto texts = [&rs](int col) {
        QStringList out;
        for (int r = 0; r < 3; ++r)
            out << QString::fromUtf8(rs->textAt(r, col));
        return out;
    };
    EXPECT_EQ(rs->field(0).kind, FieldKind::String);
    EXPECT_EQ(texts(0), (QStringList{u"1"_s, u"2"_s, u"abc"_s}));
    EXPECT_EQ(rs->field(1).kind, FieldKind::Blob);
    EXPECT_EQ(rs->bytesAt(1, 1), QByteArray("\x00\xFF", 2));
    EXPECT_EQ(rs->bytesAt(2, 1), QByteArray("c"));
    // A double column meeting an integer too big for a double keeps its digits as text.
    EXPECT_EQ(rs->field(2).kind, FieldKind::String);
    EXPECT_EQ(texts(2), (QStringList{u"1.5"_s, u"2"_s, u"9007199254740993"_s}));
    // An integer column meeting 2.5: doubles, unless an integer would lose digits.
    EXPECT_EQ(rs->field(3).kind, FieldKind::String);
    EXPECT_EQ(texts(3), (QStringList{u"1"_s, u"9007199254740993"_s, u"2.5"_s}));
    for (int c = 0; c < rs->fieldCount(); ++c)
        EXPECT_TRUE(rs->isNull(3, c)) << c;

    auto mixed = open("SELECT 1 UNION ALL SELECT 2.5 UNION ALL SELECT 3");
    EXPECT_EQ(mixed->field(0).kind, FieldKind::Float);
    EXPECT_DOUBLE_EQ(mixed->doubleAt(1, 0), 2.5);
    EXPECT_DOUBLE_EQ(mixed->doubleAt(2, 0), 3.0);
}

TEST_F(SqliteTest, StreamedRowsTellTheFormOfEachValue) {
    run("CREATE TABLE s(d DATE, i INTEGER);"
        "INSERT INTO s VALUES('2024-05-06', 1), ('later', 'x'), (45000, 2.5), (NULL, NULL)");
    auto rows = conn_.execute(QStringLiteral("SELECT d, i, i + 0 AS e FROM s"));
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->fields()[0].kind, FieldKind::Date);
    EXPECT_FALSE(rows->kindFromValues(0));
    EXPECT_FALSE(rows->kindFromValues(1));
    EXPECT_TRUE(rows->kindFromValues(2));
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->valueStorage(0), Storage::DateTime);
    EXPECT_EQ(rows->dateTimeAt(0), toDateTimeValue({2024, 5, 6}));
    EXPECT_EQ(rows->valueStorage(1), Storage::Int64);
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->valueStorage(0), Storage::Text);
    EXPECT_EQ(rows->textAt(0), "later");
    EXPECT_EQ(rows->valueStorage(1), Storage::Text);
    EXPECT_EQ(rows->textAt(1), "x");
    ASSERT_TRUE(rows->next());
    // Values of a declared column that its kind cannot hold are read as their text ...
    EXPECT_EQ(rows->valueStorage(0), Storage::Text);
    EXPECT_EQ(rows->textAt(0), "45000");
    EXPECT_EQ(rows->valueStorage(1), Storage::Text);
    EXPECT_EQ(rows->textAt(1), "2.5");
    // ... an expression's in their own form.
    EXPECT_EQ(rows->valueStorage(2), Storage::Double);
    EXPECT_DOUBLE_EQ(rows->doubleAt(2), 2.5);
    ASSERT_TRUE(rows->next());
    EXPECT_TRUE(rows->isNull(0));
    EXPECT_TRUE(rows->isNull(1));
    EXPECT_FALSE(rows->next());
    EXPECT_FALSE(rows->next());
}

TEST_F(SqliteTest, StatementWithoutRowsRunsAndRaisesTheNoResultSetText) {
    Query q(conn_);
    q.setSql(QStringLiteral("INSERT INTO t(name) VALUES('x')"));
    try {
        q.open();
        FAIL() << "an insert gave rows";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), kNoResultSetMessage);
    }
    EXPECT_FALSE(q.active());
    EXPECT_EQ(open("SELECT count(*) FROM t")->int64At(0, 0), 1);
    EXPECT_EQ(conn_.execute(QStringLiteral("  -- nothing\n")), nullptr);
}

// A view that shows the query's rows is told before they go, while it can still let go.
TEST_F(SqliteTest, QueryTellsItsListenersBeforeItDropsItsResult) {
    Query q(conn_);
    std::vector<std::string> told;
    const int first = q.addResultDropListener([&] {
        told.push_back(q.result() ? "held " + std::to_string(q.result()->recordCount()) : "gone");
    });
    const int second = q.addResultDropListener([&] { told.push_back("second"); });
    q.setSql(QStringLiteral("SELECT 1 UNION ALL SELECT 2"));
    q.open();  // nothing held yet: nobody is told
    EXPECT_TRUE(told.empty());
    q.setSql(QStringLiteral("SELECT 3"));
    q.open();  // the next statement: the first result goes
    EXPECT_EQ(told, (std::vector<std::string>{"held 2", "second"}));
    q.removeResultDropListener(second);
    q.setSql(QStringLiteral("SELECT nosuch FROM t"));
    EXPECT_THROW(q.open(), DbError);  // a failing statement lets go of the old rows too
    EXPECT_EQ(told.back(), "held 1");
    EXPECT_FALSE(q.active());
    told.clear();
    q.close();  // nothing held: nobody is told
    EXPECT_TRUE(told.empty());
    q.removeResultDropListener(first);
}

TEST_F(SqliteTest, ErrorsCarrySqliteText) {
    const struct {
        const char* sql;
        const char* text;
    } cases[] = {
        {"SELEC 1", "near \"SELEC\": syntax error"},
        {"SELECT * FROM nowhere", "no such table: nowhere"},
        {"INSERT INTO t(id) VALUES(1); INSERT INTO t(id) VALUES(1)", "UNIQUE constraint failed: t.id"},
    };
    for (const auto& c : cases) {
        try {
            run(c.sql);
            FAIL() << c.sql;
        } catch (const DbError& e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(c.text));
            EXPECT_NE(e.nativeCode(), 0);
        }
    }
}

TEST_F(SqliteTest, MultiStatementTextRunsInTurnAndTheLastGivesTheRows) {
    auto rs = open("CREATE TABLE u(a); INSERT INTO u VALUES(1);\n"
                   "SELECT 'ignored'; INSERT INTO u VALUES(2);\n"
                   "SELECT a FROM u ORDER BY a; -- done\n ;");
    ASSERT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(rs->int64At(1, 0), 2);
    // The last statement has no rows: the others still ran.
    EXPECT_EQ(conn_.execute(QStringLiteral("SELECT 1; INSERT INTO u VALUES(3)")), nullptr);
    EXPECT_EQ(open("SELECT count(*) FROM u")->int64At(0, 0), 3);
}

TEST_F(SqliteTest, TransactionGuardRollsBackUnlessCommitted) {
    {
        TransactionGuard tx(conn_);
        run("INSERT INTO t(name) VALUES('gone')");
    }
    EXPECT_EQ(open("SELECT count(*) FROM t")->int64At(0, 0), 0);
    {
        TransactionGuard tx(conn_);
        run("INSERT INTO t(name) VALUES('kept')");
        tx.commit();
    }
    EXPECT_EQ(open("SELECT count(*) FROM t")->int64At(0, 0), 1);
    conn_.beginTransaction();
    run("DELETE FROM t");
    conn_.rollback();
    EXPECT_EQ(open("SELECT count(*) FROM t")->int64At(0, 0), 1);
}

TEST_F(SqliteTest, SchemaRowsetsOfMainAndAttachedDatabases) {
    const QString other = dir_.filePath(QStringLiteral("other.sqlite"));
    createSqliteFile(other, "CREATE TABLE o(x INT, y TEXT)");
    run("CREATE TABLE seq(id INTEGER PRIMARY KEY AUTOINCREMENT, v DECIMAL(5,2));"
        "CREATE VIEW w AS SELECT name FROM t;"
        "CREATE INDEX ix ON t(name)");
    conn_.execute(QStringLiteral("ATTACH '%1' AS aux").arg(other));

    auto schemata = conn_.openSchema(SchemaKind::Schemata);
    ASSERT_EQ(schemata->recordCount(), 2);
    const int cat = schemata->fieldIndex(QStringLiteral("CATALOG_NAME"));
    const int sch = schemata->fieldIndex(QStringLiteral("SCHEMA_NAME"));
    EXPECT_EQ(schemata->displayText(0, cat), u"test.sqlite");
    EXPECT_EQ(schemata->displayText(0, sch), u"main");
    EXPECT_EQ(schemata->displayText(1, sch), u"aux");

    auto list = [](const ResultSet& rs, const char* a, const char* b) {
        QStringList out;
        const int ia = rs.fieldIndex(QString::fromUtf8(a)), ib = rs.fieldIndex(QString::fromUtf8(b));
        for (std::int64_t r = 0; r < rs.recordCount(); ++r)
            out << rs.displayText(r, ia) + u'|' + rs.displayText(r, ib);
        return out;
    };
    auto tables = conn_.openSchema(SchemaKind::Tables);
    EXPECT_EQ(list(*tables, "TABLE_SCHEMA", "TABLE_NAME"),
              (QStringList{u"main|sqlite_sequence"_s, u"main|seq"_s, u"main|t"_s, u"aux|o"_s,
                           u"main|w"_s}));
    EXPECT_EQ(list(*tables, "TABLE_NAME", "TABLE_TYPE"),
              (QStringList{u"sqlite_sequence|SYSTEM TABLE"_s, u"seq|TABLE"_s, u"t|TABLE"_s,
                           u"o|TABLE"_s, u"w|VIEW"_s}));
    EXPECT_EQ(list(*conn_.openSchema(SchemaKind::Tables, {QString(), u"aux"_s}), "TABLE_SCHEMA",
                   "TABLE_NAME"),
              QStringList{u"aux|o"_s});
    EXPECT_EQ(conn_.openSchema(SchemaKind::Tables, {u"elsewhere"_s})->recordCount(), 0);

    auto columns = conn_.openSchema(SchemaKind::Columns, {QString(), u"main"_s, u"seq"_s});
    EXPECT_EQ(list(*columns, "COLUMN_NAME", "ORDINAL_POSITION"), (QStringList{u"id|1"_s, u"v|2"_s}));
    EXPECT_EQ(list(*columns, "TABLE_CATALOG", "TABLE_SCHEMA"),
              (QStringList{u"test.sqlite|main"_s, u"test.sqlite|main"_s}));
    const int type = columns->fieldIndex(QStringLiteral("DATA_TYPE"));
    EXPECT_EQ(columns->int64At(0, type), -5);  // SQL_BIGINT
    EXPECT_EQ(columns->int64At(1, type), 3);   // SQL_DECIMAL
    EXPECT_EQ(list(*conn_.openSchema(SchemaKind::Columns, {QString(), QString(), u"W"_s}),
                   "TABLE_NAME", "COLUMN_NAME"),
              QStringList{u"w|name"_s});
    EXPECT_EQ(conn_.openSchema(SchemaKind::Columns)->recordCount(), 2 + 2 + 2 + 2 + 1);
}

}  // namespace
