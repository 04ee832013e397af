#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace vnk::ui {

// "Connection String": edits the one-line connection string of a .txt connection file.
// The caller sets the caption to the file's full path; showing reads the file's first line
// (creating the file empty when it is missing), OK rewrites the file with the edited line.
class TConnectionString : public QDialog {
    Q_OBJECT
public:
    explicit TConnectionString(QWidget* parent = nullptr);

    QString filePath() const { return windowTitle(); }
    QLineEdit* edit() const { return txtConnString_; }

    // The first line of a connection file, UTF-8 or else Windows-1252; empty when the file
    // is empty or unreadable.
    static QString readFirstLine(const QString& path);
    // Rewrites the file with exactly one line (text + CR LF), readable by its owner only.
    // Raises std::runtime_error with the file error's text.
    static void writeLine(const QString& path, const QString& text);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void bnOkClick();

    QLineEdit* txtConnString_ = nullptr;
    QPushButton* bnOk_ = nullptr;
    QPushButton* bnCancel_ = nullptr;
};

}  // namespace vnk::ui
