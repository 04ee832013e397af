#pragma once

#include <QString>
#include <exception>
#include <stdexcept>

namespace vnk {

// The base of every layer's error: one message text, shown or logged as it is; what()
// holds the same text as UTF-8.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message);
    const QString& message() const { return message_; }

private:
    QString message_;
};

// The message text of a caught exception: an Error's message, any other std::exception's
// what() read as UTF-8, "Unknown error" for anything else. Without an argument, the
// exception being handled (call it inside a catch block).
QString errorText(std::exception_ptr e = std::current_exception());

}  // namespace vnk
