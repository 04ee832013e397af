#pragma once

#include "ParamTypes.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <vector>

namespace vnk::params {

// How name part 1 (the field) or part 2 (the operator) of a token behaves.
enum class PartMode {
    Shown = 0,   // displayed as the row's label; returns nothing
    Fixed = 1,   // in braces with one value: displayed, and returned before the value
    Choice = 2,  // in braces with two or more values: offered in a drop-down, the chosen
                 // one returned
};

// One record per distinct token ?TYPE_name? of a statement.
struct QueryParameter {
    QString TypeText;  // the type word exactly as written
    ParamType Kind = ParamType::Str;
    QString NameText;  // everything between the underscore and the closing "?" (may be empty)
    QStringList Parts;  // NameText split by SplitNameParts

    PartMode FieldMode = PartMode::Shown;  // Shown when there is no part 1
    QString FieldText;  // part 1 as shown, its single value, or (Choice) the chosen value;
                        // the first choice until the prompt is confirmed
    QStringList FieldChoices;

    PartMode OperatorMode = PartMode::Shown;
    QString OperatorText;
    QStringList OperatorChoices;

    // Pick types: the inside of the braces of part 3 (the item list of a Fix type, the
    // select statement of a Sql type), unsplit; empty when part 3 is missing or unbraced.
    QString ListText;

    // Filled by the prompt on confirmation.
    QString EnteredText;       // Str, Pwd, NUM: the edit; Text: the whole text; R/W picks
    QStringList EnteredLines;  // SList, NList: the lines (see SplitEditorLines)
    QDate EnteredDate;         // Date, DT
    QTime EnteredTime;         // Time, DT
    // C picks: the ticked values, unquoted, in the order they were ticked. The substitution
    // quotes each value itself, so a value holding a quote or a comma stays one literal.
    QStringList EnteredChoices;

    // "?" + TypeText + "_" + NameText + "?"
    QString tokenText() const;
};

// The parameters of the statement being prepared, in order of first appearance.
//
// A list holds at most MaxCount (300) records, the rows the prompt has room for. A
// statement with a 301st distinct token is refused as a whole: ScanParameters raises
// ParamError(TooManyParameters, TooManyParametersMessage()) and nothing is prompted or
// run. Dropping the extra tokens instead would send them to the database unsubstituted.
class ParameterList {
public:
    static constexpr int MaxCount = 300;

    using const_iterator = std::vector<QueryParameter>::const_iterator;
    using iterator = std::vector<QueryParameter>::iterator;

    int size() const { return static_cast<int>(records_.size()); }
    bool isEmpty() const { return records_.empty(); }
    void clear() { records_.clear(); }

    QueryParameter& operator[](int i) { return records_.at(static_cast<std::size_t>(i)); }
    const QueryParameter& operator[](int i) const {
        return records_.at(static_cast<std::size_t>(i));
    }
    iterator begin() { return records_.begin(); }
    iterator end() { return records_.end(); }
    const_iterator begin() const { return records_.begin(); }
    const_iterator end() const { return records_.end(); }

    // The record with exactly this TypeText and NameText (case significant), or null.
    const QueryParameter* find(const QString& typeText, const QString& nameText) const;

    // Appends a record; raises ParamError(TooManyParameters) when the list is full.
    void append(QueryParameter record);

private:
    std::vector<QueryParameter> records_;
};

// "Too many parameters in the statement: at most 300 different parameters are allowed."
QString TooManyParametersMessage();

// The process-wide list beside AppState: filled by PrepareStatement, read by the prompt and
// the substitution of the same preparation.
ParameterList& appParameterList();

}  // namespace vnk::params
