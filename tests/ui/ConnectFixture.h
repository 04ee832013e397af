#pragma once

// A work folder with ConFiles/, a scripted prompter and a closed data-module connection
// for the connecting and connection-dialog tests.

#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "app/ui/Prompter.h"
#include "db/ConnectionString.h"
#include "db/DataModule.h"
#include "share/AppState.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <ostream>
#include <gtest/gtest.h>
#include <sqlite3.h>

// Readable failure output for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < l.size(); ++i)
        *os << (i ? ", \"" : "\"") << l[i].toStdString() << '"';
    *os << '}';
}

namespace vnk::test {

class ConnectFixture : public ::testing::Test {
protected:
    IsolatedEnvironment env;
    QTemporaryDir work;
    ScriptedPrompter prompts;

    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        resetAppState();
        appState().WorkFolder = work.path();
        ASSERT_TRUE(QDir(work.path()).mkpath(QStringLiteral("ConFiles")));
        vnk::ui::setPrompter(&prompts);
        db::dm1().ADOConn1.close();
        db::dm1().ADOConn1.setLoginPrompt(false);
    }
    void TearDown() override {
        db::dm1().ADOConn1.close();
        db::dm1().ADOConn1.setLoginPrompt(false);
        vnk::ui::setPrompter(nullptr);
        resetAppState();
    }

    QString conFiles() const { return work.path() + QStringLiteral("/ConFiles/"); }

    void writeFile(const QString& path, const QByteArray& bytes) const {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        f.write(bytes);
    }
    void writeConFile(const QString& name, const QByteArray& bytes) const {
        writeFile(conFiles() + name, bytes);
    }
    static QByteArray readBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // A small SQLite database in the work folder; its connection string names it
    // relative to the work folder.
    QString makeSqliteDatabase(const QString& name = QStringLiteral("test.sqlite")) const {
        sqlite3* db = nullptr;
        const QByteArray path = (work.path() + u'/' + name).toUtf8();
        EXPECT_EQ(sqlite3_open(path.constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "create table Account(Id integer primary key, Name text);"
                               "insert into Account(Name) values ('Cash'), ('Bank');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
        return QStringLiteral("Provider=SQLite;Data Source=") + name;
    }

    // The test server's string, with the password replaced; empty without a server.
    static QString postgresWithPassword(const QString& password) {
        QString s = postgresConnectionString();
        if (s.isEmpty())
            return s;
        s.replace(QRegularExpression(QStringLiteral("PWD=[^;]*")),
                  QStringLiteral("PWD=") + password);
        return s;
    }
    static QString postgresPassword() {
        return db::ConnectionString(postgresConnectionString())
            .value(QStringLiteral("PWD"))
            .value_or(QString());
    }
    static QString postgresUser() {
        return db::ConnectionString(postgresConnectionString())
            .value(QStringLiteral("UID"))
            .value_or(QString());
    }
};

// Runs `act` on the first modal window for which `match` holds, once it is up. A window
// that never comes fails the test; one left open is closed so a test never hangs.
inline void onModal(const std::function<bool(QWidget*)>& match,
                    const std::function<void(QWidget*)>& act) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && match(w)) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            act(w);
            return;
        }
        if (clock->elapsed() > 10000) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            ADD_FAILURE() << "the expected modal window did not show";
            if (w)
                w->close();
        }
    });
    timer->start(5);
}

template <class T>
void onModal(const std::function<void(T*)>& act) {
    onModal([](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
            [act](QWidget* w) { act(qobject_cast<T*>(w)); });
}

}  // namespace vnk::test
