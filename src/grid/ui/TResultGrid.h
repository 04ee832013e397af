#pragma once

#include <QTableView>

namespace vnk::db {
class ResultSet;
}

namespace vnk::ui {

class ResultModel;
namespace detail {
class TitleHeader;
class IndicatorHeader;
}  // namespace detail

// The result grid (dbgResult): a read-only view of the held result with a row indicator,
// the row counter, sorting by title click and column fitting. The current cell opens a
// read-only editor (double-click, a click on the current cell, or F2) so its text can be
// selected; Ctrl+C copies the current cell's text.
class TResultGrid final : public QTableView {
    Q_OBJECT

public:
    explicit TResultGrid(QWidget* parent = nullptr);
    ~TResultGrid() override;

    // Shows a result (not owned; nullptr empties the grid). Must be called with nullptr,
    // or clear(), before the result is destroyed. The first record becomes current.
    void setResult(db::ResultSet* result);
    void clear();
    db::ResultSet* result() const;

    // Fits every column, left to right, to max(widest text on the shown rows, title) + 4.
    void fnAutofitColumnWidth();
    // Fits one column the same way (a title double-click does this).
    void fitColumn(int col);

    // The column whose title was last made bold (starts at 0, kept across results), and
    // the column whose title is bold now (-1: none, as after a new result).
    int sortMarkerColumn() const { return sortMarker_; }
    int boldTitleColumn() const;

    // The sort that a title click on a field sets, given the sort in force: DESC when the
    // sort text begins with the field name (case-sensitive) and holds no " DESC", else ASC.
    static QString nextSortSpec(const QString& currentSort, const QString& fieldName);

    // The text for status panel 1 now: "Row n of ResultRowCount", or empty when the grid
    // holds no open result with records.
    QString rowCounterText() const;

Q_SIGNALS:
    // After a key release, a click or a wheel step, when the result holds records.
    void rowCounterChanged(const QString& text);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyboardSearch(const QString& search) override;

private:
    friend class detail::TitleHeader;
    friend class detail::IndicatorHeader;

    void updateRowCounter();
    // The two grid events that the flags below tell apart.
    void titleClick(int col);
    void doubleClick(bool onTitleRow, int col);
    void sortByTitle(int col);

    ResultModel* model_;
    detail::TitleHeader* titles_;
    detail::IndicatorHeader* indicator_;
    int sortMarker_ = 0;
    bool titleClicked_ = false;
    bool doubleClicked_ = false;
    int wheelRemainder_ = 0;  // wheel angle not yet amounting to a whole step
};

}  // namespace vnk::ui
