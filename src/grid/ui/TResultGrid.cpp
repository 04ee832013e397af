#include "TResultGrid.h"

#include "ResultModel.h"
#include "db/DbError.h"
#include "db/ResultSet.h"
#include "share/AppState.h"
#include "share/Error.h"
#include "share/ErrorReport.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QWheelEvent>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cstdlib>
#include <exception>

namespace vnk::ui {

namespace {

const QColor kTitleGrey(230, 230, 230);
const QColor kLightEdge(255, 255, 255);
const QColor kDarkEdge(160, 160, 160);
// Cell and title text start this far from the cell's left edge; a fitted column is its
// text plus this margin on both sides.
constexpr int kTextMargin = 2;
constexpr int kFitMargin = 4;
constexpr int kIndicatorWidth = 12;

// The raised grey face of a title or indicator cell.
void paintTitleFace(QPainter* p, const QRect& r) {
    p->fillRect(r, kTitleGrey);
    p->setPen(kLightEdge);
    p->drawLine(r.topLeft(), r.topRight());
    p->drawLine(r.topLeft(), r.bottomLeft());
    p->setPen(kDarkEdge);
    p->drawLine(r.bottomLeft(), r.bottomRight());
    p->drawLine(r.topRight(), r.bottomRight());
}

// Draws each cell as the grid's own text in its font, clipped rather than elided, so
// that a fitted column shows its whole text. The editor is a read-only line edit.
class CellDelegate final : public QStyledItemDelegate {
public:
    CellDelegate(const ResultModel* model, QObject* parent)
        : QStyledItemDelegate(parent), model_(model) {}

    void paint(QPainter* p, const QStyleOptionViewItem& opt,
               const QModelIndex& index) const override {
        const bool selected = opt.state & QStyle::State_Selected;
        const QPalette::ColorGroup group =
            (opt.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
        p->save();
        p->setClipRect(opt.rect);
        p->fillRect(opt.rect, opt.palette.brush(group, selected ? QPalette::Highlight
                                                                : QPalette::Base));
        p->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText
                                                    : QPalette::Text));
        p->setFont(opt.font);
        QString text = model_->cellText(index.row(), index.column());
        // A long value is laid out only as far as the cell could show it.
        const qsizetype room = static_cast<qsizetype>(opt.rect.width()) + 64;
        if (text.size() > room)
            text.truncate(room);
        const QRect textRect = opt.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
        p->drawText(textRect, int(model_->alignment(index.column()) | Qt::AlignVCenter) |
                                  Qt::TextSingleLine,
                    text);
        if (opt.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(opt);
            focus.rect = opt.rect.adjusted(0, 0, -1, -1);
            focus.backgroundColor = opt.palette.color(group, selected ? QPalette::Highlight
                                                                      : QPalette::Base);
            const QWidget* w = opt.widget;
            (w ? w->style() : QApplication::style())
                ->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, p, w);
        }
        p->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& opt,
                          const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        editor->setReadOnly(true);
        editor->setFrame(false);
        editor->setFont(opt.font);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(model_->cellText(index.row(), index.column()));
            line->selectAll();
        }
    }

    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {
        // Read-only: nothing goes back.
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& opt,
                              const QModelIndex&) const override {
        editor->setGeometry(opt.rect.adjusted(0, 0, -1, -1));
    }

private:
    const ResultModel* model_;
};

}  // namespace

namespace detail {

// The title row. Clicks, drags and double-clicks are told apart here and handed to the
// grid; Qt's own section click and resize-to-contents are not used.
class TitleHeader final : public QHeaderView {
public:
    explicit TitleHeader(TResultGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid) {
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionsMovable(false);
        setStretchLastSection(false);
        setSectionResizeMode(QHeaderView::Interactive);
        setMinimumSectionSize(kFitMargin);
        setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }

    int bold() const { return bold_; }
    void setBold(int section) {
        if (bold_ == section)
            return;
        bold_ = section;
        viewport()->update();
    }

    QSize sizeHint() const override {
        return {length(), fontMetrics().height() + 6};
    }

protected:
    void paintSection(QPainter* p, const QRect& rect, int logical) const override {
        p->save();
        p->setClipRect(rect);
        paintTitleFace(p, rect);
        QFont f = font();
        f.setBold(logical == bold_);
        p->setFont(f);
        p->setPen(Qt::black);
        const QString title = model() ? model()->headerData(logical, Qt::Horizontal).toString()
                                      : QString();
        p->drawText(rect.adjusted(kTextMargin, 0, -kTextMargin, 0),
                    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
        p->restore();
    }

    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            const int x = e->position().toPoint().x();
            // A press on a title border drags the border; its release is no title click.
            pressDrag_ = handleAt(x) >= 0;
            pressSection_ = logicalIndexAt(x);
        }
        QHeaderView::mousePressEvent(e);
    }

    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton)
            return;
        const int x = e->position().toPoint().x();
        const int handle = handleAt(x);
        const int col = handle >= 0 ? handle : logicalIndexAt(x);
        // The second press of a double-click starts no drag; its release is a title click.
        afterDoubleClick_ = true;
        pressDrag_ = false;
        pressSection_ = logicalIndexAt(x);
        // A double-click arrives as two double-click events, which the flags rely on.
        grid_->doubleClick(true, col);
        grid_->doubleClick(true, col);
    }

    void mouseReleaseEvent(QMouseEvent* e) override {
        QHeaderView::mouseReleaseEvent(e);
        if (e->button() != Qt::LeftButton)
            return;
        const QPoint pos = e->position().toPoint();
        const int section = logicalIndexAt(pos.x());
        // The release that ends a double-click counts anywhere on the title row, also
        // where the fitted column no longer reaches; it only clears the flags then.
        const bool click = afterDoubleClick_
                               ? rect().contains(pos)
                               : !pressDrag_ && section >= 0 && section == pressSection_;
        afterDoubleClick_ = false;
        pressDrag_ = false;
        pressSection_ = -1;
        if (click)
            grid_->titleClick(section);
        grid_->updateRowCounter();
    }

private:
    // The section whose right border lies under x, or -1.
    int handleAt(int x) const {
        const int visual = visualIndexAt(x);
        if (visual < 0)
            return -1;
        const int logical = logicalIndex(visual);
        const int start = sectionViewportPosition(logical);
        const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
        if (x > start + sectionSize(logical) - grip)
            return logical;
        if (x < start + grip) {
            for (int v = visual - 1; v >= 0; --v) {
                const int left = logicalIndex(v);
                if (!isSectionHidden(left))
                    return left;
            }
        }
        return -1;
    }

    TResultGrid* grid_;
    int bold_ = -1;
    int pressSection_ = -1;
    bool pressDrag_ = false;
    bool afterDoubleClick_ = false;
};

// The row indicator column: grey cells, a black arrow at the current row.
class IndicatorHeader final : public QHeaderView {
public:
    explicit IndicatorHeader(TResultGrid* grid)
        : QHeaderView(Qt::Vertical, grid), grid_(grid) {
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Fixed);
    }

    void setCurrentRow(int row) {
        if (row == current_)
            return;
        current_ = row;
        viewport()->update();
    }

    QSize sizeHint() const override { return {kIndicatorWidth, 0}; }

protected:
    void paintSection(QPainter* p, const QRect& rect, int logical) const override {
        p->save();
        paintTitleFace(p, rect);
        if (logical == current_) {
            const int h = std::max(2, std::min(rect.height(), rect.width()) / 3);
            const QPointF c(rect.center().x() + 1.0, rect.center().y() + 0.5);
            QPainterPath arrow;
            arrow.moveTo(c.x() - h / 2.0, c.y() - h);
            arrow.lineTo(c.x() + h / 2.0, c.y());
            arrow.lineTo(c.x() - h / 2.0, c.y() + h);
            arrow.closeSubpath();
            p->setRenderHint(QPainter::Antialiasing);
            p->fillPath(arrow, Qt::black);
        }
        p->restore();
    }

    void mouseReleaseEvent(QMouseEvent* e) override {
        QHeaderView::mouseReleaseEvent(e);
        if (e->button() != Qt::LeftButton)
            return;
        const int row = logicalIndexAt(e->position().toPoint().y());
        if (row >= 0 && grid_->model()) {
            const int col = std::max(0, grid_->currentIndex().column());
            grid_->setCurrentIndex(grid_->model()->index(row, col));
        }
        grid_->updateRowCounter();
    }

    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton)
            return;
        grid_->doubleClick(false, -1);
        grid_->doubleClick(false, -1);
    }

private:
    TResultGrid* grid_;
    int current_ = -1;
};

}  // namespace detail

TResultGrid::TResultGrid(QWidget* parent) : QTableView(parent), model_(new ResultModel(this)) {
    setObjectName(QStringLiteral("dbgResult"));
    setAccessibleName(QStringLiteral("Result"));
    QFont gridFont(QStringLiteral("MS Sans Serif"));
    gridFont.setPointSize(8);
    setFont(gridFont);

    QPalette cells = palette();
    cells.setColor(QPalette::Base, Qt::white);
    cells.setColor(QPalette::Text, Qt::black);
    setPalette(cells);

    titles_ = new detail::TitleHeader(this);
    indicator_ = new detail::IndicatorHeader(this);
    for (QHeaderView* h : {static_cast<QHeaderView*>(titles_),
                           static_cast<QHeaderView*>(indicator_)}) {
        QPalette grey = h->palette();
        grey.setColor(QPalette::Button, kTitleGrey);
        grey.setColor(QPalette::Window, kTitleGrey);
        grey.setColor(QPalette::ButtonText, Qt::black);
        h->setPalette(grey);
        h->setAutoFillBackground(true);
    }
    setHorizontalHeader(titles_);
    setVerticalHeader(indicator_);
    const int rowHeight = QFontMetrics(gridFont).height() + 4;
    indicator_->setMinimumSectionSize(1);
    indicator_->setDefaultSectionSize(rowHeight);

    setModel(model_);
    setItemDelegate(new CellDelegate(model_, this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setShowGrid(true);
    setSortingEnabled(false);
}

TResultGrid::~TResultGrid() = default;

void TResultGrid::setResult(db::ResultSet* result) {
    // New columns: no title is bold, the remembered marker index stays.
    titles_->setBold(-1);
    indicator_->setCurrentRow(-1);
    wheelRemainder_ = 0;
    model_->setResult(result);
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    if (result && model_->rowCount() > 0 && model_->columnCount() > 0) {
        const auto row = static_cast<int>(std::clamp<std::int64_t>(
            result->recNo() - 1, 0, model_->rowCount() - 1));
        selectionModel()->setCurrentIndex(model_->index(row, 0),
                                          QItemSelectionModel::ClearAndSelect);
    }
}

void TResultGrid::clear() {
    setResult(nullptr);
}

db::ResultSet* TResultGrid::result() const {
    return model_->result();
}

int TResultGrid::boldTitleColumn() const {
    return titles_->bold();
}

QString TResultGrid::nextSortSpec(const QString& currentSort, const QString& fieldName) {
    if (currentSort.startsWith(fieldName, Qt::CaseSensitive) &&
        !currentSort.contains(QStringLiteral(" DESC"), Qt::CaseSensitive))
        return fieldName + QStringLiteral(" DESC");
    return fieldName + QStringLiteral(" ASC");
}

QString TResultGrid::rowCounterText() const {
    const db::ResultSet* rs = model_->result();
    if (!rs || rs->recordCount() < 1)
        return {};
    return QStringLiteral("Row ") + QString::number(rs->recNo()) + QStringLiteral(" of ") +
           QString::number(appState().ResultRowCount);
}

void TResultGrid::updateRowCounter() {
    const QString text = rowCounterText();
    if (!text.isEmpty())
        Q_EMIT rowCounterChanged(text);
}

void TResultGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (db::ResultSet* rs = model_->result(); rs && current.isValid())
        rs->moveTo(current.row() + 1);
    indicator_->setCurrentRow(current.isValid() ? current.row() : -1);
}

// ---- title clicks and double-clicks

void TResultGrid::titleClick(int col) {
    titleClicked_ = true;
    if (doubleClicked_) {
        // The release that ends a double-click, or the first title click after a
        // double-click elsewhere: no sorting.
        doubleClicked_ = false;
        return;
    }
    sortByTitle(col);
}

void TResultGrid::doubleClick(bool onTitleRow, int col) {
    doubleClicked_ = true;
    if (titleClicked_) {
        titleClicked_ = false;
        return;
    }
    if (onTitleRow && col >= 0)
        fitColumn(col);
}

void TResultGrid::sortByTitle(int col) {
    db::ResultSet* rs = model_->result();
    if (!rs || col < 0 || col >= rs->fieldCount())
        return;
    titles_->setBold(col);
    sortMarker_ = col;
    const QString sortText = nextSortSpec(rs->sort(), rs->field(col).name);
    try {
        rs->setSort(sortText);
    } catch (const std::exception&) {
        ReportError(errorText());
        return;
    }
    model_->rowsReordered();
    // The sort makes the first record current.
    if (model_->rowCount() > 0) {
        const int column = std::max(0, currentIndex().column());
        const QModelIndex first = model_->index(
            static_cast<int>(std::clamp<std::int64_t>(rs->recNo() - 1, 0,
                                                      model_->rowCount() - 1)),
            column);
        selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect);
        scrollTo(first);
    }
}

// ---- column fitting

void TResultGrid::fitColumn(int col) {
    if (col < 0 || col >= model_->columnCount())
        return;
    // Bring the layout up to date, as the repaint before measuring does.
    executeDelayedItemsLayout();
    const QFontMetrics fm(font());
    int widest = -1;
    const QRect area = viewport()->rect();
    const int x = columnViewportPosition(col);
    // Only the cells the grid shows are measured: the rows in view, and nothing at all
    // for a column out of view.
    if (!isColumnHidden(col) && x < area.width() && x + columnWidth(col) > 0) {
        const int top = rowAt(0);
        if (top >= 0) {
            int bottom = rowAt(area.height() - 1);
            if (bottom < 0)
                bottom = model_->rowCount() - 1;
            for (int row = top; row <= bottom; ++row) {
                if (isRowHidden(row))
                    continue;
                widest = std::max(widest, fm.horizontalAdvance(model_->cellText(row, col)));
            }
        }
    }
    const int title =
        fm.horizontalAdvance(model_->headerData(col, Qt::Horizontal).toString());
    setColumnWidth(col, std::max(widest, title) + kFitMargin);
}

void TResultGrid::fnAutofitColumnWidth() {
    if (horizontalHeader()->isHidden())
        return;
    for (int col = 0; col < model_->columnCount(); ++col)
        fitColumn(col);
}

// ---- events

void TResultGrid::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        const QModelIndex cur = currentIndex();
        if (cur.isValid())
            QApplication::clipboard()->setText(model_->cellText(cur.row(), cur.column()));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TResultGrid::keyReleaseEvent(QKeyEvent* event) {
    QTableView::keyReleaseEvent(event);
    updateRowCounter();
}

void TResultGrid::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    updateRowCounter();
}

void TResultGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        // Not on the title row: only the flags change. Reported twice, as the grid does.
        doubleClick(false, -1);
        doubleClick(false, -1);
    }
    QTableView::mouseDoubleClickEvent(event);
}

void TResultGrid::wheelEvent(QWheelEvent* event) {
    // A vertical wheel step moves the current record, one record a notch, and the view
    // follows it; the counter then names the record the step made current. Horizontal
    // wheels (and Alt with the wheel) only scroll.
    const QPoint delta = event->angleDelta();
    const int rows = model_->rowCount();
    if (delta.y() == 0 || std::abs(delta.x()) > std::abs(delta.y()) ||
        (event->modifiers() & Qt::AltModifier) || rows < 1) {
        QTableView::wheelEvent(event);
        updateRowCounter();
        return;
    }
    // Fine-grained wheels and touchpads send parts of a notch; they add up to steps.
    wheelRemainder_ += delta.y();
    const int steps = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRemainder_ -= steps * QWheelEvent::DefaultDeltasPerStep;
    event->accept();
    if (steps != 0) {
        const QModelIndex cur = currentIndex();
        const int from = cur.isValid() ? cur.row() : 0;
        const int column = cur.isValid() ? cur.column() : std::max(0, horizontalHeader()->logicalIndexAt(0));
        const int to = std::clamp(from - steps, 0, rows - 1);
        if (to != from || !cur.isValid()) {
            const QModelIndex next = model_->index(to, column);
            selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
            scrollTo(next);
        }
    }
    updateRowCounter();
}

void TResultGrid::keyboardSearch(const QString&) {
    // Typing does not search: on a large result it would read every row.
}

}  // namespace vnk::ui
