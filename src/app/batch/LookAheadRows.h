#pragma once

#include "db/ResultSet.h"

#include <exception>

namespace vnk::batch {

// Raised by LookAheadRows when a value does not have the storage form of a column whose
// kind was taken from its values (SQLite's dynamic typing). A held result would widen that
// whole column, which a stream cannot do for the rows it has already passed on. (A column
// of a declared kind keeps its kind: such a value is text in its own cell only, streamed
// or held alike.)
class MixedValueKinds final : public std::exception {
public:
    const char* what() const noexcept override { return "a column holds values of several kinds"; }
};

// A streamed row source with its first row read ahead: whether there is anything to
// export is known before the output file is created, and the writer still sees every row.
// The source stays positioned on the row it last moved to, so its values are read through.
class LookAheadRows final : public db::RowSource {
public:
    // stopOnMixedKinds: raise MixedValueKinds at the first value whose storage form is not
    // its column's, in a column whose kind was taken from its values.
    LookAheadRows(db::RowSource& source, bool stopOnMixedKinds)
        : src_(source), checkKinds_(stopOnMixedKinds) {
        if (checkKinds_) {
            for (const db::FieldInfo& f : src_.fields())
                storage_.push_back(db::storageOf(f.kind));
        }
    }

    // Moves the source to its first row; false when there is none. Errors of the source
    // (db::DbError) pass through. Call once, before next().
    bool peek() {
        pending_ = advance();
        return pending_;
    }

    const std::vector<db::FieldInfo>& fields() const override { return src_.fields(); }
    bool next() override {
        if (pending_) {
            pending_ = false;
            return true;
        }
        return advance();
    }
    bool isNull(int col) const override { return src_.isNull(col); }
    std::int64_t int64At(int col) const override { return src_.int64At(col); }
    double doubleAt(int col) const override { return src_.doubleAt(col); }
    std::string_view textAt(int col) const override { return src_.textAt(col); }
    QByteArray bytesAt(int col) const override { return src_.bytesAt(col); }
    db::DateTimeValue dateTimeAt(int col) const override { return src_.dateTimeAt(col); }
    bool boolAt(int col) const override { return src_.boolAt(col); }
    db::Storage valueStorage(int col) const override { return src_.valueStorage(col); }
    bool kindFromValues(int col) const override { return src_.kindFromValues(col); }

private:
    bool advance() {
        if (!src_.next())
            return false;
        if (checkKinds_) {
            const int n = static_cast<int>(storage_.size());
            for (int c = 0; c < n; ++c) {
                if (!src_.isNull(c) && src_.kindFromValues(c) &&
                    src_.valueStorage(c) != storage_[static_cast<std::size_t>(c)])
                    throw MixedValueKinds();
            }
        }
        return true;
    }

    db::RowSource& src_;
    bool checkKinds_;
    std::vector<db::Storage> storage_;
    bool pending_ = false;
};

}  // namespace vnk::batch
