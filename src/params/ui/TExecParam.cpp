#include "TExecParam.h"

#include "TCheckedComboBox.h"
#include "app/ui/Prompter.h"
#include "app/ui/TQueryExport.h"
#include "db/DataModule.h"
#include "db/DbError.h"
#include "db/ValueFormat.h"
#include "db/ValueText.h"
#include "params/NumericCheck.h"
#include "params/ParameterScan.h"
#include "share/AppState.h"
#include "share/Error.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>

namespace vnk::ui {

using namespace execparam;
using params::EditorKind;
using params::PartMode;

namespace {

const QColor kBackground(230, 230, 230);
const QColor kCaption(0, 0, 128);

void paintBackground(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, kBackground);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// The user's long time format as a picker can show it (no time-zone part).
QString pickerTimeFormat() {
    const QString& format = db::UserFormats::system().longTime;
    return format.isEmpty() ? QStringLiteral("HH:mm:ss") : format;
}

// A list item as the statement's value: numbers with "." whatever the locale and dates in
// ISO form, since the chosen item is written into SQL; other values as the grid shows them.
QString listItemText(const db::ResultSet& result, std::int64_t row) {
    const QVariant v = result.value(row, 0);
    if (v.isNull())
        return {};
    const db::FieldKind kind = result.field(0).kind;
    switch (v.typeId()) {
    case QMetaType::Double: {
        std::string text;
        if (kind == db::FieldKind::Currency)
            db::appendCurrency(text, v.toDouble(), ".");
        else
            db::appendFloat(text, v.toDouble(), ".");
        return QString::fromStdString(text);
    }
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
        return QString::fromStdString(db::isoText(result.dateTimeAt(row, 0), kind));
    default:
        return result.displayText(row, 0);
    }
}

QString numbered(const char* name, int number) {
    return QString::fromLatin1(name) + QString::number(number);
}

}  // namespace

QWidget* TExecParam::Row::field() const {
    return fieldBox ? static_cast<QWidget*>(fieldBox) : fieldLabel;
}

QWidget* TExecParam::Row::operatorControl() const {
    return operatorBox ? static_cast<QWidget*>(operatorBox) : operatorLabel;
}

TExecParam::TExecParam(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmExecParam"));
    setWindowTitle(QStringLiteral("Query Parameters"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    paintBackground(this);

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    body_ = new QWidget(this);
    body_->setObjectName(QStringLiteral("pnlBody"));
    auto* bodyBox = new QVBoxLayout(body_);
    bodyBox->setContentsMargins(0, 0, 0, 0);
    bodyBox->setSpacing(0);
    lblError_ = new QLabel(body_);
    lblError_->setObjectName(QStringLiteral("lblError"));
    lblError_->setTextFormat(Qt::PlainText);
    lblError_->setAlignment(Qt::AlignCenter);
    lblError_->setWordWrap(true);
    lblError_->setMargin(ColumnLeft);
    lblError_->hide();
    bodyBox->addWidget(lblError_);
    box->addWidget(body_, 1);

    // Measures list items in the dialog font, not bold.
    lblMeasure_ = new QLabel(this);
    lblMeasure_->setObjectName(QStringLiteral("lblMeasure"));
    lblMeasure_->hide();

    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("pnlButtons"));
    panel_->setFixedHeight(ButtonPanelHeight);
    paintBackground(panel_);
    box->addWidget(panel_);

    bnOk_ = new QPushButton(QStringLiteral("OK"), panel_);
    bnOk_->setObjectName(QStringLiteral("bnOk"));
    bnOk_->setGeometry(OkLeft, ButtonTop, ButtonWidth, ButtonHeight);
    bnOk_->setDefault(true);
    bnCancel_ = new QPushButton(QStringLiteral("Cancel"), panel_);
    bnCancel_->setObjectName(QStringLiteral("bnCancel"));
    bnCancel_->setGeometry(CancelLeft, ButtonTop, ButtonWidth, ButtonHeight);
    bnCancel_->setAutoDefault(false);
    connect(bnOk_, &QPushButton::clicked, this, &TExecParam::bnOkClick);
    connect(bnCancel_, &QPushButton::clicked, this, &TExecParam::bnCancelClick);

    setFixedSize(DesignClientWidth, DesignClientHeight);
}

TExecParam::~TExecParam() = default;

QString TExecParam::InvalidParameterText() {
    return QStringLiteral("Invalid parameter. Please click the \"Cancel\" button to continue.");
}

QString TExecParam::ListFailureText(const QString& message) {
    return message + QStringLiteral(". Please click the \"Cancel\" button to continue.");
}

QSize TExecParam::frameExtra() const {
    if (knownFrame_.isValid())
        return knownFrame_;
    // Before its first showing the window has no frame yet; the main window's is the best
    // guess of what the window system will add.
    if (const QWidget* host = parentWidget() ? parentWidget()->window() : nullptr;
        host && host->isVisible()) {
        const QSize extra = host->frameGeometry().size() - host->size();
        if (extra.width() >= 0 && extra.height() >= 0)
            return extra;
    }
    return {0, 0};
}

QSize TExecParam::outerSize() const {
    return size() + frameExtra();
}

bool TExecParam::ask(params::ParameterList& parameters) {
    fnBuildRows(parameters);
    exec();
    const bool confirmed = result() == QDialog::Accepted && !appState().CancelFlag;
    if (confirmed)
        fnReadValues(parameters);
    parameters_ = nullptr;
    releaseRows();
    return confirmed;
}

void TExecParam::releaseRows() {
    rows_.clear();
    firstFocus_ = nullptr;
    if (rowsArea_) {
        delete rowsArea_;
        rowsWidget_ = nullptr;
    }
}

void TExecParam::startShowing() {
    bnOk_->setEnabled(true);
    appState().CancelFlag = true;
    acc_ = {};
    geometry_ = {};
    errorShown_ = false;
    releaseRows();

    lblError_->hide();
    lblError_->clear();
    rowsArea_ = new QScrollArea(body_);
    rowsArea_->setObjectName(QStringLiteral("sbRows"));
    rowsArea_->setFrameShape(QFrame::NoFrame);
    rowsArea_->setFocusPolicy(Qt::NoFocus);
    rowsArea_->setWidgetResizable(false);
    paintBackground(rowsArea_->viewport());
    rowsWidget_ = new QWidget;
    rowsWidget_->setObjectName(QStringLiteral("pnlRows"));
    paintBackground(rowsWidget_);
    rowsArea_->setWidget(rowsWidget_);
    static_cast<QVBoxLayout*>(body_->layout())->insertWidget(0, rowsArea_);

    const QScreen* s = screen();
    screenWidth_ = s ? s->geometry().width() : 0;
}

bool TExecParam::fnBuildRows(params::ParameterList& parameters) {
    parameters_ = &parameters;
    const int oldWidth = outerSize().width();
    const int oldLeft = pos().x();
    okLeft_ = bnOk_->x();
    cancelLeft_ = bnCancel_->x();
    startShowing();

    bool built = true;
    int number = 1;
    for (params::QueryParameter& record : parameters) {
        if (!buildRow(number++, record)) {
            built = false;
            break;
        }
    }

    if (built) {
        applyLayout();
        placeWindow(oldWidth, oldLeft);
        // Top to bottom, left to right, then the buttons.
        QWidget* previous = nullptr;
        auto chain = [&previous](QWidget* w) {
            if (!w || w->focusPolicy() == Qt::NoFocus)
                return;
            if (previous)
                QWidget::setTabOrder(previous, w);
            previous = w;
        };
        for (const Row& row : rows_) {
            chain(row.fieldBox);
            chain(row.operatorBox);
            chain(row.editor);
            chain(row.timeEditor);
        }
        chain(bnOk_);
        chain(bnCancel_);
    }

    if (!placed_) {
        // Centred over the main window the first time, once the size is known.
        const QSize outer = outerSize();
        QRect host;
        if (const QWidget* w = parentWidget() ? parentWidget()->window() : nullptr)
            host = w->frameGeometry();
        else if (const QScreen* s = screen())
            host = s->availableGeometry();
        int top = host.y() + (host.height() - outer.height()) / 2;
        if (const QScreen* s = screen())
            top = std::max(top, s->availableGeometry().top());
        move(host.x() + (host.width() - outer.width()) / 2, top);
        placed_ = true;
    }
    return built;
}

QLabel* TExecParam::newLabel(const QString& name, const QString& text) {
    auto* label = new QLabel(rowsWidget_);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    QFont bold = font();
    bold.setBold(true);
    label->setFont(bold);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, kCaption);
    label->setPalette(pal);
    label->setAutoFillBackground(false);  // transparent
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QComboBox* TExecParam::newChoiceBox(const QString& name, const QStringList& items) {
    auto* box = new QComboBox(rowsWidget_);
    box->setObjectName(name);
    box->setEditable(false);
    box->addItems(items);
    box->setCurrentIndex(0);
    return box;
}

bool TExecParam::buildRow(int number, params::QueryParameter& record) {
    params::ResolveNameParts(record);
    const params::ParamTypeInfo& info = params::ParamTypeInfoOf(record.Kind);
    const QFontMetrics measure = lblMeasure_->fontMetrics();
    QFont boldFont = font();
    boldFont.setBold(true);
    const QFontMetrics bold(boldFont);
    const int top = acc_.rowTop;

    Row row;
    row.type = record.Kind;
    row.fieldMode = record.FieldMode;
    row.operatorMode = record.OperatorMode;

    if (!record.Parts.isEmpty()) {
        if (record.FieldMode == PartMode::Choice) {
            row.fieldBox = newChoiceBox(numbered("cbField", number), record.FieldChoices);
            row.fieldBox->setGeometry(ColumnLeft, top, FieldCap, ControlHeight);
            for (const QString& item : record.FieldChoices)
                acc_.growField(ItemColumnWidth(measure, item));
        } else {
            row.fieldLabel = newLabel(numbered("lblField", number), record.FieldText);
            const int width = FieldLabelWidth(bold, record.FieldText);
            const int height = std::max(bold.height(), bold.size(0, record.FieldText).height());
            row.fieldLabel->setGeometry(ColumnLeft, top + LabelDrop, width, height);
            acc_.growField(width);
        }
    }
    if (record.Parts.size() >= 2) {
        // Placed beside the widest field column until the layout moves it.
        const int left = ColumnLeft + FieldCap + ColumnLeft;
        if (record.OperatorMode == PartMode::Choice) {
            row.operatorBox = newChoiceBox(numbered("cbOperator", number), record.OperatorChoices);
            row.operatorBox->setGeometry(left, top, OperatorCap, ControlHeight);
            for (const QString& item : record.OperatorChoices)
                acc_.growOperator(ItemColumnWidth(measure, item));
        } else {
            row.operatorLabel = newLabel(numbered("lblOperator", number), record.OperatorText);
            const int width = OperatorLabelWidth(bold, record.OperatorText);
            acc_.growOperator(width);
            row.operatorLabel->setGeometry(left, top + LabelDrop, OperatorCap, ControlHeight);
        }
    }
    // Kept before any check so that the error path releases every control with the area.
    rows_.push_back(row);
    Row& r = rows_.back();

    if (const std::optional<QString> failure = params::CheckNameParts(record)) {
        prompter().message(this, *failure);
        showError(InvalidParameterText());
        return false;
    }

    const bool focusHere = rows_.size() == 1;
    switch (info.editor) {
    case EditorKind::SingleLine:
    case EditorKind::Password: {
        auto* edit = new QLineEdit(rowsWidget_);
        edit->setObjectName(numbered("txtValue", number));
        if (info.editor == EditorKind::Password) {
            edit->setEchoMode(QLineEdit::Password);
            edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
        }
        edit->setGeometry(0, top, EditWidth, ControlHeight);
        r.editor = edit;
        break;
    }
    case EditorKind::MultiLine: {
        auto* memo = new QPlainTextEdit(rowsWidget_);
        memo->setObjectName(numbered("txtValue", number));
        memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setTabChangesFocus(true);
        memo->setGeometry(0, top, EditWidth, MultiLineHeight);
        r.editor = memo;
        break;
    }
    case EditorKind::DatePicker:
    case EditorKind::DateAndTime: {
        auto* date = new QDateEdit(QDate::currentDate(), rowsWidget_);
        date->setObjectName(numbered("dtpDate", number));
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setCalendarPopup(true);
        date->setGeometry(0, top, PickerWidth, ControlHeight);
        r.editor = date;
        if (info.editor == EditorKind::DatePicker)
            break;
        acc_.growEditor(PickerWidth);
        [[fallthrough]];
    }
    case EditorKind::TimePicker: {
        auto* time = new QTimeEdit(QTime(0, 0, 1), rowsWidget_);
        time->setObjectName(numbered("dtpTime", number));
        time->setDisplayFormat(pickerTimeFormat());
        time->setGeometry(0, top, PickerWidth, ControlHeight);
        if (info.editor == EditorKind::DateAndTime)
            r.timeEditor = time;
        else
            r.editor = time;
        break;
    }
    case EditorKind::DropDown: {
        auto* box = new QComboBox(rowsWidget_);
        box->setObjectName(numbered("cbValue", number));
        box->setEditable(info.selection == params::Selection::W);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setGeometry(0, top, EditWidth, ControlHeight);
        r.editor = box;
        break;
    }
    case EditorKind::MultiChoice: {
        auto* box = new TCheckedComboBox(rowsWidget_);
        box->setObjectName(numbered("chkValue", number));
        box->setQuoteStyle(info.valueKind == params::ValueKind::S ? params::TCHBQuoteStyle::qsSingle
                                                                  : params::TCHBQuoteStyle::qsNone);
        box->setGeometry(0, top, EditWidth, ControlHeight);
        r.editor = box;
        break;
    }
    }
    acc_.growEditor(EditorColumnWidth(info.editor));
    if (focusHere && info.editor != EditorKind::TimePicker)
        firstFocus_ = r.editor;

    if (info.source == params::ListSource::Fix) {
        for (const QString& item : params::SplitListItems(record.ListText))
            addListItem(r, item);
    } else if (info.source == params::ListSource::Sql) {
        if (!fillFromStatement(r, record.ListText))
            return false;
    }
    if (auto* box = qobject_cast<QComboBox*>(r.editor)) {
        // Value drop-downs start with nothing chosen.
        box->setCurrentIndex(-1);
        if (box->isEditable())
            box->clearEditText();
    }

    acc_.advanceRow(info.editor);
    return true;
}

void TExecParam::addListItem(Row& row, const QString& item) {
    if (auto* box = qobject_cast<QComboBox*>(row.editor))
        box->addItem(item);
    else if (auto* checks = qobject_cast<TCheckedComboBox*>(row.editor))
        checks->addItem(item);
    acc_.growList(ItemColumnWidth(lblMeasure_->fontMetrics(), item));
}

bool TExecParam::fillFromStatement(Row& row, const QString& statement) {
    db::Query& query = db::dm1().ADOQry1;
    // The list runs on the query the grid shows; the grid lets go of the rows when the
    // query closes.
    appState().ResultRowCount = 0;
    try {
        query.close();
        query.setSql(statement);
        query.open();
        if (auto* box = qobject_cast<QComboBox*>(row.editor))
            box->clear();
        else if (auto* checks = qobject_cast<TCheckedComboBox*>(row.editor))
            checks->Clear();
        if (const db::ResultSet* result = query.result(); result && result->fieldCount() > 0) {
            const std::int64_t count = result->recordCount();
            for (std::int64_t i = 0; i < count; ++i)
                addListItem(row, listItemText(*result, i));
        }
        query.close();
        return true;
    } catch (const std::exception&) {
        const QString message = errorText();
        prompter().message(this, message);
        query.close();
        showError(ListFailureText(message));
        return false;
    }
}

void TExecParam::showError(const QString& text) {
    errorShown_ = true;
    bnOk_->setEnabled(false);
    if (rowsArea_)
        rowsArea_->hide();
    lblError_->setText(text);
    lblError_->show();
    firstFocus_ = bnCancel_;
}

void TExecParam::applyLayout() {
    geometry_ = ComputeExecParamGeometry(acc_, screenWidth_);
    const ExecParamGeometry& g = geometry_;
    int right = 0;
    int bottom = 0;
    auto place = [&](QWidget* w, int left, int width) {
        if (!w)
            return;
        w->setGeometry(left, w->y(), width, w->height());
        right = std::max(right, w->geometry().right() + 1);
        bottom = std::max(bottom, w->geometry().bottom() + 1);
    };
    for (const Row& row : rows_) {
        place(row.field(), ColumnLeft, g.fieldWidth);
        place(row.operatorControl(), g.operatorLeft, g.operatorWidth);
        const params::EditorKind kind = params::ParamTypeInfoOf(row.type).editor;
        const bool list = kind == EditorKind::DropDown || kind == EditorKind::MultiChoice;
        place(row.editor, g.valueLeft, list ? g.listWidth : row.editor->width());
        place(row.timeEditor, g.timeLeft, PickerWidth);
    }
    rowsWidget_->resize(right, bottom);

    const QSize extra = frameExtra();
    setFixedSize(std::max(1, g.windowWidth - extra.width()),
                 std::max(1, g.windowHeight - extra.height()));
}

void TExecParam::placeWindow(int oldOuterWidth, int oldLeft) {
    const int half = HalfWidthChange(geometry_.windowWidth - oldOuterWidth);
    bnOk_->move(okLeft_ + half, ButtonTop);
    bnCancel_->move(cancelLeft_ + half, ButtonTop);
    if (placed_)
        move(oldLeft - half, pos().y());
}

void TExecParam::bnOkClick() {
    if (!parameters_ || parameters_->isEmpty()) {
        appState().CancelFlag = false;
        accept();
        return;
    }
    if (errorShown_)
        return;
    params::ParameterList entered = *parameters_;
    fnReadValues(entered);
    if (const std::optional<QString> failure = params::CheckNumericValues(entered)) {
        prompter().message(this, *failure);
        return;
    }
    appState().CancelFlag = false;
    accept();
}

void TExecParam::bnCancelClick() {
    reject();
}

void TExecParam::reject() {
    appState().CancelFlag = true;
    QDialog::reject();
}

void TExecParam::fnReadValues(params::ParameterList& parameters) const {
    const int count = std::min(parameters.size(), static_cast<int>(rows_.size()));
    for (int i = 0; i < count; ++i) {
        const Row& row = rows_.at(static_cast<std::size_t>(i));
        params::QueryParameter& p = parameters[i];
        if (row.fieldBox)
            p.FieldText = row.fieldBox->currentText();
        if (row.operatorBox)
            p.OperatorText = row.operatorBox->currentText();
        if (auto* edit = qobject_cast<QLineEdit*>(row.editor)) {
            p.EnteredText = edit->text();
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(row.editor)) {
            p.EnteredText = memo->toPlainText();
            p.EnteredLines = params::SplitEditorLines(p.EnteredText);
        } else if (auto* time = qobject_cast<QTimeEdit*>(row.editor)) {
            p.EnteredTime = time->time();
        } else if (auto* date = qobject_cast<QDateEdit*>(row.editor)) {
            p.EnteredDate = date->date();
            if (row.timeEditor)
                p.EnteredTime = row.timeEditor->time();
        } else if (auto* box = qobject_cast<QComboBox*>(row.editor)) {
            p.EnteredText = box->currentText();
        } else if (auto* checks = qobject_cast<TCheckedComboBox*>(row.editor)) {
            p.EnteredChoices = checks->checkedValues();
        }
    }
}

void TExecParam::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (firstFocus_)
        firstFocus_->setFocus(Qt::OtherFocusReason);
}

void TExecParam::hideEvent(QHideEvent* event) {
    // By now the window system has drawn the frame: the next layout takes it into account.
    const QSize extra = frameGeometry().size() - size();
    if (extra.width() > 0 || extra.height() > 0)
        knownFrame_ = extra;
    QDialog::hideEvent(event);
}

}  // namespace vnk::ui
