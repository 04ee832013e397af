#pragma once

#include "Connection.h"

namespace vnk::db {

// Begins a transaction; rolls it back on scope exit unless commit() was called.
class TransactionGuard {
public:
    explicit TransactionGuard(Driver& driver) : driver_(&driver) { driver_->beginTransaction(); }
    explicit TransactionGuard(Connection& conn) {
        conn.beginTransaction();  // raises when the connection is not open
        driver_ = conn.driver();
    }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;
    ~TransactionGuard() {
        if (driver_ && !done_) {
            try {
                driver_->rollback();
            } catch (...) {
                // Nothing to report from a destructor; the transaction ends with the
                // connection at the latest.
            }
        }
    }

    void commit() {
        driver_->commit();
        done_ = true;
    }
    void rollback() {
        done_ = true;
        driver_->rollback();
    }

private:
    Driver* driver_ = nullptr;
    bool done_ = false;
};

}  // namespace vnk::db
