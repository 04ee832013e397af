#include "params/ui/TCheckedComboBox.h"

#include "ScriptedPrompter.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

using vnk::params::TCHBQuoteStyle;
using vnk::ui::TCheckedComboBox;

namespace {

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

QStringList list(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* i : items)
        out.append(u8(i));
    return out;
}

QStringList numbered(int count) {
    QStringList out;
    for (int i = 0; i < count; ++i)
        out.append(QStringLiteral("item %1").arg(i));
    return out;
}

// A window holding a combo box and a second focusable widget, placed on the screen.
struct Harness {
    QWidget window;
    TCheckedComboBox* combo = nullptr;
    QLineEdit* other = nullptr;
    vnk::test::ScriptedPrompter prompts;

    explicit Harness(int windowTop = 40) {
        vnk::ui::setPrompter(&prompts);
        combo = new TCheckedComboBox(&window);
        combo->setObjectName(QStringLiteral("cbChoices"));
        combo->move(10, 10);
        combo->resize(200, combo->height());
        other = new QLineEdit(&window);
        other->setObjectName(QStringLiteral("txtOther"));
        other->setGeometry(10, 60, 100, 21);
        window.setGeometry(100, windowTop, 260, 100);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    ~Harness() {
        if (combo)
            combo->closeDropDown();
        vnk::ui::setPrompter(nullptr);
    }

    QRect available() const { return combo->screen()->availableGeometry(); }
    QRect comboOnScreen() const { return {combo->mapToGlobal(QPoint(0, 0)), combo->size()}; }

    // A press and release on the button's middle, through the window as a user's click.
    void clickButton() {
        QWindow* handle = window.windowHandle();
        const QPoint at = combo->button()->mapTo(&window, combo->button()->rect().center());
        QTest::mousePress(handle, Qt::LeftButton, {}, at);
        // A press that closes a popup may come back posted to the widget under the pointer.
        QApplication::processEvents();
        QTest::mouseRelease(handle, Qt::LeftButton, {}, at);
        QApplication::processEvents();
    }
};

}  // namespace

TEST(CheckedComboBox, StartsWithItsDefaults) {
    TCheckedComboBox combo;
    EXPECT_EQ(combo.width(), 121);
    EXPECT_EQ(combo.height(), QFontMetrics(combo.font()).height() + 8);
    EXPECT_EQ(combo.version(), u8("1.7"));
    EXPECT_EQ(combo.capSelectAll(), u8("&Select All"));
    EXPECT_EQ(combo.capDeSelectAll(), u8("&DeSelect All"));
    EXPECT_EQ(combo.emptyValue(), u8("<none>"));
    EXPECT_EQ(combo.notFocusColor(), QColor(Qt::white));
    EXPECT_EQ(combo.dropDownLines(), 6);
    EXPECT_EQ(combo.columns(), 0);
    EXPECT_EQ(combo.quoteStyle(), TCHBQuoteStyle::qsNone);
    EXPECT_FALSE(combo.sorted());
    EXPECT_FALSE(combo.sortDisplay());
    EXPECT_TRUE(combo.textField()->isReadOnly());
    EXPECT_EQ(combo.textField()->text(), u8("<none>"));
    EXPECT_EQ(combo.CheckedValue(), QString());
    EXPECT_EQ(combo.frameShadow(), QFrame::Sunken);
    EXPECT_EQ(combo.findChild<QLineEdit*>(QStringLiteral("txtChecked")), combo.textField());
    EXPECT_EQ(combo.findChild<QAbstractButton*>(QStringLiteral("btnDropDown")), combo.button());
    EXPECT_EQ(combo.findChild<QListWidget*>(QStringLiteral("lvChecked")), combo.checkList());
    EXPECT_EQ(combo.findChild<QWidget*>(QStringLiteral("CheckComboDropDown")),
              combo.dropDownWindow());
    EXPECT_FALSE(combo.textField()->accessibleName().isEmpty());
    EXPECT_FALSE(combo.button()->accessibleName().isEmpty());

    combo.setDropDownLines(11);
    combo.setDropDownLines(5);
    EXPECT_EQ(combo.dropDownLines(), 6);
    combo.setDropDownLines(10);
    EXPECT_EQ(combo.dropDownLines(), 10);
}

TEST(CheckedComboBox, HeightFollowsTheFontAndThePartsTheWidth) {
    struct Case {
        int pointSize;
        bool ctl3D;
        int width;
    };
    const Case cases[] = {{8, true, 500}, {14, true, 121}, {8, false, 300}, {20, false, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pointSize << "pt, 3-D " << c.ctl3D);
        QWidget window;
        auto& combo = *new TCheckedComboBox(&window);
        window.show();
        QFont font(QStringLiteral("MS Sans Serif"));
        font.setPointSize(c.pointSize);
        combo.setFont(font);
        combo.setCtl3D(c.ctl3D);
        // The dialog places it 21 high; the font decides.
        combo.setGeometry(15, 40, c.width, 21);
        const int h = QFontMetrics(font).height() + (c.ctl3D ? 8 : 6);
        EXPECT_EQ(combo.height(), h);
        EXPECT_EQ(combo.width(), c.width);
        EXPECT_EQ(combo.textField()->geometry(), QRect(0, 0, c.width - 16 - 3, h));
        EXPECT_EQ(combo.button()->geometry(), QRect(c.width - 16 - 3 + 1, 2, 16, h - 2));
    }
}

TEST(CheckedComboBox, ButtonGlyphIsDotsOverATriangle) {
    const QImage glyph = TCheckedComboBox::buttonGlyph();
    ASSERT_EQ(glyph.size(), QSize(13, 13));
    const char* rows[13] = {
        ".............", ".............", "..#.#.#.#.#..", "..#.#.#.#.#..", ".............",
        ".............", "..#########..", "...#######...", "....#####....", ".....###.....",
        "......#......", ".............", ".............",
    };
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x) {
            const QColor pixel = glyph.pixelColor(x, y);
            if (rows[y][x] == '#')
                EXPECT_EQ(pixel, QColor(Qt::black)) << x << "," << y;
            else
                EXPECT_EQ(pixel.alpha(), 0) << x << "," << y;
        }
}

TEST(CheckedComboBox, DropDownOpensBelowOrAboveItsControl) {
    const QRect available(0, 0, 1024, 768);
    struct Case {
        int controlTop, lines, itemHeight;
        bool above;
    };
    const Case cases[] = {
        {100, 6, 16, false},
        {748 - 24 - 100, 6, 16, false},  // bottom exactly at the available bottom - 20
        {748 - 24 - 99, 6, 16, true},    // one pixel more
        {700, 10, 15, true},
        {0, 10, 20, false},
    };
    for (const Case& c : cases) {
        const QRect control(30, c.controlTop, 250, 24);
        const QRect r =
            TCheckedComboBox::dropDownGeometry(control, c.lines, c.itemHeight, available);
        EXPECT_EQ(r.size(), QSize(250, c.lines * c.itemHeight + 4)) << c.controlTop;
        EXPECT_EQ(r.left(), 30);
        EXPECT_EQ(r.top(), c.above ? c.controlTop - r.height() : c.controlTop + 24)
            << c.controlTop;
    }
    // The available area need not start at the screen's top.
    EXPECT_EQ(TCheckedComboBox::dropDownGeometry(QRect(0, 600, 100, 24), 6, 16,
                                                 QRect(0, 100, 800, 700))
                  .top(),
              624);
    EXPECT_EQ(TCheckedComboBox::dropDownGeometry(QRect(0, 600, 100, 24), 6, 16,
                                                 QRect(0, 0, 800, 700))
                  .top(),
              500);
}

TEST(CheckedComboBox, DropDownHeightFollowsLinesAndColumns) {
    struct Case {
        int items, columns, lines, expectedLines;
    };
    const Case cases[] = {
        {3, 0, 6, 6}, {30, 2, 6, 10}, {3, 0, 9, 9}, {14, 2, 6, 8}, {40, 1, 7, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.items << " items in " << c.columns << " columns");
        Harness h;
        h.combo->setItems(numbered(c.items));
        h.combo->setColumns(c.columns);
        h.combo->setDropDownLines(c.lines);
        QSignalSpy clicks(h.combo, &TCheckedComboBox::clicked);
        h.clickButton();
        ASSERT_TRUE(h.combo->isDroppedDown());
        EXPECT_EQ(clicks.count(), 1);
        EXPECT_EQ(h.combo->dropDownLines(), c.expectedLines);

        const QWidget* drop = h.combo->dropDownWindow();
        const QRect control = h.comboOnScreen();
        EXPECT_EQ(drop->geometry(),
                  QRect(control.left(), control.bottom() + 1, control.width(),
                        c.expectedLines * h.combo->itemHeight() + 4));
        // The list fills the window and its rows are exactly an item high.
        const QListWidget* lv = h.combo->checkList();
        EXPECT_EQ(lv->geometry(), QRect(QPoint(0, 0), drop->size()));
        EXPECT_EQ(lv->visualItemRect(lv->item(0)).height(), h.combo->itemHeight());
        if (c.columns > 1 && c.items <= c.columns * c.expectedLines) {
            // Items fill a column top to bottom, then the next.
            const QRect last = lv->visualItemRect(lv->item(c.expectedLines - 1));
            const QRect next = lv->visualItemRect(lv->item(c.expectedLines));
            EXPECT_EQ(next.top(), 0);
            EXPECT_GT(next.left(), last.left());
            EXPECT_EQ(next.left() - last.left(), control.width() / c.columns);
        }
    }
}

TEST(CheckedComboBox, OpensAboveWhenThereIsNoRoomBelow) {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    // Window placed so that the list would reach into the last 20 pixels of the screen.
    Harness h(available.bottom() - 90);
    h.combo->setItems(numbered(3));
    h.clickButton();
    ASSERT_TRUE(h.combo->isDroppedDown());
    const QRect control = h.comboOnScreen();
    const QRect drop = h.combo->dropDownWindow()->geometry();
    ASSERT_GT(control.bottom() + 1 + drop.height(), available.bottom() + 1 - 20);
    EXPECT_EQ(drop.bottom() + 1, control.top());
    EXPECT_EQ(drop.left(), control.left());
    EXPECT_EQ(drop.height(), 6 * h.combo->itemHeight() + 4);
}

TEST(CheckedComboBox, ButtonClickWhileOpenClosesTheList) {
    Harness h;
    h.combo->setItems(list({"a", "b"}));
    QSignalSpy clicks(h.combo, &TCheckedComboBox::clicked);
    QSignalSpy closed(h.combo, &TCheckedComboBox::closedUp);

    h.clickButton();
    ASSERT_TRUE(h.combo->isDroppedDown());
    h.clickButton();
    EXPECT_FALSE(h.combo->isDroppedDown());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(clicks.count(), 1);

    // The next click opens it again.
    h.clickButton();
    EXPECT_TRUE(h.combo->isDroppedDown());
    EXPECT_EQ(clicks.count(), 2);

    // A click elsewhere closes it too; Escape in the list as well.
    QTest::mouseClick(h.window.windowHandle(), Qt::LeftButton, {}, QPoint(5, 80));
    QApplication::processEvents();
    EXPECT_FALSE(h.combo->isDroppedDown());
    EXPECT_EQ(closed.count(), 2);
    h.clickButton();
    ASSERT_TRUE(h.combo->isDroppedDown());
    QTest::keyClick(h.combo->checkList(), Qt::Key_Escape);
    EXPECT_FALSE(h.combo->isDroppedDown());
    EXPECT_EQ(closed.count(), 3);
    EXPECT_EQ(clicks.count(), 3);

    // Going away with the list open leaves no popup behind.
    h.clickButton();
    ASSERT_TRUE(h.combo->isDroppedDown());
    delete h.combo;
    h.combo = nullptr;
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST(CheckedComboBox, TicksInTheListBuildTheValue) {
    Harness h;
    h.combo->setItems(list({"a", "b", "c", "O'Brien"}));
    h.combo->setQuoteStyle(TCHBQuoteStyle::qsSingle);
    QSignalSpy changes(h.combo, &TCheckedComboBox::changed);
    h.clickButton();
    ASSERT_TRUE(h.combo->isDroppedDown());
    QListWidget* lv = h.combo->checkList();

    // A real click on the first item's check box.
    QStyleOptionViewItem opt;
    opt.initFrom(lv);
    opt.rect = lv->visualItemRect(lv->item(1));
    opt.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = lv->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, lv);
    QTest::mouseClick(lv->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_EQ(lv->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(h.combo->textField()->text(), u8("b"));
    EXPECT_EQ(changes.count(), 1);

    // Space on the selected item.
    lv->setCurrentRow(3);
    QTest::keyClick(lv, Qt::Key_Space);
    EXPECT_EQ(h.combo->textField()->text(), u8("b,O'Brien"));
    lv->item(0)->setCheckState(Qt::Checked);
    EXPECT_EQ(h.combo->checkedText(), u8("b,O'Brien,a"));
    EXPECT_EQ(h.combo->CheckedValue(), u8("'b','O''Brien','a'"));
    EXPECT_EQ(h.combo->checkedValues(), list({"b", "O'Brien", "a"}));
    EXPECT_EQ(changes.count(), 3);

    h.combo->setSortDisplay(true);
    EXPECT_EQ(h.combo->textField()->text(), u8("a,b,O'Brien"));
    h.combo->setSortDisplay(false);
    lv->item(3)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(h.combo->textField()->text(), u8("b,a"));
    h.combo->setQuoteStyle(TCHBQuoteStyle::qsDouble);
    EXPECT_EQ(h.combo->CheckedValue(), u8("\"b\",\"a\""));
    EXPECT_EQ(changes.count(), 4);
    EXPECT_TRUE(h.combo->isDroppedDown());
}

TEST(CheckedComboBox, MenuTicksOrUnticksEverything) {
    Harness h;
    h.combo->setItems(list({"c", "a", "b"}));
    h.combo->setCapSelectAll(u8("&All"));
    h.combo->setCapDeSelectAll(u8("&Nothing"));
    QSignalSpy changes(h.combo, &TCheckedComboBox::changed);
    h.clickButton();
    EXPECT_EQ(h.combo->selectAllAction()->text(), u8("&All"));
    EXPECT_EQ(h.combo->deSelectAllAction()->text(), u8("&Nothing"));
    EXPECT_EQ(h.combo->checkList()->contextMenuPolicy(), Qt::CustomContextMenu);

    h.combo->setTicked(2, true);
    h.combo->selectAllAction()->trigger();
    EXPECT_EQ(h.combo->textField()->text(), u8("c,a,b"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(h.combo->checkList()->item(i)->checkState(), Qt::Checked) << i;
    h.combo->deSelectAllAction()->trigger();
    EXPECT_EQ(h.combo->textField()->text(), u8("<none>"));
    EXPECT_EQ(h.combo->CheckedValue(), QString());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(h.combo->checkList()->item(i)->checkState(), Qt::Unchecked) << i;
    EXPECT_EQ(changes.count(), 3);
}

TEST(CheckedComboBox, ItemsChangesClearTheTicks) {
    TCheckedComboBox combo;
    combo.setItems(list({"b", "a"}));
    combo.setTicked(0, true);
    ASSERT_EQ(combo.textField()->text(), u8("b"));
    combo.addItem(u8("c"));
    EXPECT_EQ(combo.textField()->text(), u8("<none>"));
    EXPECT_EQ(combo.checkList()->count(), 3);
    EXPECT_EQ(combo.checkList()->item(1)->checkState(), Qt::Unchecked);

    combo.setTicked(1, true);
    combo.setSorted(true);
    EXPECT_EQ(combo.items(), list({"a", "b", "c"}));
    EXPECT_EQ(combo.checkList()->item(0)->text(), u8("a"));
    EXPECT_EQ(combo.checkedText(), QString());

    combo.setTicked(0, true);
    combo.addItem(u8("B"));
    combo.addItem(u8("0"));
    EXPECT_EQ(combo.items(), list({"0", "a", "b", "B", "c"}));
    for (int i = 0; i < combo.checkList()->count(); ++i) {
        EXPECT_EQ(combo.checkList()->item(i)->text(), combo.items()[i]);
        EXPECT_EQ(combo.checkList()->item(i)->checkState(), Qt::Unchecked) << i;
    }
    EXPECT_EQ(combo.checkedText(), QString());

    combo.setEmptyValue(u8("(any)"));
    EXPECT_EQ(combo.textField()->text(), u8("(any)"));
    combo.setTicked(2, true);
    combo.Clear();
    EXPECT_EQ(combo.checkList()->count(), 0);
    EXPECT_TRUE(combo.items().isEmpty());
    EXPECT_EQ(combo.textField()->text(), u8("(any)"));
}

TEST(CheckedComboBox, RefusedTickShowsTheMessageAndStaysUnticked) {
    Harness h;
    h.combo->setItems({QString(65000, u'a'), QString(600, u'b'), u8("c")});
    QSignalSpy changes(h.combo, &TCheckedComboBox::changed);
    h.clickButton();
    h.combo->setTicked(0, true);
    EXPECT_TRUE(h.combo->isDroppedDown());
    h.combo->setTicked(1, true);
    EXPECT_EQ(h.prompts.messages(), list({"There is no room for Selected"}));
    EXPECT_FALSE(h.combo->isDroppedDown());
    EXPECT_EQ(h.combo->checkList()->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(h.combo->checkedText().size(), 65000);
    h.combo->setTicked(2, true);
    EXPECT_EQ(h.combo->checkedText().size(), 65002);
    EXPECT_EQ(changes.count(), 2);
}

TEST(CheckedComboBox, FieldColourFollowsTheFocus) {
    Harness h;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&h.window));
    const QColor yellow(255, 255, 200);
    h.combo->setNotFocusColor(yellow);
    auto base = [&] { return h.combo->textField()->palette().color(QPalette::Base); };

    h.other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(base(), yellow);
    QSignalSpy entered(h.combo, &TCheckedComboBox::entered);
    QSignalSpy exited(h.combo, &TCheckedComboBox::exited);
    h.combo->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(h.combo->textField()->hasFocus());
    EXPECT_EQ(base(), QColor(Qt::white));
    EXPECT_EQ(entered.count(), 1);

    // Opening and closing the list is no change of focus.
    h.combo->setItems(list({"a"}));
    h.clickButton();
    ASSERT_TRUE(h.combo->isDroppedDown());
    QTest::keyClick(h.combo->checkList(), Qt::Key_Escape);
    EXPECT_EQ(base(), QColor(Qt::white));
    EXPECT_EQ(exited.count(), 0);

    h.other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(base(), yellow);
    EXPECT_EQ(exited.count(), 1);
    EXPECT_EQ(entered.count(), 1);

    // The keyboard opens the list too.
    h.combo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(h.combo->textField(), Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(h.combo->isDroppedDown());
}

TEST(CheckedComboBox, DisablingDisablesItsParts) {
    Harness h;
    h.combo->setEnabled(false);
    EXPECT_FALSE(h.combo->textField()->isEnabled());
    EXPECT_FALSE(h.combo->button()->isEnabled());
    h.clickButton();
    EXPECT_FALSE(h.combo->isDroppedDown());
    h.combo->setEnabled(true);
    EXPECT_TRUE(h.combo->textField()->isEnabled());
    EXPECT_TRUE(h.combo->button()->isEnabled());
}
