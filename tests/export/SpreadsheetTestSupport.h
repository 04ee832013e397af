#pragma once

#include "db/ResultSet.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <stdexcept>
#include <string>
#include <vector>

namespace vnk::test {

// The file extension and reader name of a spreadsheet format number.
QString sheetExtension(int format);

// A spreadsheet file read back by the independent reader (tests/export/read_spreadsheet.py):
// the JSON it prints, or an object holding "error" when it failed.
QJsonObject readSpreadsheet(int format, const QString& path);

// Cell r, c (0-based) of a read-back sheet; null when the file holds none there.
QJsonValue sheetCell(const QJsonObject& sheet, int r, int c);
int sheetRowCount(const QJsonObject& sheet);

// Rows made up by the test: cols columns of one kind, values 1, 2, 3 ... by row, and a
// failure (a DbError) at row failAt when that is not 0.
class SyntheticRows : public db::RowSource {
public:
    SyntheticRows(int cols, std::int64_t rows, db::FieldKind kind = db::FieldKind::Integer,
                  std::int64_t failAt = 0);
    const std::vector<db::FieldInfo>& fields() const override { return fields_; }
    bool next() override;
    bool isNull(int) const override { return false; }
    std::int64_t int64At(int) const override { return row_; }
    double doubleAt(int) const override { return static_cast<double>(row_); }
    std::string_view textAt(int) const override { return text_; }
    QByteArray bytesAt(int) const override { return {}; }
    db::DateTimeValue dateTimeAt(int) const override { return row_ * db::kMsPerDay; }
    bool boolAt(int) const override { return row_ % 2 == 0; }

private:
    std::vector<db::FieldInfo> fields_;
    std::int64_t rows_, failAt_, row_ = 0;
    std::string text_;
};

// Raises std::runtime_error when the C library has no locale of that name: a test meant to
// run under it must fail, not quietly run under "C" (scripts/setup.sh installs them).
void requireLocale(const char* name);

// The C library's locale of the whole process (setlocale, every category) switched to name
// until the object goes away, as QCoreApplication does with the user's locale; the
// previous one is restored then. Raises as requireLocale() does.
class ProcessLocale {
public:
    explicit ProcessLocale(const char* name);
    ~ProcessLocale();
    ProcessLocale(const ProcessLocale&) = delete;
    ProcessLocale& operator=(const ProcessLocale&) = delete;

private:
    std::string previous_;
};

// Creates a SQLite database at path from a script (the sqlite3 C interface; no provider).
void createSqliteDatabase(const QString& path, const char* script);

}  // namespace vnk::test
