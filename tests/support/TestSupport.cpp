#include "TestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cstdlib>

namespace vnk::test {

IsolatedEnvironment::IsolatedEnvironment()
    : oldConfig_(qgetenv("XDG_CONFIG_HOME")), oldLog_(qgetenv("VARNOCK_EVENT_LOG")),
      hadConfig_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")),
      hadLog_(qEnvironmentVariableIsSet("VARNOCK_EVENT_LOG")) {
    qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
    qputenv("VARNOCK_EVENT_LOG", eventLogFile().toUtf8());
}

IsolatedEnvironment::~IsolatedEnvironment() {
    if (hadConfig_)
        qputenv("XDG_CONFIG_HOME", oldConfig_);
    else
        qunsetenv("XDG_CONFIG_HOME");
    if (hadLog_)
        qputenv("VARNOCK_EVENT_LOG", oldLog_);
    else
        qunsetenv("VARNOCK_EVENT_LOG");
}

QString IsolatedEnvironment::settingsFile() const {
    return dir_.path() + QStringLiteral("/Varnock Dozidizur.conf");
}

QString IsolatedEnvironment::eventLogFile() const {
    return dir_.path() + QStringLiteral("/events.jsonl");
}

QStringList IsolatedEnvironment::eventLogMessages() const {
    QStringList out;
    QFile f(eventLogFile());
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        out << QJsonDocument::fromJson(line).object().value(QStringLiteral("message")).toString();
    }
    return out;
}

QString postgresConnectionString() {
    return QString::fromUtf8(qgetenv("VARNOCK_TEST_PG"));
}

QString mariadbConnectionString() {
    return QString::fromUtf8(qgetenv("VARNOCK_TEST_MARIADB"));
}

QString demoDatabasePath() {
    return QStringLiteral(VARNOCK_BINARY_DIR "/demo.sqlite");
}

}  // namespace vnk::test
