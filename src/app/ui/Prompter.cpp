#include "Prompter.h"

#include "db/ui/TLoginDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryFile>
#include <memory>

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

void QtPrompter::openWithDesktop(const QString& path, DesktopFailure failed) {
    // xdg-open is run here rather than through QDesktopServices, which starts it detached
    // and so never learns that no application is registered for the file. Its error text
    // goes to a file, not a pipe: where xdg-open runs the application itself, that
    // application must not depend on this program staying alive to read its output.
    static const QString program = QStringLiteral("xdg-open");
    auto errors = std::make_shared<QTemporaryFile>(QDir::tempPath() +
                                                   QStringLiteral("/varnock-open-XXXXXX"));
    // Without a parent and never deleted while it runs: deleting a QProcess kills the
    // application it started, also when this program ends first.
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments({QFileInfo(path).absoluteFilePath()});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    if (errors->open())
        process->setStandardErrorFile(errors->fileName());
    else
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);

    auto report = [failed = std::move(failed)](const QString& message) {
        if (failed)
            failed(message);
    };
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, report](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         report(program + QStringLiteral(": ") + process->errorString());
                         process->deleteLater();
                     });
    QObject::connect(
        process, &QProcess::finished, process,
        [process, errors, report, path](int exitCode, QProcess::ExitStatus status) {
            if (status != QProcess::NormalExit || exitCode != 0) {
                errors->seek(0);
                QString message = QString::fromLocal8Bit(errors->readAll()).trimmed();
                if (message.isEmpty())
                    message = program + QStringLiteral(": cannot open ") + path +
                              QStringLiteral(" (exit code ") + QString::number(exitCode) +
                              u')';
                report(message);
            }
            process->deleteLater();
        });
    process->start();
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
