#include "MainWindowHarness.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

using namespace vnk;
using namespace vnk::test;

TEST_F(MainWindowTest, CommandBarsCarryTheirCaptionsAndHints) {
    storeWorkingConnection();
    start();
    struct Button {
        const char* name;
        QString caption;
        QString hint;
    };
    const std::vector<Button> buttons = {
        {"tbHidePanel1", QStringLiteral("<"), QStringLiteral("Hide the schema panel")},
        {"tbNew", QStringLiteral("&New"), QStringLiteral("New Query (Alt+N)")},
        {"tbOpen", QStringLiteral("&Open"), QStringLiteral("Open Query (Alt+O)")},
        {"tbSave", QStringLiteral("&Save"), QStringLiteral("Save Query (Alt+S)")},
        {"tbSaveAs", QStringLiteral("Save &As"), QStringLiteral("Save Query As (Alt+A)")},
        {"tbDBConnection", QStringLiteral("&Database Connection"),
         QStringLiteral("Choose or Create Database Connection (Alt+D)")},
        {"tbGuideline", QStringLiteral("&Guideline"), QStringLiteral("Simple User Guideline (Alt+G)")},
        {"tbAbout", QStringLiteral("A&bout..."), QStringLiteral("About Varnock (Alt+B)")},
        {"tbExit", QStringLiteral("E&xit"), QStringLiteral("Exit (Alt+X)")},
        {"tbHideExecSql", QStringLiteral(">"), QStringLiteral("Show Executed SQL")},
        {"tbExecToScreen", QStringLiteral("&Execute"), QStringLiteral("Execute Query (Alt+E)")},
        {"tbExecToFile", QStringLiteral("Execute to &File"), QStringLiteral("Execute Query to File (Alt+F)")},
        {"tbSaveResultToFile", QStringLiteral("Save &Result to File"),
         QStringLiteral("Save Result to Delimited or Excel File (Alt+R)")},
        {"tbInsertParameter", QStringLiteral("Insert Parameter"), QString()},
    };
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.name);
        auto* button = child<QToolButton>(b.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), b.caption);
        EXPECT_EQ(button->toolTip(), b.hint);
        EXPECT_TRUE(button->isVisible());
        // Nothing of the caption is cut off.
        EXPECT_GE(button->width(), button->sizeHint().width());
    }

    // Open's drop-down leads to the recent-files menu: ten hidden entries, then Clear Recent.
    auto* open = child<QToolButton>("tbOpen");
    ASSERT_NE(open->menu(), nullptr);
    const QList<QAction*> items = open->menu()->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first()->text(), QStringLiteral("&Recent Files"));
    auto* recent = child<QMenu>("mRecent");
    EXPECT_EQ(items.first()->menu(), recent);
    const QList<QAction*> entries = recent->actions();
    ASSERT_EQ(entries.size(), 12);
    EXPECT_TRUE(entries.at(10)->isSeparator());
    EXPECT_EQ(entries.at(11)->text(), QStringLiteral("Clear Recent"));
    EXPECT_EQ(entries.at(11)->objectName(), QStringLiteral("smClearRecent"));
}

TEST_F(MainWindowTest, StatusBarHasFivePanelsAtLeastTheirDesignWidths) {
    storeWorkingConnection();
    start();
    auto* bar = child<QStatusBar>("StatusBar");
    const int widths[5] = {160, 120, 75, 160, 50};
    for (int i = 1; i <= 5; ++i) {
        auto* label = bar->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
        ASSERT_NE(label, nullptr) << i;
        EXPECT_GE(label->width(), widths[i - 1]) << i;
        window->setStatusText(i, QStringLiteral("text %1").arg(i));
        EXPECT_EQ(label->text(), QStringLiteral("text %1").arg(i));
        EXPECT_EQ(window->statusText(i), QStringLiteral("text %1").arg(i));
    }
    auto* first = bar->findChild<QLabel*>(QStringLiteral("StatusPanel1"));
    EXPECT_GE(first->contentsRect().width(),
              first->fontMetrics().horizontalAdvance(QStringLiteral("Executing query. Please wait...")));
    // A long document path never widens the window.
    const int before = window->width();
    window->setStatusText(5, QString(400, u'x'));
    QApplication::processEvents();
    EXPECT_EQ(window->width(), before);
}

TEST_F(MainWindowTest, SchemaPanelToggleAndSplitterCollapse) {
    storeWorkingConnection();
    start();
    auto* toggle = child<QToolButton>("tbHidePanel1");
    QWidget* panel = child("Panel1");

    toggle->click();
    EXPECT_EQ(panel->width(), 1);
    EXPECT_EQ(toggle->text(), QStringLiteral(">"));
    EXPECT_EQ(toggle->toolTip(), QStringLiteral("Show the schema panel"));
    EXPECT_EQ(appState().SchemaPanelWidth, 204);
    toggle->click();
    EXPECT_EQ(panel->width(), 204);
    EXPECT_EQ(toggle->text(), QStringLiteral("<"));
    EXPECT_EQ(toggle->toolTip(), QStringLiteral("Hide the schema panel"));

    // Dragging the splitter: every width is remembered, the far left collapses.
    splitter("SplitterDev")->setSizes({150, 700});
    EXPECT_EQ(panel->width(), 150);
    EXPECT_EQ(appState().SchemaPanelWidth, 150);
    splitter("SplitterDev")->setSizes({0, 850});
    EXPECT_EQ(panel->width(), 1);
    EXPECT_EQ(toggle->text(), QStringLiteral(">"));
    EXPECT_EQ(appState().SchemaPanelWidth, 150);
    toggle->click();
    EXPECT_EQ(panel->width(), 150);
    EXPECT_EQ(toggle->text(), QStringLiteral("<"));

    // The editor takes what the window gains; the panel keeps its width.
    window->resize(window->width() + 200, window->height() + 100);
    QApplication::processEvents();
    EXPECT_EQ(panel->width(), 150);
    EXPECT_EQ(child("PanelDev")->height(), 304);
    EXPECT_EQ(child("lvTables")->height(), 132);
}

TEST_F(MainWindowTest, ExecutedSqlPanelToggle) {
    storeWorkingConnection();
    start();
    auto* toggle = child<QToolButton>("tbHideExecSql");
    QWidget* panel = child("PanelExecuteSql");
    QWidget* grid = child("dbgResult");
    const int gridHeight = grid->height();

    toggle->click();
    QApplication::processEvents();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->height(), 128);
    EXPECT_EQ(toggle->text(), QStringLiteral("<"));
    EXPECT_EQ(toggle->toolTip(), QStringLiteral("Hide Executed SQL"));
    EXPECT_EQ(grid->height(), gridHeight - 128);
    EXPECT_EQ(child("PanelDev")->height(), 304);

    toggle->click();
    QApplication::processEvents();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(toggle->text(), QStringLiteral(">"));
    EXPECT_EQ(toggle->toolTip(), QStringLiteral("Show Executed SQL"));
    EXPECT_EQ(grid->height(), gridHeight);
}

TEST_F(MainWindowTest, TitleRule) {
    window = std::make_unique<ui::TQueryExport>();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock"));
    AppState& st = appState();
    struct Case {
        QString connName, fileName;
        bool drop;
        QString title;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("Demo.txt"), QStringLiteral("<NoName>...."), true,
         QStringLiteral("Varnock -  [Demo.txt] -  [<NoName>]")},
        {QStringLiteral("Demo.txt"), QStringLiteral("<NoName>...."), false,
         QStringLiteral("Varnock -  [Demo.txt] -  [<NoName>....]")},
        {QStringLiteral("Sales"), QStringLiteral("/home/u/q/report.vnk"), false,
         QStringLiteral("Varnock -  [Sales] -  [report.vnk]")},
        {QStringLiteral("Sales"), QStringLiteral("/home/u/q/report.vnk"), true,
         QStringLiteral("Varnock -  [Sales] -  [report]")},
        {QString(), QStringLiteral("/tmp/a.sql"), false, QStringLiteral("Varnock -  [] -  [a.sql]")},
        {QStringLiteral("X"), QStringLiteral("/tmp/abc"), true, QStringLiteral("Varnock -  [X] -  []")},
    };
    for (const Case& c : cases) {
        st.ConnName = c.connName;
        st.CurrentFileName = c.fileName;
        window->updateTitle(c.drop);
        EXPECT_EQ(window->windowTitle(), c.title);
    }
}

TEST_F(MainWindowTest, ModifiedFlagFollowsTheTextAndTheClosePrompt) {
    storeWorkingConnection();
    start();
    QPlainTextEdit* editor = window->editor();
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("x"));
    EXPECT_TRUE(appState().IsModified);
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_FALSE(appState().IsModified);
    // Tab characters go into the statement.
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("\t"));
    EXPECT_TRUE(appState().IsModified);

    // Cancel keeps the window; Yes tries to save, and a blank statement is not saved, so
    // the window stays too; No closes.
    prompter.confirmAnswers = {ui::Answer::Cancel, ui::Answer::Yes, ui::Answer::No};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->close());
    ASSERT_EQ(prompter.count(QStringLiteral("confirm")), 3);
    EXPECT_EQ(prompter.asked.back().text, QStringLiteral("Save changes to <NoName>....?"));
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("Query cannot be empty.")});
}

TEST_F(MainWindowTest, UnchangedDocumentClosesWithoutAQuestionThroughExit) {
    storeWorkingConnection();
    start();
    window->editor()->setPlainText(QStringLiteral("select 1"));
    window->editor()->clear();
    child<QToolButton>("tbExit")->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(prompter.count(QStringLiteral("confirm")), 0);
}

TEST_F(MainWindowTest, StartUpConnectionNamesTheTitleAndClearsTheSchemaPanel) {
    storeWorkingConnection();
    start();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock -  [Empty.txt] -  [<NoName>]"));
    EXPECT_TRUE(window->catalogLabel()->text().isEmpty());
    EXPECT_TRUE(prompter.asked.empty());
}
