#pragma once

#include <QDialog>

class QLabel;

namespace vnk::ui {

// "Data Exporting": the wait window an export shows while the main window is disabled.
// Not modal, and the user cannot close it; the export closes it on every way out.
class TProcessingMsg : public QDialog {
    Q_OBJECT
public:
    explicit TProcessingMsg(QWidget* parent = nullptr);

    // Shows the window centred on its parent and paints it at once, before the work
    // starts blocking the event loop.
    void showProcessing();
    void closeProcessing();

    QLabel* messageLabel() const { return label1_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QLabel* label1_ = nullptr;
    bool closing_ = false;
};

}  // namespace vnk::ui
