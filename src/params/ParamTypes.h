#pragma once

#include <QString>
#include <optional>
#include <span>

namespace vnk::params {

// The 25 parameter types, in the order the parameter assistant offers them. The first
// nine are the plain types, the last sixteen the pick types.
enum class ParamType {
    NUM,
    NList,
    Str,
    Pwd,
    SList,
    Text,
    Date,
    Time,
    DT,
    NSqlPickR,
    NSqlPickW,
    NSqlPickC,
    NFixPickR,
    NFixPickW,
    NFixPickC,
    SSqlPickR,
    SSqlPickW,
    SSqlPickC,
    SFixPickR,
    SFixPickW,
    SFixPickC,
    VSqlPickR,
    VSqlPickC,
    VFixPickR,
    VFixPickC,
};

// N: a number written unquoted; S: a text written between single quotes; V: verbatim.
enum class ValueKind { N, S, V };

// The editor a row of the prompt shows for the type.
enum class EditorKind {
    SingleLine,   // Str, NUM
    Password,     // Pwd
    MultiLine,    // SList, NList, Text
    DatePicker,   // Date
    TimePicker,   // Time
    DateAndTime,  // DT: a date picker and a time picker
    DropDown,     // R and W pick types
    MultiChoice,  // C pick types
};

// R: one value from a fixed list; W: one value, the text can also be typed; C: any number.
enum class Selection { None, R, W, C };

// Where a pick list's items come from: a select statement or the token itself.
enum class ListSource { None, Sql, Fix };

// What the prompt checks to be numbers on confirmation.
enum class NumericCheck { None, Value, EachLine, EachChoice };

struct ParamTypeInfo {
    ParamType type;
    QStringView word;  // the spelling the assistant offers
    ValueKind valueKind;
    EditorKind editor;
    Selection selection;
    ListSource source;
    NumericCheck numericCheck;

    bool isPick() const { return source != ListSource::None; }
    // Name parts the type accepts: 0 to 2 for a plain type, exactly 3 for a pick type.
    int minParts() const { return isPick() ? 3 : 0; }
    int maxParts() const { return isPick() ? 3 : 2; }
};

// All 25 types in assistant order.
std::span<const ParamTypeInfo> ParamTypeTable();

const ParamTypeInfo& ParamTypeInfoOf(ParamType type);

// The type a type word names, compared without regard to ASCII letter case only
// (so a non-ASCII letter never matches a type word); nullopt for an unknown word.
std::optional<ParamType> ParamTypeFromText(const QString& typeText);

inline QString ParamTypeWord(ParamType type) {
    return ParamTypeInfoOf(type).word.toString();
}

inline bool IsPickType(ParamType type) {
    return ParamTypeInfoOf(type).isPick();
}

// ASCII-only upper case: the form type words are compared and quoted in messages.
QString AsciiUpper(const QString& text);

}  // namespace vnk::params
