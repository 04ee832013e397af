// The program's own desktop opener: it runs xdg-open without waiting for the application
// and passes on what xdg-open says when it cannot open the file. A stand-in xdg-open on
// PATH plays the desktop, so nothing is ever launched.

#include "app/ui/Prompter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <optional>

namespace {

class DesktopOpenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bin.isValid());
        ASSERT_TRUE(files.isValid());
        oldPath = qgetenv("PATH");
        // The stand-in writes the arguments it was given beside itself.
        qputenv("PATH", (bin.path() + QStringLiteral(":/usr/bin:/bin")).toLocal8Bit());
        document = files.filePath(QStringLiteral("rows it's.xlsx"));
        QFile f(document);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("PK");
    }
    void TearDown() override { qputenv("PATH", oldPath); }

    void standIn(const QByteArray& body) {
        const QString path = bin.filePath(QStringLiteral("xdg-open"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + bin.filePath(QStringLiteral("args.tmp")).toLocal8Bit() +
                "\"\n" + body);
        f.close();
        ASSERT_TRUE(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QString argsSeen() const {
        QFile f(bin.filePath(QStringLiteral("args.tmp")));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }
    // Opens the document and lets the window thread run until `until` holds or a
    // generous limit passes; returns what the opener reported.
    std::optional<QString> open(const std::function<bool(const std::optional<QString>&)>& until) {
        // Shared with the report, which could still come after a failed wait.
        auto reported = std::make_shared<std::optional<QString>>();
        vnk::ui::QtPrompter opener;
        opener.openWithDesktop(document, [reported](const QString& m) { *reported = m; });
        const QDeadlineTimer limit(30000);
        while (!until(*reported) && !limit.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        return *reported;
    }

    QTemporaryDir bin;
    QTemporaryDir files;
    QByteArray oldPath;
    QString document;
};

TEST_F(DesktopOpenerTest, NoApplicationForTheFileGivesThePlatformsMessage) {
    standIn("echo \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
    const std::optional<QString> reported =
        open([](const std::optional<QString>& r) { return r.has_value(); });
    ASSERT_TRUE(reported.has_value());
    EXPECT_EQ(*reported, QStringLiteral("xdg-open: no method available for opening '") + document +
                             QStringLiteral("'"));
    EXPECT_EQ(argsSeen(), document + u'\n');
}

TEST_F(DesktopOpenerTest, AnOpenedFileReportsNothing) {
    standIn("echo 'some chatter' >&2\nexit 0\n");
    // Runs until the stand-in has been and gone, then a little longer for its end to arrive.
    bool seen = false;
    QDeadlineTimer after;
    const std::optional<QString> reported = open([&](const std::optional<QString>& r) {
        if (r)
            return true;
        if (!seen && !argsSeen().isEmpty()) {
            seen = true;
            after = QDeadlineTimer(1000);
        }
        return seen && after.hasExpired();
    });
    EXPECT_TRUE(seen);
    EXPECT_FALSE(reported.has_value()) << reported.value_or(QString()).toStdString();
}

TEST_F(DesktopOpenerTest, AMissingOpenerIsReportedToo) {
    qputenv("PATH", files.path().toLocal8Bit());  // no xdg-open anywhere on it
    const std::optional<QString> reported =
        open([](const std::optional<QString>& r) { return r.has_value(); });
    ASSERT_TRUE(reported.has_value());
    EXPECT_TRUE(reported->startsWith(QStringLiteral("xdg-open: "))) << reported->toStdString();
    EXPECT_GT(reported->size(), 10);
}

}  // namespace
