#include "ParamTypes.h"

#include <array>

namespace vnk::params {

namespace {

using enum ParamType;
constexpr auto N = ValueKind::N;
constexpr auto S = ValueKind::S;
constexpr auto V = ValueKind::V;

constexpr std::array<ParamTypeInfo, 25> kTable{{
    {NUM, u"NUM", N, EditorKind::SingleLine, Selection::None, ListSource::None,
     NumericCheck::Value},
    {NList, u"NList", N, EditorKind::MultiLine, Selection::None, ListSource::None,
     NumericCheck::EachLine},
    {Str, u"Str", S, EditorKind::SingleLine, Selection::None, ListSource::None, NumericCheck::None},
    {Pwd, u"Pwd", S, EditorKind::Password, Selection::None, ListSource::None, NumericCheck::None},
    {SList, u"SList", S, EditorKind::MultiLine, Selection::None, ListSource::None,
     NumericCheck::None},
    {Text, u"Text", S, EditorKind::MultiLine, Selection::None, ListSource::None,
     NumericCheck::None},
    {Date, u"Date", S, EditorKind::DatePicker, Selection::None, ListSource::None,
     NumericCheck::None},
    {Time, u"Time", S, EditorKind::TimePicker, Selection::None, ListSource::None,
     NumericCheck::None},
    {DT, u"DT", S, EditorKind::DateAndTime, Selection::None, ListSource::None, NumericCheck::None},
    {NSqlPickR, u"NSqlPickR", N, EditorKind::DropDown, Selection::R, ListSource::Sql,
     NumericCheck::Value},
    {NSqlPickW, u"NSqlPickW", N, EditorKind::DropDown, Selection::W, ListSource::Sql,
     NumericCheck::Value},
    {NSqlPickC, u"NSqlPickC", N, EditorKind::MultiChoice, Selection::C, ListSource::Sql,
     NumericCheck::EachChoice},
    {NFixPickR, u"NFixPickR", N, EditorKind::DropDown, Selection::R, ListSource::Fix,
     NumericCheck::Value},
    {NFixPickW, u"NFixPickW", N, EditorKind::DropDown, Selection::W, ListSource::Fix,
     NumericCheck::Value},
    {NFixPickC, u"NFixPickC", N, EditorKind::MultiChoice, Selection::C, ListSource::Fix,
     NumericCheck::EachChoice},
    {SSqlPickR, u"SSqlPickR", S, EditorKind::DropDown, Selection::R, ListSource::Sql,
     NumericCheck::None},
    {SSqlPickW, u"SSqlPickW", S, EditorKind::DropDown, Selection::W, ListSource::Sql,
     NumericCheck::None},
    {SSqlPickC, u"SSqlPickC", S, EditorKind::MultiChoice, Selection::C, ListSource::Sql,
     NumericCheck::None},
    {SFixPickR, u"SFixPickR", S, EditorKind::DropDown, Selection::R, ListSource::Fix,
     NumericCheck::None},
    {SFixPickW, u"SFixPickW", S, EditorKind::DropDown, Selection::W, ListSource::Fix,
     NumericCheck::None},
    {SFixPickC, u"SFixPickC", S, EditorKind::MultiChoice, Selection::C, ListSource::Fix,
     NumericCheck::None},
    {VSqlPickR, u"VSqlPickR", V, EditorKind::DropDown, Selection::R, ListSource::Sql,
     NumericCheck::None},
    {VSqlPickC, u"VSqlPickC", V, EditorKind::MultiChoice, Selection::C, ListSource::Sql,
     NumericCheck::None},
    {VFixPickR, u"VFixPickR", V, EditorKind::DropDown, Selection::R, ListSource::Fix,
     NumericCheck::None},
    {VFixPickC, u"VFixPickC", V, EditorKind::MultiChoice, Selection::C, ListSource::Fix,
     NumericCheck::None},
}};

}  // namespace

std::span<const ParamTypeInfo> ParamTypeTable() {
    return kTable;
}

const ParamTypeInfo& ParamTypeInfoOf(ParamType type) {
    // The table is in enumeration order.
    return kTable[static_cast<std::size_t>(type)];
}

QString AsciiUpper(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(static_cast<char16_t>(u - u'a' + u'A'));
    }
    return out;
}

std::optional<ParamType> ParamTypeFromText(const QString& typeText) {
    const QString upper = AsciiUpper(typeText);
    for (const ParamTypeInfo& info : kTable) {
        if (upper == AsciiUpper(info.word.toString()))
            return info.type;
    }
    return std::nullopt;
}

}  // namespace vnk::params
