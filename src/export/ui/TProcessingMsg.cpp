#include "TProcessingMsg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace vnk::ui {

TProcessingMsg::TProcessingMsg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmProcessingMsg"));
    setWindowTitle(QStringLiteral("Data Exporting"));
    // A title bar without any button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(false);

    label1_ = new QLabel(QStringLiteral("Please wait while data export in process..."), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("Tahoma"), 10);
    font.setBold(true);
    label1_->setFont(font);
    QPalette blue = label1_->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    label1_->setPalette(blue);

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(24, 16, 20, 16);
    box->addWidget(label1_);
    setFixedSize(sizeHint().expandedTo(QSize(325, 54)));
}

void TProcessingMsg::showProcessing() {
    if (QWidget* owner = parentWidget()) {
        QRect frame = geometry();
        frame.moveCenter(owner->window()->geometry().center());
        move(frame.topLeft());
    }
    show();
    repaint();
    // Let the window system map and paint it before the export blocks the loop.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TProcessingMsg::closeProcessing() {
    closing_ = true;
    hide();
    closing_ = false;
}

void TProcessingMsg::closeEvent(QCloseEvent* e) {
    if (!closing_)
        e->ignore();  // only the export closes it
}

void TProcessingMsg::keyPressEvent(QKeyEvent* e) {
    // Escape would reject a dialog: this one stays until the export ends.
    if (e->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(e);
}

}  // namespace vnk::ui
