#include "AppRun.h"

#include "Prompter.h"
#include "TQueryExport.h"
#include "db/DataModule.h"
#include "share/ErrorReport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <clocale>

namespace vnk::ui {

namespace {

const QString kAppTitle = QStringLiteral("Varnock (Dozidizur Module)");

QStringList argumentsOf(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

// The interactive run: no argument, or one query file to open.
int runInteractive(int argc, char** argv, const QStringList& args) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(kAppTitle);
    // The application object gave the C library the user's locale; its numbers go back to
    // "C", as Qt advises, so that no library or driver writes or reads a decimal comma
    // where a file format wants a point. Texts for people follow QLocale, not this.
    std::setlocale(LC_NUMERIC, "C");

    QtPrompter dialogs;
    setPrompter(&dialogs);
    setInteractiveErrorSink([](const QString& message) {
        QWidget* parent = QApplication::activeModalWidget();
        if (!parent)
            parent = mainWindow();
        prompter().message(parent, message);
    });

    int code = 0;
    {
        // The main window creates the connection dialog; the data module comes next.
        TQueryExport main(args);
        (void)db::dm1();
        // Closing the main window ends the process, whatever else is still open.
        QObject::connect(&main, &TQueryExport::formClosed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        main.show();  // runs FormShow before the window appears
        code = app.exec();
    }  // FormDestroy writes the layout while the application still exists
    setInteractiveErrorSink({});
    setPrompter(nullptr);
    Q_UNUSED(code);
    return 0;  // an interactive run always ends with 0
}

}  // namespace

int runVarnock(int argc, char** argv) {
    return runInteractive(argc, argv, argumentsOf(argc, argv));
}

}  // namespace vnk::ui
