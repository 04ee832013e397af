#pragma once

#include "Connection.h"
#include "ResultSet.h"

#include <QString>
#include <memory>

namespace vnk::db {

// The rows of one query read through a cursor that the program declares itself
// (DECLARE ... NO SCROLL CURSOR WITHOUT HOLD in a transaction of its own, FETCH n in a
// loop, CLOSE, COMMIT), so that only one portion is held in the client at a time while
// each portion is read by the driver as an ordinary, whole result. For a server that
// speaks PostgreSQL's SQL; the statement must be a single query (SELECT, WITH or VALUES).
//
// Errors of the fetch raise DbError with the provider's message; the transaction is then
// rolled back (as far as the connection still allows). The connection must stay open
// while the rows are read, and is back in autocommit after the last row, after an error
// or when the rows are dropped unfinished.
class CursorRows final : public RowSource {
public:
    // Declares the cursor and reads the first portion (which gives the columns). nullptr,
    // with the transaction rolled back, when the server refuses the declaration: nothing
    // of the statement has run then, and it may run the usual way. Raises DbError when a
    // later step fails (the statement itself, read in the first portion).
    static std::unique_ptr<CursorRows> open(Connection& conn, const QString& query, int portionRows);
    ~CursorRows() override;
    CursorRows(const CursorRows&) = delete;
    CursorRows& operator=(const CursorRows&) = delete;

    const std::vector<FieldInfo>& fields() const override { return fields_; }
    bool next() override;
    bool isNull(int col) const override { return rows_->isNull(col); }
    std::int64_t int64At(int col) const override { return rows_->int64At(col); }
    double doubleAt(int col) const override { return rows_->doubleAt(col); }
    std::string_view textAt(int col) const override { return rows_->textAt(col); }
    QByteArray bytesAt(int col) const override { return rows_->bytesAt(col); }
    DateTimeValue dateTimeAt(int col) const override { return rows_->dateTimeAt(col); }
    bool boolAt(int col) const override { return rows_->boolAt(col); }
    Storage valueStorage(int col) const override { return rows_->valueStorage(col); }
    bool kindFromValues(int col) const override { return rows_->kindFromValues(col); }

    // The statement wrapped into the cursor declaration: trailing blanks and semicolons go.
    static QString declaration(const QString& query);

private:
    CursorRows(Connection& conn, int portionRows) : conn_(conn), portion_(portionRows) {}
    void fetchPortion();
    void finish();
    void abandon() noexcept;

    Connection& conn_;
    int portion_;
    std::unique_ptr<RowSource> rows_;
    std::vector<FieldInfo> fields_;
    int inPortion_ = 0;  // rows passed on from the current portion
    bool open_ = false;  // the transaction (and the cursor) still open
};

}  // namespace vnk::db
