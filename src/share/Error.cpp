#include "Error.h"

namespace vnk {

Error::Error(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}

QString errorText(std::exception_ptr e) {
    if (!e)
        return QStringLiteral("Unknown error");
    try {
        std::rethrow_exception(e);
    } catch (const Error& ex) {
        return ex.message();
    } catch (const std::exception& ex) {
        return QString::fromUtf8(ex.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

}  // namespace vnk
