// Query documents of the main window: New, Open, Save, Save As, the recent files, the
// change prompt, loading a document, and the guideline and about windows.

#include "LoadQueryFile.h"
#include "Prompter.h"
#include "TAbout.h"
#include "TDevGuideline.h"
#include "TQueryExport.h"
#include "app/load/QueryFileLoad.h"
#include "db/ui/Connecting.h"
#include "params/PrepareStatement.h"
#include "queryfile/QueryFile.h"
#include "share/AppState.h"
#include "share/Error.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"
#include "share/Text.h"

#include <QAction>
#include <QFileInfo>
#include <QPlainTextEdit>

namespace vnk::ui {

namespace {

const QString kNoName = QStringLiteral("<NoName>....");
const QString kInvalidFileType = QStringLiteral("Invalid file type.");
const QString kNotConnected = QStringLiteral(
    "You have not connected to any database yet. Please connect to a database and try again.");
constexpr int kRecentCount = 10;

bool isDocumentKind(const QString& path) {
    const QString kind = FileKind(path);
    return kind == QStringLiteral(".VNK") || kind == QStringLiteral(".SQL") ||
           kind == QStringLiteral(".TXT");
}

bool notConnected() {
    const AppState& st = appState();
    return TrimText(st.ConnName).isEmpty() || TrimText(st.ConnString).isEmpty();
}

void storeQueryPath(const QString& chosenFile) {
    AppState& st = appState();
    st.QueryPath = QFileInfo(chosenFile).absolutePath();
    WriteSetting(key::Options, QString::fromLatin1(opt::QueryPath), st.QueryPath);
}

// Puts the loaded text into the editor; it stays recorded as saved.
void setDocumentText(TQueryExport& main, const QString& text) {
    AppState& st = appState();
    main.editor()->setPlainText(text);
    st.IsModified = false;
    st.SavedText = text;
}

}  // namespace

bool LoadQueryFile(TQueryExport& main, const QString& path) {
    // Every outcome ends with the window usable and the editor ready for typing.
    struct Finish {
        TQueryExport& window;
        ~Finish() {
            window.setEnabled(true);
            window.editor()->setFocus();
        }
    } finish{main};

    const app::LoadedDocument doc = app::readDocument(path);
    if (doc.refused)
        return false;
    if (doc.isQueryFile) {
        setDocumentText(main, doc.text);
        return ConnectQueryFile(main, doc.connName, doc.connString, path);
    }
    main.updateTitle(false);
    main.setStatusText(5, path);
    setDocumentText(main, doc.text);
    return true;
}

void TQueryExport::runCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
        ReportError(errorText());
    }
}

bool TQueryExport::changePrompt() {
    const AppState& st = appState();
    if (!st.IsModified)
        return true;
    switch (prompter().confirm(this, QStringLiteral("Save changes to ") + st.CurrentFileName +
                                         QStringLiteral("?"),
                               Buttons::YesNoCancel)) {
    case Answer::Yes:
        return fnSaveToFile(st.CurrentFileName);
    case Answer::No:
        return true;
    default:
        return false;
    }
}

void TQueryExport::tbNewClick() {
    if (!changePrompt())
        return;
    AppState& st = appState();
    st.CurrentFileName = kNoName;
    memoQuery_->clear();
    setStatusText(5, QString());
    st.IsModified = false;
    st.SavedText = memoQuery_->toPlainText();
    updateTitle(true);
}

void TQueryExport::fnOpenToFile() {
    FileDialogSpec fileDialog;
    fileDialog.caption = QStringLiteral("Open");
    fileDialog.startFolder = appState().QueryPath;
    fileDialog.defaultSuffix = QStringLiteral("vnk");
    fileDialog.filters = {QStringLiteral("Query files (*.vnk)"), QStringLiteral("SQL (*.sql)"),
                    QStringLiteral("Text Files (*.txt)")};
    fileDialog.filterIndex = openFilterIndex_;
    fileDialog.confirmOverwrite = false;
    const std::optional<FileChoice> choice = prompter().openFile(this, fileDialog);
    if (!choice)
        return;
    // The dialog keeps its file and type for the next showing and for QueryPath.
    openDialogFile_ = choice->path;
    openFilterIndex_ = choice->filterIndex;
    if (!changePrompt())
        return;
    if (!isDocumentKind(choice->path)) {
        prompter().message(this, kInvalidFileType);
        return;
    }
    fnOpenToMemo(choice->path);
}

void TQueryExport::fnOpenToMemo(const QString& path) {
    if (!QFileInfo(path).isFile())
        return;
    // A failed load has reported itself; the document is opened as far as it got.
    (void)LoadQueryFile(*this, path);

    // Until the open dialog has been used there is no file to take a folder from, and
    // the folder the dialog would start in stays as it is.
    if (!openDialogFile_.isEmpty())
        storeQueryPath(openDialogFile_);

    AppState& st = appState();
    QStringList files;
    auto take = [&files](const QString& name) {
        if (files.size() < kRecentCount && QFileInfo(name).isFile() && !files.contains(name))
            files << name;
    };
    take(path);
    for (const QString& old : st.RecentFiles)
        take(old);
    st.RecentFiles = files;
    showRecentFiles();
}

void TQueryExport::smFileClick(int k) {
    const QStringList& files = appState().RecentFiles;
    if (k < 0 || k >= files.size())
        return;
    const QString path = files.at(k);
    // An entry whose file has gone does nothing, so it asks nothing either; otherwise
    // unsaved changes are offered for saving first, as Open does.
    if (!QFileInfo(path).isFile() || !changePrompt())
        return;
    fnOpenToMemo(path);
}

bool TQueryExport::fnSaveToFile(const QString& name) {
    AppState& st = appState();
    if (st.SaveTypeIndex == 1 && notConnected()) {
        prompter().message(this, kNotConnected);
        return false;
    }
    const QString text = memoQuery_->toPlainText();
    if (TrimText(text).isEmpty()) {
        prompter().message(this, params::EmptyQueryMessage());
        return false;
    }

    QString target;
    if (!name.isEmpty() && name != kNoName) {
        target = name;
    } else {
        FileDialogSpec fileDialog;
        fileDialog.caption = QStringLiteral("Save As");
        fileDialog.startFolder = st.QueryPath;
        fileDialog.defaultSuffix = QStringLiteral("vnk");
        fileDialog.filters = {QStringLiteral("Varnock Query (*.vnk)"), QStringLiteral("SQL (*.sql)"),
                        QStringLiteral("Text Files (*.txt)")};
        fileDialog.filterIndex = st.SaveTypeIndex >= 1 ? st.SaveTypeIndex : 1;
        fileDialog.confirmOverwrite = true;
        const std::optional<FileChoice> choice = prompter().saveFile(this, fileDialog);
        if (!choice)
            return false;
        storeQueryPath(choice->path);
        target = choice->path;
        st.SaveTypeIndex = choice->filterIndex;
        if (!isDocumentKind(target)) {
            prompter().message(this, kInvalidFileType);
            return false;
        }
    }

    // A query file without a connection could never be opened again, whichever way its
    // name was given.
    const bool queryFile = queryfile::isQueryFilePath(target);
    if (queryFile && notConnected()) {
        prompter().message(this, kNotConnected);
        return false;
    }
    if (queryFile)
        st.ConnName = queryfile::withoutUdlExtension(st.ConnName);
    try {
        queryfile::writeQueryDocument(target, st.ConnName, st.ConnString,
                                      queryfile::editorLines(text));
    } catch (const queryfile::QueryFileError& e) {
        // The document stays modified; the command that asked for the save stops.
        ReportError(e.message());
        return false;
    }
    st.CurrentFileName = target;
    setStatusText(5, target);
    updateTitle(false);
    st.IsModified = false;
    st.SavedText = text;
    return true;
}

void TQueryExport::tbGuidelineClick() {
    if (dlgGuideline_)
        dlgGuideline_->exec();
}

void TQueryExport::tbAboutClick() {
    if (dlgAbout_)
        dlgAbout_->showModal();
}

}  // namespace vnk::ui
