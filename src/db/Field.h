#pragma once

#include <QString>
#include <cstdint>

namespace vnk::db {

// Kinds of data a result column can hold.
enum class FieldKind {
    Unknown,
    FixedChar,      // CHAR(n)
    String,         // VARCHAR, TEXT
    WideString,     // NVARCHAR
    FixedWideChar,  // NCHAR(n)
    Memo,           // long text
    WideMemo,       // long wide text
    SmallInt,       // 8 and 16 bit signed
    Integer,        // 32 bit signed
    Word,           // 16 bit unsigned
    LargeInt,       // 64 bit signed (and unsigned 32 bit)
    LargeUInt,      // 64 bit unsigned, held as the bit pattern of an int64
    AutoInc,
    Float,
    Currency,
    Decimal,  // DECIMAL/NUMERIC, held as floating point
    Date,
    Time,
    DateTime,
    Boolean,
    Guid,
    Bytes,     // fixed binary
    VarBytes,  // variable binary
    Blob,      // long binary
};

// How a value is held (one storage form per kind). A LargeUInt value is held in Int64
// storage as static_cast<std::int64_t> of the unsigned value: read it back through
// static_cast<std::uint64_t>.
enum class Storage { Int64, Double, Text, Bytes, DateTime, Boolean };
Storage storageOf(FieldKind kind);

bool isTextKind(FieldKind kind);
bool isIntegerKind(FieldKind kind);
bool isDateTimeKind(FieldKind kind);
const char* kindName(FieldKind kind);
// Characters a value of the kind needs to show; size is the declared length (0: unknown).
int defaultDisplayWidth(FieldKind kind, int size);

struct FieldInfo {
    QString name;  // display name: the column name the database returned
    FieldKind kind = FieldKind::Unknown;
    int size = 0;          // declared length in characters for text kinds, 0 when unknown
    int displayWidth = 0;  // characters the value needs to show
    int precision = 0;
    int scale = 0;
};

// Date-time values are milliseconds since the zero date, 30 December 1899 00:00 local
// (naive) time: a time-only value lies on the zero date, a date-only value at midnight.
using DateTimeValue = std::int64_t;
constexpr std::int64_t kMsPerDay = 86400000;

}  // namespace vnk::db
