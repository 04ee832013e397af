#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace vnk::params {

// How CheckedValue writes the ticked values.
enum class TCHBQuoteStyle {
    qsNone,    // a,b
    qsSingle,  // 'a','b'
    qsDouble,  // "a","b"
};

// The default texts of the multiple-choice drop-down, translatable.
QString DefaultCapSelectAll();    // "&Select All"
QString DefaultCapDeSelectAll();  // "&DeSelect All"
QString DefaultEmptyValue();      // "<none>"
QString NoRoomMessage();          // "There is no room for Selected"

// The bookkeeping of the multiple-choice drop-down, without widgets: the offered items, which
// of them are ticked and in what order.
//
// The values are derived from the ticked items, in the order they were ticked, each text
// once. An item text therefore stays among the values while any item with that text is
// ticked, and a text holding a comma stays one value; checkedText() is the values joined by
// "," for display.
class CheckedItems {
public:
    // checkedText() never grows beyond this many characters through a tick.
    static constexpr qsizetype MaxTextLength = 65535;

    enum class TickResult {
        Ticked,  // the item is ticked (or already was)
        NoRoom,  // refused: its text would push checkedText() past MaxTextLength
    };

    // Changing the items in any way clears every tick.
    const QStringList& items() const { return items_; }
    void setItems(const QStringList& items);
    // Returns where the item went (the end, or its place when sorted).
    int addItem(const QString& item);
    // Empties the items and the ticks.
    void clear();

    // Keeps the items in case-insensitive order (equal texts keep their order); switching it
    // on sorts them, which clears the ticks.
    bool sorted() const { return sorted_; }
    void setSorted(bool sorted);

    int count() const { return static_cast<int>(items_.size()); }
    bool isTicked(int index) const;
    bool anyTicked() const { return !order_.empty(); }
    // Out-of-range indexes are ignored.
    TickResult tick(int index);
    void untick(int index);
    TickResult setTicked(int index, bool ticked);

    // Ticks every item; the tick order becomes the item order.
    void selectAll();
    void deselectAll();

    // The ticked texts in tick order, each once, unquoted.
    QStringList checkedValues() const;
    // checkedValues() joined by ","; empty when nothing is ticked.
    QString checkedText() const;
    // The values quoted one by one with the style's quote character, a quote inside a value
    // doubled, joined by ",": ticking a, then b gives a,b / 'a','b' / "a","b". Empty when
    // nothing is ticked, for every style.
    QString checkedValue(TCHBQuoteStyle style) const;
    // What the text field shows: emptyValue when nothing is ticked; otherwise the values in
    // tick order, or with sortDisplay in item order. Never quoted.
    QString displayText(const QString& emptyValue, bool sortDisplay) const;

private:
    void resetTicks();
    void sortItems();

    QStringList items_;
    std::vector<bool> ticked_;
    std::vector<int> order_;  // ticked item indexes, first ticked first
    bool sorted_ = false;
};

// The height of the drop-down list in items when it opens: with more than one column, the
// items divided among the columns plus one; then held within 6 to 10.
int DropDownLinesFor(int itemCount, int columns, int dropDownLines);

// dropDownLines is only ever set to a value from 6 to 10.
constexpr int MinDropDownLines = 6;
constexpr int MaxDropDownLines = 10;

}  // namespace vnk::params
