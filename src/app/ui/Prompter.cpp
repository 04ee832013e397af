#include "Prompter.h"

#include "db/ui/TLoginDialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace vnk::ui {

namespace {

Prompter* g_prompter = nullptr;

QString boxTitle(const QString& title) {
    if (!title.isEmpty())
        return title;
    return QCoreApplication::applicationName();
}

// Runs one file dialog built from its settings; nullopt when it was cancelled.
std::optional<FileChoice> runFileDialog(QWidget* parent, const FileDialogSpec& fileDialog,
                                        QFileDialog::AcceptMode mode) {
    QFileDialog dlg(parent, fileDialog.caption, fileDialog.startFolder);
    dlg.setAcceptMode(mode);
    dlg.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                    : QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !fileDialog.confirmOverwrite);
    if (!fileDialog.defaultSuffix.isEmpty())
        dlg.setDefaultSuffix(fileDialog.defaultSuffix);
    if (!fileDialog.filters.isEmpty()) {
        dlg.setNameFilters(fileDialog.filters);
        const int index = fileDialog.filterIndex >= 1 && fileDialog.filterIndex <= fileDialog.filters.size()
                              ? fileDialog.filterIndex
                              : 1;
        dlg.selectNameFilter(fileDialog.filters.at(index - 1));
    }
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dlg.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    FileChoice choice;
    choice.path = files.first();
    const int chosen = fileDialog.filters.indexOf(dlg.selectedNameFilter());
    choice.filterIndex = chosen >= 0 ? chosen + 1 : 1;
    return choice;
}

}  // namespace

void QtPrompter::message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, boxTitle({}), text, QMessageBox::Ok, parent);
    // Message texts such as "<NoName>...." must never be taken for markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Answer QtPrompter::confirm(QWidget* parent, const QString& text, Buttons buttons,
                           const QString& title) {
    QMessageBox::StandardButtons set = QMessageBox::Yes | QMessageBox::No;
    if (buttons == Buttons::YesNoCancel)
        set |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, title.isEmpty() ? QStringLiteral("Confirm") : title,
                    text, set, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(buttons == Buttons::YesNoCancel ? QMessageBox::Cancel : QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return buttons == Buttons::YesNoCancel ? Answer::Cancel : Answer::No;
    }
}

std::optional<LoginReply> QtPrompter::login(QWidget* parent, const QString& databaseName,
                                            const QString& userName) {
    return TLoginDialog::ask(parent, databaseName, userName);
}

std::optional<FileChoice> QtPrompter::openFile(QWidget* parent, const FileDialogSpec& fileDialog) {
    return runFileDialog(parent, fileDialog, QFileDialog::AcceptOpen);
}

std::optional<FileChoice> QtPrompter::saveFile(QWidget* parent, const FileDialogSpec& fileDialog) {
    return runFileDialog(parent, fileDialog, QFileDialog::AcceptSave);
}

std::optional<QFont> QtPrompter::chooseFont(QWidget* parent, const QFont& initial) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return font;
}

void QtPrompter::openWithDesktop(const QString& path) {
    const QUrl url = QFileInfo::exists(path) ? QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())
                                             : QUrl::fromUserInput(path);
    QDesktopServices::openUrl(url);
}

Prompter& prompter() {
    if (g_prompter)
        return *g_prompter;
    static QtPrompter fallback;
    return fallback;
}

void setPrompter(Prompter* p) {
    g_prompter = p;
}

}  // namespace vnk::ui
