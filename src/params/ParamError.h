#pragma once

#include "share/Error.h"

#include <QString>

namespace vnk::params {

// The one error type of the parameter layer: one message text, shown or logged as is.
class ParamError : public Error {
public:
    enum class Reason {
        InvalidType,        // a token names no known type
        TooManyParameters,  // more distinct tokens than a parameter list holds
        InvalidValue,       // an entered value cannot be written into the statement
    };

    ParamError(Reason reason, const QString& message)
        : Error(message), reason_(reason) {}

    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

}  // namespace vnk::params
