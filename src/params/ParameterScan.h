#pragma once

#include "QueryParameter.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vnk::params {

// One place where the scan saw a "?" open a token: the text from that "?" to the first
// "?" after it. For a well-formed token the span is exactly "?" + typeText + "_" +
// nameText + "?"; when that "?" comes before the first "_" the type text holds a "?" and
// names no type.
struct TokenOccurrence {
    qsizetype position = 0;  // of the opening "?"
    qsizetype length = 0;    // up to and including the closing "?"
    QString typeText;
    QString nameText;
};

// The token lexer. SQL syntax is ignored: quotes, comments and braces have no effect. A "?"
// opens a token when an "_" and another "?" follow anywhere later; the token ends at that
// next "?", which never opens the next token. A "?" followed by no "_" anywhere is passed
// over.
std::vector<TokenOccurrence> FindTokens(const QString& statement);

// The records of the statement's distinct tokens (exact TypeText and NameText), in order
// of first appearance, with their name parts resolved (ResolveNameParts).
// Raises ParamError(InvalidType, InvalidTypeMessage(...)) for the first token whose type
// word is unknown; then ParamError(TooManyParameters) when there are more than
// ParameterList::MaxCount distinct tokens (an unknown type anywhere is reported first).
ParameterList ScanParameters(const QString& statement);

// "Invalid parameter type \"<typeText>\"."
QString InvalidTypeMessage(const QString& typeText);

// Splits a token's NameText at "|"; a part holding blanks must be in double quotes, where
// a doubled quote stands for one. Blanks around parts are dropped, an unquoted part also
// ends at a blank, text right after a closing quote starts a new part, and a name of
// blanks only gives no parts. A separator followed by nothing (or only blanks) ends with
// one empty part.
QStringList SplitNameParts(const QString& text);

// The same rule with "," as separator and the single quote as quote character, for the
// inside of braces and for chosen values.
QStringList SplitListItems(const QString& text);

// The inside of a part written in braces (after trimming codes 0 to 32 the part starts with
// "{" and ends with "}"), or nullopt when it is not in braces.
std::optional<QString> BracedInside(const QString& part);

// Fills Parts, the field and operator modes, texts and choices, and ListText from
// NameText. A braced part 1 or 2 with one item is Fixed, with two or more Choice (the
// first choice becomes the text); a braced part with no item at all is Fixed with an
// empty text and is refused by CheckNameParts.
void ResolveNameParts(QueryParameter& record);

// The name-part rules, checked in order; nullopt when the record is sound:
//  plain type with more than 2 parts:
//      "Too many parameters. Please check " + TYPE + " - " + NameText + "."
//  pick type with more than 3 parts / fewer than 3:
//      "Too many parameters. Please check \"" + field text + "\"."
//      "Not enough parameters. Please check \"" + field text + "\"."
//  pick type whose part 3 is not in braces, or a braced part 1 or 2 holding no item:
//      "Invalid parameter. Please check " + TYPE + " - " + NameText + "."
// TYPE is TypeText in upper case; the field text is FieldText (empty without parts).
std::optional<QString> CheckNameParts(const QueryParameter& record);

}  // namespace vnk::params
