#include "Connecting.h"

#include "ConnectSteps.h"
#include "TIBSelectDb.h"
#include "app/ui/Prompter.h"
#include "app/ui/TQueryExport.h"
#include "db/Connection.h"
#include "db/DataModule.h"
#include "db/DbError.h"
#include "share/AppState.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"
#include "share/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>
#include <thread>

namespace vnk::ui {

void runWithEvents(QWidget* disable, const std::function<void()>& call) {
    if (!QCoreApplication::instance()) {
        call();
        return;
    }
    QPointer<QWidget> widget(disable);
    // Only a widget we disabled ourselves is enabled again afterwards.
    const bool disabledHere = widget && !widget->testAttribute(Qt::WA_Disabled);
    if (disabledHere)
        widget->setEnabled(false);

    std::exception_ptr failure;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            call();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    // With no window to disable, input waits until the call is done: a click must not
    // start another use of the connection while it is being opened.
    loop.exec(widget ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    // The loop also ends when the application quits; the call must still be finished.
    worker.join();

    if (disabledHere && widget)
        widget->setEnabled(true);
    if (failure)
        std::rethrow_exception(failure);
}

bool isLoginFailure(const std::exception& e) {
    const auto* db = dynamic_cast<const db::DbError*>(&e);
    return db && db->isLoginFailure();
}

QString connectionWorkFolder() {
    const QString& wf = appState().WorkFolder;
    return wf.isEmpty() ? QDir::currentPath() : wf;
}

QString conFilesFolder() {
    QString folder = connectionWorkFolder();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder + QStringLiteral("ConFiles/");
}

void closeConnection() {
    db::Tdm1& dm = db::dm1();
    dm.ADOQry1.close();  // the grid lets go of the rows first
    if (dm.ADOConn1.isOpen())
        dm.ADOConn1.close();
}

bool openStep(QWidget* disable, QString& connString, bool substituteDash) {
    db::Connection& conn = db::dm1().ADOConn1;
    if (substituteDash && TrimText(connString).isEmpty())
        connString = QStringLiteral("-");
    conn.setConnectionString(connString);
    conn.setWorkFolder(connectionWorkFolder());

    std::optional<db::Credentials> credentials;
    // Nobody answers a question in a batch run.
    if (conn.loginPrompt() && !appState().IsBatchRun) {
        QWidget* parent = disable ? disable : mainWindow();
        const auto reply =
            prompter().login(parent, db::Connection::name(), db::loginUserName(connString));
        if (!reply)
            throw db::DbError(kLoginCancelledMessage);
        credentials = db::Credentials{reply->user, reply->password};
    }
    runWithEvents(disable, [&conn, &credentials] { conn.open(credentials); });
    return conn.isOpen();
}

void ReconnectLast(TQueryExport& main) {
    AppState& st = appState();
    db::Connection& conn = db::dm1().ADOConn1;
    const QString lastConnection = ReadSetting(key::Options, QString::fromLatin1(opt::LastConnection));
    st.ConnString = ReadSetting(key::Options, QString::fromLatin1(opt::LastConnString));

    if (lastConnection.isEmpty()) {
        prompter().message(&main, QStringLiteral("Please choose a database connection."));
        if (TIBSelectDb* dialog = main.connectionDialog())
            dialog->exec();
        return;
    }

    auto opened = [&] {
        st.ConnName = lastConnection;
        main.updateTitle(true);
        main.setConnStringLabel(QString());
        main.LoadSchemaList();
    };
    // The main window stays as it is: the start-up attempt disables nothing.
    try {
        if (openStep(nullptr, st.ConnString, false))
            opened();
    } catch (const std::exception& first) {
        const QString message = errorText();
        if (isLoginFailure(first)) {
            conn.setLoginPrompt(true);
            try {
                if (openStep(nullptr, st.ConnString, false))
                    opened();
            } catch (const std::exception&) {
                prompter().message(&main, errorText());
            }
        } else {
            prompter().message(&main, message);
        }
    }
    conn.setLoginPrompt(false);
}

bool ConnectQueryFile(TQueryExport& main, const QString& connName, const QString& connString,
                      const QString& queryFilePath) {
    return ConnectQueryFile(&main, connName, connString, queryFilePath);
}

bool ConnectQueryFile(TQueryExport* main, const QString& connName, const QString& connString,
                      const QString& queryFilePath) {
    AppState& st = appState();
    db::Connection& conn = db::dm1().ADOConn1;
    st.ConnString = connString;
    closeConnection();

    auto opened = [&] {
        st.ConnName = connName;
        st.CurrentFileName = queryFilePath;
        if (main) {
            main->setConnStringLabel(QStringLiteral("Connection String:   ") + st.ConnString);
            main->setStatusText(5, st.CurrentFileName);
            main->updateTitle(false);
            main->LoadSchemaList();
        }
    };
    auto failed = [&](const QString& message) {
        ReportError(message);
        conn.setLoginPrompt(false);
        // A failure in the actions after the open must not leave an unnamed connection.
        if (conn.isOpen())
            conn.close();
        st.ConnName.clear();
        st.CurrentFileName = queryFilePath;
        if (main) {
            main->clearSchemaLists();
            main->setEnabled(true);
            main->setStatusText(5, st.CurrentFileName);
            main->updateTitle(false);
            main->LoadSchemaList();
        }
        return false;
    };

    try {
        if (openStep(main, st.ConnString, true))
            opened();
        return true;
    } catch (const std::exception& first) {
        // A batch run cannot answer the login window: the failure is reported as it is.
        if (!isLoginFailure(first) || st.IsBatchRun)
            return failed(errorText());
    }

    conn.setLoginPrompt(true);
    try {
        if (openStep(main, st.ConnString, true))
            opened();
    } catch (const std::exception&) {
        return failed(errorText());
    }
    conn.setLoginPrompt(false);
    return true;
}

}  // namespace vnk::ui
