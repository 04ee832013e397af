#include "MainWindowHarness.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextEdit>
#include <QTreeWidget>
#include <functional>

using namespace vnk;
using namespace vnk::test;

namespace {

QColor editorTextColour(const QPlainTextEdit* e) {
    return e->palette().color(QPalette::Text);
}

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("SELECT 1;\r\n");
}

}  // namespace

TEST_F(MainWindowTest, FirstStartUsesEveryDefaultAndAsksForAConnection) {
    ASSERT_FALSE(QFileInfo::exists(env.settingsFile()));
    ModalCloser closer;
    ui::TQueryExport& w = start();

    EXPECT_EQ(w.size(), QSize(836, 780));
    EXPECT_EQ(child("Panel1")->width(), 204);
    EXPECT_EQ(child("lvTables")->height(), 132);
    EXPECT_EQ(child("PanelDev")->height(), 304);
    EXPECT_FALSE(child("PanelExecuteSql")->isVisible());
    auto* execToggle = child<QToolButton>("tbHideExecSql");
    EXPECT_EQ(execToggle->text(), QStringLiteral(">"));
    EXPECT_EQ(execToggle->toolTip(), QStringLiteral("Show Executed SQL"));
    auto* schemaToggle = child<QToolButton>("tbHidePanel1");
    EXPECT_EQ(schemaToggle->text(), QStringLiteral("<"));
    EXPECT_EQ(schemaToggle->toolTip(), QStringLiteral("Hide the schema panel"));

    const QFont f = w.editor()->font();
    EXPECT_EQ(f.family(), QStringLiteral("Courier New"));
    EXPECT_EQ(f.pointSize(), 9);
    EXPECT_FALSE(f.bold() || f.italic() || f.underline() || f.strikeOut());
    EXPECT_EQ(editorTextColour(w.editor()), QColor(Qt::black));

    const AppState& st = appState();
    EXPECT_TRUE(st.RecentFiles.isEmpty());
    EXPECT_FALSE(child<QAction>("smClearRecent")->isEnabled());
    EXPECT_EQ(st.SchemaPanelWidth, 204);
    EXPECT_EQ(st.CurrentFileName, QStringLiteral("<NoName>...."));
    EXPECT_EQ(st.WorkFolder, QDir::currentPath());
    EXPECT_FALSE(st.IsBatchRun);
    EXPECT_FALSE(child("lblConnString")->isVisible());

    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("Please choose a database connection.")});
    EXPECT_EQ(closer.closed, QStringList{QStringLiteral("vnk::ui::TIBSelectDb")});
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Varnock"));
}

// Values that are missing or no number fall back to their defaults, one setting at a time.
TEST_F(MainWindowTest, StoredValuesAndTheirFallbacks) {
    struct Case {
        const char* name;
        QList<QPair<const char*, QString>> settings;
        std::function<void(ui::TQueryExport&, MainWindowTest&)> check;
    };
    const QString longName = QStringLiteral("Liberation Mono Extra Long Family Name X");
    const std::vector<Case> cases = {
        {"top not numeric", {{"WinTop", QStringLiteral("abc")}, {"WinLeft", QStringLiteral("10")}},
         [](ui::TQueryExport& w, MainWindowTest&) {
             EXPECT_EQ(w.geometry().top(), 93);
             EXPECT_EQ(w.geometry().left(), 10);
         }},
        {"stored rectangle", {{"WinTop", QStringLiteral("40")}, {"WinLeft", QStringLiteral("30")},
                              {"WinHeight", QStringLiteral("500")}, {"WinWidth", QStringLiteral("700")}},
         [](ui::TQueryExport& w, MainWindowTest&) {
             EXPECT_EQ(w.geometry(), QRect(30, 40, 700, 500));
         }},
        {"minimised comes back normal", {{"WinState", QStringLiteral("1")}},
         [](ui::TQueryExport& w, MainWindowTest&) {
             EXPECT_FALSE(w.isMinimized());
             EXPECT_FALSE(w.isMaximized());
         }},
        {"maximised", {{"WinState", QStringLiteral("2")}},
         [](ui::TQueryExport& w, MainWindowTest&) { EXPECT_TRUE(w.windowState() & Qt::WindowMaximized); }},
        {"state not numeric", {{"WinState", QStringLiteral("max")}},
         [](ui::TQueryExport& w, MainWindowTest&) { EXPECT_EQ(w.windowState(), Qt::WindowNoState); }},
        {"ShowSql 0", {{"ShowSql", QStringLiteral("0")}},
         [](ui::TQueryExport&, MainWindowTest& t) { EXPECT_FALSE(t.child("PanelExecuteSql")->isVisible()); }},
        {"ShowSql empty", {{"ShowSql", QString()}},
         [](ui::TQueryExport&, MainWindowTest& t) { EXPECT_FALSE(t.child("PanelExecuteSql")->isVisible()); }},
        {"ShowSql yes", {{"ShowSql", QStringLiteral("yes")}},
         [](ui::TQueryExport&, MainWindowTest& t) { EXPECT_FALSE(t.child("PanelExecuteSql")->isVisible()); }},
        {"ShowSql 1", {{"ShowSql", QStringLiteral("1")}},
         [](ui::TQueryExport&, MainWindowTest& t) {
             EXPECT_TRUE(t.child("PanelExecuteSql")->isVisible());
             EXPECT_EQ(t.child("PanelExecuteSql")->height(), 128);
             EXPECT_EQ(t.child<QToolButton>("tbHideExecSql")->text(), QStringLiteral("<"));
             EXPECT_EQ(t.child<QToolButton>("tbHideExecSql")->toolTip(), QStringLiteral("Hide Executed SQL"));
         }},
        {"panel sizes", {{"TableHeight", QStringLiteral("90")}, {"PDevHeight", QStringLiteral("350")},
                         {"P1Width", QStringLiteral("260")}},
         [](ui::TQueryExport&, MainWindowTest& t) {
             EXPECT_EQ(t.child("lvTables")->height(), 90);
             EXPECT_EQ(t.child("PanelDev")->height(), 350);
             EXPECT_EQ(t.child("Panel1")->width(), 260);
         }},
        {"sizes not numeric", {{"TableHeight", QStringLiteral("1 3")}, {"PDevHeight", QStringLiteral("high")},
                               {"P1Width", QStringLiteral("")}},
         [](ui::TQueryExport&, MainWindowTest& t) {
             EXPECT_EQ(t.child("lvTables")->height(), 132);
             EXPECT_EQ(t.child("PanelDev")->height(), 304);
             EXPECT_EQ(t.child("Panel1")->width(), 204);
         }},
        {"schema panel stored collapsed", {{"P1Width", QStringLiteral("0")}},
         [](ui::TQueryExport&, MainWindowTest& t) {
             EXPECT_EQ(t.child("Panel1")->width(), 1);
             EXPECT_EQ(t.child<QToolButton>("tbHidePanel1")->text(), QStringLiteral(">"));
             EXPECT_EQ(t.child<QToolButton>("tbHidePanel1")->toolTip(), QStringLiteral("Show the schema panel"));
             // Expanding cannot bring back a collapsed width: the default width it is.
             t.child<QToolButton>("tbHidePanel1")->click();
             EXPECT_EQ(t.child("Panel1")->width(), 204);
         }},
        {"editor font", {{"QueryFontName", longName}, {"QueryFontSize", QStringLiteral("12")},
                         {"QueryFontColor", QStringLiteral("255")}, {"QueryFontStyle", QStringLiteral("269")},
                         {"QueryFontCharSet", QStringLiteral("238")}},
         [longName](ui::TQueryExport& w, MainWindowTest&) {
             const QFont f = w.editor()->font();
             EXPECT_EQ(f.family(), longName.left(31));
             EXPECT_EQ(f.pointSize(), 12);
             // 269 keeps its low eight bits: 13 = bold, underline, strike-out.
             EXPECT_TRUE(f.bold());
             EXPECT_FALSE(f.italic());
             EXPECT_TRUE(f.underline());
             EXPECT_TRUE(f.strikeOut());
             EXPECT_EQ(editorTextColour(w.editor()), QColor(255, 0, 0));
             const AppState& st = appState();
             EXPECT_EQ(st.QueryFontName, longName);
             EXPECT_EQ(st.QueryFontStyle, 13);
             EXPECT_EQ(st.QueryFontCharSet, 238);
             EXPECT_EQ(st.QueryFontColor, 255);
         }},
        {"font values not numeric", {{"QueryFontName", QString()}, {"QueryFontSize", QStringLiteral("big")},
                                     {"QueryFontColor", QStringLiteral("blue")}, {"QueryFontStyle", QStringLiteral("b")}},
         [](ui::TQueryExport& w, MainWindowTest&) {
             const QFont f = w.editor()->font();
             EXPECT_EQ(f.family(), QStringLiteral("Courier New"));
             EXPECT_EQ(f.pointSize(), 9);
             EXPECT_FALSE(f.bold());
             EXPECT_EQ(editorTextColour(w.editor()), QColor(Qt::black));
             EXPECT_EQ(appState().QueryFontName, QString());
         }},
        {"colour with blue in the high byte", {{"QueryFontColor", QStringLiteral("$FF0000")}},
         [](ui::TQueryExport& w, MainWindowTest&) {
             EXPECT_EQ(editorTextColour(w.editor()), QColor(0, 0, 255));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(env.settingsFile());
        resetAppState();
        storeWorkingConnection();
        for (const auto& [name, value] : c.settings)
            option(name, value);
        start();
        c.check(*window, *this);
        EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();
        window.reset();
    }
}

TEST_F(MainWindowTest, LayoutWrittenAtCloseComesBackAtTheNextStart) {
    storeWorkingConnection();
    start();
    window->setGeometry(50, 60, 900, 700);
    splitter("SplitterMain")->setSizes({280, 400});
    splitter("SplitterSchema")->setSizes({100, 200});
    splitter("SplitterDev")->setSizes({250, 600});
    child<QToolButton>("tbHideExecSql")->click();
    // Closed while collapsed: the expanded width is what is kept.
    child<QToolButton>("tbHidePanel1")->click();
    ASSERT_EQ(child("Panel1")->width(), 1);
    ASSERT_TRUE(closeAndDestroy());

    EXPECT_EQ(storedOption("WinTop"), QStringLiteral("60"));
    EXPECT_EQ(storedOption("WinLeft"), QStringLiteral("50"));
    EXPECT_EQ(storedOption("WinHeight"), QStringLiteral("700"));
    EXPECT_EQ(storedOption("WinWidth"), QStringLiteral("900"));
    EXPECT_EQ(storedOption("PDevHeight"), QStringLiteral("280"));
    EXPECT_EQ(storedOption("TableHeight"), QStringLiteral("100"));
    EXPECT_EQ(storedOption("P1Width"), QStringLiteral("250"));
    EXPECT_EQ(storedOption("ShowSql"), QStringLiteral("1"));
    EXPECT_EQ(storedOption("WinState"), QStringLiteral("0"));

    resetAppState();
    start();
    EXPECT_EQ(window->geometry(), QRect(50, 60, 900, 700));
    EXPECT_EQ(child("PanelDev")->height(), 280);
    EXPECT_EQ(child("lvTables")->height(), 100);
    EXPECT_EQ(child("Panel1")->width(), 250);
    EXPECT_EQ(child<QToolButton>("tbHidePanel1")->text(), QStringLiteral("<"));
    EXPECT_TRUE(child("PanelExecuteSql")->isVisible());
    EXPECT_EQ(child("PanelExecuteSql")->height(), 128);
    EXPECT_TRUE(prompter.messages().isEmpty());
}

TEST_F(MainWindowTest, MaximisedWindowKeepsItsNormalRectangle) {
    storeWorkingConnection();
    option("WinTop", QStringLiteral("20"));
    option("WinLeft", QStringLiteral("25"));
    option("WinHeight", QStringLiteral("400"));
    option("WinWidth", QStringLiteral("600"));
    start();
    window->showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(closeAndDestroy());
    EXPECT_EQ(storedOption("WinState"), QStringLiteral("2"));
    EXPECT_EQ(storedOption("WinTop"), QStringLiteral("20"));
    EXPECT_EQ(storedOption("WinLeft"), QStringLiteral("25"));
    EXPECT_EQ(storedOption("WinHeight"), QStringLiteral("400"));
    EXPECT_EQ(storedOption("WinWidth"), QStringLiteral("600"));
}

TEST_F(MainWindowTest, RecentFilesDropMissingAndDuplicateEntriesAndCloseUp) {
    storeWorkingConnection();
    const QString a = env.path() + QStringLiteral("/a.vnk");
    const QString upperA = env.path() + QStringLiteral("/A.vnk");
    const QString b = env.path() + QStringLiteral("/b.sql");
    touch(a);
    touch(upperA);
    touch(b);
    const QStringList slots = {a, env.path() + QStringLiteral("/gone.vnk"), a, QString(), upperA,
                               env.path(), b};
    for (int i = 0; i < slots.size(); ++i)
        WriteSetting(key::MRU, QStringLiteral("File%1").arg(i), slots.at(i));

    start();
    const QStringList expected = {a, upperA, b};
    EXPECT_EQ(appState().RecentFiles, expected);
    for (int k = 0; k < 10; ++k) {
        auto* entry = child<QAction>(QStringLiteral("smFile%1").arg(k).toLatin1().constData());
        EXPECT_EQ(entry->isVisible(), k < 3) << k;
        if (k < 3) {
            EXPECT_EQ(entry->text(), expected.at(k)) << k;
        }
    }
    EXPECT_TRUE(child<QAction>("smClearRecent")->isEnabled());

    ASSERT_TRUE(closeAndDestroy());
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(ReadSetting(key::MRU, QStringLiteral("File%1").arg(i)),
                  i < 3 ? expected.at(i) : QString())
            << i;
}

TEST_F(MainWindowTest, ClearRecentEmptiesTheListAndTheMenu) {
    storeWorkingConnection();
    const QString a = env.path() + QStringLiteral("/a&b.vnk");
    touch(a);
    WriteSetting(key::MRU, QStringLiteral("File0"), a);
    start();
    auto* entry = child<QAction>("smFile0");
    EXPECT_TRUE(entry->isVisible());
    EXPECT_EQ(entry->text(), env.path() + QStringLiteral("/a&&b.vnk"));  // "&" shown, no shortcut

    child<QAction>("smClearRecent")->trigger();
    EXPECT_TRUE(appState().RecentFiles.isEmpty());
    EXPECT_FALSE(entry->isVisible());
    EXPECT_TRUE(entry->text().isEmpty());
    EXPECT_FALSE(child<QAction>("smClearRecent")->isEnabled());
    ASSERT_TRUE(closeAndDestroy());
    EXPECT_EQ(ReadSetting(key::MRU, QStringLiteral("File0")), QString());
}

// A directory where the settings file belongs cannot be written, not even by root.
TEST_F(MainWindowTest, UnwritableSettingsAreReportedWithoutCrashing) {
    ASSERT_TRUE(QDir().mkpath(env.settingsFile()));
    ModalCloser closer;
    start();
    EXPECT_EQ(child("Panel1")->width(), 204);
    prompter.asked.clear();

    EXPECT_TRUE(closeAndDestroy());
    // Once for the recent files at close, once for the layout while the window goes.
    EXPECT_EQ(prompter.messages(), QStringList(2, QStringLiteral("Error creating system registry entry")));
}

TEST_F(MainWindowTest, OneArgumentChecksTheQueryFileAndSkipsTheLastConnection) {
    storeWorkingConnection();
    const QString sql = env.path() + QStringLiteral("/q.sql");
    touch(sql);
    struct Case {
        QString argument;
        QString message;
    };
    const QString missing = env.path() + QStringLiteral("/none.vnk");
    const std::vector<Case> cases = {
        {missing, QStringLiteral("Error - Query file: \"") + missing + QStringLiteral("\" not found.")},
        {QStringLiteral("  ") + sql + QStringLiteral(" "),
         QStringLiteral("Error - Query file: \"") + sql + QStringLiteral("\" is not a valid file type.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        resetAppState();
        prompter.asked.clear();
        start({c.argument});
        EXPECT_EQ(prompter.messages(), QStringList{c.message});
        EXPECT_FALSE(appState().IsBatchRun);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock"));  // not connected
        EXPECT_TRUE(appState().ConnName.isEmpty());
        window.reset();
    }
}

// The batch run has no window: the real program, errors in the event-log file.
TEST(BatchRun, ArgumentErrorsGoToTheEventLogAndFailTheRun) {
    const QString program = QStringLiteral(VARNOCK_BINARY_DIR "/varnock");
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "program not built";
    IsolatedEnvironment env;
    const QString query = env.path() + QStringLiteral("/q.vnk");
    touch(query);
    struct Case {
        QStringList args;
        QString message;
        int exitCode;
    };
    const QString missing = env.path() + QStringLiteral("/none.vnk");
    const std::vector<Case> cases = {
        {{query, QStringLiteral("out.txt"), QStringLiteral("D"), QStringLiteral(",")},
         QStringLiteral("Error - Total number of parameter must either be 1 or 5."), 1},
        {{missing, QStringLiteral("out.txt"), QStringLiteral("D"), QStringLiteral(","), QStringLiteral("1")},
         QStringLiteral("Error - Query file: \"") + missing + QStringLiteral("\" not found."), 1},
        {{query, QStringLiteral("out.txt")},
         QStringLiteral("Error - Total number of parameter must either be 1 or 5."), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        QFile::remove(env.eventLogFile());
        QProcess p;
        QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
        pe.remove(QStringLiteral("DISPLAY"));
        pe.remove(QStringLiteral("QT_QPA_PLATFORM"));  // no display needed at all
        p.setProcessEnvironment(pe);
        p.start(program, c.args);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.exitCode);
        EXPECT_EQ(env.eventLogMessages(), QStringList{c.message});
    }
}
