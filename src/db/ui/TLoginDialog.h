#pragma once

#include "app/ui/Prompter.h"

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vnk::ui {

// "Database Login": asks for user name and password for the named connection object.
class TLoginDialog : public QDialog {
    Q_OBJECT
public:
    TLoginDialog(QWidget* parent, const QString& databaseName, const QString& userName);

    // Modal; the entered user name and password, nothing on Cancel.
    static std::optional<LoginReply> ask(QWidget* parent, const QString& databaseName,
                                         const QString& userName);

    LoginReply reply() const;
    QLineEdit* userEdit() const { return txtUser_; }
    QLineEdit* passwordEdit() const { return txtPassword_; }

    static constexpr int kMaxLength = 31;

protected:
    void showEvent(QShowEvent* e) override;

private:
    QLabel* lblDatabase_ = nullptr;
    QLineEdit* txtUser_ = nullptr;
    QLineEdit* txtPassword_ = nullptr;
    QPushButton* bnOk_ = nullptr;
    QPushButton* bnCancel_ = nullptr;
};

}  // namespace vnk::ui
