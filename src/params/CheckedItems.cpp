#include "CheckedItems.h"

#include "Substitution.h"

#include <QCoreApplication>
#include <QSet>
#include <algorithm>

namespace vnk::params {

namespace {

bool lessIgnoringCase(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

}  // namespace

QString DefaultCapSelectAll() {
    return QCoreApplication::translate("TCheckedComboBox", "&Select All");
}

QString DefaultCapDeSelectAll() {
    return QCoreApplication::translate("TCheckedComboBox", "&DeSelect All");
}

QString DefaultEmptyValue() {
    return QCoreApplication::translate("TCheckedComboBox", "<none>");
}

QString NoRoomMessage() {
    return QCoreApplication::translate("TCheckedComboBox", "There is no room for Selected");
}

void CheckedItems::setItems(const QStringList& items) {
    items_ = items;
    if (sorted_)
        sortItems();
    resetTicks();
}

int CheckedItems::addItem(const QString& item) {
    qsizetype at = items_.size();
    if (sorted_)
        at = std::upper_bound(items_.begin(), items_.end(), item, lessIgnoringCase) -
             items_.begin();
    items_.insert(at, item);
    resetTicks();
    return static_cast<int>(at);
}

void CheckedItems::clear() {
    items_.clear();
    resetTicks();
}

void CheckedItems::setSorted(bool sorted) {
    if (sorted == sorted_)
        return;
    sorted_ = sorted;
    if (sorted_) {
        sortItems();
        resetTicks();
    }
}

void CheckedItems::sortItems() {
    std::stable_sort(items_.begin(), items_.end(), lessIgnoringCase);
}

void CheckedItems::resetTicks() {
    ticked_.assign(static_cast<std::size_t>(items_.size()), false);
    order_.clear();
}

bool CheckedItems::isTicked(int index) const {
    return index >= 0 && index < count() && ticked_[static_cast<std::size_t>(index)];
}

CheckedItems::TickResult CheckedItems::tick(int index) {
    if (index < 0 || index >= count() || isTicked(index))
        return TickResult::Ticked;
    const QString& value = items_.at(index);
    // A text that is already among the values adds nothing, so it always has room.
    const bool present = std::any_of(order_.begin(), order_.end(),
                                     [&](int i) { return items_.at(i) == value; });
    if (!present && checkedText().size() + value.size() + 1 > MaxTextLength)
        return TickResult::NoRoom;
    ticked_[static_cast<std::size_t>(index)] = true;
    order_.push_back(index);
    return TickResult::Ticked;
}

void CheckedItems::untick(int index) {
    if (!isTicked(index))
        return;
    ticked_[static_cast<std::size_t>(index)] = false;
    order_.erase(std::find(order_.begin(), order_.end(), index));
}

CheckedItems::TickResult CheckedItems::setTicked(int index, bool ticked) {
    if (ticked)
        return tick(index);
    untick(index);
    return TickResult::Ticked;
}

void CheckedItems::selectAll() {
    ticked_.assign(static_cast<std::size_t>(items_.size()), true);
    order_.resize(static_cast<std::size_t>(items_.size()));
    for (int i = 0; i < count(); ++i)
        order_[static_cast<std::size_t>(i)] = i;
}

void CheckedItems::deselectAll() {
    resetTicks();
}

QStringList CheckedItems::checkedValues() const {
    QStringList out;
    QSet<QString> seen;
    for (const int i : order_) {
        const QString& value = items_.at(i);
        if (!seen.contains(value)) {
            seen.insert(value);
            out.append(value);
        }
    }
    return out;
}

QString CheckedItems::checkedText() const {
    return checkedValues().join(u',');
}

QString CheckedItems::checkedValue(TCHBQuoteStyle style) const {
    const QStringList values = checkedValues();
    if (style == TCHBQuoteStyle::qsNone)
        return values.join(u',');
    QStringList quoted;
    quoted.reserve(values.size());
    for (const QString& v : values)
        quoted.append(style == TCHBQuoteStyle::qsSingle ? QuoteSql(v) : Enclosed(v, u'"'));
    return quoted.join(u',');
}

QString CheckedItems::displayText(const QString& emptyValue, bool sortDisplay) const {
    if (order_.empty())
        return emptyValue;
    if (!sortDisplay)
        return checkedText();
    QStringList out;
    QSet<QString> seen;
    for (int i = 0; i < count(); ++i) {
        const QString& value = items_.at(i);
        if (ticked_[static_cast<std::size_t>(i)] && !seen.contains(value)) {
            seen.insert(value);
            out.append(value);
        }
    }
    return out.join(u',');
}

int DropDownLinesFor(int itemCount, int columns, int dropDownLines) {
    int lines = dropDownLines;
    if (columns > 1)
        lines = itemCount / columns + 1;
    return std::clamp(lines, MinDropDownLines, MaxDropDownLines);
}

}  // namespace vnk::params
