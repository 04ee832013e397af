#include "SpreadsheetTestSupport.h"

#include "db/DbError.h"

#include <QJsonDocument>
#include <QProcess>
#include <clocale>
#include <locale.h>
#include <sqlite3.h>

namespace vnk::test {

QString sheetExtension(int format) {
    switch (format) {
    case 1: return QStringLiteral("xlsx");
    case 2: return QStringLiteral("xls");
    case 3: return QStringLiteral("html");
    case 4: return QStringLiteral("csv");
    case 6: return QStringLiteral("xml");
    default: return QStringLiteral("bin");
    }
}

QJsonObject readSpreadsheet(int format, const QString& path) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(VARNOCK_SOURCE_DIR "/tests/export/read_spreadsheet.py"),
             sheetExtension(format), path});
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        QJsonObject o;
        o.insert(QStringLiteral("error"), QString::fromUtf8(p.readAllStandardError()));
        return o;
    }
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &err);
    if (err.error != QJsonParseError::NoError) {
        QJsonObject o;
        o.insert(QStringLiteral("error"), err.errorString());
        return o;
    }
    return doc.object();
}

QJsonValue sheetCell(const QJsonObject& sheet, int r, int c) {
    const QJsonArray rows = sheet.value(QStringLiteral("rows")).toArray();
    if (r >= rows.size())
        return QJsonValue::Null;
    const QJsonArray row = rows.at(r).toArray();
    if (c >= row.size())
        return QJsonValue::Null;
    return row.at(c);
}

int sheetRowCount(const QJsonObject& sheet) {
    return static_cast<int>(sheet.value(QStringLiteral("rows")).toArray().size());
}

SyntheticRows::SyntheticRows(int cols, std::int64_t rows, db::FieldKind kind, std::int64_t failAt)
    : rows_(rows), failAt_(failAt) {
    for (int c = 0; c < cols; ++c) {
        db::FieldInfo f;
        f.name = QStringLiteral("C%1").arg(c + 1);
        f.kind = kind;
        fields_.push_back(f);
    }
}

bool SyntheticRows::next() {
    if (row_ >= rows_)
        return false;
    ++row_;
    if (failAt_ != 0 && row_ == failAt_)
        throw db::DbError(QStringLiteral("disk I/O error"));
    text_ = "text " + std::to_string(row_);
    return true;
}

void requireLocale(const char* name) {
    const locale_t probe = ::newlocale(LC_ALL_MASK, name, locale_t(nullptr));
    if (!probe)
        throw std::runtime_error(std::string("the locale ") + name +
                                 " is not installed (Debian package locales-all)");
    ::freelocale(probe);
}

ProcessLocale::ProcessLocale(const char* name) {
    requireLocale(name);
    previous_ = std::setlocale(LC_ALL, nullptr);  // copied: the next call may overwrite it
    if (!std::setlocale(LC_ALL, name))
        throw std::runtime_error(std::string("cannot switch to the locale ") + name);
}

ProcessLocale::~ProcessLocale() {
    std::setlocale(LC_ALL, previous_.c_str());
}

void createSqliteDatabase(const QString& path, const char* script) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create test database");
    char* msg = nullptr;
    const int rc = sqlite3_exec(db, script, nullptr, nullptr, &msg);
    const std::string text = msg ? msg : "";
    sqlite3_free(msg);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error(text);
}

}  // namespace vnk::test
