#include "TConnectionString.h"

#include "share/Error.h"
#include "share/ErrorReport.h"
#include "share/TextCodec.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <limits>
#include <stdexcept>

namespace vnk::ui {

namespace {

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

}  // namespace

TConnectionString::TConnectionString(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TConnectionString"));
    // Dialog border without a close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* label = new QLabel(QStringLiteral("Connection String:"), this);
    txtConnString_ = new QLineEdit(this);
    txtConnString_->setObjectName(QStringLiteral("txtConnString"));
    txtConnString_->setMaxLength(std::numeric_limits<int>::max());
    label->setBuddy(txtConnString_);

    bnOk_ = new QPushButton(QStringLiteral("OK"), this);
    bnOk_->setObjectName(QStringLiteral("bnOk"));
    bnOk_->setDefault(true);
    bnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    bnCancel_->setObjectName(QStringLiteral("bnCancel"));
    bnCancel_->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bnOk_);
    buttons->addWidget(bnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(txtConnString_);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(bnOk_, &QPushButton::clicked, this, &TConnectionString::bnOkClick);
    connect(bnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    resize(545, 111);
}

QString TConnectionString::readFirstLine(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray line = f.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return decodeUtf8OrWindows1252(line);
}

void TConnectionString::writeLine(const QString& path, const QString& text) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error(f.errorString().toStdString());
    // Connection strings may hold passwords.
    f.setPermissions(kOwnerOnly);
    f.write(text.toUtf8());
    f.write("\r\n", 2);
    if (!f.commit())
        throw std::runtime_error(f.errorString().toStdString());
}

void TConnectionString::showEvent(QShowEvent* e) {
    txtConnString_->clear();
    const QString path = filePath();
    if (QFile::exists(path)) {
        txtConnString_->setText(readFirstLine(path));
    } else if (!path.isEmpty()) {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly);
    }
    txtConnString_->setFocus();
    QDialog::showEvent(e);
}

void TConnectionString::bnOkClick() {
    try {
        writeLine(filePath(), txtConnString_->text());
    } catch (const std::exception&) {
        accept();
        ReportError(errorText());
        return;
    }
    accept();
}

}  // namespace vnk::ui
