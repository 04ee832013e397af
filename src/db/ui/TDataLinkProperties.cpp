#include "TDataLinkProperties.h"

#include "ConnectSteps.h"
#include "Connecting.h"
#include "app/ui/Prompter.h"
#include "db/Connection.h"
#include "db/ConnectionFile.h"
#include "db/OdbcCatalog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <stdexcept>

namespace vnk::ui {

namespace {

enum ProviderIndex { SQLitePage = 0, OdbcPage = 1 };

QStringList listedOrNothing(QStringList (*list)()) {
    try {
        return list();
    } catch (const std::exception&) {
        return {};  // no driver manager: names are typed by hand
    }
}

QComboBox* editableCombo(const QString& objectName, const QStringList& items, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(objectName);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    return combo;
}

}  // namespace

TDataLinkProperties::TDataLinkProperties(const db::DataLink& link, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TDataLinkProperties"));
    setWindowTitle(QStringLiteral("Data Link Properties"));

    cbProvider_ = new QComboBox(this);
    cbProvider_->setObjectName(QStringLiteral("cbProvider"));
    cbProvider_->addItems({QStringLiteral("SQLite"), QStringLiteral("ODBC")});
    auto* providerLabel = new QLabel(QStringLiteral("&Provider:"), this);
    providerLabel->setBuddy(cbProvider_);

    // SQLite: the database file.
    auto* sqlitePage = new QWidget(this);
    txtDatabase_ = new QLineEdit(sqlitePage);
    txtDatabase_->setObjectName(QStringLiteral("txtDatabase"));
    bnBrowse_ = new QPushButton(QStringLiteral("..."), sqlitePage);
    bnBrowse_->setObjectName(QStringLiteral("bnBrowse"));
    bnBrowse_->setAutoDefault(false);
    auto* databaseLabel = new QLabel(QStringLiteral("Database &file:"), sqlitePage);
    databaseLabel->setBuddy(txtDatabase_);
    auto* sqliteLayout = new QGridLayout(sqlitePage);
    sqliteLayout->setContentsMargins(0, 0, 0, 0);
    sqliteLayout->addWidget(databaseLabel, 0, 0);
    sqliteLayout->addWidget(txtDatabase_, 0, 1);
    sqliteLayout->addWidget(bnBrowse_, 0, 2);
    sqliteLayout->setRowStretch(1, 1);

    // ODBC: a data source or a driver, and the login.
    auto* odbcPage = new QWidget(this);
    rbDsn_ = new QRadioButton(QStringLiteral("Data &source name:"), odbcPage);
    rbDsn_->setObjectName(QStringLiteral("rbDsn"));
    rbDriver_ = new QRadioButton(QStringLiteral("D&river:"), odbcPage);
    rbDriver_->setObjectName(QStringLiteral("rbDriver"));
    cbDsn_ = editableCombo(QStringLiteral("cbDsn"), listedOrNothing(&db::odbcDataSources),
                           odbcPage);
    cbDriver_ = editableCombo(QStringLiteral("cbDriver"), listedOrNothing(&db::odbcDrivers),
                              odbcPage);
    txtUser_ = new QLineEdit(odbcPage);
    txtUser_->setObjectName(QStringLiteral("txtUser"));
    txtPassword_ = new QLineEdit(odbcPage);
    txtPassword_->setObjectName(QStringLiteral("txtPassword"));
    txtPassword_->setEchoMode(QLineEdit::Password);
    auto* userLabel = new QLabel(QStringLiteral("&User name:"), odbcPage);
    userLabel->setBuddy(txtUser_);
    auto* passwordLabel = new QLabel(QStringLiteral("Pass&word:"), odbcPage);
    passwordLabel->setBuddy(txtPassword_);
    auto* odbcLayout = new QGridLayout(odbcPage);
    odbcLayout->setContentsMargins(0, 0, 0, 0);
    odbcLayout->addWidget(rbDsn_, 0, 0);
    odbcLayout->addWidget(cbDsn_, 0, 1);
    odbcLayout->addWidget(rbDriver_, 1, 0);
    odbcLayout->addWidget(cbDriver_, 1, 1);
    odbcLayout->addWidget(userLabel, 2, 0);
    odbcLayout->addWidget(txtUser_, 2, 1);
    odbcLayout->addWidget(passwordLabel, 3, 0);
    odbcLayout->addWidget(txtPassword_, 3, 1);
    odbcLayout->setColumnStretch(1, 1);

    pages_ = new QStackedWidget(this);
    pages_->addWidget(sqlitePage);
    pages_->addWidget(odbcPage);

    txtAttributes_ = new QLineEdit(this);
    txtAttributes_->setObjectName(QStringLiteral("txtAttributes"));
    txtAttributes_->setPlaceholderText(QStringLiteral("Server=localhost;Port=5432;Database=name"));
    auto* attributesLabel = new QLabel(QStringLiteral("&Additional attributes:"), this);
    attributesLabel->setBuddy(txtAttributes_);

    txtPreview_ = new QLineEdit(this);
    txtPreview_->setObjectName(QStringLiteral("txtPreview"));
    txtPreview_->setReadOnly(true);
    auto* previewLabel = new QLabel(QStringLiteral("Connection string:"), this);

    bnTest_ = new QPushButton(QStringLiteral("&Test Connection"), this);
    bnTest_->setObjectName(QStringLiteral("bnTestConnection"));
    bnTest_->setAutoDefault(false);
    bnOk_ = new QPushButton(QStringLiteral("OK"), this);
    bnOk_->setObjectName(QStringLiteral("bnOk"));
    bnOk_->setDefault(true);
    bnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    bnCancel_->setObjectName(QStringLiteral("bnCancel"));
    bnCancel_->setAutoDefault(false);

    auto* providerRow = new QHBoxLayout;
    providerRow->addWidget(providerLabel);
    providerRow->addWidget(cbProvider_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bnTest_);
    buttons->addStretch(1);
    buttons->addWidget(bnOk_);
    buttons->addWidget(bnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(providerRow);
    layout->addWidget(pages_);
    layout->addWidget(attributesLabel);
    layout->addWidget(txtAttributes_);
    layout->addWidget(previewLabel);
    layout->addWidget(txtPreview_);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // Fill from the value before wiring, so the preview is built once at the end.
    using Kind = db::DataLink::Kind;
    cbProvider_->setCurrentIndex(link.kind == Kind::SQLite ? SQLitePage : OdbcPage);
    pages_->setCurrentIndex(cbProvider_->currentIndex());
    txtDatabase_->setText(link.database);
    (link.kind == Kind::OdbcDriver ? rbDriver_ : rbDsn_)->setChecked(true);
    cbDsn_->setCurrentText(link.dsn);
    cbDriver_->setCurrentText(link.driver);
    txtAttributes_->setText(link.attributes);
    txtUser_->setText(link.user);
    txtPassword_->setText(link.password);

    connect(cbProvider_, &QComboBox::currentIndexChanged, this,
            &TDataLinkProperties::providerChanged);
    connect(rbDsn_, &QRadioButton::toggled, this, &TDataLinkProperties::providerChanged);
    for (QLineEdit* edit : {txtDatabase_, txtAttributes_, txtUser_, txtPassword_})
        connect(edit, &QLineEdit::textChanged, this, &TDataLinkProperties::updatePreview);
    for (QComboBox* combo : {cbDsn_, cbDriver_})
        connect(combo, &QComboBox::currentTextChanged, this,
                &TDataLinkProperties::updatePreview);
    connect(bnBrowse_, &QPushButton::clicked, this, &TDataLinkProperties::bnBrowseClick);
    connect(bnTest_, &QPushButton::clicked, this, &TDataLinkProperties::bnTestConnectionClick);
    connect(bnOk_, &QPushButton::clicked, this, &TDataLinkProperties::accept);
    connect(bnCancel_, &QPushButton::clicked, this, &QDialog::reject);

    providerChanged();
    resize(QSize(480, 0).expandedTo(sizeHint()));
}

void TDataLinkProperties::providerChanged() {
    pages_->setCurrentIndex(cbProvider_->currentIndex());
    cbDsn_->setEnabled(rbDsn_->isChecked());
    cbDriver_->setEnabled(rbDriver_->isChecked());
    updatePreview();
}

void TDataLinkProperties::updatePreview() {
    // The password stays masked here as it is in its own box.
    db::DataLink shown = link();
    if (!shown.password.isEmpty())
        shown.password = QString(shown.password.size(), u'*');
    txtPreview_->setText(shown.connectionString());
    txtPreview_->setCursorPosition(0);
}

db::DataLink TDataLinkProperties::link() const {
    using Kind = db::DataLink::Kind;
    db::DataLink link;
    link.attributes = txtAttributes_->text();
    if (cbProvider_->currentIndex() == SQLitePage) {
        link.kind = Kind::SQLite;
        link.database = txtDatabase_->text();
        return link;
    }
    if (rbDriver_->isChecked()) {
        link.kind = Kind::OdbcDriver;
        link.driver = cbDriver_->currentText();
    } else {
        link.kind = Kind::OdbcDsn;
        link.dsn = cbDsn_->currentText();
    }
    link.user = txtUser_->text();
    link.password = txtPassword_->text();
    return link;
}

void TDataLinkProperties::accept() {
    using Kind = db::DataLink::Kind;
    const db::DataLink l = link();
    QString missing;
    if (l.kind == Kind::SQLite && l.database.trimmed().isEmpty())
        missing = QStringLiteral("Please choose a database file.");
    else if (l.kind == Kind::OdbcDsn && l.dsn.trimmed().isEmpty())
        missing = QStringLiteral("Please choose a data source name.");
    else if (l.kind == Kind::OdbcDriver && l.driver.trimmed().isEmpty())
        missing = QStringLiteral("Please choose a driver.");
    if (!missing.isEmpty()) {
        prompter().message(this, missing);
        return;
    }
    QDialog::accept();
}

void TDataLinkProperties::bnBrowseClick() {
    const QString work = connectionWorkFolder();
    const QString current = txtDatabase_->text().trimmed();
    FileDialogSpec fileDialog;
    fileDialog.caption = QStringLiteral("Select Database File");
    fileDialog.startFolder = current.isEmpty()
                           ? work
                           : QFileInfo(QDir(work).absoluteFilePath(current)).absolutePath();
    fileDialog.filters = {QStringLiteral("SQLite databases (*.sqlite *.sqlite3 *.db *.db3)"),
                    QStringLiteral("All files (*)")};
    fileDialog.confirmOverwrite = false;
    const auto choice = prompter().openFile(this, fileDialog);
    if (!choice)
        return;
    // Inside the work folder the name is kept relative, so the folder can move.
    const QString relative = QDir(work).relativeFilePath(choice->path);
    txtDatabase_->setText(relative.startsWith(QStringLiteral("..")) ? choice->path : relative);
}

void TDataLinkProperties::bnTestConnectionClick() {
    db::Connection test;
    test.setConnectionString(connectionString());
    test.setWorkFolder(connectionWorkFolder());
    try {
        runWithEvents(this, [&test] { test.open(); });
    } catch (const std::exception&) {
        prompter().message(this, errorText());
        return;
    }
    prompter().message(this, test.isOpen() ? QStringLiteral("Test connection succeeded.")
                                           : QStringLiteral("Test connection failed."));
}

void TDataLinkProperties::writeDataLinkFile(const QString& path, const QString& connectionString) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error(f.errorString().toStdString());
    // The string may hold a password.
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    f.write(db::dataLinkFileBytes(connectionString));
    if (!f.commit())
        throw std::runtime_error(f.errorString().toStdString());
}

std::optional<QString> TDataLinkProperties::editFile(QWidget* parent, const QString& path) {
    const QString current = QFileInfo(path).size() > 0 ? db::ReadConnectionFile(path) : QString();
    TDataLinkProperties dialog(db::DataLink::parse(current), parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QString result = dialog.connectionString();
    writeDataLinkFile(path, result);
    return result;
}

}  // namespace vnk::ui
