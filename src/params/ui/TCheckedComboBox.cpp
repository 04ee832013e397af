#include "TCheckedComboBox.h"

#include "app/ui/Prompter.h"

#include <QAbstractButton>
#include <QAction>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <algorithm>

namespace vnk::ui {

namespace {

// One border height of the 3-D control look.
constexpr int BorderHeight = 1;

// Every row of the list is exactly itemHeight() high, so the drop-down's height rule shows
// whole rows.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    RowHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    void setHeight(int height) { height_ = height; }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(height_);
        return size;
    }

private:
    int height_;
};

}  // namespace

// The button at the control's right, drawing its glyph at its own right edge.
class CheckComboButton : public QAbstractButton {
public:
    explicit CheckComboButton(QWidget* parent) : QAbstractButton(parent) {
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionButton opt;
        opt.initFrom(this);
        opt.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
        p.drawPrimitive(QStyle::PE_PanelButtonBevel, opt);
        static const QImage glyph = TCheckedComboBox::buttonGlyph();
        const int shift = isDown() ? 1 : 0;
        const int x = std::max(0, width() - TCheckedComboBox::GlyphSize - 2) + shift;
        const int y = (height() - TCheckedComboBox::GlyphSize) / 2 + shift;
        if (!isEnabled())
            p.setOpacity(0.4);
        p.drawImage(x, y, glyph);
    }
};

// The borderless drop-down window holding the check list.
class CheckComboDropDown : public QFrame {
public:
    explicit CheckComboDropDown(TCheckedComboBox* owner)
        : QFrame(owner, Qt::Popup | Qt::FramelessWindowHint), owner_(owner) {
        setObjectName(QStringLiteral("CheckComboDropDown"));
        setFrameShape(QFrame::NoFrame);
        setBackgroundRole(QPalette::Window);
        setAutoFillBackground(true);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (!rect().contains(e->position().toPoint())) {
            // A press on the button closes the list; it must not reach the button and open
            // the list again at once.
            QAbstractButton* button = owner_->button();
            const QPoint p = button->mapFromGlobal(e->globalPosition().toPoint());
            const bool strictlyInside = p.x() > 0 && p.y() > 0 && p.x() < button->width() - 1 &&
                                        p.y() < button->height() - 1;
            setAttribute(Qt::WA_NoMouseReplay, strictlyInside);
        }
        QFrame::mousePressEvent(e);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            e->accept();
            close();
            return;
        }
        QFrame::keyPressEvent(e);
    }
    void resizeEvent(QResizeEvent* e) override {
        QFrame::resizeEvent(e);
        if (QWidget* list = owner_->checkList())
            list->setGeometry(rect());
    }
    void hideEvent(QHideEvent* e) override {
        QFrame::hideEvent(e);
        owner_->dropDownClosed();
    }

private:
    TCheckedComboBox* owner_;
};

TCheckedComboBox::TCheckedComboBox(QWidget* parent)
    : QFrame(parent), capSelectAll_(params::DefaultCapSelectAll()),
      capDeSelectAll_(params::DefaultCapDeSelectAll()),
      emptyValue_(params::DefaultEmptyValue()) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);

    txtChecked_ = new QLineEdit(this);
    txtChecked_->setObjectName(QStringLiteral("txtChecked"));
    txtChecked_->setAccessibleName(QStringLiteral("Chosen values"));
    txtChecked_->setReadOnly(true);
    txtChecked_->installEventFilter(this);
    setFocusProxy(txtChecked_);

    btnDropDown_ = new CheckComboButton(this);
    btnDropDown_->setObjectName(QStringLiteral("btnDropDown"));
    btnDropDown_->setAccessibleName(QStringLiteral("Show the choices"));
    connect(btnDropDown_, &QAbstractButton::clicked, this, &TCheckedComboBox::buttonClicked);

    dropDown_ = new CheckComboDropDown(this);
    lvChecked_ = new QListWidget(dropDown_);
    lvChecked_->setObjectName(QStringLiteral("lvChecked"));
    lvChecked_->setAccessibleName(QStringLiteral("Choices"));
    lvChecked_->setFrameShape(QFrame::NoFrame);
    lvChecked_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvChecked_->setUniformItemSizes(true);
    lvChecked_->setItemDelegate(new RowHeightDelegate(itemHeight(), lvChecked_));
    lvChecked_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvChecked_, &QListWidget::itemChanged, this, &TCheckedComboBox::itemChanged);
    connect(lvChecked_, &QWidget::customContextMenuRequested, this,
            &TCheckedComboBox::showListMenu);

    menu_ = new QMenu(lvChecked_);
    menu_->setObjectName(QStringLiteral("mnuChecked"));
    actSelectAll_ = menu_->addAction(capSelectAll_);
    actSelectAll_->setObjectName(QStringLiteral("actSelectAll"));
    actDeSelectAll_ = menu_->addAction(capDeSelectAll_);
    actDeSelectAll_->setObjectName(QStringLiteral("actDeSelectAll"));
    connect(actSelectAll_, &QAction::triggered, this, &TCheckedComboBox::selectAll);
    connect(actDeSelectAll_, &QAction::triggered, this, &TCheckedComboBox::deselectAll);

    applyFieldColor(notFocusColor_);
    refreshText();
    resize(121, 24);
    applyHeight();
    layoutParts();
}

TCheckedComboBox::~TCheckedComboBox() {
    // The drop-down calls back into this control, so it goes while this is still whole.
    delete dropDown_;
}

QAbstractButton* TCheckedComboBox::button() const {
    return btnDropDown_;
}

QWidget* TCheckedComboBox::dropDownWindow() const {
    return dropDown_;
}

void TCheckedComboBox::setItems(const QStringList& items) {
    items_.setItems(items);
    rebuildList();
}

void TCheckedComboBox::addItem(const QString& item) {
    // One row at a time: the dialog adds a select's rows one by one.
    const bool hadTicks = items_.anyTicked();
    const int at = items_.addItem(item);
    syncing_ = true;
    lvChecked_->insertItem(at, newListItem(item));
    syncing_ = false;
    if (hadTicks)
        syncTicks();
    refreshText();
}

void TCheckedComboBox::Clear() {
    items_.clear();
    rebuildList();
}

void TCheckedComboBox::setSorted(bool sorted) {
    if (sorted == items_.sorted())
        return;
    items_.setSorted(sorted);
    rebuildList();
}

void TCheckedComboBox::setNotFocusColor(const QColor& color) {
    notFocusColor_ = color;
    if (!entered_)
        applyFieldColor(color);
}

void TCheckedComboBox::setColumns(int columns) {
    columns_ = columns;
}

void TCheckedComboBox::setDropDownLines(int lines) {
    if (lines >= params::MinDropDownLines && lines <= params::MaxDropDownLines)
        dropDownLines_ = lines;
}

void TCheckedComboBox::setEmptyValue(const QString& text) {
    emptyValue_ = text;
    refreshText();
    if (!txtChecked_->hasFocus() && isVisible())
        update();
}

void TCheckedComboBox::setSortDisplay(bool on) {
    sortDisplay_ = on;
    refreshText();
}

void TCheckedComboBox::setCtl3D(bool on) {
    ctl3D_ = on;
    setFrameStyle(on ? (QFrame::Panel | QFrame::Sunken) : (QFrame::Box | QFrame::Plain));
    applyHeight();
}

void TCheckedComboBox::setTicked(int index, bool ticked) {
    if (QListWidgetItem* item = lvChecked_->item(index))
        item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void TCheckedComboBox::selectAll() {
    items_.selectAll();
    syncTicks();
    refreshText();
    update();
    Q_EMIT changed();
}

void TCheckedComboBox::deselectAll() {
    items_.deselectAll();
    syncTicks();
    refreshText();
    Q_EMIT changed();
}

bool TCheckedComboBox::isDroppedDown() const {
    return dropDown_->isVisible();
}

int TCheckedComboBox::itemHeight() const {
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
    return std::max(QFontMetrics(font()).height(), indicator) + 2;
}

int TCheckedComboBox::heightForFont() const {
    return QFontMetrics(font()).height() + (ctl3D_ ? 8 : 6) * BorderHeight;
}

QRect TCheckedComboBox::dropDownGeometry(const QRect& controlOnScreen, int lines, int itemHeight,
                                         const QRect& available) {
    QRect r(controlOnScreen.left(), controlOnScreen.top() + controlOnScreen.height(),
            controlOnScreen.width(), lines * itemHeight + 4);
    if (r.top() + r.height() > available.top() + available.height() - 20)
        r.moveTop(controlOnScreen.top() - r.height());
    return r;
}

QImage TCheckedComboBox::buttonGlyph() {
    QImage glyph(GlyphSize, GlyphSize, QImage::Format_ARGB32);
    glyph.fill(Qt::transparent);
    const QRgb black = qRgba(0, 0, 0, 255);
    for (int y = 2; y <= 3; ++y)
        for (int x = 2; x <= 10; x += 2)
            glyph.setPixel(x, y, black);
    // Rows 6 to 10 are 9, 7, 5, 3 and 1 pixels wide around the middle column.
    for (int row = 0; row < 5; ++row)
        for (int x = 2 + row; x <= 10 - row; ++x)
            glyph.setPixel(x, 6 + row, black);
    return glyph;
}

void TCheckedComboBox::showDropDown() {
    Q_EMIT clicked();
    dropDownLines_ = params::DropDownLinesFor(items_.count(), columns_, dropDownLines_);

    dropDown_->setFont(font());
    const int rowHeight = itemHeight();
    static_cast<RowHeightDelegate*>(lvChecked_->itemDelegate())->setHeight(rowHeight);
    if (columns_ > 1) {
        // Columns fill top to bottom; a scroll bar only when the items overflow them, since
        // the list reserves its height whenever one may appear.
        lvChecked_->setFlow(QListView::TopToBottom);
        lvChecked_->setWrapping(true);
        lvChecked_->setResizeMode(QListView::Adjust);
        lvChecked_->setGridSize(QSize(std::max(1, width() / columns_), rowHeight));
        lvChecked_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        lvChecked_->setHorizontalScrollBarPolicy(items_.count() > dropDownLines_ * columns_
                                                     ? Qt::ScrollBarAsNeeded
                                                     : Qt::ScrollBarAlwaysOff);
    } else {
        lvChecked_->setWrapping(false);
        lvChecked_->setFlow(QListView::TopToBottom);
        lvChecked_->setGridSize(QSize());
        lvChecked_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        lvChecked_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    actSelectAll_->setText(capSelectAll_);
    actDeSelectAll_->setText(capDeSelectAll_);

    const QRect onScreen(mapToGlobal(QPoint(0, 0)), size());
    const QScreen* s = screen();
    const QRect available = s ? s->availableGeometry() : QRect(onScreen.topLeft(), QSize(0, 0));
    dropDown_->setGeometry(dropDownGeometry(onScreen, dropDownLines_, rowHeight, available));
    lvChecked_->setGeometry(QRect(QPoint(0, 0), dropDown_->size()));
    lvChecked_->doItemsLayout();
    dropDown_->show();
    if (lvChecked_->currentRow() < 0 && lvChecked_->count() > 0)
        lvChecked_->setCurrentRow(0);
    lvChecked_->setFocus(Qt::PopupFocusReason);
}

void TCheckedComboBox::closeDropDown() {
    if (dropDown_->isVisible())
        dropDown_->close();
}

void TCheckedComboBox::buttonClicked() {
    // A press on the button while the list is open only closes it: the drop-down keeps
    // that press from reaching the button (see CheckComboDropDown::mousePressEvent).
    if (isDroppedDown()) {
        closeDropDown();
        return;
    }
    showDropDown();
}

void TCheckedComboBox::dropDownClosed() {
    Q_EMIT closedUp();
}

void TCheckedComboBox::itemChanged(QListWidgetItem* item) {
    if (syncing_)
        return;
    const int index = lvChecked_->row(item);
    const bool wanted = item->checkState() == Qt::Checked;
    if (wanted == items_.isTicked(index))
        return;
    if (wanted) {
        if (items_.tick(index) == params::CheckedItems::TickResult::NoRoom) {
            // The refused item does not stay ticked: the list shows what the value holds. The
            // message takes the activation from the list, which closes it, as any window would.
            syncTicks();
            closeDropDown();
            prompter().message(this, params::NoRoomMessage());
            return;
        }
    } else {
        items_.untick(index);
    }
    refreshText();
    Q_EMIT changed();
}

void TCheckedComboBox::rebuildList() {
    syncing_ = true;
    lvChecked_->clear();
    for (const QString& text : items_.items())
        lvChecked_->addItem(newListItem(text));
    syncing_ = false;
    refreshText();
}

QListWidgetItem* TCheckedComboBox::newListItem(const QString& text) {
    auto* item = new QListWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    item->setToolTip(text);  // a text wider than the list is cut off
    return item;
}

void TCheckedComboBox::syncTicks() {
    syncing_ = true;
    for (int i = 0; i < lvChecked_->count(); ++i)
        lvChecked_->item(i)->setCheckState(items_.isTicked(i) ? Qt::Checked : Qt::Unchecked);
    syncing_ = false;
}

void TCheckedComboBox::refreshText() {
    txtChecked_->setText(items_.displayText(emptyValue_, sortDisplay_));
    txtChecked_->setCursorPosition(0);
}

void TCheckedComboBox::layoutParts() {
    const int fieldWidth = std::max(0, width() - ButtonWidth - 3);
    txtChecked_->setGeometry(0, 0, fieldWidth, height());
    btnDropDown_->setGeometry(fieldWidth + 1, 2, ButtonWidth, std::max(0, height() - 2));
}

void TCheckedComboBox::applyHeight() {
    const int h = heightForFont();
    if (minimumHeight() != h || maximumHeight() != h)
        setFixedHeight(h);
    layoutParts();
}

void TCheckedComboBox::applyFieldColor(const QColor& color) {
    QPalette pal = txtChecked_->palette();
    pal.setColor(QPalette::Base, color);
    txtChecked_->setPalette(pal);
}

void TCheckedComboBox::showListMenu(const QPoint& pos) {
    menu_->exec(lvChecked_->viewport()->mapToGlobal(pos));
}

QSize TCheckedComboBox::sizeHint() const {
    return {121, heightForFont()};
}

QSize TCheckedComboBox::minimumSizeHint() const {
    return {ButtonWidth + 3, heightForFont()};
}

void TCheckedComboBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    layoutParts();
}

void TCheckedComboBox::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        applyHeight();
}

bool TCheckedComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtChecked_) {
        switch (event->type()) {
        case QEvent::FocusIn:
            // Also after the window was shown with the field as its focus widget.
            if (!entered_) {
                entered_ = true;
                applyFieldColor(Qt::white);
                Q_EMIT entered();
            }
            break;
        case QEvent::FocusOut: {
            // The list taking the keyboard or the window losing activation leaves the field
            // the focus widget of its window.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
                break;
            if (entered_) {
                entered_ = false;
                applyFieldColor(notFocusColor_);
                Q_EMIT exited();
            }
            break;
        }
        case QEvent::KeyPress: {
            // Alt+Down and F4 open the list, as in any drop-down.
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier)) ||
                key->key() == Qt::Key_F4) {
                if (isEnabled() && !isDroppedDown())
                    showDropDown();
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace vnk::ui
