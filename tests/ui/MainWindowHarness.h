#pragma once

// A headless main window for one test: private settings, scripted answers, and a way
// through the modal connection dialog a first start opens.

#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "app/ui/Prompter.h"
#include "app/ui/TQueryExport.h"
#include "share/AppState.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace vnk::test {

// Rejects the first modal dialog that opens while it lives and remembers its class.
class ModalCloser {
public:
    ModalCloser() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                closed << QString::fromLatin1(dlg->metaObject()->className());
                dlg->reject();
            }
        });
        timer_.start();
    }
    QStringList closed;

private:
    QTimer timer_;
};

class MainWindowTest : public ::testing::Test {
public:
    void SetUp() override {
        resetAppState();
        ui::setPrompter(&prompter);
        setInteractiveErrorSink([this](const QString& m) { prompter.message(nullptr, m); });
    }
    void TearDown() override {
        window.reset();
        ui::setPrompter(nullptr);
        setInteractiveErrorSink({});
        resetAppState();
    }

    void option(const char* name, const QString& value) {
        WriteSetting(key::Options, QString::fromLatin1(name), value);
    }
    QString storedOption(const char* name) const {
        return ReadSetting(key::Options, QString::fromLatin1(name));
    }

    // The last connection points to an empty SQLite database, so start-up connects
    // without asking anything.
    void storeWorkingConnection() {
        const QString db = env.path() + QStringLiteral("/empty.sqlite");
        QFile f(db);
        f.open(QIODevice::WriteOnly);
        f.close();
        option(opt::LastConnection, QStringLiteral("Empty.txt"));
        option(opt::LastConnString, QStringLiteral("Provider=SQLite;Data Source=") + db);
    }

    // Creates and shows the window (FormCreate, then FormShow on the first show).
    ui::TQueryExport& start(const QStringList& args = {}) {
        window = std::make_unique<ui::TQueryExport>(args);
        window->show();
        QApplication::processEvents();
        return *window;
    }

    // Closes through the close box and destroys the window (FormClose, FormDestroy).
    bool closeAndDestroy() {
        const bool closed = window->close();
        window.reset();
        return closed;
    }

    template <class T = QWidget>
    T* child(const char* name) const {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QSplitter* splitter(const char* name) const { return child<QSplitter>(name); }

    IsolatedEnvironment env;
    ScriptedPrompter prompter;
    std::unique_ptr<ui::TQueryExport> window;
};

}  // namespace vnk::test
