#include "TLoginDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>

namespace vnk::ui {

namespace {

// The password is masked with "*" whatever the desktop style would use.
class AsteriskStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

TLoginDialog::TLoginDialog(QWidget* parent, const QString& databaseName, const QString& userName)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TLoginDialog"));
    setWindowTitle(QStringLiteral("Database Login"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Database:"), this), 0, 0);
    lblDatabase_ = new QLabel(databaseName, this);
    lblDatabase_->setObjectName(QStringLiteral("lblDatabase"));
    grid->addWidget(lblDatabase_, 0, 1);

    txtUser_ = new QLineEdit(userName, this);
    txtUser_->setObjectName(QStringLiteral("txtUserName"));
    txtUser_->setMaxLength(kMaxLength);
    auto* userLabel = new QLabel(QStringLiteral("&User Name:"), this);
    userLabel->setBuddy(txtUser_);
    grid->addWidget(userLabel, 1, 0);
    grid->addWidget(txtUser_, 1, 1);

    txtPassword_ = new QLineEdit(this);
    txtPassword_->setObjectName(QStringLiteral("txtPassword"));
    txtPassword_->setMaxLength(kMaxLength);
    auto* style = new AsteriskStyle;
    style->setParent(txtPassword_);
    txtPassword_->setStyle(style);
    txtPassword_->setEchoMode(QLineEdit::Password);
    auto* passwordLabel = new QLabel(QStringLiteral("&Password:"), this);
    passwordLabel->setBuddy(txtPassword_);
    grid->addWidget(passwordLabel, 2, 0);
    grid->addWidget(txtPassword_, 2, 1);
    grid->setColumnStretch(1, 1);

    bnOk_ = new QPushButton(QStringLiteral("&OK"), this);
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
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(bnOk_, &QPushButton::clicked, this, &QDialog::accept);
    connect(bnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TLoginDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (txtUser_->text().isEmpty())
        txtUser_->setFocus();
    else
        txtPassword_->setFocus();
}

LoginReply TLoginDialog::reply() const {
    return {txtUser_->text(), txtPassword_->text()};
}

std::optional<LoginReply> TLoginDialog::ask(QWidget* parent, const QString& databaseName,
                                            const QString& userName) {
    TLoginDialog dialog(parent, databaseName, userName);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.reply();
}

}  // namespace vnk::ui
