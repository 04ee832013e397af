// The "Query Parameters" dialog: its rows for every type, the layout computed from the font
// metrics, the error display, OK's numeric checks and the values handed to the records;
// then whole runs from the main window against the Chinook sample in SQLite and PostgreSQL.

#include "MainWindowHarness.h"
#include "db/DataModule.h"
#include "params/ParameterScan.h"
#include "params/ui/TCheckedComboBox.h"
#include "params/ui/TExecParam.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>
#include <functional>
#include <ostream>

static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vnk::test {
namespace {

using ui::TCheckedComboBox;
using ui::TExecParam;
using namespace ui::execparam;

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

// A private, writable copy of the Chinook sample.
QString copyChinook(const QString& folder) {
    const QString target = folder + QStringLiteral("/chinook.sqlite");
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(QStringLiteral(VARNOCK_SHARED_DATA_DIR "/chinook/Chinook_Sqlite.sqlite"),
                            target));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

// Runs the action once on the first modal T that opens; a dialog the action left open is
// rejected so that a failing test never blocks.
template <class T>
class OnModal {
public:
    explicit OnModal(std::function<void(T&)> action) : action_(std::move(action)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            timer_.stop();
            ran = true;
            action_(*dialog);
            if (dialog->isVisible()) {
                leftOpen = true;
                dialog->reject();
            }
        });
        timer_.start();
    }
    bool ran = false;
    bool leftOpen = false;

private:
    std::function<void(T&)> action_;
    QTimer timer_;
};

TEST(ExecParamLayoutTest, WorkedExamples) {
    // One "Str" row with a 60 pixel label.
    ui::ExecParamAccumulators acc;
    acc.growField(60);
    acc.growEditor(ui::EditorColumnWidth(params::EditorKind::SingleLine));
    acc.advanceRow(params::EditorKind::SingleLine);
    ui::ExecParamGeometry g = ui::ComputeExecParamGeometry(acc, 1920);
    EXPECT_EQ(g.fieldWidth, 60);
    EXPECT_EQ(g.operatorWidth, 0);
    EXPECT_EQ(g.valueLeft, 105);
    EXPECT_EQ(g.operatorLeft, 90);
    EXPECT_EQ(g.windowWidth, 635);
    EXPECT_EQ(g.windowHeight, 119);
    // The screen test takes the list width: 105 + 70 + 25 = 200.
    EXPECT_EQ(ui::ComputeExecParamGeometry(acc, 201).windowWidth, 635);
    EXPECT_EQ(ui::ComputeExecParamGeometry(acc, 200).windowWidth, 200);

    // One "NList" row; caps on every column; "DT" widens the editors to 181.
    ui::ExecParamAccumulators memo;
    memo.advanceRow(params::EditorKind::MultiLine);
    EXPECT_EQ(memo.rowTop, 156);
    EXPECT_EQ(ui::ComputeExecParamGeometry(memo, 1920).windowHeight, 236);
    memo.growField(340);
    memo.growOperator(400);
    memo.growList(670);
    memo.growEditor(ui::EditorColumnWidth(params::EditorKind::DateAndTime));
    memo.rowTop = 576;
    g = ui::ComputeExecParamGeometry(memo, 1920);
    EXPECT_EQ(g.fieldWidth, 300);
    EXPECT_EQ(g.operatorWidth, 70);
    EXPECT_EQ(g.listWidth, 500);
    EXPECT_EQ(g.valueWidth, 500);
    EXPECT_EQ(g.valueLeft, 415);
    EXPECT_EQ(g.timeLeft, 507);
    EXPECT_EQ(g.windowHeight, 650);
    memo.rowTop = 575;
    EXPECT_EQ(ui::ComputeExecParamGeometry(memo, 1920).windowHeight, 655);  // 575 + 75 is not past 650
    EXPECT_EQ(ui::EditorColumnWidth(params::EditorKind::DateAndTime), 181);
}

TEST(ExecParamLayoutTest, HalfChangesRoundToEven) {
    const std::vector<std::pair<int, int>> cases = {{0, 0},  {1, 0},   {2, 1},   {3, 2},  {5, 2},
                                                    {7, 4},  {-1, 0},  {-3, -2}, {-5, -2},
                                                    {-7, -4}, {-40, -20}, {151, 76}};
    for (const auto& [change, half] : cases)
        EXPECT_EQ(ui::HalfWidthChange(change), half) << change;
}

// The dialog on its own, with the data module connected to a copy of Chinook.
class ExecParamDialogTest : public ::testing::Test {
public:
    void SetUp() override {
        resetAppState();
        ui::setPrompter(&prompter);
        db::dm1().ADOConn1.close();
        db::dm1().ADOConn1.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") +
                                               copyChinook(env.path()));
        db::dm1().ADOConn1.open();
        dialog = std::make_unique<TExecParam>();
    }
    void TearDown() override {
        dialog.reset();
        db::dm1().ADOQry1.close();
        db::dm1().ADOConn1.close();
        ui::setPrompter(nullptr);
        resetAppState();
    }

    bool build(const QString& statement) {
        list = params::ScanParameters(statement);
        return dialog->fnBuildRows(list);
    }
    template <class T = QWidget>
    T* child(const QString& name) const {
        return dialog->findChild<T*>(name);
    }
    QFontMetrics measure() const { return child<QLabel>(QStringLiteral("lblMeasure"))->fontMetrics(); }
    QFontMetrics bold() const {
        QFont f = dialog->font();
        f.setBold(true);
        return QFontMetrics(f);
    }
    int screenWidth() const { return dialog->screen()->geometry().width(); }
    // The outer width the rules give for a value column at valueLeft.
    int expectedWidth(int valueLeft, int listWidth, int valueWidth) const {
        return screenWidth() > valueLeft + listWidth + 25 ? valueLeft + valueWidth + 30 : screenWidth();
    }
    // A caption at least `pixels` wide in the given metrics.
    static QString textOfWidth(const QFontMetrics& fm, int pixels,
                               const QString& separator = QStringLiteral(" ")) {
        QString text = QStringLiteral("Wide");
        while (fm.horizontalAdvance(text) < pixels)
            text += separator + QStringLiteral("wide");
        return text;
    }

    IsolatedEnvironment env;
    ScriptedPrompter prompter;
    params::ParameterList list;
    std::unique_ptr<TExecParam> dialog;
};

TEST_F(ExecParamDialogTest, OneStrRowSizesTheWindowFromItsLabel) {
    ASSERT_TRUE(build(u8("select * from t where y = ?Str_\"Budget Year\"?")));
    EXPECT_EQ(dialog->windowTitle(), u8("Query Parameters"));
    EXPECT_EQ(dialog->frameExtra(), QSize(0, 0));  // offscreen windows have no frame

    const int w = bold().horizontalAdvance(u8("Budget Year"));
    auto* label = child<QLabel>(u8("lblField1"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), u8("Budget Year"));
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(label->x(), 15);
    EXPECT_EQ(label->y(), 17);
    EXPECT_EQ(label->width(), w);
    EXPECT_EQ(child(u8("lblOperator1")), nullptr);
    EXPECT_EQ(child(u8("cbOperator1")), nullptr);

    EXPECT_EQ(dialog->accumulators().fieldWidth, w);
    EXPECT_EQ(dialog->accumulators().operatorWidth, 0);
    EXPECT_EQ(dialog->accumulators().rowTop, 39);
    auto* edit = child<QLineEdit>(u8("txtValue1"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(edit->geometry(), QRect(w + 45, 15, 500, 21));

    const int width = expectedWidth(w + 45, 70, 500);
    EXPECT_EQ(width, w + 45 + 500 + 30);
    EXPECT_EQ(dialog->outerSize(), QSize(width, 15 + 24 + 80));

    // The buttons move right by half the change from the design width.
    const int half = ui::HalfWidthChange(width - DesignClientWidth);
    EXPECT_EQ(dialog->okButton()->geometry(), QRect(232 + half, 9, 75, 25));
    EXPECT_EQ(dialog->cancelButton()->geometry(), QRect(368 + half, 9, 75, 25));
    EXPECT_TRUE(dialog->okButton()->isDefault());
    EXPECT_TRUE(appState().CancelFlag);

    // A second showing moves them by the next change only.
    ASSERT_TRUE(build(u8("?Str_\"Budget Year\"? ?Date_\"Budget Year\"?")));
    EXPECT_EQ(dialog->okButton()->x(), 232 + half);
    EXPECT_EQ(child(u8("txtValue1"))->y(), 15);
    EXPECT_EQ(child<QDateEdit>(u8("dtpDate2"))->geometry(), QRect(w + 45, 39, 89, 21));
}

TEST_F(ExecParamDialogTest, MultiLineRowsAndTheHeightCap) {
    ASSERT_TRUE(build(u8("?NList_Ids?")));
    EXPECT_EQ(dialog->accumulators().rowTop, 15 + 24 + 117);
    EXPECT_EQ(dialog->outerSize().height(), 236);
    auto* memo = child<QPlainTextEdit>(u8("txtValue1"));
    ASSERT_NE(memo, nullptr);
    const int valueLeft = bold().horizontalAdvance(u8("Ids")) + 45;
    EXPECT_EQ(memo->geometry(), QRect(valueLeft, 15, 500, 138));
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // Row tops past 575 give a 650 high window whose rows scroll.
    ASSERT_TRUE(build(u8("?SList_a? ?NList_b? ?Text_c? ?SList_d? ?Str_e?")));
    EXPECT_EQ(dialog->accumulators().rowTop, 15 + 4 * 141 + 24);
    EXPECT_EQ(dialog->outerSize().height(), 650);
    ASSERT_TRUE(build(u8("?SList_a? ?NList_b? ?Text_c? ?SList_d? ?Str_e? ?NList_f?")));
    EXPECT_EQ(dialog->accumulators().rowTop, 15 + 5 * 141 + 24);
    EXPECT_EQ(dialog->outerSize().height(), 650);
    QScrollArea* area = dialog->rowsArea();
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->widget()->height(), 15 + 4 * 141 + 24 + 138);
    dialog->show();
    QApplication::processEvents();
    EXPECT_GT(area->widget()->height(), area->viewport()->height());
    EXPECT_TRUE(area->verticalScrollBar()->isVisible());
    dialog->hide();

    // Below 575 the window is the row top plus 80 high.
    ASSERT_TRUE(build(u8("?SList_a? ?NList_b? ?Text_c? ?Str_d? ?Str_e? ?Str_f? ?Str_g? ?Str_h?")));
    EXPECT_EQ(dialog->accumulators().rowTop, 15 + 3 * 141 + 5 * 24);
    EXPECT_EQ(dialog->outerSize().height(), 558 + 80);
}

TEST_F(ExecParamDialogTest, WideTextsAreCapped) {
    // A field label past 300 pixels is cut at 300.
    const QString caption = textOfWidth(bold(), 340);
    ASSERT_TRUE(build(u8("?Str_\"") + caption + u8("\"?")));
    auto* label = child<QLabel>(u8("lblField1"));
    EXPECT_EQ(label->width(), 300);
    EXPECT_EQ(label->text(), caption);
    EXPECT_EQ(dialog->layoutGeometry().fieldWidth, 300);
    EXPECT_EQ(dialog->layoutGeometry().valueLeft, 345);
    EXPECT_EQ(child(u8("txtValue1"))->x(), 345);
    EXPECT_EQ(dialog->outerSize().width(), expectedWidth(345, 70, 500));

    // A 600 pixel item makes the list 500 wide, not 670.
    const QString item = textOfWidth(measure(), 600, QString());
    ASSERT_TRUE(build(u8("?SFixPickR_x||{a,'") + item + u8("'}?")));
    EXPECT_EQ(dialog->accumulators().listWidth, measure().horizontalAdvance(item) + 70);
    EXPECT_EQ(dialog->layoutGeometry().listWidth, 500);
    auto* box = child<QComboBox>(u8("cbValue1"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(1), item);
    const int fieldWidth = bold().horizontalAdvance(u8("x"));
    EXPECT_EQ(box->geometry(), QRect(fieldWidth + 45, 15, 500, 21));
    // The empty operator part is an empty label in a 0 wide column.
    EXPECT_EQ(child<QLabel>(u8("lblOperator1"))->text(), QString());
    EXPECT_EQ(dialog->layoutGeometry().operatorWidth, 0);
    EXPECT_EQ(dialog->outerSize().width(), expectedWidth(fieldWidth + 45, 500, 500));

    // Drop-downs are as wide as their widest item plus 70; an operator never past 70.
    ASSERT_TRUE(build(
        u8("?Str_\"{'Short','A longer field value'}\"|\"{'=','like or a much longer operator'}\"?")));
    auto* field = child<QComboBox>(u8("cbField1"));
    auto* op = child<QComboBox>(u8("cbOperator1"));
    ASSERT_NE(field, nullptr);
    ASSERT_NE(op, nullptr);
    const int fw = measure().horizontalAdvance(u8("A longer field value")) + 70;
    EXPECT_EQ(field->geometry(), QRect(15, 15, fw, 21));
    EXPECT_EQ(field->currentText(), u8("Short"));
    EXPECT_EQ(op->geometry(), QRect(fw + 30, 15, 70, 21));
    EXPECT_EQ(op->currentText(), u8("="));
    EXPECT_EQ(child(u8("txtValue1"))->x(), fw + 70 + 45);
    // An operator label is cut at 70 and placed after the field column.
    ASSERT_TRUE(build(u8("?Str_Name|\"") + textOfWidth(bold(), 90) + u8("\"?")));
    auto* opLabel = child<QLabel>(u8("lblOperator1"));
    const int nameWidth = bold().horizontalAdvance(u8("Name"));
    EXPECT_EQ(opLabel->geometry().topLeft(), QPoint(nameWidth + 30, 17));
    EXPECT_EQ(opLabel->width(), 70);
    EXPECT_EQ(dialog->layoutGeometry().valueLeft, nameWidth + 70 + 45);
}

TEST_F(ExecParamDialogTest, EveryTypeGetsItsEditor) {
    const QString sql = u8("\"{select Name from Genre order by GenreId}\"");
    const QString fix = u8("\"{2008, 2009,'20 10'}\"");
    QString statement;
    for (const params::ParamTypeInfo& info : params::ParamTypeTable()) {
        const QString word = info.word.toString();
        statement += u8("?") + word + u8("_") + word;
        if (info.isPick())
            statement += u8("|{'in'}|") + (info.source == params::ListSource::Sql ? sql : fix);
        statement += u8("?\n");
    }
    ASSERT_TRUE(build(statement)) << prompter.messages().join(u'|').toStdString();
    ASSERT_EQ(dialog->rows().size(), 25u);
    EXPECT_TRUE(prompter.asked.empty());

    const ui::ExecParamGeometry& g = dialog->layoutGeometry();
    int top = 15;
    for (int i = 1; i <= 25; ++i) {
        const params::ParamTypeInfo& info = params::ParamTypeTable()[static_cast<std::size_t>(i - 1)];
        const QString n = QString::number(i);
        SCOPED_TRACE(info.word.toString().toStdString());
        auto* label = child<QLabel>(u8("lblField") + n);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->geometry(), QRect(15, top + 2, g.fieldWidth, label->height()));
        if (info.isPick()) {
            auto* op = child<QLabel>(u8("lblOperator") + n);
            ASSERT_NE(op, nullptr);
            EXPECT_EQ(op->text(), u8("in"));
            EXPECT_EQ(op->geometry(), QRect(g.operatorLeft, top + 2, g.operatorWidth, 21));
        }
        QWidget* editor = dialog->rows()[static_cast<std::size_t>(i - 1)].editor;
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->pos(), QPoint(g.valueLeft, top));
        switch (info.editor) {
        case params::EditorKind::SingleLine:
        case params::EditorKind::Password: {
            auto* e = qobject_cast<QLineEdit*>(editor);
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->objectName(), u8("txtValue") + n);
            EXPECT_EQ(e->size(), QSize(500, 21));
            EXPECT_EQ(e->echoMode(), info.editor == params::EditorKind::Password ? QLineEdit::Password
                                                                                : QLineEdit::Normal);
            break;
        }
        case params::EditorKind::MultiLine:
            ASSERT_NE(qobject_cast<QPlainTextEdit*>(editor), nullptr);
            EXPECT_EQ(editor->size(), QSize(500, 138));
            break;
        case params::EditorKind::DatePicker:
        case params::EditorKind::DateAndTime: {
            auto* d = qobject_cast<QDateEdit*>(editor);
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->objectName(), u8("dtpDate") + n);
            EXPECT_EQ(d->size(), QSize(89, 21));
            EXPECT_EQ(d->displayFormat(), u8("yyyy-MM-dd"));
            EXPECT_EQ(d->date(), QDate::currentDate());
            if (info.editor == params::EditorKind::DateAndTime) {
                auto* t = child<QTimeEdit>(u8("dtpTime") + n);
                ASSERT_NE(t, nullptr);
                EXPECT_EQ(t->geometry(), QRect(g.valueLeft + 92, top, 89, 21));
                EXPECT_EQ(t->time(), QTime(0, 0, 1));
            }
            break;
        }
        case params::EditorKind::TimePicker: {
            auto* t = qobject_cast<QTimeEdit*>(editor);
            ASSERT_NE(t, nullptr);
            EXPECT_EQ(t->size(), QSize(89, 21));
            EXPECT_EQ(t->time(), QTime(0, 0, 1));
            break;
        }
        case params::EditorKind::DropDown: {
            auto* b = qobject_cast<QComboBox*>(editor);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->objectName(), u8("cbValue") + n);
            EXPECT_EQ(b->size(), QSize(g.listWidth, 21));
            EXPECT_EQ(b->isEditable(), info.selection == params::Selection::W);
            EXPECT_EQ(b->currentIndex(), -1);
            EXPECT_EQ(b->currentText(), QString());
            if (info.source == params::ListSource::Sql) {
                ASSERT_EQ(b->count(), 25);
                EXPECT_EQ(b->itemText(0), u8("Rock"));
            } else {
                ASSERT_EQ(b->count(), 3);
                EXPECT_EQ(b->itemText(2), u8("20 10"));
            }
            break;
        }
        case params::EditorKind::MultiChoice: {
            auto* c = qobject_cast<TCheckedComboBox*>(editor);
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(c->objectName(), u8("chkValue") + n);
            EXPECT_EQ(c->width(), g.listWidth);
            EXPECT_EQ(c->items().size(), info.source == params::ListSource::Sql ? 25 : 3);
            EXPECT_TRUE(c->checkedText().isEmpty());
            EXPECT_EQ(c->quoteStyle(), info.valueKind == params::ValueKind::S
                                           ? params::TCHBQuoteStyle::qsSingle
                                           : params::TCHBQuoteStyle::qsNone);
            break;
        }
        }
        top += 24 + (info.editor == params::EditorKind::MultiLine ? 117 : 0);
    }
    EXPECT_EQ(dialog->accumulators().rowTop, top);
    // The widest genre sets the list width; the editors are at most 500.
    int widest = 0;
    for (const char* genre : {"Rock", "Easy Listening", "Bossa Nova", "Alternative & Punk",
                              "Science Fiction", "Electronica/Dance", "Rock And Roll"})
        widest = std::max(widest, measure().horizontalAdvance(u8(genre)) + 70);
    EXPECT_GE(dialog->accumulators().listWidth, widest);
    EXPECT_EQ(g.valueWidth, 500);
    EXPECT_EQ(dialog->outerSize().height(), 650);
    EXPECT_FALSE(db::dm1().ADOQry1.active());  // every list statement closed its query
}

TEST_F(ExecParamDialogTest, TabGoesThroughTheRowsThenOkAndCancel) {
    ASSERT_TRUE(build(u8("?Str_{'a','b'}|{'=','<>'}? ?DT_When? ?SFixPickC_x|y|{p,q}?")));
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    auto* date = child(u8("dtpDate2"));
    std::vector<QWidget*> expected = {child(u8("txtValue1")), date,
                                      child(u8("dtpTime2")),  child(u8("chkValue3")),
                                      dialog->okButton(),    dialog->cancelButton(),
                                      child(u8("cbField1")),  child(u8("cbOperator1"))};
    // Row 1's editor has the focus first.
    auto owner = [&](QWidget* w) {
        for (QWidget* c : expected)
            if (w && (w == c || c->isAncestorOf(w)))
                return c;
        return w;
    };
    EXPECT_EQ(owner(QApplication::focusWidget()), expected[0]);
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // Date and time pickers take Tab between their sections first.
        int guard = 0;
        while (owner(QApplication::focusWidget()) == expected[i - 1] && guard++ < 5)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(owner(QApplication::focusWidget()), expected[i]) << i;
    }
    dialog->hide();
}

TEST_F(ExecParamDialogTest, BadNameShowsTheMessageThenTheErrorDisplay) {
    const QSize before = dialog->outerSize();
    EXPECT_FALSE(build(u8("select ?Str_a?, ?Str_\"a\"|\"b\"|\"c\"?, ?NUM_z?")));
    EXPECT_EQ(prompter.messages(),
              QStringList{u8("Too many parameters. Please check STR - \"a\"|\"b\"|\"c\".")});
    EXPECT_TRUE(dialog->errorShown());
    EXPECT_FALSE(dialog->okButton()->isEnabled());
    EXPECT_TRUE(dialog->rowsArea()->isHidden());
    EXPECT_FALSE(dialog->errorLabel()->isHidden());
    EXPECT_EQ(dialog->errorLabel()->text(),
              u8("Invalid parameter. Please click the \"Cancel\" button to continue."));
    EXPECT_EQ(dialog->outerSize(), before);
    EXPECT_EQ(child(u8("txtValue3")), nullptr);  // building stopped at the failing row
    EXPECT_TRUE(appState().CancelFlag);
    dialog->bnOkClick();
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    dialog->bnCancelClick();
    EXPECT_TRUE(appState().CancelFlag);

    // Pick types quote the field text; the next showing starts again.
    prompter.asked.clear();
    EXPECT_FALSE(build(u8("?SSqlPickR_\"Account No\"||{select AccountNo from Mtn_Account}?")));
    EXPECT_EQ(prompter.messages(), QStringList{u8("Too many parameters. Please check \"Account No\".")});
    prompter.asked.clear();
    EXPECT_FALSE(build(u8("?SFixPickR_{'X','Y'}|=?")));
    EXPECT_EQ(prompter.messages(), QStringList{u8("Not enough parameters. Please check \"X\".")});
    prompter.asked.clear();
    ASSERT_TRUE(build(u8("?Str_ok?")));
    EXPECT_FALSE(dialog->errorShown());
    EXPECT_TRUE(dialog->okButton()->isEnabled());
    EXPECT_TRUE(dialog->errorLabel()->isHidden());
    EXPECT_FALSE(dialog->rowsArea()->isHidden());
}

TEST_F(ExecParamDialogTest, OkChecksNumbersAndHandsTheValuesOver) {
    ASSERT_TRUE(build(u8("?NUM_\"Budget Year\"? ?NFixPickR_Month||{1,2,3}? ?NList_Ids? "
                         "?NSqlPickC_Genre||\"{select GenreId from Genre order by 1}\"? "
                         "?Str_\"{'Account No'}\"|{'=','like'}? ?SFixPickC_Kind||\"{'b c','a'}\"? "
                         "?NFixPickW_Top||{5,10}? ?Text_Note? ?SList_Names? ?DT_At? ?Time_T? "
                         "?VFixPickC_Cols||{x,y}? ?Pwd_P?")));
    auto ok = [&] {
        prompter.asked.clear();
        dialog->setResult(QDialog::Rejected);
        dialog->bnOkClick();
        return dialog->result() == QDialog::Accepted;
    };
    const QString numeric = u8(" is a numeric parameter. Only numbers are allowed.");

    child<QLineEdit>(u8("txtValue1"))->setText(u8("4,2"));
    EXPECT_FALSE(ok());
    // Two wrong rows: only the first is named.
    EXPECT_EQ(prompter.messages(), QStringList{u8("\"Budget Year\"") + numeric});
    EXPECT_TRUE(appState().CancelFlag);
    EXPECT_EQ(child<QLineEdit>(u8("txtValue1"))->text(), u8("4,2"));  // entries stay

    child<QLineEdit>(u8("txtValue1"))->setText(u8(" 42 "));
    EXPECT_FALSE(ok());
    EXPECT_EQ(prompter.messages(), QStringList{u8("\"Month\"") + numeric});  // nothing chosen
    child<QComboBox>(u8("cbValue2"))->setCurrentIndex(1);
    child<QPlainTextEdit>(u8("txtValue3"))->setPlainText(u8("1\nx\n"));
    EXPECT_FALSE(ok());
    EXPECT_EQ(prompter.messages(), QStringList{u8("\"Ids\"") + numeric});
    child<QPlainTextEdit>(u8("txtValue3"))->setPlainText(u8("1\n \n2\n"));
    auto* genres = child<TCheckedComboBox>(u8("chkValue4"));
    genres->setTicked(2, true);
    genres->setTicked(0, true);
    auto* top = child<QComboBox>(u8("cbValue7"));
    top->setEditText(u8("ten"));
    EXPECT_FALSE(ok());
    EXPECT_EQ(prompter.messages(), QStringList{u8("\"Top\"") + numeric});
    top->setEditText(u8("12"));

    child<QComboBox>(u8("cbOperator5"))->setCurrentIndex(1);
    child<QLineEdit>(u8("txtValue5"))->setText(u8("O'Brien"));
    auto* kinds = child<TCheckedComboBox>(u8("chkValue6"));
    kinds->setTicked(1, true);
    kinds->setTicked(0, true);
    child<QPlainTextEdit>(u8("txtValue8"))->setPlainText(u8("two\nlines"));
    child<QPlainTextEdit>(u8("txtValue9"))->setPlainText(u8("a\n\nb\n"));
    child<QDateEdit>(u8("dtpDate10"))->setDate(QDate(2015, 8, 21));
    child<QTimeEdit>(u8("dtpTime10"))->setTime(QTime(13, 5, 9));
    child<QTimeEdit>(u8("dtpTime11"))->setTime(QTime(23, 59, 58));
    child<QLineEdit>(u8("txtValue13"))->setText(u8("secret"));
    EXPECT_TRUE(ok());
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_FALSE(appState().CancelFlag);

    dialog->fnReadValues(list);
    EXPECT_EQ(list[0].EnteredText, u8(" 42 "));
    EXPECT_EQ(list[1].EnteredText, u8("2"));
    EXPECT_EQ(list[2].EnteredLines, QStringList({u8("1"), u8(" "), u8("2")}));
    EXPECT_EQ(list[3].EnteredChoices, QStringList({u8("3"), u8("1")}));  // tick order
    EXPECT_EQ(list[4].FieldText, u8("Account No"));
    EXPECT_EQ(list[4].OperatorText, u8("like"));
    EXPECT_EQ(list[4].EnteredText, u8("O'Brien"));
    EXPECT_EQ(list[5].EnteredChoices, QStringList({u8("a"), u8("b c")}));
    EXPECT_EQ(list[6].EnteredText, u8("12"));
    EXPECT_EQ(list[7].EnteredText, u8("two\nlines"));
    EXPECT_EQ(list[8].EnteredLines, QStringList({u8("a"), QString(), u8("b")}));
    EXPECT_EQ(list[9].EnteredDate, QDate(2015, 8, 21));
    EXPECT_EQ(list[9].EnteredTime, QTime(13, 5, 9));
    EXPECT_EQ(list[10].EnteredTime, QTime(23, 59, 58));
    EXPECT_TRUE(list[11].EnteredChoices.isEmpty());
    EXPECT_EQ(list[12].EnteredText, u8("secret"));
}

TEST_F(ExecParamDialogTest, CancelEscapeAndCloseLeaveTheFlagSet) {
    params::ParameterList asked = params::ScanParameters(u8("?NUM_n?"));
    for (const char* how : {"cancel", "escape", "close"}) {
        SCOPED_TRACE(how);
        OnModal<TExecParam> act([&](TExecParam& d) {
            d.findChild<QLineEdit*>(u8("txtValue1"))->setText(u8("5"));
            if (std::string_view(how) == "cancel")
                d.cancelButton()->click();
            else if (std::string_view(how) == "escape")
                QTest::keyClick(&d, Qt::Key_Escape);
            else
                d.close();
        });
        EXPECT_FALSE(dialog->ask(asked));
        EXPECT_TRUE(act.ran);
        EXPECT_FALSE(act.leftOpen);
        EXPECT_TRUE(appState().CancelFlag);
        EXPECT_TRUE(asked[0].EnteredText.isEmpty());
    }
    // Enter presses OK.
    OnModal<TExecParam> enter([&](TExecParam& d) {
        auto* edit = d.findChild<QLineEdit*>(u8("txtValue1"));
        edit->setText(u8("7"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_TRUE(dialog->ask(asked));
    EXPECT_FALSE(enter.leftOpen);
    EXPECT_FALSE(appState().CancelFlag);
    EXPECT_EQ(asked[0].EnteredText, u8("7"));
    EXPECT_EQ(dialog->rowsArea(), nullptr);  // the rows go with the showing
}

// ---------------------------------------------------------------------------------
// From the main window

enum class Backend { Sqlite, Postgres };

std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

// The same statements in both forms of Chinook.
struct ChinookNames {
    const char* invoice;
    const char* id;
    const char* customer;
    const char* country;
    const char* city;
    const char* date;
    const char* artist;
    const char* name;
};
const ChinookNames kSqliteNames{"Invoice", "InvoiceId", "CustomerId", "BillingCountry",
                                "BillingCity", "InvoiceDate", "Artist", "Name"};
const ChinookNames kPostgresNames{"invoice", "invoice_id", "customer_id", "billing_country",
                                  "billing_city", "invoice_date", "artist", "name"};

class ExecParamWindowTest : public MainWindowTest, public ::testing::WithParamInterface<Backend> {
public:
    void SetUp() override {
        MainWindowTest::SetUp();
        QString conn;
        if (GetParam() == Backend::Postgres) {
            conn = postgresConnectionString();
            if (conn.isEmpty())
                GTEST_SKIP() << "no PostgreSQL test server (VARNOCK_TEST_PG is empty)";
            conn.replace(u8("Database=varnock_test"), u8("Database=chinook"));
            names = kPostgresNames;
        } else {
            conn = QStringLiteral("Provider=SQLite;Data Source=") + copyChinook(env.path());
            names = kSqliteNames;
        }
        option(opt::LastConnection, QStringLiteral("Chinook.txt"));
        option(opt::LastConnString, conn);
        start();
        ASSERT_TRUE(db::dm1().ADOConn1.isOpen());
        // The main window asks through the dialog.
        prompt = dynamic_cast<TExecParam*>(window->parameterPrompt());
        ASSERT_NE(prompt, nullptr);
    }
    void TearDown() override {
        window.reset();
        db::dm1().ADOQry1.close();
        db::dm1().ADOConn1.close();
        MainWindowTest::TearDown();
    }

    // Names the tables and columns of this backend's Chinook: {0} invoice ... {7} name.
    QString sql(const char* text) const {
        QString s = u8(text);
        const char* all[] = {names.invoice, names.id,   names.customer, names.country,
                             names.city,    names.date, names.artist,   names.name};
        for (int i = 0; i < 8; ++i)
            s.replace(u8("{") + QString::number(i) + u8("}"), u8(all[i]));
        return s;
    }
    void run(const QString& text) {
        window->editor()->setPlainText(text);
        QTextCursor c = window->editor()->textCursor();
        c.movePosition(QTextCursor::End);
        window->editor()->setTextCursor(c);
        prompter.confirmAnswers.push_back(ui::Answer::Yes);
        child<QToolButton>("tbExecToScreen")->click();
    }
    QString panel() const { return window->executedSqlPanel()->toPlainText(); }
    int gridRows() const { return window->resultGrid()->model()->rowCount(); }
    QString cell(int row, int col) const {
        const QAbstractItemModel* m = window->resultGrid()->model();
        return m->data(m->index(row, col)).toString();
    }

    ChinookNames names{};
    TExecParam* prompt = nullptr;
};

TEST_P(ExecParamWindowTest, PickListsFromRealTablesRunWithTheChosenValues) {
    const QString text = sql(
        "select {1}, {2}, {3}, {4}\n"
        "from {0}\n"
        "where {5} >= ?Date_From?\n"
        "  and {2} <> ?NFixPickR_Customer||{1,2,3}?\n"
        "  and {3} in ?SSqlPickC_Country||\"{select distinct {3} from {0} order by 1}\"?\n"
        "  and ?Str_{'{4}'}|{'=','<>','like'}?\n"
        "order by {1}");
    OnModal<TExecParam> fill([&](TExecParam& d) {
        d.findChild<QDateEdit*>(u8("dtpDate1"))->setDate(QDate(2024, 1, 1));
        d.findChild<QComboBox*>(u8("cbValue2"))->setCurrentIndex(1);
        auto* countries = d.findChild<TCheckedComboBox*>(u8("chkValue3"));
        const QStringList items = countries->items();
        ASSERT_EQ(items.size(), 24);
        EXPECT_EQ(items.front(), u8("Argentina"));
        countries->setTicked(static_cast<int>(items.indexOf(u8("Canada"))), true);
        countries->setTicked(static_cast<int>(items.indexOf(u8("Brazil"))), true);
        EXPECT_EQ(d.findChild<QLabel*>(u8("lblField4"))->text(), sql("{4}"));
        d.findChild<QComboBox*>(u8("cbOperator4"))->setCurrentText(u8("like"));
        d.findChild<QLineEdit*>(u8("txtValue4"))->setText(u8("S%"));
        d.okButton()->click();
    });
    run(text);
    ASSERT_TRUE(fill.ran);
    EXPECT_FALSE(fill.leftOpen) << prompter.messages().join(u'|').toStdString();
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();

    const QString sent = sql(
        "select {1}, {2}, {3}, {4}\n"
        "from {0}\n"
        "where {5} >= '2024-01-01'\n"
        "  and {2} <> 2\n"
        "  and {3} in ('Canada','Brazil')\n"
        "  and {4} like 'S%'\n"
        "order by {1}");
    EXPECT_EQ(panel(), sent);
    EXPECT_EQ(appState().ExecutedSql, sent);
    EXPECT_EQ(window->statusText(4), u8("Query executed successfully"));
    ASSERT_EQ(gridRows(), 10);
    QStringList ids;
    for (int r = 0; r < gridRows(); ++r)
        ids << cell(r, 0);
    EXPECT_EQ(ids.join(u','), u8("251,252,275,297,316,327,349,372,382,383"));
    EXPECT_EQ(cell(9, 3), u8("São Paulo"));
    EXPECT_EQ(window->editor()->toPlainText(), text);  // the editor never changes
}

TEST_P(ExecParamWindowTest, AStrValueStaysInsideItsLiteral) {
    const QString text = sql("select count(*) as n from {6} where {7} = ?Str_Name?");
    for (const char* value : {"x' or '1'='1", "AC/DC", "x'; drop table {6}; --"}) {
        const QString entered = sql(value);
        OnModal<TExecParam> fill([&](TExecParam& d) {
            d.findChild<QLineEdit*>(u8("txtValue1"))->setText(entered);
            d.okButton()->click();
        });
        run(text);
        ASSERT_TRUE(fill.ran);
        QString quoted = entered;
        quoted.replace(u8("'"), u8("''"));
        EXPECT_EQ(panel(), sql("select count(*) as n from {6} where {7} = '") + quoted + u8("'"));
        ASSERT_EQ(gridRows(), 1) << value;
        EXPECT_EQ(cell(0, 0), entered == u8("AC/DC") ? u8("1") : u8("0")) << value;
    }
    // The table is still there.
    run(sql("select count(*) from {6}"));
    EXPECT_EQ(cell(0, 0), u8("275"));
}

TEST_P(ExecParamWindowTest, ListStatementFailureAndCancelLeaveTheGridEmpty) {
    run(sql("select {7} from {6}"));
    ASSERT_EQ(gridRows(), 275);

    // A failing list statement: the database's message twice, OK disabled.
    OnModal<TExecParam> failing([&](TExecParam& d) {
        EXPECT_TRUE(d.errorShown());
        EXPECT_FALSE(d.okButton()->isEnabled());
        EXPECT_EQ(gridRows(), 0);  // the grid let go before the query closed
        d.cancelButton()->click();
    });
    run(u8("select ?SSqlPickR_x||\"{select nope from nowhere}\"?"));
    ASSERT_TRUE(failing.ran);
    ASSERT_EQ(prompter.messages().size(), 1);
    const QString message = prompter.messages().front();
    EXPECT_TRUE(message.contains(u8("nowhere"))) << message.toStdString();
    EXPECT_EQ(prompt->errorLabel()->text(),
              message + u8(". Please click the \"Cancel\" button to continue."));
    EXPECT_EQ(gridRows(), 0);
    EXPECT_EQ(window->resultGrid()->result(), nullptr);
    EXPECT_FALSE(db::dm1().ADOQry1.active());
    EXPECT_TRUE(appState().ExecutedSql.isEmpty());
    EXPECT_EQ(panel(), u8("select ?SSqlPickR_x||\"{select nope from nowhere}\"?"));

    // A list that worked, then Cancel: the grid stays empty too.
    run(sql("select {7} from {6}"));
    ASSERT_EQ(gridRows(), 275);
    OnModal<TExecParam> cancelled([&](TExecParam& d) {
        auto* box = d.findChild<QComboBox*>(u8("cbValue1"));
        EXPECT_EQ(box->count(), 275);
        d.cancelButton()->click();
    });
    const QString text = sql("select * from {6} where {7} = ?SSqlPickR_A||\"{select {7} from {6} order by 1}\"?");
    run(text);
    ASSERT_TRUE(cancelled.ran);
    EXPECT_EQ(gridRows(), 0);
    EXPECT_FALSE(db::dm1().ADOQry1.active());
    EXPECT_EQ(panel(), text);
    EXPECT_EQ(prompter.messages().size(), 1);  // nothing new
}

// The user sees which statement the values are asked for: the extracted statement is in
// the executed-SQL panel while the dialog is open, also when the dialog can only show its
// error display, and the previous run's statement is gone by then.
TEST_P(ExecParamWindowTest, TheExecutedSqlPanelShowsTheStatementWhileTheDialogIsOpen) {
    run(sql("select count(*) from {6}"));
    ASSERT_EQ(panel(), sql("select count(*) from {6}"));

    const QString block = sql("select {7} from {6} where {7} = ?Str_Name?");
    const QString failing = u8("select ?SSqlPickR_x||\"{select nope from nowhere}\"?");
    struct Case {
        QString text;       // the editor; the caret at its end picks the last block
        QString statement;  // what the panel shows while the dialog is open
        bool confirm;       // OK with a value, or Cancel
        QString after;      // the panel once the command has ended
    };
    const Case cases[] = {
        {sql("select 1\n\n") + block, block, true, sql("select {7} from {6} where {7} = 'AC/DC'")},
        {block, block, false, block},
        {failing, failing, false, failing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        prompter.asked.clear();
        QString shownWhileOpen = u8("<dialog not shown>");
        bool errorDisplay = false;
        OnModal<TExecParam> dialog([&](TExecParam& d) {
            shownWhileOpen = panel();
            errorDisplay = d.errorShown();
            if (c.confirm) {
                d.findChild<QLineEdit*>(u8("txtValue1"))->setText(u8("AC/DC"));
                d.okButton()->click();
            } else {
                d.cancelButton()->click();
            }
        });
        run(c.text);
        ASSERT_TRUE(dialog.ran);
        EXPECT_EQ(shownWhileOpen, c.statement);
        EXPECT_EQ(errorDisplay, c.text == failing);
        EXPECT_EQ(panel(), c.after);
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, ExecParamWindowTest,
                         ::testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace vnk::test
