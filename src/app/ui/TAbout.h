#pragma once

#include <QDialog>

class QLabel;

namespace vnk::ui {

// "A&bout...": the program name with VersionText, shown modally.
class TAbout : public QDialog {
    Q_OBJECT
public:
    explicit TAbout(QWidget* parent = nullptr);

    // "Varnock - Dozidizur Module " + VersionText.
    static QString productText();

    // Shows the box modally with the current version text.
    void showModal();

    QLabel* productLabel() const { return lblProduct_; }

private:
    QLabel* lblProduct_ = nullptr;
};

}  // namespace vnk::ui
