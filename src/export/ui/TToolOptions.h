#pragma once

#include "export/OutputSelection.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vnk::ui {

// "Output File Options": output format, delimiter and the title flag of the next export.
// Created once and reused: a spreadsheet choice keeps the delimiter controls as they were
// left the last time. Child names: rbExcelI, rbExcelF, rbDelimiter, rbTab, rbOther,
// txtDelimiter, lblDelimiter, cbWithHeader, btnOk, btnCancel.
class TToolOptions : public QDialog {
    Q_OBJECT
public:
    explicit TToolOptions(QWidget* parent = nullptr);

    // Sets CancelFlag, opens modally from the stored values, and on a valid OK fills the
    // output options of AppState, stores the three values and clears CancelFlag.
    // True when OK closed it (CancelFlag clear).
    bool choose();

    // The controls as they stand.
    exporting::OutputChoice currentChoice() const;

private:
    void showChoice(const exporting::OutputChoice& choice);
    void updateEnabling();
    void btnOkClick();

    QGroupBox* groupBox2_ = nullptr;
    QRadioButton* rbExcelI_ = nullptr;
    QRadioButton* rbExcelF_ = nullptr;
    QRadioButton* rbDelimiter_ = nullptr;
    QGroupBox* groupBox1_ = nullptr;
    QRadioButton* rbTab_ = nullptr;
    QRadioButton* rbOther_ = nullptr;
    QLineEdit* txtDelimiter_ = nullptr;
    QLabel* lblDelimiter_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QCheckBox* cbWithHeader_ = nullptr;
};

}  // namespace vnk::ui
