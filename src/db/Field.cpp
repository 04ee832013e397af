#include "Field.h"

namespace vnk::db {

Storage storageOf(FieldKind kind) {
    switch (kind) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::LargeInt:
    case FieldKind::LargeUInt:
    case FieldKind::AutoInc:
        return Storage::Int64;
    case FieldKind::Float:
    case FieldKind::Currency:
    case FieldKind::Decimal:
        return Storage::Double;
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime:
        return Storage::DateTime;
    case FieldKind::Boolean:
        return Storage::Boolean;
    case FieldKind::Bytes:
    case FieldKind::VarBytes:
    case FieldKind::Blob:
        return Storage::Bytes;
    case FieldKind::Unknown:
    case FieldKind::FixedChar:
    case FieldKind::String:
    case FieldKind::WideString:
    case FieldKind::FixedWideChar:
    case FieldKind::Memo:
    case FieldKind::WideMemo:
    case FieldKind::Guid:
        break;
    }
    return Storage::Text;
}

bool isTextKind(FieldKind kind) {
    switch (kind) {
    case FieldKind::FixedChar:
    case FieldKind::String:
    case FieldKind::WideString:
    case FieldKind::FixedWideChar:
    case FieldKind::Memo:
    case FieldKind::WideMemo:
        return true;
    default:
        return false;
    }
}

bool isIntegerKind(FieldKind kind) {
    return storageOf(kind) == Storage::Int64;
}

bool isDateTimeKind(FieldKind kind) {
    return kind == FieldKind::Date || kind == FieldKind::Time || kind == FieldKind::DateTime;
}

const char* kindName(FieldKind kind) {
    switch (kind) {
    case FieldKind::Unknown: return "Unknown";
    case FieldKind::FixedChar: return "FixedChar";
    case FieldKind::String: return "String";
    case FieldKind::WideString: return "WideString";
    case FieldKind::FixedWideChar: return "FixedWideChar";
    case FieldKind::Memo: return "Memo";
    case FieldKind::WideMemo: return "WideMemo";
    case FieldKind::SmallInt: return "SmallInt";
    case FieldKind::Integer: return "Integer";
    case FieldKind::Word: return "Word";
    case FieldKind::LargeInt: return "LargeInt";
    case FieldKind::LargeUInt: return "LargeUInt";
    case FieldKind::AutoInc: return "AutoInc";
    case FieldKind::Float: return "Float";
    case FieldKind::Currency: return "Currency";
    case FieldKind::Decimal: return "Decimal";
    case FieldKind::Date: return "Date";
    case FieldKind::Time: return "Time";
    case FieldKind::DateTime: return "DateTime";
    case FieldKind::Boolean: return "Boolean";
    case FieldKind::Guid: return "Guid";
    case FieldKind::Bytes: return "Bytes";
    case FieldKind::VarBytes: return "VarBytes";
    case FieldKind::Blob: return "Blob";
    }
    return "Unknown";
}

int defaultDisplayWidth(FieldKind kind, int size) {
    switch (kind) {
    case FieldKind::FixedChar:
    case FieldKind::String:
    case FieldKind::WideString:
    case FieldKind::FixedWideChar:
        return size > 0 ? size : 20;
    case FieldKind::Memo:
    case FieldKind::WideMemo:
    case FieldKind::Unknown:
        return 10;
    case FieldKind::SmallInt: return 6;   // -32768
    case FieldKind::Word: return 5;       // 65535
    case FieldKind::Integer:
    case FieldKind::AutoInc: return 11;   // -2147483648
    case FieldKind::LargeInt: return 20;  // -9223372036854775808
    case FieldKind::LargeUInt: return 20; // 18446744073709551615
    case FieldKind::Float:
    case FieldKind::Decimal: return 22;   // -1.23456789012345E-300
    case FieldKind::Currency: return 20;
    case FieldKind::Date: return 10;
    case FieldKind::Time: return 10;
    case FieldKind::DateTime: return 20;
    case FieldKind::Boolean: return 5;
    case FieldKind::Guid: return 38;
    case FieldKind::Bytes:
    case FieldKind::VarBytes:
        return size > 0 ? 2 + 2 * size : 10;
    case FieldKind::Blob: return 10;
    }
    return 10;
}

}  // namespace vnk::db
