#include "NumericCheck.h"

#include "share/Text.h"

namespace vnk::params {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isNumber(const QString& value) {
    return fnIsStrFloatNum(TrimText(value));
}

// Blank values (nothing chosen in a list, blank lines) pass.
bool allNumbers(const QStringList& values) {
    for (const QString& v : values) {
        const QString trimmed = TrimText(v);
        if (!trimmed.isEmpty() && !fnIsStrFloatNum(trimmed))
            return false;
    }
    return true;
}

}  // namespace

bool fnIsStrFloatNum(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text.at(i) == u' ')
        ++i;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    if (i >= n)
        return false;
    while (i < n && isDigit(text.at(i)))
        ++i;
    if (i < n && text.at(i) == u'.') {
        ++i;
        while (i < n && isDigit(text.at(i)))
            ++i;
    }
    if (i < n && (text.at(i) == u'E' || text.at(i) == u'e')) {
        ++i;
        if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
            ++i;
        if (i >= n || !isDigit(text.at(i)))
            return false;
        while (i < n && isDigit(text.at(i)))
            ++i;
    }
    return i == n;
}

QString NumericParameterMessage(const QString& fieldText) {
    return u'"' + fieldText + QStringLiteral("\" is a numeric parameter. Only numbers are allowed.");
}

std::optional<QString> CheckNumericValues(const ParameterList& parameters) {
    for (const QueryParameter& p : parameters) {
        bool ok = true;
        switch (ParamTypeInfoOf(p.Kind).numericCheck) {
        case NumericCheck::None:
            break;
        case NumericCheck::Value:
            ok = isNumber(p.EnteredText);
            break;
        case NumericCheck::EachLine:
            ok = allNumbers(p.EnteredLines);
            break;
        case NumericCheck::EachChoice:
            ok = allNumbers(p.EnteredChoices);
            break;
        }
        if (!ok)
            return NumericParameterMessage(p.FieldText);
    }
    return std::nullopt;
}

}  // namespace vnk::params
