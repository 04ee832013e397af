#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>

#include "grid/ui/TResultGrid.h"  // execution: the grid the runs show

class QAction;
class QLabel;
class QPlainTextEdit;
class QTextEdit;
class QToolBar;
class QToolButton;
class QComboBox;
class QTreeWidget;
class QSplitter;
class QStatusBar;
class QTableView;
class QMenu;
class QWidget;

namespace vnk::params {
class ParameterPrompt;
}  // namespace vnk::params

namespace vnk::ui {

class TIBSelectDb;
class TDevGuideline;
class TAbout;
class TToolOptions;  // export
class TProcessingMsg;  // export

// The main window: command bars, schema panel, editor, executed-SQL panel, result area
// and status bar. Child widgets carry the object names tests and the probe look for
// (tbExecToScreen, tbHidePanel1, memoQuery, RichEditTemp, lvTables, lvFields, cbSchema,
// dbgResult, lblConnString, labelCount, StatusBar ...).
class TQueryExport : public QMainWindow {
    Q_OBJECT
public:
    // args: the command-line arguments less the program name.
    explicit TQueryExport(const QStringList& args = {}, QWidget* parent = nullptr);
    ~TQueryExport() override;

    // The title rule: "Varnock -  [" + ConnName + "] - " + " [" + D + "]", D the file-name
    // part of CurrentFileName, less its last four characters when dropExtension.
    void updateTitle(bool dropExtension);
    void setConnStringLabel(const QString& text);
    void setStatusText(int panel, const QString& text);  // panels 1 to 5
    QString statusText(int panel) const;
    // Empties the schema drop-down, the table list and the field list.
    void clearSchemaLists();
    // Reloads the schema panel from the open connection (clears it when none is open).
    void LoadSchemaList();

    TIBSelectDb* connectionDialog() const { return dlgSelectDb_; }
    QPlainTextEdit* editor() const { return memoQuery_; }
    QTextEdit* executedSqlPanel() const { return richEditTemp_; }
    QComboBox* schemaCombo() const { return cbSchema_; }
    QTreeWidget* tableList() const { return lvTables_; }
    QTreeWidget* fieldList() const { return lvFields_; }
    TResultGrid* resultGrid() const { return dbgResult_; }
    QLabel* catalogLabel() const { return labelCount_; }
    QLabel* connStringLabel() const { return lblConnString_; }
    QMenu* recentMenu() const { return mRecent_; }
    const QStringList& arguments() const { return args_; }

    // Shows RecentFiles in the recent-files menu: entry k shows item k, entries past the
    // end hidden, "Clear Recent" enabled when the list is not empty.
    void showRecentFiles();

    // The start-up step run when the window is first shown (the kind of run is chosen
    // by the arguments). Public so tests can drive it without showing.
    void FormShow();
    bool formShown() const { return formShown_; }

    // execution
    // "&Execute": confirm, prepare the statement from the editor, run it to the grid.
    void tbExecToScreenClick();
    // "Execute to &File": run and export; the export commands provide it.
    void tbExecToFileClick();
    // Runs AppState::ExecutedSql on the data module's query and reports the outcome in the
    // status bar, the grid and the executed-SQL panel. Never raises.
    void ExecuteQuery();
    // What "&Execute" asks parameter values with (not owned). Without one, a statement
    // with parameters is not run.
    void setParameterPrompt(params::ParameterPrompt* prompt) { parameterPrompt_ = prompt; }
    params::ParameterPrompt* parameterPrompt() const { return parameterPrompt_; }

Q_SIGNALS:
    // The close was accepted: the process ends.
    void formClosed();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void FormCreate();
    void FormDestroy();
    bool FormCloseQuery();
    void FormClose();
    void buildLayout();
    void buildMainBar();
    void buildUpperArea();
    QWidget* buildLowerArea();
    void buildStatusBar();
    QToolButton* addCommand(QToolBar* bar, const char* name, const QString& caption,
                            const QString& hint, int iconKind);

    void tbHidePanel1Click();
    void tbHideExecSqlClick();
    void Panel1Resize();
    void smClearRecentClick();
    void loadRecentFiles();
    void memoQueryChange();

    // Panel sizes: the splitters take exact sizes once they know their own extent.
    void setSchemaPanelWidth(int width);
    void setTableListHeight(int height);
    void setUpperAreaHeight(int height);
    void showExecutedSqlPanel(bool shown);
    void applyPendingSizes();
    void readEditorFont();
    void placeWindow();
    void writeLayoutSettings();

    // documents
    // The change prompt of New, Open and closing: false when the command must stop.
    bool changePrompt();
    void tbNewClick();
    void fnOpenToFile();
    void fnOpenToMemo(const QString& path);
    void smFileClick(int k);
    // Writes the document; an empty name or the unnamed document's asks for one.
    // False: not saved.
    bool fnSaveToFile(const QString& name);
    void tbGuidelineClick();
    void tbAboutClick();
    // Runs one command, showing what it raised in a message box.
    void runCommand(const std::function<void()>& command);
    QString openDialogFile_;  // the file last chosen in the open dialog
    int openFilterIndex_ = 1;
    TDevGuideline* dlgGuideline_ = nullptr;
    TAbout* dlgAbout_ = nullptr;

    // execution
    // Prepares ExecutedSql from the editor and shows what happened; true: ready to run.
    bool fnPrepareStatement();
    void appendExecutionError(const QString& message);
    params::ParameterPrompt* parameterPrompt_ = nullptr;

    QStringList args_;
    bool formShown_ = false;
    bool destroyed_ = false;
    bool sizesApplied_ = false;
    int wantedSchemaWidth_ = 204;
    int wantedTableHeight_ = 132;
    int wantedUpperHeight_ = 304;
    TIBSelectDb* dlgSelectDb_ = nullptr;
    QPlainTextEdit* memoQuery_ = nullptr;
    QTextEdit* richEditTemp_ = nullptr;
    QLabel* lblConnString_ = nullptr;
    QLabel* labelCount_ = nullptr;
    QComboBox* cbSchema_ = nullptr;
    QTreeWidget* lvTables_ = nullptr;
    QTreeWidget* lvFields_ = nullptr;
    QWidget* panel1_ = nullptr;
    QWidget* panelDev_ = nullptr;
    QWidget* panelExecuteSql_ = nullptr;
    QSplitter* splitterMain_ = nullptr;
    QSplitter* splitterDev_ = nullptr;
    QSplitter* splitterSchema_ = nullptr;
    QToolBar* mainBar_ = nullptr;
    QToolBar* runBar_ = nullptr;
    QToolButton* tbHidePanel1_ = nullptr;
    QToolButton* tbNew_ = nullptr;
    QToolButton* tbOpen_ = nullptr;
    QToolButton* tbSave_ = nullptr;
    QToolButton* tbSaveAs_ = nullptr;
    QToolButton* tbDBConnection_ = nullptr;
    QToolButton* tbGuideline_ = nullptr;
    QToolButton* tbAbout_ = nullptr;
    QToolButton* tbExit_ = nullptr;
    QToolButton* tbHideExecSql_ = nullptr;
    QToolButton* tbExecToScreen_ = nullptr;
    QToolButton* tbExecToFile_ = nullptr;
    QToolButton* tbSaveResultToFile_ = nullptr;
    QToolButton* tbInsertParameter_ = nullptr;
    TResultGrid* dbgResult_ = nullptr;
    int resultListener_ = 0;  // the grid's place among the query's listeners
    QLabel* statusPanels_[5] = {};
    QMenu* mOpen_ = nullptr;
    QMenu* mRecent_ = nullptr;
    QAction* smFile_[10] = {};
    QAction* smClearRecent_ = nullptr;

    // export
public:
    // "Save &Result to File": the held result through ChooseOutput to the chosen export.
    void tbSaveResultToFileClick();
    TToolOptions* toolOptionsDialog() const { return dlgToolOptions_; }
    TProcessingMsg* processingMsg() const { return dlgProcessingMsg_; }

private:
    void createExportCommands();  // the options dialog, the wait window, the button
    TToolOptions* dlgToolOptions_ = nullptr;
    TProcessingMsg* dlgProcessingMsg_ = nullptr;
};

// The one main window of the process (set by its constructor).
TQueryExport* mainWindow();

}  // namespace vnk::ui
