#include "ErrorReport.h"

#include "AppState.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <syslog.h>

namespace vnk {

namespace {
ErrorSink& interactiveSink() {
    static ErrorSink sink;
    return sink;
}

int& entryCount() {
    static int count = 0;
    return count;
}
}  // namespace

void WriteEventLog(const QString& source, const QString& message) {
    // Counted before writing: a report that could not be written is still a failure.
    ++entryCount();
    const QString logFile = qEnvironmentVariable("VARNOCK_EVENT_LOG");
    if (!logFile.isEmpty()) {
        QJsonObject entry;
        const QDateTime now = QDateTime::currentDateTime();
        entry.insert(QStringLiteral("time"),
                     now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs));
        entry.insert(QStringLiteral("source"), source);
        entry.insert(QStringLiteral("type"), QStringLiteral("error"));
        entry.insert(QStringLiteral("message"), message);
        QFile f(logFile);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append)) {
            f.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
        }
        return;
    }
    // syslog keeps the ident pointer: hold the bytes for the length of the call only
    // by closing the log again afterwards.
    const QByteArray ident = source.toUtf8();
    const QByteArray text = message.toUtf8();
    openlog(ident.constData(), LOG_PID, LOG_USER);
    syslog(LOG_ERR, "%s", text.constData());
    closelog();
}

int eventLogEntryCount() {
    return entryCount();
}

void ReportError(const QString& message) {
    try {
        if (appState().IsBatchRun) {
            WriteEventLog(QStringLiteral("Varnock"), message);
            return;
        }
        if (interactiveSink()) {
            interactiveSink()(message);
            return;
        }
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    } catch (...) {
        // Reporting never raises.
    }
}

void setInteractiveErrorSink(ErrorSink sink) {
    interactiveSink() = std::move(sink);
}

}  // namespace vnk
