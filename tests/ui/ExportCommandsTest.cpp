// The export commands from the main window on a real SQLite database: the "Output File
// Options" dialog and the save dialog driven headless, Save Result to File and Execute to
// File writing real files, the wait window and the desktop opening.

#include "MainWindowHarness.h"
#include "db/DataModule.h"
#include "db/ResultSet.h"
#include "export/ui/ExportCommands.h"
#include "export/ui/TProcessingMsg.h"
#include "export/ui/TToolOptions.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <deque>
#include <functional>
#include <ostream>
#include <sqlite3.h>

static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vnk::test {
namespace {

using ui::FileChoice;
using ui::TToolOptions;

const QString kBlank = QStringLiteral("Blank delimiter is not allowed.");
const QString kNoData = QStringLiteral("No data to export.");

void runSql(const QString& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ExportCommandsTest : public MainWindowTest {
public:
    void SetUp() override {
        MainWindowTest::SetUp();
        ui::resetOutputSaveDialog();
        dbFile = env.path() + QStringLiteral("/export.sqlite");
        runSql(dbFile,
               "create table t (id integer, name varchar(20));"
               "insert into t values (1, 'one'), (2, 'a,b'), (3, null);"
               "create table e (id integer);");
        option(opt::LastConnection, QStringLiteral("Export.txt"));
        option(opt::LastConnString, QStringLiteral("Provider=SQLite;Data Source=") + dbFile);
        outFolder = env.path() + QStringLiteral("/out");
        QDir().mkpath(outFolder);
        start();
        ASSERT_TRUE(db::dm1().ADOConn1.isOpen());
        ASSERT_TRUE(prompter.asked.empty());

        // Acts on the options dialog while it is up; records how the windows stand while
        // the wait window shows.
        driver.setInterval(5);
        QObject::connect(&driver, &QTimer::timeout, [this] {
            if (ui::TProcessingMsg* wait = window->processingMsg(); wait && wait->isVisible())
                mainEnabledDuringExport << window->isEnabled();
            auto* dlg = qobject_cast<TToolOptions*>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            if (optionActs.empty()) {
                ADD_FAILURE() << "unexpected options dialog";
                dlg->reject();
                return;
            }
            auto act = optionActs.front();
            optionActs.pop_front();
            act(*dlg);
        });
        driver.start();
    }
    void TearDown() override {
        driver.stop();
        EXPECT_TRUE(optionActs.empty()) << "the options dialog did not open as often as expected";
        window.reset();
        db::dm1().ADOQry1.close();
        db::dm1().ADOConn1.close();
        MainWindowTest::TearDown();
    }

    // The controls of the options dialog.
    template <class T>
    static T* control(TToolOptions& dlg, const char* name) {
        T* w = dlg.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static QRadioButton* radio(TToolOptions& dlg, const char* name) {
        return control<QRadioButton>(dlg, name);
    }
    static void pressOk(TToolOptions& dlg) { control<QPushButton>(dlg, "btnOk")->click(); }

    // Queues the dialog's answers: the kind of output, the delimiter (empty: "Tab Delimited"
    // for "\t", else "Other" with that text), the title flag, then OK.
    void answerOptions(const char* kind, const QString& delimiter = QStringLiteral(","),
                       bool withHeader = true) {
        optionActs.push_back([=](TToolOptions& dlg) {
            radio(dlg, "rbDelimiter")->click();  // the delimiter controls take input
            if (delimiter == u"\t") {
                radio(dlg, "rbTab")->click();
            } else {
                radio(dlg, "rbOther")->click();
                control<QLineEdit>(dlg, "txtDelimiter")->setText(delimiter);
            }
            radio(dlg, kind)->click();
            control<QCheckBox>(dlg, "cbWithHeader")->setChecked(withHeader);
            pressOk(dlg);
        });
    }
    void answerSave(const QString& name, int type = 1) {
        prompter.fileAnswers.push_back(FileChoice{outFolder + u'/' + name, type});
    }

    void hold(const QString& sql) {
        db::Query& q = db::dm1().ADOQry1;
        q.setSql(sql);
        q.open();
        window->resultGrid()->setResult(q.result());
    }
    void saveResult() { child<QToolButton>("tbSaveResultToFile")->click(); }
    void executeToFile(const QString& sql, ui::Answer answer = ui::Answer::Yes) {
        window->editor()->setPlainText(sql);
        prompter.confirmAnswers.push_back(answer);
        child<QToolButton>("tbExecToFile")->click();
    }
    int rowsInT() const {
        sqlite3* db = nullptr;
        sqlite3_open(dbFile.toUtf8().constData(), &db);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "select count(*) from t", -1, &st, nullptr);
        sqlite3_step(st);
        const int n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
        return n;
    }
    QStringList desktopOpened() const {
        QStringList out;
        for (const ScriptedPrompter::Asked& a : prompter.asked)
            if (a.kind == u"desktop")
                out << a.text;
        return out;
    }
    void expectWindowsBack() {
        EXPECT_TRUE(window->isEnabled());
        EXPECT_FALSE(window->processingMsg()->isVisible());
    }

    QString dbFile;
    QString outFolder;
    QTimer driver;
    std::deque<std::function<void(TToolOptions&)>> optionActs;
    QList<bool> mainEnabledDuringExport;
};

TEST_F(ExportCommandsTest, FirstUseRefusesABlankDelimiterAndStoresTheChoice) {
    hold(QStringLiteral("select id, name from t order by id"));
    optionActs.push_back([this](TToolOptions& dlg) {
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Output File Options"));
        EXPECT_TRUE(radio(dlg, "rbDelimiter")->isChecked());
        EXPECT_TRUE(radio(dlg, "rbOther")->isChecked());
        EXPECT_FALSE(radio(dlg, "rbTab")->isChecked());
        EXPECT_TRUE(radio(dlg, "rbTab")->isEnabled());
        auto* box = control<QLineEdit>(dlg, "txtDelimiter");
        EXPECT_EQ(box->text(), QString());
        EXPECT_TRUE(box->isEnabled());
        EXPECT_EQ(box->maxLength(), 3);
        EXPECT_TRUE(control<QLabel>(dlg, "lblDelimiter")->isEnabled());
        EXPECT_TRUE(control<QCheckBox>(dlg, "cbWithHeader")->isChecked());
        EXPECT_TRUE(appState().CancelFlag);

        pressOk(dlg);
        EXPECT_EQ(prompter.messages(), QStringList{kBlank});
        EXPECT_TRUE(dlg.isVisible());  // stays open
        EXPECT_EQ(storedOption("FileFormat"), QString());

        // The enabling rules, which never change a selection.
        radio(dlg, "rbExcelF")->click();
        EXPECT_FALSE(radio(dlg, "rbTab")->isEnabled());
        EXPECT_FALSE(radio(dlg, "rbOther")->isEnabled());
        EXPECT_FALSE(box->isEnabled());
        EXPECT_TRUE(radio(dlg, "rbOther")->isChecked());
        radio(dlg, "rbDelimiter")->click();
        EXPECT_TRUE(box->isEnabled());
        radio(dlg, "rbTab")->click();
        EXPECT_FALSE(box->isEnabled());
        EXPECT_FALSE(control<QLabel>(dlg, "lblDelimiter")->isEnabled());
        radio(dlg, "rbOther")->click();
        EXPECT_TRUE(box->isEnabled());

        box->setText(QStringLiteral(","));
        pressOk(dlg);
    });
    answerSave(QStringLiteral("first.csv"));
    ASSERT_TRUE(ui::ChooseOutput());

    const AppState& st = appState();
    EXPECT_FALSE(st.CancelFlag);
    EXPECT_EQ(st.Output.OutputFormat, QStringLiteral("DF"));
    EXPECT_EQ(st.Output.OutputDelimiter, QStringLiteral(","));
    EXPECT_EQ(st.Output.OutputWithHeader, QStringLiteral("1"));
    EXPECT_EQ(st.Output.OutputFileName, outFolder + QStringLiteral("/first.csv"));
    EXPECT_EQ(storedOption("Delimiter"), QStringLiteral(","));
    EXPECT_EQ(storedOption("WithHeader"), QStringLiteral("1"));
    EXPECT_EQ(storedOption("FileFormat"), QStringLiteral("DF"));
    EXPECT_EQ(st.ReportPath, outFolder);
    EXPECT_EQ(storedOption(opt::ReportPath), outFolder);

    ASSERT_EQ(prompter.fileSpecs.size(), 1u);
    const ui::FileDialogSpec& fileDialog = prompter.fileSpecs.front();
    EXPECT_EQ(fileDialog.filters, QStringList({QStringLiteral("Delimited Text (*.csv)"),
                                         QStringLiteral("Delimited Text (*.txt)")}));
    EXPECT_EQ(fileDialog.defaultSuffix, QStringLiteral("csv"));
    EXPECT_TRUE(fileDialog.confirmOverwrite);
    EXPECT_EQ(prompter.count(QStringLiteral("desktop")), 0);  // choosing exports nothing
}

TEST_F(ExportCommandsTest, SaveDialogTypesFollowTheChoice) {
    appState().ReportPath = QStringLiteral("/start/here");
    struct Case {
        const char* kind;
        QString delimiter;
        QString firstType;
        int types;
        QString suffix;
        QString outputDelimiter;
    };
    const Case cases[] = {
        {"rbDelimiter", QStringLiteral("\t"), QStringLiteral("Delimited Text (*.xls)"), 2,
         QStringLiteral("xls"), QStringLiteral("\t")},
        {"rbDelimiter", QStringLiteral(";"), QStringLiteral("Delimited Text (*.txt)"), 1,
         QStringLiteral("txt"), QStringLiteral(";")},
        // A spreadsheet name takes the offered type's extension.
        {"rbExcelF", QStringLiteral(";"), QStringLiteral("Excel Workbook (*.xlsx)"), 6,
         QStringLiteral("xlsx"), QStringLiteral(";")},
    };
    for (const Case& c : cases) {
        prompter.fileSpecs.clear();
        answerOptions(c.kind, c.delimiter);
        prompter.fileAnswers.push_back(std::nullopt);  // cancelled: nothing changes
        EXPECT_FALSE(ui::ChooseOutput());
        ASSERT_EQ(prompter.fileSpecs.size(), 1u);
        const ui::FileDialogSpec& fileDialog = prompter.fileSpecs.front();
        EXPECT_EQ(fileDialog.filters.size(), c.types);
        EXPECT_EQ(fileDialog.filters.value(0), c.firstType);
        EXPECT_EQ(fileDialog.defaultSuffix, c.suffix);
        EXPECT_EQ(fileDialog.startFolder, QStringLiteral("/start/here"));
        EXPECT_EQ(appState().Output.OutputDelimiter, c.outputDelimiter);
    }
    EXPECT_EQ(appState().ReportPath, QStringLiteral("/start/here"));
    EXPECT_EQ(storedOption(opt::ReportPath), QString());
    // The settings keep the word, AppState the character.
    EXPECT_EQ(storedOption("FileFormat"), QStringLiteral("XF"));
    EXPECT_EQ(storedOption("Delimiter"), QStringLiteral(";"));

    // The type chosen becomes SpreadsheetFormat and is offered first the next time;
    // format 5 can only come from here.
    answerOptions("rbExcelF");
    answerSave(QStringLiteral("old.xls"), 5);
    ASSERT_TRUE(ui::ChooseOutput());
    EXPECT_EQ(appState().Output.SpreadsheetFormat, 5);
    answerOptions("rbExcelF");
    prompter.fileAnswers.push_back(std::nullopt);
    EXPECT_FALSE(ui::ChooseOutput());
    EXPECT_EQ(prompter.fileSpecs.back().filterIndex, 5);
    EXPECT_EQ(prompter.fileSpecs.back().defaultSuffix, QStringLiteral("xls"));
}

TEST_F(ExportCommandsTest, StoredValuesComeBackAndExcelInstanceAsksNoFile) {
    // Tab, no titles, Excel Instance.
    optionActs.push_back([](TToolOptions& dlg) {
        radio(dlg, "rbOther")->click();
        control<QLineEdit>(dlg, "txtDelimiter")->setText(QStringLiteral("|"));
        radio(dlg, "rbExcelI")->click();
        control<QCheckBox>(dlg, "cbWithHeader")->setChecked(false);
        pressOk(dlg);
    });
    appState().Output.OutputFileName = QStringLiteral("/kept.csv");
    appState().ReportPath = QStringLiteral("/kept");
    ASSERT_TRUE(ui::ChooseOutput());
    EXPECT_EQ(prompter.count(QStringLiteral("save")), 0);
    EXPECT_EQ(appState().Output.OutputFormat, QStringLiteral("XI"));
    EXPECT_EQ(appState().Output.OutputFileName, QStringLiteral("/kept.csv"));
    EXPECT_EQ(appState().ReportPath, QStringLiteral("/kept"));
    EXPECT_EQ(storedOption("Delimiter"), QStringLiteral("|"));
    EXPECT_EQ(storedOption("WithHeader"), QStringLiteral("0"));
    EXPECT_EQ(storedOption("FileFormat"), QStringLiteral("XI"));

    // Opening again: Excel Instance, the delimiter controls off but as they were left.
    optionActs.push_back([](TToolOptions& dlg) {
        EXPECT_TRUE(radio(dlg, "rbExcelI")->isChecked());
        EXPECT_FALSE(radio(dlg, "rbOther")->isEnabled());
        EXPECT_TRUE(radio(dlg, "rbOther")->isChecked());
        EXPECT_EQ(control<QLineEdit>(dlg, "txtDelimiter")->text(), QStringLiteral("|"));
        EXPECT_FALSE(control<QCheckBox>(dlg, "cbWithHeader")->isChecked());
        // Switching back to delimited text restores the stored delimiter.
        radio(dlg, "rbDelimiter")->click();
        EXPECT_TRUE(control<QLineEdit>(dlg, "txtDelimiter")->isEnabled());
        dlg.reject();
    });
    EXPECT_FALSE(ui::ChooseOutput());

    // Stored "TAB" opens with Tab Delimited and the box off.
    option("Delimiter", QStringLiteral("TAB"));
    option("FileFormat", QStringLiteral("DF"));
    optionActs.push_back([](TToolOptions& dlg) {
        EXPECT_TRUE(radio(dlg, "rbDelimiter")->isChecked());
        EXPECT_TRUE(radio(dlg, "rbTab")->isChecked());
        EXPECT_FALSE(control<QLineEdit>(dlg, "txtDelimiter")->isEnabled());
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    EXPECT_FALSE(ui::ChooseOutput());
}

TEST_F(ExportCommandsTest, CancelledOptionsSetTheCancelFlagAndStoreNothing) {
    optionActs.push_back([](TToolOptions& dlg) {
        control<QLineEdit>(dlg, "txtDelimiter")->setText(QStringLiteral(";"));
        control<QPushButton>(dlg, "btnCancel")->click();
    });
    EXPECT_FALSE(ui::ChooseOutput());
    EXPECT_TRUE(appState().CancelFlag);
    EXPECT_EQ(storedOption("Delimiter"), QString());
    EXPECT_EQ(storedOption("FileFormat"), QString());
    EXPECT_EQ(prompter.count(QStringLiteral("save")), 0);
    EXPECT_TRUE(prompter.messages().isEmpty());
}

TEST_F(ExportCommandsTest, UnwritableSettingsKeepTheDialogOpen) {
    // A folder where the settings file belongs makes every write fail.
    ASSERT_TRUE(QFile::remove(env.settingsFile()));
    ASSERT_TRUE(QDir().mkdir(env.settingsFile()));
    optionActs.push_back([this](TToolOptions& dlg) {
        control<QLineEdit>(dlg, "txtDelimiter")->setText(QStringLiteral(";"));
        pressOk(dlg);
        EXPECT_EQ(prompter.messages(),
                  QStringList{QStringLiteral("Error creating system registry entry")});
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(appState().Output.OutputDelimiter, QStringLiteral(";"));  // already taken
        dlg.reject();
    });
    EXPECT_FALSE(ui::ChooseOutput());
    EXPECT_TRUE(appState().CancelFlag);
    EXPECT_EQ(prompter.count(QStringLiteral("save")), 0);
    ASSERT_TRUE(QDir().rmdir(env.settingsFile()));
}

TEST_F(ExportCommandsTest, SaveResultWithoutRecordsSaysSoAndOpensNothing) {
    saveResult();  // no result at all
    hold(QStringLiteral("select id from e"));
    saveResult();  // an empty one
    EXPECT_EQ(prompter.messages(), QStringList({kNoData, kNoData}));
    EXPECT_EQ(prompter.count(QStringLiteral("save")), 0);
}

TEST_F(ExportCommandsTest, SaveResultWritesDelimitedTextAndOpensIt) {
    hold(QStringLiteral("select id, name from t order by id"));
    answerOptions("rbDelimiter", QStringLiteral(","));
    answerSave(QStringLiteral("rows.csv"));
    saveResult();
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();
    const QString file = outFolder + QStringLiteral("/rows.csv");
    EXPECT_EQ(fileBytes(file), QByteArray("id,name\r\n1,one\r\n2,\"a,b\"\r\n3,\r\n"));
    EXPECT_EQ(desktopOpened(), QStringList{file});
    ASSERT_FALSE(mainEnabledDuringExport.isEmpty()) << "the wait window never showed";
    EXPECT_FALSE(mainEnabledDuringExport.contains(true));
    expectWindowsBack();

    // Tab delimited without titles.
    answerOptions("rbDelimiter", QStringLiteral("\t"), false);
    answerSave(QStringLiteral("rows.xls"));
    saveResult();
    EXPECT_EQ(fileBytes(outFolder + QStringLiteral("/rows.xls")),
              QByteArray("1\tone\r\n2\ta,b\r\n3\t\r\n"));
    EXPECT_EQ(desktopOpened().size(), 2);
}

TEST_F(ExportCommandsTest, FailedDelimitedExportIsReportedAndNotOpened) {
    hold(QStringLiteral("select id, name from t"));
    answerOptions("rbDelimiter", QStringLiteral(","));
    prompter.fileAnswers.push_back(
        FileChoice{outFolder + QStringLiteral("/missing/deeper/rows.csv"), 1});
    saveResult();
    ASSERT_EQ(prompter.messages().size(), 1);
    EXPECT_FALSE(prompter.messages().front().isEmpty());
    EXPECT_TRUE(desktopOpened().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(outFolder + QStringLiteral("/missing")));
    expectWindowsBack();
}

TEST_F(ExportCommandsTest, SaveResultWritesSpreadsheets) {
    hold(QStringLiteral("select id, name from t order by id"));
    answerOptions("rbExcelF");
    answerSave(QStringLiteral("rows.xlsx"), 1);
    saveResult();
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();
    const QString xlsx = outFolder + QStringLiteral("/rows.xlsx");
    EXPECT_EQ(desktopOpened(), QStringList{xlsx});
    // Read back briefly: a workbook whose sheet is named after the unsaved document.
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import sys, zipfile\n"
                             "z = zipfile.ZipFile(sys.argv[1])\n"
                             "print(z.read('xl/workbook.xml').decode())\n"
                             "print(z.read('xl/worksheets/sheet1.xml').decode())\n"),
              xlsx});
    ASSERT_TRUE(py.waitForFinished(30000));
    const QString xml = QString::fromUtf8(py.readAllStandardOutput());
    EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    EXPECT_TRUE(xml.contains(QStringLiteral("name=\"&lt;NoName&gt;\""))) << xml.left(2000).toStdString();
    EXPECT_TRUE(xml.contains(QStringLiteral("<v>3</v>"))) << xml.toStdString();
    expectWindowsBack();

    // XML Spreadsheet 2003, without titles.
    answerOptions("rbExcelF", QStringLiteral(","), false);
    answerSave(QStringLiteral("rows.xml"), 6);
    saveResult();
    const QString xmlFile = QString::fromUtf8(fileBytes(outFolder + QStringLiteral("/rows.xml")));
    EXPECT_TRUE(xmlFile.contains(QStringLiteral("a,b")));
    EXPECT_FALSE(xmlFile.contains(QStringLiteral(">name<")));

    // Excel Instance: a workbook of its own handed to the desktop.
    answerOptions("rbExcelI");
    saveResult();
    ASSERT_EQ(desktopOpened().size(), 3);
    const QString live = desktopOpened().back();
    EXPECT_TRUE(live.endsWith(QStringLiteral(".xlsx"))) << live.toStdString();
    EXPECT_TRUE(fileBytes(live).startsWith("PK"));
    QDir(QFileInfo(live).absolutePath()).removeRecursively();
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();
}

// When the desktop has no application for the finished file, the user is told so with the
// platform's message instead of seeing nothing. A written file is the user's output and
// stays; the workbook of "Excel Instance" lived only to be shown and goes with its folder.
TEST_F(ExportCommandsTest, ADesktopThatCannotOpenTheResultSaysSo) {
    const QString said = QStringLiteral("xdg-open: no method available for opening 'x'");
    prompter.desktopFailure = said;
    hold(QStringLiteral("select id, name from t order by id"));
    struct Case {
        const char* kind;
        QString name;  // the file chosen in the save dialog; empty for Excel Instance
        int type;
    };
    const Case cases[] = {
        {"rbDelimiter", QStringLiteral("rows.csv"), 1},
        {"rbExcelF", QStringLiteral("rows.xlsx"), 1},
        {"rbExcelI", QString(), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        prompter.asked.clear();
        answerOptions(c.kind);
        if (!c.name.isEmpty())
            answerSave(c.name, c.type);
        saveResult();
        ASSERT_EQ(desktopOpened().size(), 1);
        const QString opened = desktopOpened().front();
        EXPECT_EQ(prompter.messages(), QStringList{said});
        if (c.name.isEmpty()) {
            EXPECT_FALSE(QFileInfo::exists(opened)) << opened.toStdString();
            EXPECT_FALSE(QFileInfo::exists(QFileInfo(opened).absolutePath()));
        } else {
            EXPECT_EQ(opened, outFolder + u'/' + c.name);
            EXPECT_GT(QFileInfo(opened).size(), 0);
        }
        expectWindowsBack();
    }
}

TEST_F(ExportCommandsTest, RefusedSpreadsheetFormatReachesTheMessageBox) {
    hold(QStringLiteral("select id, name from t"));
    answerOptions("rbExcelF");
    answerSave(QStringLiteral("old.xls"), 5);
    saveResult();
    EXPECT_EQ(prompter.messages(),
              QStringList{QStringLiteral("This action is not supported in this Excel version")});
    EXPECT_FALSE(QFileInfo::exists(outFolder + QStringLiteral("/old.xls")));
    EXPECT_TRUE(desktopOpened().isEmpty());
    expectWindowsBack();
}

TEST_F(ExportCommandsTest, ExecuteToFileRunsAfterTheChoice) {
    answerOptions("rbDelimiter", QStringLiteral(";"));
    answerSave(QStringLiteral("run.txt"));
    executeToFile(QStringLiteral("select id, name from t where id < 3 order by id"));
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();
    EXPECT_EQ(prompter.asked.front().text, QStringLiteral("Confirm to execute?"));
    const QString file = outFolder + QStringLiteral("/run.txt");
    EXPECT_EQ(fileBytes(file), QByteArray("id;name\r\n1;one\r\n2;a,b\r\n"));
    EXPECT_EQ(desktopOpened(), QStringList{file});
    EXPECT_EQ(window->statusText(1), QStringLiteral("Row 1 of 2"));
    expectWindowsBack();
}

TEST_F(ExportCommandsTest, ExecuteToFileWithoutRowsSaysNoData) {
    // An empty result, and a statement without a result, which still runs.
    answerOptions("rbDelimiter", QStringLiteral(","));
    answerSave(QStringLiteral("empty.csv"));
    executeToFile(QStringLiteral("select id from e"));
    answerOptions("rbDelimiter", QStringLiteral(","));
    answerSave(QStringLiteral("insert.csv"));
    executeToFile(QStringLiteral("insert into t values (4, 'four')"));
    EXPECT_EQ(prompter.messages(), QStringList({kNoData, kNoData}));
    EXPECT_EQ(rowsInT(), 4);
    EXPECT_FALSE(QFileInfo::exists(outFolder + QStringLiteral("/empty.csv")));
    EXPECT_FALSE(QFileInfo::exists(outFolder + QStringLiteral("/insert.csv")));
    EXPECT_TRUE(desktopOpened().isEmpty());
}

TEST_F(ExportCommandsTest, CancelledChoiceRunsNoStatement) {
    const QString insert = QStringLiteral("insert into t values (9, 'nine')");
    executeToFile(insert, ui::Answer::No);  // not confirmed: nothing else is asked
    EXPECT_EQ(prompter.asked.size(), 1u);

    optionActs.push_back([](TToolOptions& dlg) { dlg.reject(); });
    executeToFile(insert);
    answerOptions("rbDelimiter", QStringLiteral(","));
    prompter.fileAnswers.push_back(std::nullopt);
    executeToFile(insert);

    EXPECT_EQ(rowsInT(), 3);
    EXPECT_TRUE(appState().ExecutedSql.isEmpty());
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();
    EXPECT_EQ(prompter.count(QStringLiteral("save")), 1);
}

}  // namespace
}  // namespace vnk::test
