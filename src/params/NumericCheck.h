#pragma once

#include "QueryParameter.h"

#include <QString>
#include <optional>

namespace vnk::params {

// True when the text is a number: blanks (code 32 only) first, an optional sign, then at
// least one more character made of digits, an optional "." with digits, and an optional
// exponent ("E" or "e", an optional sign, at least one digit), and nothing after it. The
// decimal separator is always "."; "1.", ".5", "." and "e5" are numbers, "1e", "1 000",
// "4,2", "0x10" and "12 " are not.
bool fnIsStrFloatNum(const QString& text);

// "\"" + field text + "\" is a numeric parameter. Only numbers are allowed."
QString NumericParameterMessage(const QString& fieldText);

// The check the prompt's OK runs on the values entered into the records: nullopt when
// every numeric value is a number, else the message naming the first failing record by its
// FieldText.
//   NUM and the N R/W picks: EnteredText trimmed of codes 0 to 32 (empty fails);
//   NList: every line of EnteredLines that is not blank, trimmed;
//   N C picks: every chosen value that is not blank, trimmed, taken whole, so a value
//   holding a blank or a comma is refused rather than written into the list as two;
//   every other type: not checked.
std::optional<QString> CheckNumericValues(const ParameterList& parameters);

}  // namespace vnk::params
