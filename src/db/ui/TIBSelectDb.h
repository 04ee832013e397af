#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace vnk::ui {

class TQueryExport;
class TConnectionString;

// "Database Connection": lists the connection files of the ConFiles folder, adds, edits,
// deletes and connects. Created once by the main window and reused.
class TIBSelectDb : public QDialog {
    Q_OBJECT
public:
    explicit TIBSelectDb(TQueryExport* main);
    ~TIBSelectDb() override;

    // Connects with the selected entry: 1 when a connection was opened (the dialog then
    // closes), 0 otherwise.
    int fnDBConnect();
    void fnRefresh();
    void bnAddEditClick();
    void bnDeleteClick();

    TConnectionString* connectionStringDialog() const { return dlgConnString_; }
    QLineEdit* nameBox() const { return txtConnName_; }
    QListWidget* fileList() const { return lvFiles_; }

    // The question asked when a new connection name has no .udl or .txt extension.
    static QString udlOrTxtQuestion();

protected:
    void showEvent(QShowEvent* e) override;

private:
    // Button and list handlers: an error no step handles goes to the error report.
    void connectClicked();
    void refreshClicked();

    TQueryExport* main_;
    TConnectionString* dlgConnString_ = nullptr;
    QLineEdit* txtConnName_ = nullptr;
    QListWidget* lvFiles_ = nullptr;
    QPushButton* bnAddEdit_ = nullptr;
    QPushButton* bnDelete_ = nullptr;
    QPushButton* bnRefresh_ = nullptr;
    QPushButton* bnConnect_ = nullptr;
    QPushButton* bnClose_ = nullptr;
};

}  // namespace vnk::ui
