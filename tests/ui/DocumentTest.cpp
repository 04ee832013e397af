// Query documents in the main window: New, Open, Save, Save As, the recent files, the
// change prompt and the guideline and about windows, driven with scripted answers.

#include "MainWindowHarness.h"
#include "app/ui/TAbout.h"
#include "app/ui/TDevGuideline.h"
#include "db/DataModule.h"
#include "queryfile/QueryFile.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBrowser>
#include <sqlite3.h>

using namespace vnk;
using namespace vnk::test;
using ui::Answer;

namespace {

const QString kNotConnected = QStringLiteral(
    "You have not connected to any database yet. Please connect to a database and try again.");

class DocumentTest : public MainWindowTest {
public:
    void TearDown() override {
        MainWindowTest::TearDown();
        db::dm1().ADOConn1.close();
    }

    QString file(const QString& name) const { return env.path() + u'/' + name; }

    // A SQLite database with one small table; the connection string names it in full.
    QString database(const QString& name = QStringLiteral("sales.sqlite")) const {
        sqlite3* db = nullptr;
        const QByteArray path = file(name).toUtf8();
        EXPECT_EQ(sqlite3_open(path.constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "create table if not exists Account(Id integer primary key, Name text);",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
        return QStringLiteral("Provider=SQLite;Data Source=") + file(name);
    }

    // Starts with a last connection that opens without a question.
    void startConnectedAs(const QString& connName) {
        option(opt::LastConnection, connName);
        option(opt::LastConnString, database());
        start();
        ASSERT_TRUE(db::dm1().ADOConn1.isOpen());
        prompter.asked.clear();
    }
    // Starts with no connection: the connection dialog of the first start is closed.
    void startUnconnected() {
        ModalCloser closer;
        start();
        prompter.asked.clear();
    }

    void click(const char* name) { child<QToolButton>(name)->click(); }
    void recent(int k) {
        child<QAction>(QStringLiteral("smFile%1").arg(k).toLatin1().constData())->trigger();
    }
    void chooseFile(const QString& path, int type = 1) {
        prompter.fileAnswers.push_back(ui::FileChoice{path, type});
    }
    void typeText(const QString& text) { window->editor()->setPlainText(text); }
    QString editorText() const { return window->editor()->toPlainText(); }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        f.write(bytes);
    }
    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList storedRecentFiles() const {
        QStringList out;
        for (int i = 0; i < 10; ++i)
            out << ReadSetting(key::MRU, QStringLiteral("File%1").arg(i));
        return out;
    }
};

}  // namespace

TEST_F(DocumentTest, NewAsksAboutUnsavedChangesFirst) {
    startConnectedAs(QStringLiteral("Sales.udl"));
    typeText(QStringLiteral("select 1"));

    // Cancel keeps the document; so does Yes when the save dialog is cancelled.
    prompter.confirmAnswers = {Answer::Cancel, Answer::Yes};
    prompter.fileAnswers.push_back(std::nullopt);
    click("tbNew");
    click("tbNew");
    EXPECT_EQ(editorText(), QStringLiteral("select 1"));
    EXPECT_TRUE(appState().IsModified);
    EXPECT_EQ(prompter.count(QStringLiteral("save")), 1);

    // A save that cannot be written shows the file error; New does not go on.
    prompter.confirmAnswers = {Answer::Yes};
    chooseFile(file(QStringLiteral("no-such-folder/q.sql")), 2);
    click("tbNew");
    EXPECT_EQ(editorText(), QStringLiteral("select 1"));
    EXPECT_TRUE(appState().IsModified);
    EXPECT_EQ(appState().CurrentFileName, QStringLiteral("<NoName>...."));
    ASSERT_EQ(prompter.messages().size(), 1);
    EXPECT_FALSE(prompter.messages().first().isEmpty());

    // Yes saves, then New empties the document.
    prompter.confirmAnswers = {Answer::Yes};
    chooseFile(file(QStringLiteral("one.sql")), 2);
    click("tbNew");
    EXPECT_EQ(readFile(file(QStringLiteral("one.sql"))), QByteArray("select 1\r\n"));
    EXPECT_TRUE(editorText().isEmpty());
    EXPECT_EQ(window->statusText(5), QString());

    // No discards the changes.
    typeText(QStringLiteral("select 2"));
    prompter.confirmAnswers = {Answer::No};
    click("tbNew");
    EXPECT_TRUE(editorText().isEmpty());
    EXPECT_FALSE(appState().IsModified);
    EXPECT_EQ(appState().CurrentFileName, QStringLiteral("<NoName>...."));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock -  [Sales.udl] -  [<NoName>]"));

    // Every question named the unnamed document; an unchanged document asks nothing.
    click("tbNew");
    ASSERT_EQ(prompter.count(QStringLiteral("confirm")), 5);
    for (const auto& a : prompter.asked) {
        if (a.kind == QStringLiteral("confirm")) {
            EXPECT_EQ(a.text, QStringLiteral("Save changes to <NoName>....?"));
        }
    }
}

TEST_F(DocumentTest, OpenChoosesFirstThenAsksAndChecksTheType) {
    startConnectedAs(QStringLiteral("Sales.udl"));
    const QString a = file(QStringLiteral("a.sql"));
    const QString csv = file(QStringLiteral("a.csv"));
    writeFile(a, "select *\r\nfrom Account\n");
    writeFile(csv, "x\r\n");
    typeText(QStringLiteral("select 1"));

    // Cancel after choosing: nothing is opened.
    chooseFile(a, 2);
    prompter.confirmAnswers = {Answer::Cancel};
    click("tbOpen");
    EXPECT_EQ(editorText(), QStringLiteral("select 1"));
    EXPECT_EQ(appState().CurrentFileName, QStringLiteral("<NoName>...."));
    EXPECT_TRUE(appState().RecentFiles.isEmpty());
    ASSERT_EQ(prompter.fileSpecs.size(), 1u);
    const ui::FileDialogSpec& fileDialog = prompter.fileSpecs.front();
    EXPECT_EQ(fileDialog.defaultSuffix, QStringLiteral("vnk"));
    EXPECT_EQ(fileDialog.filters, (QStringList{QStringLiteral("Query files (*.vnk)"), QStringLiteral("SQL (*.sql)"),
                                         QStringLiteral("Text Files (*.txt)")}));

    // Another kind of file is refused after the question.
    chooseFile(csv, 1);
    prompter.confirmAnswers = {Answer::No};
    click("tbOpen");
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("Invalid file type.")});
    EXPECT_EQ(editorText(), QStringLiteral("select 1"));

    // A plain file opens with the connection untouched; its folder becomes QueryPath.
    chooseFile(a, 2);
    prompter.confirmAnswers = {Answer::No};
    click("tbOpen");
    EXPECT_EQ(editorText(), QStringLiteral("select *\nfrom Account\n"));
    EXPECT_FALSE(appState().IsModified);
    EXPECT_EQ(appState().CurrentFileName, a);
    EXPECT_EQ(window->statusText(5), a);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock -  [Sales.udl] -  [a.sql]"));
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().RecentFiles, QStringList{a});
    EXPECT_EQ(storedOption(opt::QueryPath), env.path());
    // The next open dialog starts there, on the type last used.
    chooseFile(a, 2);
    click("tbOpen");
    EXPECT_EQ(prompter.fileSpecs.back().startFolder, env.path());
    EXPECT_EQ(prompter.fileSpecs.back().filterIndex, 2);
}

TEST_F(DocumentTest, RecentFilesPutTheOpenedFileFirst) {
    const auto make = [this](const QString& name) {
        writeFile(file(name), "select 1\r\n");
        return file(name);
    };
    const QString a = make(QStringLiteral("a.sql")), b = make(QStringLiteral("b.sql")),
                  c = make(QStringLiteral("c.sql")), upperA = make(QStringLiteral("A.sql"));
    struct Case {
        const char* what;
        QStringList before;
        QString opened;
        QStringList after;
    };
    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten << make(QStringLiteral("f%1.sql").arg(i));
    const QString d = make(QStringLiteral("d.sql"));
    QStringList tenAfter = QStringList{d} + ten.mid(0, 9);
    const std::vector<Case> cases = {
        {"moved to the front", {b, a, c}, a, {a, b, c}},
        {"the tenth dropped", ten, d, tenAfter},
        {"letter case kept apart", {upperA, b}, a, {a, upperA, b}},
        {"gone files dropped", {b, file(QStringLiteral("gone.sql")), c}, a, {a, b, c}},
    };
    option(opt::LastConnection, QStringLiteral("Sales.udl"));
    option(opt::LastConnString, database());
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        for (int i = 0; i < 10; ++i)
            WriteSetting(key::MRU, QStringLiteral("File%1").arg(i), i < k.before.size() ? k.before.at(i) : QString());
        start();
        prompter.asked.clear();
        chooseFile(k.opened, 2);
        click("tbOpen");
        EXPECT_EQ(appState().RecentFiles, k.after);
        for (int i = 0; i < 10; ++i) {
            auto* entry = child<QAction>(QStringLiteral("smFile%1").arg(i).toLatin1().constData());
            EXPECT_EQ(entry->isVisible(), i < k.after.size()) << i;
            if (i < k.after.size()) {
                EXPECT_EQ(entry->text(), k.after.at(i)) << i;
            }
        }
        EXPECT_TRUE(prompter.messages().isEmpty());
        ASSERT_TRUE(closeAndDestroy());
        resetAppState();
    }
}

TEST_F(DocumentTest, RecentEntriesAskAboutUnsavedChangesAndKeepQueryPath) {
    const QString a = file(QStringLiteral("a.sql"));
    const QString gone = file(QStringLiteral("gone.sql"));
    writeFile(a, "select 'a'\r\n");
    writeFile(gone, "select 'gone'\r\n");
    WriteSetting(key::MRU, QStringLiteral("File0"), gone);
    WriteSetting(key::MRU, QStringLiteral("File1"), a);
    option(opt::QueryPath, QStringLiteral("/stored/folder"));
    startConnectedAs(QStringLiteral("Sales.udl"));
    ASSERT_TRUE(QFile::remove(gone));

    // A file that has gone: nothing happens and the entry stays.
    typeText(QStringLiteral("unsaved"));
    recent(0);
    EXPECT_EQ(editorText(), QStringLiteral("unsaved"));
    EXPECT_EQ(appState().RecentFiles, (QStringList{gone, a}));

    EXPECT_EQ(prompter.count(QStringLiteral("confirm")), 0);

    // Unsaved changes are offered for saving first, as Open does. Cancel keeps the text
    // and opens nothing.
    const QString question = QStringLiteral("Save changes to <NoName>....?");
    prompter.confirmAnswers = {Answer::Cancel};
    recent(1);
    EXPECT_EQ(editorText(), QStringLiteral("unsaved"));
    EXPECT_EQ(appState().RecentFiles, (QStringList{gone, a}));
    ASSERT_EQ(prompter.count(QStringLiteral("confirm")), 1);
    EXPECT_EQ(prompter.asked.back().text, question);

    // Yes with a cancelled save dialog keeps the text too.
    prompter.confirmAnswers = {Answer::Yes};
    prompter.fileAnswers.push_back(std::nullopt);
    recent(1);
    EXPECT_EQ(editorText(), QStringLiteral("unsaved"));
    EXPECT_EQ(prompter.count(QStringLiteral("save")), 1);

    // No drops the changes and opens the file. The open dialog was never used, so
    // QueryPath keeps its value.
    prompter.confirmAnswers = {Answer::No};
    recent(1);
    EXPECT_EQ(editorText(), QStringLiteral("select 'a'\n"));
    EXPECT_EQ(prompter.count(QStringLiteral("confirm")), 3);
    EXPECT_EQ(appState().RecentFiles, QStringList{a});
    EXPECT_EQ(appState().QueryPath, QStringLiteral("/stored/folder"));
    EXPECT_EQ(storedOption(opt::QueryPath), QStringLiteral("/stored/folder"));
    EXPECT_TRUE(prompter.messages().isEmpty());

    // An unmodified document opens another entry without a question.
    const QString b = file(QStringLiteral("b.sql"));
    writeFile(b, "select 'b'\r\n");
    appState().RecentFiles = {a, b};
    recent(1);
    EXPECT_EQ(editorText(), QStringLiteral("select 'b'\n"));
    EXPECT_EQ(prompter.count(QStringLiteral("confirm")), 3);
}

TEST_F(DocumentTest, SaveRefusesWithoutAConnectionOrAStatement) {
    startUnconnected();
    ASSERT_TRUE(appState().ConnName.isEmpty());

    // A blank editor is never saved, and no dialog is shown for it.
    typeText(QStringLiteral("  \n\t\n"));
    click("tbSaveAs");
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("Query cannot be empty.")});

    // A plain file is fine without a connection; Save then writes it without a dialog.
    typeText(QStringLiteral("select 1\n\nselect 2"));
    const QString sql = file(QStringLiteral("q.sql"));
    chooseFile(sql, 2);
    click("tbSaveAs");
    EXPECT_EQ(readFile(sql), QByteArray("select 1\r\n\r\nselect 2\r\n"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock -  [] -  [q.sql]"));
    typeText(QStringLiteral("select 3"));
    click("tbSave");
    EXPECT_EQ(readFile(sql), QByteArray("select 3\r\n"));
    EXPECT_EQ(prompter.count(QStringLiteral("save")), 1);

    // Another kind of name is refused after the dialog.
    chooseFile(file(QStringLiteral("q.csv")), 3);
    click("tbSaveAs");
    EXPECT_EQ(prompter.messages().last(), QStringLiteral("Invalid file type."));
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("q.csv"))));

    // A query file needs the connection it records: refused after the dialog, and from
    // then on (the query-file type was chosen) before any dialog, also for the .sql.
    typeText(QStringLiteral("select 4"));
    const QString vnk = file(QStringLiteral("q.vnk"));
    chooseFile(vnk, 1);
    click("tbSaveAs");
    EXPECT_EQ(prompter.messages().last(), kNotConnected);
    EXPECT_FALSE(QFile::exists(vnk));
    EXPECT_EQ(appState().SaveTypeIndex, 1);
    const int dialogs = prompter.count(QStringLiteral("save"));
    click("tbSaveAs");
    click("tbSave");
    EXPECT_EQ(prompter.count(QStringLiteral("save")), dialogs);
    EXPECT_EQ(prompter.messages().mid(prompter.messages().size() - 2), QStringList(2, kNotConnected));
    EXPECT_EQ(readFile(sql), QByteArray("select 3\r\n"));
    EXPECT_TRUE(appState().IsModified);

    // The save dialog offers the three kinds with vnk as default suffix.
    const ui::FileDialogSpec& fileDialog = prompter.fileSpecs.back();
    EXPECT_EQ(fileDialog.defaultSuffix, QStringLiteral("vnk"));
    EXPECT_TRUE(fileDialog.confirmOverwrite);
    EXPECT_EQ(fileDialog.filters, (QStringList{QStringLiteral("Varnock Query (*.vnk)"), QStringLiteral("SQL (*.sql)"),
                                         QStringLiteral("Text Files (*.txt)")}));
}

TEST_F(DocumentTest, SavedQueryFileReopensFromTheRecentListAndReconnects) {
    startConnectedAs(QStringLiteral("Sales.udl"));
    const QString vnk = file(QStringLiteral("q.vnk"));
    const QString statement = QStringLiteral("select Id, Name\n\nfrom Account -- \u00e9t\u00e9");
    typeText(statement);
    chooseFile(vnk, 1);
    click("tbSaveAs");
    ASSERT_TRUE(QFile::exists(vnk));
    // The data-link extension leaves the name for good.
    EXPECT_EQ(appState().ConnName, QStringLiteral("Sales"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock -  [Sales] -  [q.vnk]"));
    EXPECT_EQ(window->statusText(5), vnk);
    EXPECT_FALSE(appState().IsModified);
    EXPECT_EQ(storedOption(opt::QueryPath), env.path());

    // Into the recent list through Open, then a new start elsewhere.
    chooseFile(vnk, 1);
    click("tbOpen");
    ASSERT_TRUE(closeAndDestroy());
    resetAppState();
    option(opt::LastConnection, QStringLiteral("Other.txt"));
    option(opt::LastConnString, database(QStringLiteral("other.sqlite")));
    start();
    ASSERT_EQ(appState().RecentFiles, QStringList{vnk});
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock -  [Other.txt] -  [<NoName>]"));

    recent(0);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock -  [Sales] -  [q.vnk]"));
    EXPECT_EQ(editorText(), statement + u'\n');
    EXPECT_EQ(window->statusText(5), vnk);
    EXPECT_EQ(appState().CurrentFileName, vnk);
    EXPECT_EQ(appState().ConnString, database());
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_FALSE(appState().IsModified);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(prompter.messages().isEmpty());

    // Typing and deleting again leaves it unchanged: closing asks nothing.
    QPlainTextEdit* editor = window->editor();
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, QStringLiteral("x"));
    EXPECT_TRUE(appState().IsModified);
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_FALSE(appState().IsModified);
    EXPECT_TRUE(closeAndDestroy());
    EXPECT_EQ(prompter.count(QStringLiteral("confirm")), 0);
}

TEST_F(DocumentTest, QueryFileThatCannotConnectOrHasNoConnection) {
    startConnectedAs(QStringLiteral("Sales.udl"));
    const QString bad = file(QStringLiteral("bad.vnk"));
    const QString missingDb = QStringLiteral("Provider=SQLite;Data Source=") + file(QStringLiteral("none.sqlite"));
    queryfile::writeQueryDocument(bad, QStringLiteral("Gone"), missingDb, {QStringLiteral("select 9")});
    const QString plain = file(QStringLiteral("plain.vnk"));
    writeFile(plain, "select 1\r\n-- note\r\n");

    // No connection string: refused, nothing changes, but the file is a recent one now.
    typeText(QStringLiteral("kept"));
    chooseFile(plain, 1);
    prompter.confirmAnswers = {Answer::No};
    click("tbOpen");
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("Invalid query file.")});
    EXPECT_EQ(editorText(), QStringLiteral("kept"));
    EXPECT_EQ(appState().CurrentFileName, QStringLiteral("<NoName>...."));
    EXPECT_EQ(appState().ConnName, QStringLiteral("Sales.udl"));
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().RecentFiles, QStringList{plain});

    // The connection fails: the provider's message, the statement loaded, no connection.
    chooseFile(bad, 1);
    prompter.confirmAnswers = {Answer::No};
    click("tbOpen");
    ASSERT_EQ(prompter.messages().size(), 2);
    EXPECT_NE(prompter.messages().last(), QStringLiteral("Invalid query file."));
    EXPECT_EQ(editorText(), QStringLiteral("select 9\n"));
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
    EXPECT_TRUE(appState().ConnName.isEmpty());
    EXPECT_EQ(appState().ConnString, missingDb);
    EXPECT_EQ(appState().CurrentFileName, bad);
    EXPECT_EQ(window->statusText(5), bad);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock -  [] -  [bad.vnk]"));
    EXPECT_FALSE(appState().IsModified);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(appState().RecentFiles, (QStringList{bad, plain}));
}

TEST_F(DocumentTest, OneArgumentStartOpensTheQueryFile) {
    const QString vnk = file(QStringLiteral("start.vnk"));
    queryfile::writeQueryDocument(vnk, QStringLiteral("Sales"), database(), {QStringLiteral("select 1")});
    storeWorkingConnection();  // not used by a start with a query file
    start({QStringLiteral(" ") + vnk});
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varnock -  [Sales] -  [start.vnk]"));
    EXPECT_EQ(editorText(), QStringLiteral("select 1\n"));
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(window->statusText(5), vnk);
    EXPECT_TRUE(prompter.messages().isEmpty());
    // Closing an unchanged start-up document asks nothing.
    EXPECT_TRUE(closeAndDestroy());
    EXPECT_EQ(prompter.count(QStringLiteral("confirm")), 0);
}

TEST_F(DocumentTest, GuidelineAndAboutAreModalWindowsOfTheMainWindow) {
    startConnectedAs(QStringLiteral("Sales.udl"));
    auto* guideline = window->findChild<ui::TDevGuideline*>();
    auto* about = window->findChild<ui::TAbout*>();
    ASSERT_TRUE(guideline && about);
    {
        ModalCloser closer;
        click("tbGuideline");
        click("tbAbout");
        EXPECT_EQ(closer.closed, (QStringList{QStringLiteral("vnk::ui::TDevGuideline"),
                                             QStringLiteral("vnk::ui::TAbout")}));
    }
    const QTextBrowser* text = guideline->textView();
    EXPECT_TRUE(text->isReadOnly());
    const QString help = text->toPlainText();
    for (const char* word : {"?Type_Name?", "NSqlPickR", "VFixPickC", "DT", "SList", "|",
                             "XLSX", "TAB", "column titles"})
        EXPECT_TRUE(help.contains(QString::fromLatin1(word))) << word;
    EXPECT_FALSE(appState().VersionText.isEmpty());
    EXPECT_EQ(about->productLabel()->text(),
              QStringLiteral("Varnock - Dozidizur Module ") + appState().VersionText);
}
