#pragma once

#include <QString>

namespace vnk {

// " Ver " + major + "." + minor + "." + release + "." from the compiled-in version.
QString GetVersionText();

}  // namespace vnk
