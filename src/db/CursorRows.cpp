#include "CursorRows.h"

namespace vnk::db {

namespace {

// Lower case and unquoted: the server folds it so. Only this module's statements use it.
const QString kCursorName = QStringLiteral("varnock_rows");

}  // namespace

QString CursorRows::declaration(const QString& query) {
    QString q = query;
    while (!q.isEmpty() && (q.back().unicode() <= 32 || q.back() == u';'))
        q.chop(1);
    return QStringLiteral("DECLARE ") + kCursorName +
           QStringLiteral(" NO SCROLL CURSOR WITHOUT HOLD FOR\n") + q;
}

std::unique_ptr<CursorRows> CursorRows::open(Connection& conn, const QString& query,
                                             int portionRows) {
    std::unique_ptr<CursorRows> rows(new CursorRows(conn, portionRows > 0 ? portionRows : 1));
    conn.beginTransaction();
    rows->open_ = true;
    try {
        (void)conn.execute(declaration(query));
    } catch (const DbError&) {
        // Refused before anything ran (not a plain query after all, a data-changing WITH,
        // SELECT INTO, or the connection gone): the caller runs it the usual way and gets
        // the provider's own words for it.
        rows->abandon();
        return nullptr;
    }
    try {
        rows->fetchPortion();
        if (!rows->rows_)
            throw DbError(QStringLiteral("FETCH returned no row set"));
        rows->fields_ = rows->rows_->fields();
    } catch (...) {
        rows->abandon();
        throw;
    }
    return rows;
}

CursorRows::~CursorRows() { abandon(); }

void CursorRows::fetchPortion() {
    rows_.reset();  // one statement at a time
    inPortion_ = 0;
    rows_ = conn_.execute(QStringLiteral("FETCH FORWARD %1 FROM ").arg(portion_) + kCursorName);
}

bool CursorRows::next() {
    if (!open_)
        return false;
    try {
        for (;;) {
            if (rows_ && rows_->next()) {
                ++inPortion_;
                return true;
            }
            // A short portion was the last one; a full one may have a successor.
            if (!rows_ || inPortion_ < portion_) {
                finish();
                return false;
            }
            fetchPortion();
        }
    } catch (...) {
        abandon();
        throw;
    }
}

void CursorRows::finish() {
    rows_.reset();
    (void)conn_.execute(QStringLiteral("CLOSE ") + kCursorName);
    conn_.commit();
    open_ = false;
}

void CursorRows::abandon() noexcept {
    if (!open_)
        return;
    open_ = false;
    try {
        rows_.reset();
        // Ending the transaction closes the cursor with it.
        if (conn_.isOpen())
            conn_.rollback();
    } catch (...) {
        // A connection that went away ends its transaction by itself; the error that
        // brought us here is the one to report.
    }
}

}  // namespace vnk::db
