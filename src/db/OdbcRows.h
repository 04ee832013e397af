#pragma once

// Rows of an ODBC statement, fetched in blocks into column-wise bound buffers.

#include "OdbcHandles.h"
#include "ResultSet.h"

#include <locale.h>
#include <memory>
#include <string>
#include <vector>

namespace vnk::db::odbc {

// What a connection can do for the fetch, asked once at connect.
struct FetchCaps {
    bool getDataBound = false;  // SQLGetData on a bound column (re-reads truncated values)
    bool blockGetData = false;  // ... also inside a block of rows, after SQLSetPos
    bool narrow = false;        // texts travel as UTF-8 through the ANSI calls
};

// The field kind of a result column from its ODBC description.
FieldKind kindOf(SQLSMALLINT sqlType, bool isUnsigned, bool isMoney, const QString& typeName);

// Appends UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
void appendUtf8(std::string& out, const SQLWCHAR* s, std::size_t units);

// Holds its statement and whatever keeps the connection alive (owner), so it may
// outlive the driver object that made it.
class OdbcRows final : public RowSource {
public:
    OdbcRows(std::shared_ptr<const void> owner, Statement stmt, SQLSMALLINT columnCount,
             const FetchCaps& caps);
    ~OdbcRows() override;

    const std::vector<FieldInfo>& fields() const override { return fields_; }
    bool next() override;
    bool isNull(int col) const override { return cols_[col].null; }
    std::int64_t int64At(int col) const override { return cols_[col].i; }
    double doubleAt(int col) const override { return cols_[col].d; }
    std::string_view textAt(int col) const override { return cols_[col].text; }
    QByteArray bytesAt(int col) const override { return cols_[col].bytes; }
    DateTimeValue dateTimeAt(int col) const override { return cols_[col].i; }
    bool boolAt(int col) const override { return cols_[col].b; }

    int rowsetSize() const { return static_cast<int>(rowsetSize_); }

private:
    struct Column {
        Storage storage = Storage::Text;
        SQLSMALLINT cType = SQL_C_WCHAR;
        bool timeAsText = false;  // times are read as text to keep their fractions
        SQLLEN elemBytes = 0;     // size of one bound element
        std::vector<char> buf;    // rowsetSize_ elements
        std::vector<SQLLEN> ind;
        // the current row
        bool null = true;
        std::int64_t i = 0;  // Int64 and DateTime
        double d = 0;
        bool b = false;
        std::string text;
        QByteArray bytes;
    };

    bool fetchBlock();
    void loadRow();
    void loadValue(int col, const char* elem, SQLLEN ind);
    bool readWhole(int col, std::vector<char>& out);
    void positionOnRow();
    [[noreturn]] void rowError();

    std::shared_ptr<const void> owner_;
    Statement stmt_;
    std::vector<FieldInfo> fields_;
    std::vector<Column> cols_;
    bool bound_ = true;
    bool block_ = false;
    SQLULEN rowsetSize_ = 1;
    SQLULEN fetched_ = 0;
    SQLULEN pos_ = 0;  // current row within the block
    SQLULEN positioned_ = 0;  // 1-based row SQLSetPos last moved to, 0 none
    bool started_ = false;
    bool done_ = false;
    std::vector<SQLUSMALLINT> status_;
    std::vector<char> scratch_;
    // The process's locale with the C numeric category, in force while the driver
    // converts values (next()); null when it could not be made.
    locale_t pointLocale_ = nullptr;
};

}  // namespace vnk::db::odbc
