#pragma once

#include <QMainWindow>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QTextEdit;
class QToolButton;
class QComboBox;
class QListWidget;
class QSplitter;
class QStatusBar;
class QTableView;
class QMenu;
class QWidget;

namespace vnk::ui {

class TIBSelectDb;

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

    // The start-up step run when the window is first shown (the kind of run is chosen
    // by the arguments). Public so tests can drive it without showing.
    void FormShow();
    bool formShown() const { return formShown_; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FormCreate();
    void FormDestroy();
    bool FormCloseQuery();
    void FormClose();
    void buildLayout();
    void tbHidePanel1Click();
    void tbHideExecSqlClick();
    void Panel1Resize();

    QStringList args_;
    bool formShown_ = false;
    bool destroyed_ = false;
    TIBSelectDb* dlgSelectDb_ = nullptr;
    QPlainTextEdit* memoQuery_ = nullptr;
    QTextEdit* richEditTemp_ = nullptr;
    QLabel* lblConnString_ = nullptr;
    QLabel* labelCount_ = nullptr;
    QComboBox* cbSchema_ = nullptr;
    QListWidget* lvTables_ = nullptr;
    QListWidget* lvFields_ = nullptr;
    QWidget* panel1_ = nullptr;
    QWidget* panelDev_ = nullptr;
    QWidget* panelExecuteSql_ = nullptr;
    QSplitter* splitterMain_ = nullptr;
    QSplitter* splitterDev_ = nullptr;
    QSplitter* splitterSchema_ = nullptr;
    QToolButton* tbHidePanel1_ = nullptr;
    QToolButton* tbHideExecSql_ = nullptr;
    QTableView* dbgResult_ = nullptr;
    QLabel* statusPanels_[5] = {};
    QMenu* mRecent_ = nullptr;
};

// The one main window of the process (set by its constructor).
TQueryExport* mainWindow();

}  // namespace vnk::ui
