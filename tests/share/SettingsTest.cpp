#include "TestSupport.h"
#include "share/AppState.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace vnk;

TEST(Settings, MissingFileReadsEmptyAndNumbersFallBack) {
    test::IsolatedEnvironment env;
    EXPECT_EQ(ReadSetting(key::Options, QStringLiteral("WinTop")), QString());
    EXPECT_EQ(ReadIntSetting(opt::WinTop), 93);
    EXPECT_FALSE(QFileInfo::exists(env.settingsFile()));
}

TEST(Settings, WriteCreatesAnOwnerOnlyFileAndValuesReadBackWhole) {
    test::IsolatedEnvironment env;
    const QString longConn = QStringLiteral("Driver={PostgreSQL Unicode};Server=db;") +
                             QString(300, u'x') + QStringLiteral(";PWD=a,b=c;\"q\"");
    WriteSetting(key::Options, QStringLiteral("LastConnString"), longConn);
    WriteSetting(key::MRU, QStringLiteral("File0"), QStringLiteral("/tmp/a b/Zürich.vnk"));
    WriteSetting(key::Options, QStringLiteral("WinTop"), QStringLiteral("abc"));

    EXPECT_EQ(ReadSetting(key::Options, QStringLiteral("LastConnString")), longConn);
    EXPECT_EQ(ReadSetting(key::MRU, QStringLiteral("File0")), QStringLiteral("/tmp/a b/Zürich.vnk"));
    EXPECT_EQ(ReadIntSetting(opt::WinTop), 93);

    const QFileInfo info(env.settingsFile());
    ASSERT_TRUE(info.isFile());
    EXPECT_EQ(info.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                    QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());

    QFile f(env.settingsFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray ini = f.readAll();
    EXPECT_TRUE(ini.contains("[Options]"));
    EXPECT_TRUE(ini.contains("[MRU]"));
}

TEST(Settings, AFailedWriteRaisesTheRegistryMessage) {
    test::IsolatedEnvironment env;
    // A folder where the file should be: fails for every user, root included.
    ASSERT_TRUE(QDir().mkpath(env.settingsFile()));
    try {
        WriteSetting(key::Options, QStringLiteral("WinTop"), QStringLiteral("1"));
        FAIL() << "no error raised";
    } catch (const SettingsError& e) {
        EXPECT_STREQ(e.what(), "Error creating system registry entry");
    }
}

TEST(ReportError, GoesToTheEventLogInABatchRunAndToTheSinkOtherwise) {
    test::IsolatedEnvironment env;
    resetAppState();
    QStringList shown;
    setInteractiveErrorSink([&](const QString& m) { shown << m; });

    ReportError(QStringLiteral("interactive"));
    appState().IsBatchRun = true;
    ReportError(QStringLiteral("first line\r\nsecond \"quoted\""));
    ReportError(QStringLiteral("No data to export."));
    appState().IsBatchRun = false;
    setInteractiveErrorSink({});

    EXPECT_EQ(shown, QStringList{QStringLiteral("interactive")});
    EXPECT_EQ(env.eventLogMessages(),
              (QStringList{QStringLiteral("first line\r\nsecond \"quoted\""),
                           QStringLiteral("No data to export.")}));
    QFile f(env.eventLogFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains("\"source\":\"Varnock\""));
    EXPECT_TRUE(lines[0].contains("\"type\":\"error\""));
}

TEST(WriteEventLog, AnUnwritableLogIsSilent) {
    test::IsolatedEnvironment env;
    qputenv("VARNOCK_EVENT_LOG", (env.path() + QStringLiteral("/no/such/dir/log")).toUtf8());
    EXPECT_NO_THROW(WriteEventLog(QStringLiteral("Varnock"), QStringLiteral("lost")));
}
