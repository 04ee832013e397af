#pragma once

#include "QueryParameter.h"
#include "share/AppState.h"

#include <QString>

namespace vnk::params {

// text between two quote characters, each quote inside doubled.
QString Enclosed(const QString& text, QChar quote);
// A string literal that the server reads back as exactly `text`: "'" + text with every
// single quote doubled + "'" (O'Brien gives 'O''Brien', "" gives ''); where the server
// reads a backslash as an escape, every backslash is doubled too, and EscapeString writes
// the literal as E'...'. A quote or a backslash at the end can then never close the literal
// early and let the rest of a value run as SQL.
QString QuoteSql(const QString& text, StringLiteralRule rule);
// QuoteSql with the rule of the program's open connection (Standard when none is open).
inline QString QuoteSql(const QString& text) { return QuoteSql(text, connectionLiteralRule()); }

// The entered value written in the form its type prescribes:
//   Str, Pwd, Text        QuoteSql(EnteredText), untrimmed, line breaks kept
//   NUM                   EnteredText trimmed of codes 0 to 32, unquoted
//   Date                  'yyyy-MM-dd'          Time  'HH:mm:ss'   DT 'yyyy-MM-dd HH:mm:ss'
//   N and V R/W picks     EnteredText unchanged
//   S R/W picks           QuoteSql(EnteredText)
//   N C picks             "(" + EnteredChoices joined by "," + ")"
//   S C picks             "(" + QuoteSql of each of EnteredChoices joined by "," + ")"
//   V C picks             EnteredChoices joined by ","
//   SList                 "(" + QuoteSql of each line joined by "," + ")"; "('')" without lines
//   NList                 "(" + the non-blank lines trimmed, joined by "," + ")"; "()" if none
// Dates and times are fixed ISO forms (24-hour clock, colons) whatever the locale, since
// they are SQL literals. N and V values are never quoted: a V type exists to insert SQL.
// Raises ParamError(InvalidValue) for a Date, Time or DT record without a valid value.
QString FormatValue(const QueryParameter& record);

// The text returned by the braced name parts, written before the value: a Fixed or Choice
// field adds FieldText and a blank; then (with a part 2) a Fixed or Choice operator adds
// OperatorText and a blank. Shown parts add nothing.
QString ValuePrefix(const QueryParameter& record);

// ValuePrefix + FormatValue.
QString ReplacementText(const QueryParameter& record);

// Replaces every token of the statement (as FindTokens sees them) by the replacement text of
// the first record, in list order, whose token text equals it without regard to letter
// case: ?Str_x? and ?STR_x? both receive the first record's value. The statement is
// searched once: inserted values are never searched again, so an entered value holding a
// token's text stays as entered (and a quoted value cannot be broken out of its literal).
// Tokens without a matching record are left as they are. Every record is formatted, in
// list order, before anything is replaced; formatting errors propagate.
QString SubstituteParameters(const QString& statement, const ParameterList& list);

}  // namespace vnk::params
