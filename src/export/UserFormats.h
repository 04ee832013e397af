#pragma once

#include <QChar>
#include <QString>

namespace vnk::exporting {

// The user's number and date/time formats that exported values follow, in Qt's
// format syntax ("dd/MM/yyyy", "HH:mm:ss"). Taken from the system locale; tests pass
// fixed ones.
struct UserFormats {
    QChar decimalSeparator = u'.';
    QString shortDate = QStringLiteral("dd/MM/yyyy");
    QString longTime = QStringLiteral("HH:mm:ss");
    QString shortTime = QStringLiteral("HH:mm");

    static UserFormats fromSystemLocale();
};

}  // namespace vnk::exporting
