// The "Parameter Assistant": its window and list section, OK and Cancel, and "Insert
// Parameter" putting the token into the main window's editor at the caret.

#include "MainWindowHarness.h"
#include "params/ui/TParameterAssistant.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <functional>
#include <ostream>

static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vnk::test {
namespace {

using ui::TParameterAssistant;

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

void choose(TParameterAssistant& a, const char* type) {
    a.typeList()->setCurrentIndex(a.typeList()->findText(u8(type)));
}

TEST(ParameterAssistantTest, WindowAndListSection) {
    TParameterAssistant a;
    EXPECT_EQ(a.windowTitle(), u8("Parameter Assistant"));
    EXPECT_EQ(a.typeList()->count(), 25);
    EXPECT_EQ(a.typeList()->currentIndex(), -1);
    EXPECT_FALSE(a.typeList()->isEditable());
    EXPECT_EQ(a.size(), QSize(604, 448 - 168));
    EXPECT_TRUE(a.listSection()->isHidden());
    EXPECT_FALSE(a.okButton()->isEnabled());  // nothing to compose without a type
    a.bnOkClick();
    EXPECT_NE(a.result(), QDialog::Accepted);
    EXPECT_TRUE(a.resultText().isEmpty());
    EXPECT_FALSE(a.okButton()->isDefault());
    EXPECT_FALSE(a.cancelButton()->isDefault());
    EXPECT_EQ(a.typeList()->geometry().topLeft(), QPoint(128, 22));
    EXPECT_EQ(a.name1Edit()->geometry(), QRect(128, 49, 448, 89));
    EXPECT_EQ(a.name2Edit()->geometry(), QRect(128, 144, 448, 89));
    EXPECT_EQ(a.returnValue1()->text(), u8("Return Value"));

    choose(a, "Str");
    EXPECT_TRUE(a.okButton()->isEnabled());
    EXPECT_EQ(a.height(), 280);
    choose(a, "SFixPickC");
    EXPECT_EQ(a.height(), 448);
    EXPECT_FALSE(a.listSection()->isHidden());
    EXPECT_EQ(a.listLabel()->text(), u8("FixPick"));
    EXPECT_EQ(a.listEdit()->geometry(), QRect(128, 2, 448, 160));
    choose(a, "VSqlPickR");
    EXPECT_EQ(a.listLabel()->text(), u8("SqlPick"));
    EXPECT_EQ(a.height(), 448);
    choose(a, "Str");
    EXPECT_EQ(a.height(), 280);
    EXPECT_TRUE(a.listSection()->isHidden());

    // Tab order: type, box 1, name 1, box 2, name 2, list, Cancel, OK.
    std::vector<QWidget*> chain;
    QWidget* w = a.typeList();
    for (int i = 0; i < 8; ++i) {
        chain.push_back(w);
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !a.isAncestorOf(w))
            w = w->nextInFocusChain();
    }
    const std::vector<QWidget*> expected = {a.typeList(),  a.returnValue1(), a.name1Edit(),
                                            a.returnValue2(), a.name2Edit(), a.listEdit(),
                                            a.cancelButton(), a.okButton()};
    EXPECT_EQ(chain, expected);
}

TEST(ParameterAssistantTest, OkComposesAndCancelEmpties) {
    TParameterAssistant a;
    choose(a, "Str");
    a.name1Edit()->setPlainText(u8("OQ\nOR\nOP"));
    a.returnValue1()->setChecked(true);
    a.name2Edit()->setPlainText(u8("=\n>\nlike"));
    a.returnValue2()->setChecked(true);
    a.okButton()->click();
    EXPECT_EQ(a.result(), QDialog::Accepted);
    EXPECT_EQ(a.resultText(), u8(R"(?Str_"{'OQ','OR','OP'}"|"{'=','>','like'}"?)"));

    // The controls keep their contents; Cancel leaves no result.
    choose(a, "SSqlPickR");
    a.returnValue1()->setChecked(false);
    a.name1Edit()->setPlainText(u8("Account No:"));
    a.returnValue2()->setChecked(false);
    a.name2Edit()->clear();
    a.listEdit()->setPlainText(u8("select AccountNo from Mtn_Account"));
    a.okButton()->click();
    EXPECT_EQ(a.resultText(),
              u8(R"(?SSqlPickR_"Account No:"||"{select AccountNo from Mtn_Account}"?)"));
    a.cancelButton()->click();
    EXPECT_EQ(a.resultText(), QString());
    EXPECT_EQ(a.name1Edit()->toPlainText(), u8("Account No:"));
}

TEST(InsertAtCaretTest, GoesAtTheCaretAndKeepsTheSelectedText) {
    QPlainTextEdit editor;
    auto caretAt = [&](int pos, int anchor = -1) {
        QTextCursor c = editor.textCursor();
        c.setPosition(anchor < 0 ? pos : anchor);
        c.setPosition(pos, QTextCursor::KeepAnchor);
        editor.setTextCursor(c);
    };
    editor.setPlainText(u8("Select x from a\nwhere"));
    caretAt(15);
    ui::InsertAtCaret(editor, u8(", dbo.T"));
    EXPECT_EQ(editor.toPlainText(), u8("Select x from a, dbo.T\nwhere"));
    EXPECT_EQ(editor.textCursor().position(), 22);
    EXPECT_FALSE(editor.textCursor().hasSelection());

    // A selection stays in the text; the insertion goes at the caret.
    editor.setPlainText(u8("where a = b"));
    caretAt(11, 10);
    ui::InsertAtCaret(editor, u8("?Str_x?"));
    EXPECT_EQ(editor.toPlainText(), u8("where a = b?Str_x?"));
    EXPECT_EQ(editor.textCursor().position(), 18);
    caretAt(6, 11);  // selected backwards: the caret is at the start
    ui::InsertAtCaret(editor, u8("("));
    EXPECT_EQ(editor.toPlainText(), u8("where (a = b?Str_x?"));

    // The marker places the caret; other cases of it are removed too.
    editor.setPlainText(u8("ab"));
    caretAt(1);
    ui::InsertAtCaret(editor, u8("x<$cursor$>y<$Cursor$>z"));
    EXPECT_EQ(editor.toPlainText(), u8("axyzb"));
    EXPECT_EQ(editor.textCursor().position(), 3);
    editor.setPlainText(u8("ab"));
    caretAt(2);
    // Written in another case only, the marker is ordinary text.
    ui::InsertAtCaret(editor, u8("q<$CURSOR$>"));
    EXPECT_EQ(editor.toPlainText(), u8("abq<$CURSOR$>"));
    EXPECT_EQ(editor.textCursor().position(), 13);
}

// Acts on the assistant once it is shown modally.
class OnAssistant {
public:
    explicit OnAssistant(std::function<void(TParameterAssistant&)> action) : action_(std::move(action)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* a = qobject_cast<TParameterAssistant*>(QApplication::activeModalWidget());
            if (!a)
                return;
            timer_.stop();
            ran = true;
            action_(*a);
            if (a->isVisible())
                a->reject();
        });
        timer_.start();
    }
    bool ran = false;

private:
    std::function<void(TParameterAssistant&)> action_;
    QTimer timer_;
};

class InsertParameterTest : public MainWindowTest {};

TEST_F(InsertParameterTest, TheButtonInsertsTheTokenAtTheCaret) {
    storeWorkingConnection();
    start();
    QPlainTextEdit* editor = window->editor();
    editor->setPlainText(u8("select * from t where "));
    QTextCursor c = editor->textCursor();
    c.movePosition(QTextCursor::End);
    editor->setTextCursor(c);

    OnAssistant ok([](TParameterAssistant& a) {
        EXPECT_TRUE(a.resultText().isEmpty());
        choose(a, "Date");
        a.name1Edit()->clear();
        a.name2Edit()->clear();
        a.okButton()->click();
    });
    child<QToolButton>("tbInsertParameter")->click();
    ASSERT_TRUE(ok.ran);
    EXPECT_EQ(editor->toPlainText(), u8("select * from t where ?Date_|?"));
    EXPECT_EQ(editor->textCursor().position(), editor->toPlainText().size());

    // Cancel, Escape and the close box insert nothing.
    for (int how = 0; how < 3; ++how) {
        OnAssistant cancel([how](TParameterAssistant& a) {
            a.name1Edit()->setPlainText(u8("Year"));
            if (how == 0)
                a.cancelButton()->click();
            else if (how == 1)
                QTest::keyClick(&a, Qt::Key_Escape);
            else
                a.close();
        });
        child<QToolButton>("tbInsertParameter")->click();
        ASSERT_TRUE(cancel.ran);
        EXPECT_EQ(editor->toPlainText(), u8("select * from t where ?Date_|?")) << how;
    }
    // The next OK uses what the assistant kept.
    OnAssistant again([](TParameterAssistant& a) {
        EXPECT_EQ(a.typeList()->currentText(), u8("Date"));
        a.okButton()->click();
    });
    c.setPosition(22);
    editor->setTextCursor(c);
    child<QToolButton>("tbInsertParameter")->click();
    EXPECT_EQ(editor->toPlainText(), u8("select * from t where ?Date_\"Year\"|??Date_|?"));
}

}  // namespace
}  // namespace vnk::test
