#pragma once

// RAII owners for ODBC handles and the one helper every ODBC call goes through.

#include "DbError.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QString>
#include <utility>
#include <vector>

namespace vnk::db::odbc {

// QString's UTF-16 code units are handed to the "W" calls as they are.
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC must use 2-byte SQLWCHAR");

inline SQLWCHAR* wide(const QString& s) {
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(s.utf16()));
}

inline QString fromWide(const SQLWCHAR* s, qsizetype units) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(s), units);
}

// Every diagnostic record of a handle, in order. narrow: read through the ANSI call as
// UTF-8 (drivers whose text the driver manager cannot carry whole in UTF-16).
std::vector<Diagnostic> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool narrow = false);

// The error of a failed call: the first record's text, SQLSTATE and native code, with
// every record kept. A call that left no record is named in the text.
DbError errorFrom(SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc, const char* call,
                  bool narrow = false);

// Raises DbError unless rc is SQL_SUCCESS, SQL_SUCCESS_WITH_INFO or SQL_NO_DATA; returns rc.
inline SQLRETURN check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* call,
                       bool narrow = false) {
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA)
        return rc;
    throw errorFrom(handleType, handle, rc, call, narrow);
}

// Move-only owner of one handle of the given type; freeing never throws.
template <SQLSMALLINT Type>
class Handle {
public:
    Handle() = default;
    // Allocates a handle under parent (SQL_NULL_HANDLE for an environment).
    Handle(SQLSMALLINT parentType, SQLHANDLE parent) {
        odbc::check(SQLAllocHandle(Type, parent, &h_), parentType, parent, "SQLAllocHandle");
    }
    ~Handle() { reset(); }
    Handle(Handle&& o) noexcept : h_(std::exchange(o.h_, nullptr)), narrow_(o.narrow_) {}
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
            narrow_ = o.narrow_;
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != SQL_NULL_HANDLE; }
    // check() against this handle's diagnostics.
    SQLRETURN check(SQLRETURN rc, const char* call) const {
        return odbc::check(rc, Type, h_, call, narrow_);
    }
    // Diagnostics of this handle are read as UTF-8 through the ANSI call.
    void setNarrow(bool on) { narrow_ = on; }
    bool narrow() const { return narrow_; }

    void reset() noexcept {
        if (h_ != SQL_NULL_HANDLE)
            SQLFreeHandle(Type, h_);
        h_ = SQL_NULL_HANDLE;
    }

private:
    SQLHANDLE h_ = SQL_NULL_HANDLE;
    bool narrow_ = false;
};

using Environment = Handle<SQL_HANDLE_ENV>;
using Statement = Handle<SQL_HANDLE_STMT>;

// A connection handle that disconnects before it is freed.
class Dbc {
public:
    Dbc() = default;
    explicit Dbc(const Environment& env) : h_(SQL_HANDLE_ENV, env.get()) {}
    ~Dbc() { reset(); }
    Dbc(Dbc&& o) noexcept
        : h_(std::move(o.h_)), connected_(std::exchange(o.connected_, false)) {}
    Dbc& operator=(Dbc&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::move(o.h_);
            connected_ = std::exchange(o.connected_, false);
        }
        return *this;
    }
    Dbc(const Dbc&) = delete;
    Dbc& operator=(const Dbc&) = delete;

    SQLHANDLE get() const { return h_.get(); }
    SQLRETURN check(SQLRETURN rc, const char* call) const { return h_.check(rc, call); }
    void setConnected() { connected_ = true; }
    void setNarrow(bool on) { h_.setNarrow(on); }
    bool narrow() const { return h_.narrow(); }

    void reset() noexcept {
        if (connected_ && h_) {
            // A pending transaction blocks the disconnect: roll it back.
            if (!SQL_SUCCEEDED(SQLDisconnect(h_.get()))) {
                SQLEndTran(SQL_HANDLE_DBC, h_.get(), SQL_ROLLBACK);
                SQLDisconnect(h_.get());
            }
        }
        connected_ = false;
        h_.reset();
    }

private:
    Handle<SQL_HANDLE_DBC> h_;
    bool connected_ = false;
};

}  // namespace vnk::db::odbc
