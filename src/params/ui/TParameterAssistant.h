#pragma once

#include "params/AssistantCompose.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vnk::ui {

class TQueryExport;

// The "Parameter Assistant": composes a parameter token from a type, up to two name parts
// and, for pick types, the item list or select statement. Its controls keep their contents
// from one use to the next.
//
// OK stays disabled until a type is chosen, so the assistant never composes a token
// without a type (which every statement would then refuse as an invalid type).
//
// Object names: "cbParamType", "cbReturnValue1", "txtName1", "cbReturnValue2", "txtName2",
// "pnlList", "lblList", "txtList", "bnOk", "bnCancel".
class TParameterAssistant : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 604;
    static constexpr int FullHeight = 448;  // with the list section
    static constexpr int TopHeight = 237;
    static constexpr int ListHeight = 168;
    static constexpr int ButtonsHeight = 43;

    explicit TParameterAssistant(QWidget* parent = nullptr);

    // Shows the assistant modally: the token to insert, or empty.
    QString fnShowModal();
    // The token composed by the last OK; empty after Cancel.
    QString resultText() const { return result_; }

    void bnOkClick();
    void cbParamTypeChange();
    // What the controls hold now.
    params::AssistantEntries entries() const;

    QComboBox* typeList() const { return cbParamType_; }
    QCheckBox* returnValue1() const { return cbReturnValue1_; }
    QCheckBox* returnValue2() const { return cbReturnValue2_; }
    QPlainTextEdit* name1Edit() const { return txtName1_; }
    QPlainTextEdit* name2Edit() const { return txtName2_; }
    QPlainTextEdit* listEdit() const { return txtList_; }
    QWidget* listSection() const { return pnlList_; }
    QLabel* listLabel() const { return lblList_; }
    QPushButton* okButton() const { return bnOk_; }
    QPushButton* cancelButton() const { return bnCancel_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QComboBox* cbParamType_ = nullptr;
    QCheckBox* cbReturnValue1_ = nullptr;
    QCheckBox* cbReturnValue2_ = nullptr;
    QPlainTextEdit* txtName1_ = nullptr;
    QPlainTextEdit* txtName2_ = nullptr;
    QWidget* pnlList_ = nullptr;
    QLabel* lblList_ = nullptr;
    QPlainTextEdit* txtList_ = nullptr;
    QPushButton* bnOk_ = nullptr;
    QPushButton* bnCancel_ = nullptr;
    QString result_;
};

// Inserts text into the editor at the caret, the selection left in place, and puts the
// caret after the text; a "<$Cursor$>" in the text (this exact case) marks where the caret
// goes instead, and every marker (any case) is removed. Gives the editor the focus.
void InsertAtCaret(QPlainTextEdit& editor, const QString& text);

// "Insert Parameter": shows the assistant and inserts its token at the editor's caret.
void InsertParameter(TParameterAssistant& assistant, QPlainTextEdit& editor);

// Creates the main window's parameter windows: the "Query Parameters" dialog as its
// parameter prompt and the assistant behind "Insert Parameter". They live as long as the
// window.
void installParameterDialogs(TQueryExport& main);

}  // namespace vnk::ui
