#include "TParameterAssistant.h"

#include "TExecParam.h"
#include "app/ui/TQueryExport.h"
#include "share/Text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

namespace vnk::ui {

namespace {

QWidget* section(QWidget* parent, const char* name, int height) {
    auto* w = new QWidget(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setFixedHeight(height);
    return w;
}

QLabel* label(QWidget* parent, const QString& text, int left, int top) {
    auto* l = new QLabel(text, parent);
    l->move(left, top);
    l->resize(l->sizeHint());
    return l;
}

QPlainTextEdit* memo(QWidget* parent, const char* name, const QRect& geometry) {
    auto* e = new QPlainTextEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(geometry);
    e->setLineWrapMode(QPlainTextEdit::NoWrap);
    e->setTabChangesFocus(true);
    return e;
}

QCheckBox* returnBox(QWidget* parent, const char* name, int left, int top) {
    auto* c = new QCheckBox(QStringLiteral("Return Value"), parent);
    c->setObjectName(QString::fromLatin1(name));
    c->move(left, top);
    c->resize(c->sizeHint());
    return c;
}

}  // namespace

TParameterAssistant::TParameterAssistant(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmParameterAssistant"));
    setWindowTitle(QStringLiteral("Parameter Assistant"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(230, 230, 230));
    setPalette(pal);
    setAutoFillBackground(true);

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    QWidget* top = section(this, "pnlTop", TopHeight);
    label(top, QStringLiteral("Parameter Type:"), 16, 25);
    cbParamType_ = new QComboBox(top);
    cbParamType_->setObjectName(QStringLiteral("cbParamType"));
    cbParamType_->setEditable(false);
    cbParamType_->addItems(params::AssistantTypeWords());
    cbParamType_->setCurrentIndex(-1);
    cbParamType_->setGeometry(128, 22, 448, cbParamType_->sizeHint().height());
    cbParamType_->setMaxVisibleItems(25);
    label(top, QStringLiteral("Parameter Name 1:"), 16, 52);
    cbReturnValue1_ = returnBox(top, "cbReturnValue1", 25, 71);
    txtName1_ = memo(top, "txtName1", QRect(128, 49, 448, 89));
    label(top, QStringLiteral("Parameter Name 2:"), 16, 147);
    cbReturnValue2_ = returnBox(top, "cbReturnValue2", 25, 166);
    txtName2_ = memo(top, "txtName2", QRect(128, 144, 448, 89));
    box->addWidget(top);

    pnlList_ = section(this, "pnlList", ListHeight);
    lblList_ = label(pnlList_, QStringLiteral("SqlPick / FixPick:"), 16, 6);
    lblList_->setObjectName(QStringLiteral("lblList"));
    txtList_ = memo(pnlList_, "txtList", QRect(128, 2, 448, 160));
    box->addWidget(pnlList_);

    QWidget* buttons = section(this, "pnlButtons", ButtonsHeight);
    bnOk_ = new QPushButton(QStringLiteral("&OK"), buttons);
    bnOk_->setObjectName(QStringLiteral("bnOk"));
    bnOk_->setGeometry(193, 6, 75, 25);
    bnCancel_ = new QPushButton(QStringLiteral("&Cancel"), buttons);
    bnCancel_->setObjectName(QStringLiteral("bnCancel"));
    bnCancel_->setGeometry(321, 6, 75, 25);
    // No default button: Enter in an edit starts a new line.
    bnOk_->setAutoDefault(false);
    bnCancel_->setAutoDefault(false);
    box->addWidget(buttons);

    setTabOrder(cbParamType_, cbReturnValue1_);
    setTabOrder(cbReturnValue1_, txtName1_);
    setTabOrder(txtName1_, cbReturnValue2_);
    setTabOrder(cbReturnValue2_, txtName2_);
    setTabOrder(txtName2_, txtList_);
    setTabOrder(txtList_, bnCancel_);
    setTabOrder(bnCancel_, bnOk_);

    connect(cbParamType_, &QComboBox::currentIndexChanged, this,
            &TParameterAssistant::cbParamTypeChange);
    connect(bnOk_, &QPushButton::clicked, this, &TParameterAssistant::bnOkClick);
    connect(bnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { result_.clear(); });

    // Shortened by the list section until a pick type is chosen.
    pnlList_->hide();
    setFixedSize(ClientWidth, FullHeight - ListHeight);
    bnOk_->setEnabled(false);
}

QString TParameterAssistant::fnShowModal() {
    result_.clear();
    exec();
    return result_;
}

void TParameterAssistant::showEvent(QShowEvent* event) {
    result_.clear();
    QDialog::showEvent(event);
}

void TParameterAssistant::hideEvent(QHideEvent* event) {
    // Shown again where the user left it, not centred again.
    move(pos());
    QDialog::hideEvent(event);
}

void TParameterAssistant::cbParamTypeChange() {
    const QString type = cbParamType_->currentText();
    bnOk_->setEnabled(!TrimText(type).isEmpty());
    if (params::AssistantShowsList(type)) {
        lblList_->setText(params::AssistantListCaption(type));
        lblList_->resize(lblList_->sizeHint());
        pnlList_->show();
        setFixedSize(ClientWidth, FullHeight);
    } else {
        pnlList_->hide();
        setFixedSize(ClientWidth, FullHeight - ListHeight);
    }
}

params::AssistantEntries TParameterAssistant::entries() const {
    params::AssistantEntries e;
    e.type = cbParamType_->currentText();
    e.name1 = txtName1_->toPlainText();
    e.returnValue1 = cbReturnValue1_->isChecked();
    e.name2 = txtName2_->toPlainText();
    e.returnValue2 = cbReturnValue2_->isChecked();
    e.list = txtList_->toPlainText();
    return e;
}

void TParameterAssistant::bnOkClick() {
    const params::AssistantEntries e = entries();
    if (TrimText(e.type).isEmpty())
        return;  // OK is disabled until a type is chosen
    result_ = params::ComposeParameterToken(e);
    accept();
}

void InsertAtCaret(QPlainTextEdit& editor, const QString& text) {
    static const QString marker = QStringLiteral("<$Cursor$>");
    QTextCursor cursor = editor.textCursor();
    const int at = cursor.position();

    const qsizetype markedAt = text.indexOf(marker);  // exact case
    QString plain = text;
    qsizetype caretOffset = 0;
    if (markedAt >= 0) {
        // Markers in other case before the first exact one are removed as well.
        const qsizetype before =
            QStringView(text).left(markedAt).count(marker, Qt::CaseInsensitive);
        plain.remove(marker, Qt::CaseInsensitive);
        caretOffset = markedAt - before * marker.size();
    } else {
        caretOffset = plain.size();
    }

    cursor.clearSelection();
    cursor.setPosition(at);
    cursor.insertText(plain);
    cursor.setPosition(at + static_cast<int>(caretOffset));
    editor.setTextCursor(cursor);
    editor.setFocus();
}

void InsertParameter(TParameterAssistant& assistant, QPlainTextEdit& editor) {
    const QString token = assistant.fnShowModal();
    if (!TrimText(token).isEmpty())
        InsertAtCaret(editor, token);
}

void installParameterDialogs(TQueryExport& main) {
    auto* prompt = new TExecParam(&main);
    main.setParameterPrompt(prompt);
    auto* assistant = new TParameterAssistant(&main);
    if (auto* button = main.findChild<QToolButton*>(QStringLiteral("tbInsertParameter"))) {
        QObject::connect(button, &QToolButton::clicked, assistant, [assistant, &main] {
            if (QPlainTextEdit* editor = main.editor())
                InsertParameter(*assistant, *editor);
        });
    }
}

}  // namespace vnk::ui
