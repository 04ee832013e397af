#pragma once

#include "db/DataLink.h"

#include <QDialog>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace vnk::ui {

// "Data Link Properties": builds the connection string of a .udl connection file, for
// SQLite (a database file) or ODBC (a data source or a driver with attributes).
class TDataLinkProperties : public QDialog {
    Q_OBJECT
public:
    explicit TDataLinkProperties(const db::DataLink& link, QWidget* parent = nullptr);

    db::DataLink link() const;
    QString connectionString() const { return link().connectionString(); }

    // Edits a data-link file: the dialog starts from the string the file holds (an empty
    // file gives the defaults); OK rewrites the file in the three-line form. The new
    // connection string, nothing on Cancel. Raises on a read or write error.
    static std::optional<QString> editFile(QWidget* parent, const QString& path);
    // Writes the three-line data-link file, readable by its owner only.
    static void writeDataLinkFile(const QString& path, const QString& connectionString);

    void bnTestConnectionClick();
    void bnBrowseClick();

    void accept() override;

private:
    void updatePreview();
    void providerChanged();

    QComboBox* cbProvider_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLineEdit* txtDatabase_ = nullptr;
    QPushButton* bnBrowse_ = nullptr;
    QRadioButton* rbDsn_ = nullptr;
    QRadioButton* rbDriver_ = nullptr;
    QComboBox* cbDsn_ = nullptr;
    QComboBox* cbDriver_ = nullptr;
    QLineEdit* txtAttributes_ = nullptr;
    QLineEdit* txtUser_ = nullptr;
    QLineEdit* txtPassword_ = nullptr;
    QLineEdit* txtPreview_ = nullptr;
    QPushButton* bnTest_ = nullptr;
    QPushButton* bnOk_ = nullptr;
    QPushButton* bnCancel_ = nullptr;
};

}  // namespace vnk::ui
