#include "TToolOptions.h"

#include "app/ui/Prompter.h"
#include "share/AppState.h"
#include "share/Error.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <exception>

namespace vnk::ui {

using exporting::DelimiterChoice;
using exporting::OutputChoice;
using exporting::OutputKind;

namespace {

constexpr int kDesignSide = 317;  // the client area is square by design
constexpr int kButtonWidth = 105;

QRadioButton* makeRadio(const QString& caption, const char* name, QWidget* parent) {
    auto* rb = new QRadioButton(caption, parent);
    rb->setObjectName(QString::fromLatin1(name));
    return rb;
}

// Radio buttons of one group that may all be clear (the delimiter group at first).
void setChecked(QRadioButton* rb, bool checked) {
    if (rb->isChecked() == checked)
        return;
    if (checked) {
        rb->setChecked(true);
        return;
    }
    rb->setAutoExclusive(false);
    rb->setChecked(false);
    rb->setAutoExclusive(true);
}

}  // namespace

TToolOptions::TToolOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Output File Options"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    groupBox2_ = new QGroupBox(QStringLiteral("Format"), this);
    groupBox2_->setObjectName(QStringLiteral("GroupBox2"));
    rbExcelI_ = makeRadio(QStringLiteral("Excel Instance"), "rbExcelI", groupBox2_);
    rbExcelF_ = makeRadio(QStringLiteral("Excel File"), "rbExcelF", groupBox2_);
    rbDelimiter_ = makeRadio(QStringLiteral("Delimited Text File"), "rbDelimiter", groupBox2_);
    auto* formatBox = new QVBoxLayout(groupBox2_);
    formatBox->setContentsMargins(16, 8, 8, 8);
    formatBox->addWidget(rbExcelI_);
    formatBox->addWidget(rbExcelF_);
    formatBox->addWidget(rbDelimiter_);

    groupBox1_ = new QGroupBox(QStringLiteral("Delimiter"), this);
    groupBox1_->setObjectName(QStringLiteral("GroupBox1"));
    rbTab_ = makeRadio(QStringLiteral("Tab Delimited"), "rbTab", groupBox1_);
    rbOther_ = makeRadio(QStringLiteral("Other"), "rbOther", groupBox1_);
    txtDelimiter_ = new QLineEdit(groupBox1_);
    txtDelimiter_->setObjectName(QStringLiteral("txtDelimiter"));
    txtDelimiter_->setMaxLength(3);
    QFont bold = txtDelimiter_->font();
    bold.setBold(true);
    txtDelimiter_->setFont(bold);
    txtDelimiter_->setFixedWidth(
        qMax(41, txtDelimiter_->fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 12));
    lblDelimiter_ = new QLabel(QStringLiteral("Delimiter Character: "), groupBox1_);
    lblDelimiter_->setObjectName(QStringLiteral("lblDelimiter"));
    lblDelimiter_->setFocusPolicy(Qt::NoFocus);
    auto* delimiterGrid = new QGridLayout(groupBox1_);
    delimiterGrid->setContentsMargins(16, 8, 8, 8);
    delimiterGrid->addWidget(rbTab_, 0, 0);
    delimiterGrid->addWidget(rbOther_, 1, 0);
    delimiterGrid->addWidget(lblDelimiter_, 1, 1, Qt::AlignRight);
    delimiterGrid->addWidget(txtDelimiter_, 1, 2);
    delimiterGrid->setColumnStretch(1, 1);

    cbWithHeader_ = new QCheckBox(QStringLiteral("Include Column Headers"), this);
    cbWithHeader_->setObjectName(QStringLiteral("cbWithHeader"));

    btnOk_ = new QPushButton(QStringLiteral("OK"), this);
    btnOk_->setObjectName(QStringLiteral("btnOk"));
    btnOk_->setDefault(true);
    btnOk_->setMinimumWidth(kButtonWidth);
    btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel_->setObjectName(QStringLiteral("btnCancel"));
    btnCancel_->setAutoDefault(false);
    btnCancel_->setMinimumWidth(kButtonWidth);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnOk_);
    buttons->addStretch(1);
    buttons->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(29, 8, 28, 21);
    layout->addWidget(groupBox2_);
    layout->addWidget(groupBox1_);
    auto* headerLine = new QHBoxLayout;
    headerLine->setContentsMargins(16, 0, 0, 0);
    headerLine->addWidget(cbWithHeader_);
    layout->addSpacing(8);
    layout->addLayout(headerLine);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setMinimumSize(kDesignSide, kDesignSide);
    setFixedSize(sizeHint().expandedTo(QSize(kDesignSide, kDesignSide)));

    setTabOrder(rbExcelI_, rbExcelF_);
    setTabOrder(rbExcelF_, rbDelimiter_);
    setTabOrder(rbDelimiter_, rbTab_);
    setTabOrder(rbTab_, rbOther_);
    setTabOrder(rbOther_, txtDelimiter_);
    setTabOrder(txtDelimiter_, btnOk_);
    setTabOrder(btnOk_, btnCancel_);
    setTabOrder(btnCancel_, cbWithHeader_);

    // The enabling follows the selections; it never changes them.
    for (QRadioButton* rb : {rbExcelI_, rbExcelF_, rbDelimiter_, rbTab_, rbOther_})
        connect(rb, &QRadioButton::toggled, this, &TToolOptions::updateEnabling);
    connect(btnOk_, &QPushButton::clicked, this, &TToolOptions::btnOkClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);

    showChoice(OutputChoice{});  // neither delimiter selected, the box holding ","
}

bool TToolOptions::choose() {
    AppState& st = appState();
    st.CancelFlag = true;
    showChoice(exporting::openingChoice(exporting::readStoredOutputOptions(), currentChoice()));
    exec();
    return !st.CancelFlag;
}

OutputChoice TToolOptions::currentChoice() const {
    OutputChoice choice;
    if (rbExcelF_->isChecked())
        choice.kind = OutputKind::ExcelFile;
    else if (rbExcelI_->isChecked())
        choice.kind = OutputKind::ExcelInstance;
    else
        choice.kind = OutputKind::DelimitedText;
    choice.delimiter = rbTab_->isChecked()     ? DelimiterChoice::Tab
                       : rbOther_->isChecked() ? DelimiterChoice::Other
                                               : DelimiterChoice::None;
    choice.delimiterText = txtDelimiter_->text();
    choice.withHeader = cbWithHeader_->isChecked();
    return choice;
}

void TToolOptions::showChoice(const OutputChoice& choice) {
    setChecked(rbExcelI_, choice.kind == OutputKind::ExcelInstance);
    setChecked(rbExcelF_, choice.kind == OutputKind::ExcelFile);
    setChecked(rbDelimiter_, choice.kind == OutputKind::DelimitedText);
    setChecked(rbTab_, choice.delimiter == DelimiterChoice::Tab);
    setChecked(rbOther_, choice.delimiter == DelimiterChoice::Other);
    txtDelimiter_->setText(choice.delimiterText);
    cbWithHeader_->setChecked(choice.withHeader);
    updateEnabling();
}

void TToolOptions::updateEnabling() {
    const bool delimited = rbDelimiter_->isChecked();
    rbTab_->setEnabled(delimited);
    rbOther_->setEnabled(delimited);
    const bool box = delimited && rbOther_->isChecked();
    txtDelimiter_->setEnabled(box);
    lblDelimiter_->setEnabled(box);
}

void TToolOptions::btnOkClick() {
    const OutputChoice choice = currentChoice();
    if (const QString refusal = exporting::refusalOf(choice); !refusal.isEmpty()) {
        prompter().message(this, refusal);
        return;
    }
    const exporting::StoredOutputOptions values = exporting::storedValuesOf(choice);
    AppState& st = appState();
    st.Output.OutputDelimiter = values.delimiter;
    st.Output.OutputWithHeader = values.withHeader;
    st.Output.OutputFormat = values.fileFormat;
    try {
        exporting::writeStoredOutputOptions(values);
    } catch (const std::exception&) {
        // The dialog stays open, so the user can cancel or try again.
        prompter().message(this, errorText());
        return;
    }
    st.CancelFlag = false;
    accept();
}

}  // namespace vnk::ui
