#pragma once

#include "ExecParamLayout.h"
#include "params/PrepareStatement.h"
#include "params/QueryParameter.h"

#include <QDialog>
#include <QPointer>
#include <QScrollArea>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace vnk::ui {

// The "Query Parameters" dialog: one row per parameter with its caption, its operator and
// an editor that fits the type, laid out from the widths of the texts it shows.
//
// ask() is the whole showing; its steps are public so that tests can build a dialog and
// read it without the modal wait: fnBuildRows, then bnOkClick / bnCancelClick, then
// fnReadValues.
//
// Object names: "lblField<i>" / "cbField<i>", "lblOperator<i>" / "cbOperator<i>",
// "txtValue<i>" (edits and multi-line edits), "dtpDate<i>", "dtpTime<i>", "cbValue<i>"
// (value drop-downs), "chkValue<i>" (multiple-choice lists), i counted from 1; "sbRows"
// (the rows area), "lblError" (the error display), "bnOk", "bnCancel", "lblMeasure".
class TExecParam : public QDialog, public params::ParameterPrompt {
    Q_OBJECT
public:
    // One row's controls. Exactly one of each label/drop-down pair exists when the record has
    // that part; the editors depend on the type.
    struct Row {
        params::ParamType type = params::ParamType::Str;
        params::PartMode fieldMode = params::PartMode::Shown;
        params::PartMode operatorMode = params::PartMode::Shown;
        QLabel* fieldLabel = nullptr;
        QComboBox* fieldBox = nullptr;
        QLabel* operatorLabel = nullptr;
        QComboBox* operatorBox = nullptr;
        QWidget* editor = nullptr;         // the value editor (a "DT" row's date picker)
        QTimeEdit* timeEditor = nullptr;   // a "DT" row's time picker
        QWidget* field() const;            // the label or the drop-down, or null
        QWidget* operatorControl() const;  // likewise
    };

    explicit TExecParam(QWidget* parent = nullptr);
    ~TExecParam() override;

    // Shows the dialog modally for the records and, when it was confirmed, fills their
    // entered values and the chosen FieldText and OperatorText of Choice parts.
    // AppState::CancelFlag is set while the dialog is not confirmed.
    bool ask(params::ParameterList& parameters) override;

    // The start of a showing, every row, and the layout; false when a row failed and the
    // error display took the rows' place (its message boxes have been shown). Drops the rows
    // of the previous showing. A Sql pick list runs its statement on the data module's query.
    bool fnBuildRows(params::ParameterList& parameters);
    // OK: checks the numeric values against the records; confirms or names the first wrong
    // row in a message box and stays open.
    void bnOkClick();
    // Cancel, Escape and the close button.
    void bnCancelClick();
    // The values of the rows written into the records.
    void fnReadValues(params::ParameterList& parameters) const;

    const std::vector<Row>& rows() const { return rows_; }
    const ExecParamAccumulators& accumulators() const { return acc_; }
    const ExecParamGeometry& layoutGeometry() const { return geometry_; }
    int screenWidthUsed() const { return screenWidth_; }
    bool errorShown() const { return errorShown_; }
    QScrollArea* rowsArea() const { return rowsArea_; }
    QLabel* errorLabel() const { return lblError_; }
    QPushButton* okButton() const { return bnOk_; }
    QPushButton* cancelButton() const { return bnCancel_; }
    // The window's size with its frame, as the layout set it.
    QSize outerSize() const;
    // What the frame adds to the client size (zero until the window system tells).
    QSize frameExtra() const;

    // The error display's texts.
    static QString InvalidParameterText();  // after a name-part failure
    static QString ListFailureText(const QString& message);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

public Q_SLOTS:
    void reject() override;

private:
    void startShowing();
    bool buildRow(int number, params::QueryParameter& record);
    QLabel* newLabel(const QString& name, const QString& text);
    QComboBox* newChoiceBox(const QString& name, const QStringList& items);
    bool fillFromStatement(Row& row, const QString& statement);
    void addListItem(Row& row, const QString& item);
    void showError(const QString& text);
    void applyLayout();
    void placeWindow(int oldOuterWidth, int oldLeft);
    void releaseRows();

    QWidget* body_ = nullptr;
    QPointer<QScrollArea> rowsArea_;
    QWidget* rowsWidget_ = nullptr;
    QLabel* lblError_ = nullptr;
    QLabel* lblMeasure_ = nullptr;
    QWidget* panel_ = nullptr;
    QPushButton* bnOk_ = nullptr;
    QPushButton* bnCancel_ = nullptr;

    params::ParameterList* parameters_ = nullptr;  // the records being asked, during a showing
    std::vector<Row> rows_;
    ExecParamAccumulators acc_;
    ExecParamGeometry geometry_;
    QWidget* firstFocus_ = nullptr;
    int screenWidth_ = 0;
    int okLeft_ = execparam::OkLeft;
    int cancelLeft_ = execparam::CancelLeft;
    bool errorShown_ = false;
    bool placed_ = false;  // centred over the main window once
    QSize knownFrame_;      // the frame the window system drew, once it has been shown
};

}  // namespace vnk::ui
