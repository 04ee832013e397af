#include "TIBSelectDb.h"

#include "ConnectSteps.h"
#include "TConnectionString.h"
#include "TDataLinkProperties.h"
#include "app/ui/Prompter.h"
#include "app/ui/TQueryExport.h"
#include "db/ConnectionFile.h"
#include "db/DataModule.h"
#include "share/AppState.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"
#include "share/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <stdexcept>

namespace vnk::ui {

namespace {

QString checkedEntryName(const QString& name) {
    // A connection name is one file name inside the folder, never a path.
    if (name.contains(u'/') || name.contains(QChar(u'\0')) || name == u"." || name == u"..")
        throw std::runtime_error(
            (QStringLiteral("Invalid connection name: ") + name).toStdString());
    return name;
}

// The connection file a typed name means when no file has exactly that name: names are
// compared without regard to case everywhere else in this dialog (the list's order, the
// selection by prefix, the kind), so Sales.TXT edits an existing Sales.txt instead of
// creating a second, empty connection beside it. With several such files the first in
// the list's order is taken; with none the path stays as it is.
QString sameNameInOtherCase(const QString& path) {
    const QFileInfo info(path);
    QStringList names = info.dir().entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    for (const QString& name : names)
        if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return info.dir().filePath(name);
    return path;
}

}  // namespace

QString TIBSelectDb::udlOrTxtQuestion() {
    return QStringLiteral(
        "Click \"Yes\" if you wish to create a UDL file using Data Link Properties dialog box.\n"
        "Click \"No\" if you wish to create your connection string into a TXT file.");
}

TIBSelectDb::TIBSelectDb(TQueryExport* main) : QDialog(main), main_(main) {
    setObjectName(QStringLiteral("TIBSelectDb"));
    setWindowTitle(QStringLiteral("Database Connection"));
    // Fixed border with only a close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto* group = new QGroupBox(QStringLiteral("Add/Edit Connection"), this);
    auto* nameLabel = new QLabel(QStringLiteral("Connection Name:"), group);
    txtConnName_ = new QLineEdit(group);
    txtConnName_->setObjectName(QStringLiteral("txtConnName"));
    nameLabel->setBuddy(txtConnName_);
    bnAddEdit_ = new QPushButton(QStringLiteral("Add/Edit"), group);
    bnAddEdit_->setObjectName(QStringLiteral("bnAddEdit"));
    auto* groupLayout = new QHBoxLayout(group);
    groupLayout->addWidget(nameLabel);
    groupLayout->addWidget(txtConnName_, 1);
    groupLayout->addWidget(bnAddEdit_);

    auto* listLabel = new QLabel(QStringLiteral("Select a connection:"), this);
    lvFiles_ = new QListWidget(this);
    lvFiles_->setObjectName(QStringLiteral("lvFiles"));
    lvFiles_->setSelectionMode(QAbstractItemView::SingleSelection);
    listLabel->setBuddy(lvFiles_);

    bnDelete_ = new QPushButton(QStringLiteral("Delete"), this);
    bnDelete_->setObjectName(QStringLiteral("bnDelete"));
    bnRefresh_ = new QPushButton(QStringLiteral("Refresh"), this);
    bnRefresh_->setObjectName(QStringLiteral("bnRefresh"));
    auto* sideButtons = new QVBoxLayout;
    sideButtons->addWidget(bnDelete_);
    sideButtons->addWidget(bnRefresh_);
    sideButtons->addStretch(1);

    auto* listRow = new QHBoxLayout;
    listRow->addWidget(lvFiles_, 1);
    listRow->addLayout(sideButtons);

    bnConnect_ = new QPushButton(QStringLiteral("Connect"), this);
    bnConnect_->setObjectName(QStringLiteral("bnConnect"));
    bnClose_ = new QPushButton(QStringLiteral("Close"), this);
    bnClose_->setObjectName(QStringLiteral("bnClose"));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(bnConnect_);
    bottom->addWidget(bnClose_);

    for (QPushButton* b : {bnAddEdit_, bnDelete_, bnRefresh_, bnClose_})
        b->setAutoDefault(false);
    bnConnect_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(listLabel);
    layout->addLayout(listRow, 1);
    layout->addLayout(bottom);

    dlgConnString_ = new TConnectionString(this);

    connect(bnAddEdit_, &QPushButton::clicked, this, &TIBSelectDb::bnAddEditClick);
    connect(bnDelete_, &QPushButton::clicked, this, &TIBSelectDb::bnDeleteClick);
    connect(bnRefresh_, &QPushButton::clicked, this, &TIBSelectDb::refreshClicked);
    connect(bnConnect_, &QPushButton::clicked, this, &TIBSelectDb::connectClicked);
    connect(bnClose_, &QPushButton::clicked, this, &QDialog::reject);
    connect(lvFiles_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { txtConnName_->setText(item->text()); });
    connect(lvFiles_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { connectClicked(); });

    // Design size 410 x 350, grown where the desktop's fonts need more room.
    setFixedSize(QSize(410, 350).expandedTo(layout->minimumSize()));
}

TIBSelectDb::~TIBSelectDb() = default;

void TIBSelectDb::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    refreshClicked();
}

void TIBSelectDb::refreshClicked() {
    try {
        fnRefresh();
    } catch (const std::exception&) {
        ReportError(errorText());
    }
}

void TIBSelectDb::connectClicked() {
    try {
        fnDBConnect();
    } catch (const std::exception&) {
        ReportError(errorText());
    }
}

void TIBSelectDb::fnRefresh() {
    const QString folder = conFilesFolder();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        throw std::runtime_error((QStringLiteral("Cannot create ") + folder).toStdString());

    // Plain files only: no folders, hidden files, sockets or dangling links.
    const QDir dir(folder);
    QStringList names = dir.entryList({QStringLiteral("*.udl"), QStringLiteral("*.txt")},
                                      QDir::Files, QDir::NoSort);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    lvFiles_->clear();
    lvFiles_->addItems(names);
    lvFiles_->clearSelection();

    const QString typed = TrimText(txtConnName_->text());
    if (typed.isEmpty())
        return;
    for (int i = 0; i < lvFiles_->count(); ++i) {
        QListWidgetItem* item = lvFiles_->item(i);
        if (item->text().startsWith(typed, Qt::CaseInsensitive)) {
            lvFiles_->setCurrentItem(item);
            item->setSelected(true);
            break;
        }
    }
}

void TIBSelectDb::bnAddEditClick() {
    const QString name = txtConnName_->text();
    if (TrimText(name).isEmpty()) {
        prompter().message(this, QStringLiteral("Please enter a connection name"));
        return;
    }
    try {
        const QString folder = conFilesFolder();
        QDir().mkpath(folder);  // a failure shows when the file is created
        QString path = folder + checkedEntryName(name);
        const QString kind = FileKind(path);
        if (kind != u".UDL" && kind != u".TXT") {
            const Answer a = prompter().confirm(this, udlOrTxtQuestion(), Buttons::YesNo,
                                                QStringLiteral("Confirm"));
            path += a == Answer::Yes ? QStringLiteral(".udl") : QStringLiteral(".txt");
        }
        if (!QFileInfo::exists(path))
            path = sameNameInOtherCase(path);
        if (!QFileInfo::exists(path)) {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                        QFile::ReadOwner | QFile::WriteOwner))
                throw std::runtime_error(
                    (QStringLiteral("Cannot create ") + path + QStringLiteral(": ") +
                     f.errorString())
                        .toStdString());
        }
        if (FileKind(path) == u".UDL") {
            TDataLinkProperties::editFile(this, path);
        } else {
            dlgConnString_->setWindowTitle(path);
            dlgConnString_->exec();
        }
    } catch (const std::exception&) {
        prompter().message(this, errorText());
        return;
    }
    refreshClicked();
}

void TIBSelectDb::bnDeleteClick() {
    const QList<QListWidgetItem*> selected = lvFiles_->selectedItems();
    if (selected.isEmpty())
        return;
    QListWidgetItem* item = selected.first();
    const QString entry = item->text();
    try {
        const QString path = conFilesFolder() + checkedEntryName(entry);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return;
        if (prompter().confirm(this, QStringLiteral("Confirm to delete ") + entry + u'?',
                               Buttons::YesNo, QStringLiteral("Confirm")) != Answer::Yes)
            return;
        // Removes a link itself, never what it points to.
        QFile::remove(path);
        delete item;
        // The list would move on to a neighbour, which Enter (Connect) would then open
        // although the user never picked it.
        lvFiles_->setCurrentItem(nullptr);
        lvFiles_->clearSelection();
    } catch (const std::exception&) {
        prompter().message(this, errorText());
    }
}

int TIBSelectDb::fnDBConnect() {
    AppState& st = appState();
    db::Connection& conn = db::dm1().ADOConn1;
    // The login prompt is on only for the retries of this attempt, whatever ends it.
    struct PromptOff {
        db::Connection& c;
        ~PromptOff() { c.setLoginPrompt(false); }
    } promptOff{conn};

    int result = 0;
    const QList<QListWidgetItem*> selected = lvFiles_->selectedItems();
    if (!selected.isEmpty()) {
        const QString entry = selected.first()->text();
        // Retried while the provider says the login failed, until another outcome or Cancel.
        for (;;) {
            closeConnection();
            if (main_)
                main_->clearSchemaLists();
            st.ConnName.clear();
            st.ConnString.clear();
            st.ConnString = db::ReadConnectionFile(conFilesFolder() + checkedEntryName(entry));

            std::optional<QString> failure;
            try {
                if (openStep(this, st.ConnString, true)) {
                    st.ConnName = entry;
                    WriteSetting(key::Options, QString::fromLatin1(opt::LastConnection),
                                 st.ConnName);
                    WriteSetting(key::Options, QString::fromLatin1(opt::LastConnString),
                                 st.ConnString);
                    if (main_)
                        main_->setConnStringLabel(QString());
                    result = 1;
                } else {
                    failure = QStringLiteral("Connection failed!");
                }
            } catch (const std::exception& e) {
                failure = errorText();
                if (isLoginFailure(e)) {
                    conn.setLoginPrompt(true);
                    setEnabled(true);
                    continue;
                }
            }
            if (failure) {
                // Also after a failure that followed the open (the settings could not be
                // written): no connection stays open without a name.
                if (conn.isOpen())
                    conn.close();
                st.ConnName.clear();
                st.ConnString.clear();
                setEnabled(true);
                prompter().message(this, *failure);
            }
            break;
        }
    }

    if (main_)
        main_->updateTitle(false);
    conn.setLoginPrompt(false);
    setEnabled(true);
    if (result == 1) {
        if (main_)
            main_->LoadSchemaList();
        accept();
    }
    return result;
}

}  // namespace vnk::ui
