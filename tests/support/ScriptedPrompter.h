#pragma once

#include "app/ui/Prompter.h"

#include <QFont>
#include <QStringList>
#include <deque>
#include <optional>
#include <stdexcept>

namespace vnk::test {

// Answers every question from a script and records what was asked. An unexpected
// question fails loudly instead of blocking a headless test.
class ScriptedPrompter : public vnk::ui::Prompter {
public:
    struct Asked {
        QString kind;  // "message", "confirm", "login", "open", "save", "font", "desktop"
        QString text;  // message text, confirm text, login user name, dialog caption, path
        QString extra; // confirm title, login database name
    };

    std::deque<vnk::ui::Answer> confirmAnswers;
    std::deque<std::optional<vnk::ui::LoginReply>> loginAnswers;
    std::deque<std::optional<vnk::ui::FileChoice>> fileAnswers;
    std::deque<std::optional<QFont>> fontAnswers;
    std::vector<Asked> asked;
    std::vector<vnk::ui::FileDialogSpec> fileSpecs;  // every file dialog asked, in order
    // Set: the desktop cannot open anything and says this.
    std::optional<QString> desktopFailure;

    QStringList messages() const {
        QStringList out;
        for (const Asked& a : asked)
            if (a.kind == QStringLiteral("message"))
                out << a.text;
        return out;
    }
    int count(const QString& kind) const {
        int n = 0;
        for (const Asked& a : asked)
            n += a.kind == kind ? 1 : 0;
        return n;
    }

    void message(QWidget*, const QString& text) override {
        asked.push_back({QStringLiteral("message"), text, {}});
    }
    vnk::ui::Answer confirm(QWidget*, const QString& text, vnk::ui::Buttons,
                            const QString& title) override {
        asked.push_back({QStringLiteral("confirm"), text, title});
        if (confirmAnswers.empty())
            throw std::logic_error("unexpected confirmation: " + text.toStdString());
        auto a = confirmAnswers.front();
        confirmAnswers.pop_front();
        return a;
    }
    std::optional<vnk::ui::LoginReply> login(QWidget*, const QString& databaseName,
                                             const QString& userName) override {
        asked.push_back({QStringLiteral("login"), userName, databaseName});
        if (loginAnswers.empty())
            throw std::logic_error("unexpected login prompt");
        auto a = loginAnswers.front();
        loginAnswers.pop_front();
        return a;
    }
    std::optional<vnk::ui::FileChoice> openFile(QWidget*,
                                                const vnk::ui::FileDialogSpec& fileDialog) override {
        asked.push_back({QStringLiteral("open"), fileDialog.caption, fileDialog.startFolder});
        fileSpecs.push_back(fileDialog);
        return nextFile();
    }
    std::optional<vnk::ui::FileChoice> saveFile(QWidget*,
                                                const vnk::ui::FileDialogSpec& fileDialog) override {
        asked.push_back({QStringLiteral("save"), fileDialog.caption, fileDialog.startFolder});
        fileSpecs.push_back(fileDialog);
        return nextFile();
    }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override {
        asked.push_back({QStringLiteral("font"), {}, {}});
        if (fontAnswers.empty())
            throw std::logic_error("unexpected font dialog");
        auto a = fontAnswers.front();
        fontAnswers.pop_front();
        return a;
    }
    void openWithDesktop(const QString& path, vnk::ui::DesktopFailure failed) override {
        asked.push_back({QStringLiteral("desktop"), path, {}});
        if (desktopFailure && failed)
            failed(*desktopFailure);
    }

private:
    std::optional<vnk::ui::FileChoice> nextFile() {
        if (fileAnswers.empty())
            throw std::logic_error("unexpected file dialog");
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
};

}  // namespace vnk::test
