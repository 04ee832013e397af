#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace vnk::ui {

enum class Answer { Yes, No, Cancel, Ok };

enum class Buttons { YesNo, YesNoCancel };

struct LoginReply {
    QString user;
    QString password;
};

struct FileDialogSpec {
    QString caption;
    QString startFolder;
    QString defaultSuffix;  // without the dot
    QStringList filters;    // "Query files (*.vnk)", ...
    int filterIndex = 1;    // 1-based type to preselect
    bool confirmOverwrite = true;
};

struct FileChoice {
    QString path;
    int filterIndex = 1;  // 1-based type in force when the dialog closed
};

// Called with the platform's message when the desktop could not open a file.
using DesktopFailure = std::function<void(const QString& message)>;

// Every question the program asks goes through this one interface, so tests can answer
// with a script. The program uses QtPrompter; tests use a scripted one.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void message(QWidget* parent, const QString& text) = 0;
    virtual Answer confirm(QWidget* parent, const QString& text, Buttons buttons,
                           const QString& title = {}) = 0;
    // The "Database Login" window; nullopt on Cancel.
    virtual std::optional<LoginReply> login(QWidget* parent, const QString& databaseName,
                                            const QString& userName) = 0;
    virtual std::optional<FileChoice> openFile(QWidget* parent, const FileDialogSpec& fileDialog) = 0;
    virtual std::optional<FileChoice> saveFile(QWidget* parent, const FileDialogSpec& fileDialog) = 0;
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) = 0;
    // Opens a file with the desktop's application (never in tests) without waiting for
    // that application. When the desktop cannot open it, `failed` receives the platform's
    // message, which may come after this call has returned.
    virtual void openWithDesktop(const QString& path, DesktopFailure failed) = 0;
};

// The real dialogs.
class QtPrompter : public Prompter {
public:
    void message(QWidget* parent, const QString& text) override;
    Answer confirm(QWidget* parent, const QString& text, Buttons buttons,
                   const QString& title) override;
    std::optional<LoginReply> login(QWidget* parent, const QString& databaseName,
                                    const QString& userName) override;
    std::optional<FileChoice> openFile(QWidget* parent, const FileDialogSpec& fileDialog) override;
    std::optional<FileChoice> saveFile(QWidget* parent, const FileDialogSpec& fileDialog) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
    void openWithDesktop(const QString& path, DesktopFailure failed) override;
};

// The prompter in use; the program installs a QtPrompter at start.
Prompter& prompter();
void setPrompter(Prompter* p);  // not owned

}  // namespace vnk::ui
