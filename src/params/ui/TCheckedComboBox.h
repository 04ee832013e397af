#pragma once

#include "params/CheckedItems.h"

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QRect>
#include <QStringList>

class QAbstractButton;
class QAction;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;

namespace vnk::ui {

class CheckComboButton;
class CheckComboDropDown;

// A multiple-choice drop-down: a read-only text field showing the ticked values and a button
// that drops down a list with a check box per item. Its context menu ticks or unticks every
// item.
//
// Child object names: "txtChecked" (text field), "btnDropDown" (button), "CheckComboDropDown"
// (the drop-down window, a child of this control), "lvChecked" (its list), "actSelectAll" and
// "actDeSelectAll" (the menu entries).
class TCheckedComboBox : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ items WRITE setItems)
    Q_PROPERTY(QString CapSelectAll READ capSelectAll WRITE setCapSelectAll)
    Q_PROPERTY(QString CapDeSelectAll READ capDeSelectAll WRITE setCapDeSelectAll)
    Q_PROPERTY(QColor NotFocusColor READ notFocusColor WRITE setNotFocusColor)
    Q_PROPERTY(bool Sorted READ sorted WRITE setSorted)
    Q_PROPERTY(int Columns READ columns WRITE setColumns)
    Q_PROPERTY(int DropDownLines READ dropDownLines WRITE setDropDownLines)
    Q_PROPERTY(QString EmptyValue READ emptyValue WRITE setEmptyValue)
    Q_PROPERTY(bool SortDisplay READ sortDisplay WRITE setSortDisplay)
    Q_PROPERTY(bool Ctl3D READ ctl3D WRITE setCtl3D)
    Q_PROPERTY(QString CheckedText READ checkedText)
    Q_PROPERTY(QString Version READ version)

public:
    using QuoteStyle = params::TCHBQuoteStyle;

    static constexpr int ButtonWidth = 16;
    static constexpr int GlyphSize = 13;

    explicit TCheckedComboBox(QWidget* parent = nullptr);
    ~TCheckedComboBox() override;

    // Assigning or adding items rebuilds the list and clears every tick.
    QStringList items() const { return items_.items(); }
    void setItems(const QStringList& items);
    void addItem(const QString& item);
    // Empties the ticks, the items and the list.
    void Clear();

    QString capSelectAll() const { return capSelectAll_; }
    void setCapSelectAll(const QString& caption) { capSelectAll_ = caption; }
    QString capDeSelectAll() const { return capDeSelectAll_; }
    void setCapDeSelectAll(const QString& caption) { capDeSelectAll_ = caption; }

    QColor notFocusColor() const { return notFocusColor_; }
    void setNotFocusColor(const QColor& color);

    bool sorted() const { return items_.sorted(); }
    void setSorted(bool sorted);

    QuoteStyle quoteStyle() const { return quoteStyle_; }
    void setQuoteStyle(QuoteStyle style) { quoteStyle_ = style; }

    // 0 or 1: one column.
    int columns() const { return columns_; }
    void setColumns(int columns);

    // Accepts 6 to 10 only; other values are ignored. Opening a list of more than one column
    // recomputes it from the item count.
    int dropDownLines() const { return dropDownLines_; }
    void setDropDownLines(int lines);

    QString emptyValue() const { return emptyValue_; }
    void setEmptyValue(const QString& text);

    bool sortDisplay() const { return sortDisplay_; }
    void setSortDisplay(bool on);

    // The height rule counts 8 border heights with the 3-D look, 6 without.
    bool ctl3D() const { return ctl3D_; }
    void setCtl3D(bool on);

    QString version() const { return QStringLiteral("1.7"); }

    // The ticked values joined by ",", in tick order.
    QString checkedText() const { return items_.checkedText(); }
    // The ticked values in tick order, unquoted, each text once.
    QStringList checkedValues() const { return items_.checkedValues(); }
    // The ticked values quoted by quoteStyle(), joined by ",".
    QString CheckedValue() const { return items_.checkedValue(quoteStyle_); }
    bool isTicked(int index) const { return items_.isTicked(index); }

    // Ticks or unticks an item as a click on its check box does (the refusal message
    // included).
    void setTicked(int index, bool ticked);
    void selectAll();
    void deselectAll();

    // The drop-down.
    void showDropDown();  // as a click on the button with the list closed
    void closeDropDown();
    bool isDroppedDown() const;
    // The pixel height of one item of the list in the control's font.
    int itemHeight() const;
    // Where the list opens: below controlOnScreen, as wide, lines items high plus 4; above it
    // when its bottom would come below the available area's bottom minus 20.
    static QRect dropDownGeometry(const QRect& controlOnScreen, int lines, int itemHeight,
                                  const QRect& available);
    // The control's height for its font.
    int heightForFont() const;

    // The button's 13 x 13 glyph: two rows of dots over a downward triangle.
    static QImage buttonGlyph();

    QLineEdit* textField() const { return txtChecked_; }
    QAbstractButton* button() const;
    QWidget* dropDownWindow() const;
    QListWidget* checkList() const { return lvChecked_; }
    QAction* selectAllAction() const { return actSelectAll_; }
    QAction* deSelectAllAction() const { return actDeSelectAll_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void changed();    // after every tick, untick, select all or deselect all
    void entered();    // the text field gained the focus
    void exited();     // the text field lost the focus
    void clicked();    // the button opens the list
    void closedUp();   // the list closed

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CheckComboButton;
    friend class CheckComboDropDown;

    void buttonClicked();
    void dropDownClosed();
    void itemChanged(QListWidgetItem* item);
    void rebuildList();
    static QListWidgetItem* newListItem(const QString& text);
    void syncTicks();
    void refreshText();
    void layoutParts();
    void applyHeight();
    void applyFieldColor(const QColor& color);
    void showListMenu(const QPoint& pos);

    params::CheckedItems items_;
    QString capSelectAll_;
    QString capDeSelectAll_;
    QColor notFocusColor_ = Qt::white;
    QuoteStyle quoteStyle_ = QuoteStyle::qsNone;
    int columns_ = 0;
    int dropDownLines_ = params::MinDropDownLines;
    QString emptyValue_;
    bool sortDisplay_ = false;
    bool ctl3D_ = true;
    bool syncing_ = false;
    bool entered_ = false;  // the field is its window's focus widget

    QLineEdit* txtChecked_ = nullptr;
    CheckComboButton* btnDropDown_ = nullptr;
    CheckComboDropDown* dropDown_ = nullptr;
    QListWidget* lvChecked_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* actSelectAll_ = nullptr;
    QAction* actDeSelectAll_ = nullptr;
};

}  // namespace vnk::ui
