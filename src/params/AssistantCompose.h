#pragma once

#include <QString>
#include <QStringList>

namespace vnk::params {

// What the "Parameter Assistant" holds when OK is pressed.
struct AssistantEntries {
    QString type;  // the chosen type word; empty while none is chosen
    QString name1;
    bool returnValue1 = false;
    QString name2;
    bool returnValue2 = false;
    QString list;  // the list edit: items one per line (FixPick) or a select (SqlPick)
};

// The type words the assistant offers, in its order.
QStringList AssistantTypeWords();

// The list section is shown for types whose word holds "Pick" (case significant); its
// caption is "FixPick" for words holding "FixPick", else "SqlPick".
bool AssistantShowsList(const QString& type);
QString AssistantListCaption(const QString& type);

// The non-blank lines of a multi-line edit as a returned-value list: each line as typed,
// with double quotes and then single quotes doubled, in single quotes, joined by ",":
// the lines OQ and O'Neil give 'OQ','O''Neil'.
QString ReturnedValueList(const QString& editText);

// One name part: empty when the edit holds only codes 0 to 32; with returnValue the
// braced returned-value list in double quotes ("{'OQ','OR'}"); otherwise the whole text,
// line breaks included, in double quotes, with every double quote doubled so that it
// reads back as typed.
QString ComposeNamePart(const QString& editText, bool returnValue);

// The token: "?" + type + "_" + part 1 + "|" + part 2 + part 3 + "?", where part 3 is,
// for FixPick types, "|" + "\"{" + the returned-value list of the list edit + "}\"", for
// SqlPick types "|" + "\"{" + the select with its double quotes doubled + "}\"", and
// empty for the plain types. The "|" after part 1 is always written.
// Empty when no type is chosen: there is nothing to insert.
QString ComposeParameterToken(const AssistantEntries& entries);

}  // namespace vnk::params
