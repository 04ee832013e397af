#include "Substitution.h"

#include "ParamError.h"
#include "ParameterScan.h"
#include "share/Text.h"

#include <QHash>

namespace vnk::params {

namespace {

bool isBlankText(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() > 32)
            return false;
    }
    return true;
}

QString quotedJoin(const QStringList& values) {
    QStringList quoted;
    quoted.reserve(values.size());
    for (const QString& v : values)
        quoted.append(QuoteSql(v));
    return quoted.join(u',');
}

QString dateText(const QueryParameter& record) {
    if (!record.EnteredDate.isValid())
        throw ParamError(ParamError::Reason::InvalidValue,
                         QStringLiteral("No valid date was entered for ") + record.tokenText() +
                             u'.');
    return record.EnteredDate.toString(u"yyyy-MM-dd");
}

QString timeText(const QueryParameter& record) {
    if (!record.EnteredTime.isValid())
        throw ParamError(ParamError::Reason::InvalidValue,
                         QStringLiteral("No valid time was entered for ") + record.tokenText() +
                             u'.');
    return record.EnteredTime.toString(u"HH:mm:ss");
}

}  // namespace

QString Enclosed(const QString& text, QChar quote) {
    QString out;
    out.reserve(text.size() + 2);
    out += quote;
    for (const QChar c : text) {
        out += c;
        if (c == quote)
            out += quote;
    }
    out += quote;
    return out;
}

QString QuoteSql(const QString& text, StringLiteralRule rule) {
    if (rule == StringLiteralRule::Standard)
        return Enclosed(text, u'\'');
    QString out;
    out.reserve(text.size() + 3);
    if (rule == StringLiteralRule::EscapeString)
        out += u'E';
    out += u'\'';
    for (const QChar c : text) {
        out += c;
        if (c == u'\'' || c == u'\\')
            out += c;
    }
    out += u'\'';
    return out;
}

QString FormatValue(const QueryParameter& record) {
    using enum ParamType;
    switch (record.Kind) {
    case Str:
    case Pwd:
    case Text:
        return QuoteSql(record.EnteredText);
    case NUM:
        return TrimText(record.EnteredText);
    case Date:
        return QuoteSql(dateText(record));
    case Time:
        return QuoteSql(timeText(record));
    case DT:
        return QuoteSql(dateText(record) + u' ' + timeText(record));
    case NFixPickR:
    case NFixPickW:
    case NSqlPickR:
    case NSqlPickW:
    case VFixPickR:
    case VSqlPickR:
        return record.EnteredText;
    case SFixPickR:
    case SFixPickW:
    case SSqlPickR:
    case SSqlPickW:
        return QuoteSql(record.EnteredText);
    case NFixPickC:
    case NSqlPickC:
        return u'(' + record.EnteredChoices.join(u',') + u')';
    case SFixPickC:
    case SSqlPickC:
        return u'(' + quotedJoin(record.EnteredChoices) + u')';
    case VFixPickC:
    case VSqlPickC:
        return record.EnteredChoices.join(u',');
    case SList:
        if (record.EnteredLines.isEmpty())
            return QStringLiteral("('')");
        return u'(' + quotedJoin(record.EnteredLines) + u')';
    case NList: {
        QStringList numbers;
        for (const QString& line : record.EnteredLines) {
            if (!isBlankText(line))
                numbers.append(TrimText(line));
        }
        return u'(' + numbers.join(u',') + u')';
    }
    }
    throw ParamError(ParamError::Reason::InvalidValue, InvalidTypeMessage(record.TypeText));
}

QString ValuePrefix(const QueryParameter& record) {
    QString prefix;
    if (record.Parts.size() >= 1 && record.FieldMode != PartMode::Shown)
        prefix += record.FieldText + u' ';
    if (record.Parts.size() >= 2 && record.OperatorMode != PartMode::Shown)
        prefix += record.OperatorText + u' ';
    return prefix;
}

QString ReplacementText(const QueryParameter& record) {
    return ValuePrefix(record) + FormatValue(record);
}

QString SubstituteParameters(const QString& statement, const ParameterList& list) {
    std::vector<QString> replacements;
    replacements.reserve(static_cast<std::size_t>(list.size()));
    QHash<QString, int> firstRecord;  // case-folded token text -> first record with it
    for (int i = 0; i < list.size(); ++i) {
        replacements.push_back(ReplacementText(list[i]));
        const QString key = list[i].tokenText().toCaseFolded();
        if (!firstRecord.contains(key))
            firstRecord.insert(key, i);
    }

    QString out;
    out.reserve(statement.size());
    qsizetype copied = 0;
    for (const TokenOccurrence& t : FindTokens(statement)) {
        const auto it =
            firstRecord.constFind(statement.mid(t.position, t.length).toCaseFolded());
        if (it == firstRecord.constEnd())
            continue;
        out += QStringView(statement).mid(copied, t.position - copied);
        out += replacements[static_cast<std::size_t>(it.value())];
        copied = t.position + t.length;
    }
    out += QStringView(statement).mid(copied);
    return out;
}

}  // namespace vnk::params
