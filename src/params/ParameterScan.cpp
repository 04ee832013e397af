#include "ParameterScan.h"

#include "ParamError.h"
#include "share/Text.h"

namespace vnk::params {

namespace {

bool isBlank(QChar c) {
    return c.unicode() <= 32;
}

// The shared splitting rule of name parts and list items. Code 0 counts as a blank in
// every step: otherwise an unquoted part stopping at it would never move past it.
QStringList splitQuoted(const QString& text, QChar separator, QChar quote) {
    QStringList parts;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && isBlank(text.at(i)))
            ++i;
    };

    skipBlanks();
    while (i < n) {
        QString part;
        if (text.at(i) == quote) {
            ++i;
            while (i < n) {
                if (text.at(i) == quote) {
                    if (i + 1 < n && text.at(i + 1) == quote) {
                        part += quote;
                        i += 2;
                        continue;
                    }
                    ++i;  // the closing quote
                    break;
                }
                part += text.at(i);
                ++i;
            }
        } else {
            const qsizetype start = i;
            while (i < n && text.at(i) != separator && !isBlank(text.at(i)))
                ++i;
            part = text.mid(start, i - start);
        }
        parts.append(part);

        skipBlanks();
        if (i < n && text.at(i) == separator) {
            ++i;
            skipBlanks();
            // "a|" and "a| " both end with an empty part.
            if (i >= n)
                parts.append(QString());
        }
    }
    return parts;
}

}  // namespace

std::vector<TokenOccurrence> FindTokens(const QString& statement) {
    std::vector<TokenOccurrence> tokens;
    qsizetype from = 0;
    qsizetype underscore = -1;  // the first "_" at or after the rest; found once per stretch
    for (;;) {
        const qsizetype open = statement.indexOf(u'?', from);
        if (open < 0)
            break;
        const qsizetype rest = open + 1;
        if (underscore < rest) {
            underscore = statement.indexOf(u'_', rest);
            // No "_" anywhere later: no "?" from here on opens a token.
            if (underscore < 0)
                break;
        }
        const qsizetype close = statement.indexOf(u'?', rest);
        if (close < 0)
            break;
        TokenOccurrence t;
        t.position = open;
        t.length = close - open + 1;
        t.typeText = statement.mid(rest, underscore - rest);
        if (close > underscore)
            t.nameText = statement.mid(underscore + 1, close - underscore - 1);
        tokens.push_back(std::move(t));
        from = close + 1;
    }
    return tokens;
}

QString InvalidTypeMessage(const QString& typeText) {
    return QStringLiteral("Invalid parameter type \"") + typeText + QStringLiteral("\".");
}

ParameterList ScanParameters(const QString& statement) {
    const std::vector<TokenOccurrence> tokens = FindTokens(statement);

    struct Typed {
        const TokenOccurrence* token;
        ParamType kind;
    };
    std::vector<Typed> typed;
    typed.reserve(tokens.size());
    for (const TokenOccurrence& t : tokens) {
        const std::optional<ParamType> kind = ParamTypeFromText(t.typeText);
        if (!kind)
            throw ParamError(ParamError::Reason::InvalidType, InvalidTypeMessage(t.typeText));
        typed.push_back({&t, *kind});
    }

    ParameterList list;
    for (const Typed& t : typed) {
        if (list.find(t.token->typeText, t.token->nameText))
            continue;
        QueryParameter record;
        record.TypeText = t.token->typeText;
        record.Kind = t.kind;
        record.NameText = t.token->nameText;
        ResolveNameParts(record);
        list.append(std::move(record));  // raises beyond MaxCount
    }
    return list;
}

QStringList SplitNameParts(const QString& text) {
    return splitQuoted(text, u'|', u'"');
}

QStringList SplitListItems(const QString& text) {
    return splitQuoted(text, u',', u'\'');
}

std::optional<QString> BracedInside(const QString& part) {
    const QString trimmed = TrimText(part);
    if (trimmed.size() >= 2 && trimmed.front() == u'{' && trimmed.back() == u'}')
        return trimmed.mid(1, trimmed.size() - 2);
    return std::nullopt;
}

namespace {

void resolvePart(const QString& part, PartMode& mode, QString& text, QStringList& choices) {
    choices.clear();
    const std::optional<QString> inside = BracedInside(part);
    if (!inside) {
        mode = PartMode::Shown;
        text = part;
        return;
    }
    const QStringList items = SplitListItems(*inside);
    if (items.size() >= 2) {
        mode = PartMode::Choice;
        choices = items;
        text = items.front();
    } else {
        mode = PartMode::Fixed;
        text = items.isEmpty() ? QString() : items.front();
    }
}

}  // namespace

void ResolveNameParts(QueryParameter& record) {
    record.Parts = SplitNameParts(record.NameText);
    record.FieldMode = PartMode::Shown;
    record.FieldText.clear();
    record.FieldChoices.clear();
    record.OperatorMode = PartMode::Shown;
    record.OperatorText.clear();
    record.OperatorChoices.clear();
    record.ListText.clear();

    if (record.Parts.size() >= 1)
        resolvePart(record.Parts.at(0), record.FieldMode, record.FieldText, record.FieldChoices);
    if (record.Parts.size() >= 2)
        resolvePart(record.Parts.at(1), record.OperatorMode, record.OperatorText,
                    record.OperatorChoices);
    if (IsPickType(record.Kind) && record.Parts.size() >= 3) {
        if (const std::optional<QString> inside = BracedInside(record.Parts.at(2)))
            record.ListText = *inside;
    }
}

std::optional<QString> CheckNameParts(const QueryParameter& record) {
    const QString typeAndName = AsciiUpper(record.TypeText) + QStringLiteral(" - ") +
                                record.NameText + u'.';
    const qsizetype count = record.Parts.size();
    const bool pick = IsPickType(record.Kind);

    if (!pick && count > 2)
        return QStringLiteral("Too many parameters. Please check ") + typeAndName;
    if (pick && count > 3)
        return QStringLiteral("Too many parameters. Please check \"") + record.FieldText +
               QStringLiteral("\".");
    if (pick && count < 3)
        return QStringLiteral("Not enough parameters. Please check \"") + record.FieldText +
               QStringLiteral("\".");
    if (pick && !BracedInside(record.Parts.at(2)))
        return QStringLiteral("Invalid parameter. Please check ") + typeAndName;

    // A braced field or operator must offer at least one value.
    for (qsizetype i = 0; i < count && i < 2; ++i) {
        const std::optional<QString> inside = BracedInside(record.Parts.at(i));
        if (inside && SplitListItems(*inside).isEmpty())
            return QStringLiteral("Invalid parameter. Please check ") + typeAndName;
    }
    return std::nullopt;
}

}  // namespace vnk::params
