#include "Version.h"

namespace vnk {

QString GetVersionText() {
    return QStringLiteral(" Ver %1.%2.%3.")
        .arg(VARNOCK_VERSION_MAJOR)
        .arg(VARNOCK_VERSION_MINOR)
        .arg(VARNOCK_VERSION_PATCH);
}

}  // namespace vnk
