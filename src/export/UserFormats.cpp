#include "UserFormats.h"

#include <QLocale>

namespace vnk::exporting {

UserFormats UserFormats::fromSystemLocale() {
    const QLocale loc = QLocale::system();
    UserFormats f;
    f.decimalSeparator = loc.decimalPoint().isEmpty() ? QChar(u'.') : loc.decimalPoint().at(0);
    f.shortDate = loc.dateFormat(QLocale::ShortFormat);
    f.longTime = loc.timeFormat(QLocale::LongFormat);
    f.shortTime = loc.timeFormat(QLocale::ShortFormat);
    // Qt's long time format carries a zone ("t"); exported values are local and naive.
    f.longTime.remove(QStringLiteral(" t")).remove(u't');
    f.longTime = f.longTime.trimmed();
    return f;
}

}  // namespace vnk::exporting
