#pragma once

#include <QString>
#include <stdexcept>

namespace vnk::params {

// The one error type of the parameter layer: one message text, shown or logged as is.
class ParamError : public std::runtime_error {
public:
    enum class Reason {
        InvalidType,        // a token names no known type
        TooManyParameters,  // more distinct tokens than a parameter list holds
        InvalidValue,       // an entered value cannot be written into the statement
    };

    ParamError(Reason reason, const QString& message)
        : std::runtime_error(message.toStdString()), reason_(reason), message_(message) {}

    Reason reason() const { return reason_; }
    QString message() const { return message_; }

private:
    Reason reason_;
    QString message_;
};

}  // namespace vnk::params
