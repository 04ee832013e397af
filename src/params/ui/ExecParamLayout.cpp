#include "ExecParamLayout.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace vnk::ui {

using namespace execparam;

void ExecParamAccumulators::growField(int width) {
    fieldWidth = std::max(fieldWidth, width);
}

void ExecParamAccumulators::growOperator(int width) {
    operatorWidth = std::max(operatorWidth, width);
}

void ExecParamAccumulators::growList(int width) {
    listWidth = std::max(listWidth, width);
}

void ExecParamAccumulators::growEditor(int width) {
    editorWidth = std::max(editorWidth, width);
}

void ExecParamAccumulators::advanceRow(params::EditorKind editor) {
    rowTop += RowStep;
    if (editor == params::EditorKind::MultiLine)
        rowTop += MultiLineExtra;
}

ExecParamGeometry ComputeExecParamGeometry(const ExecParamAccumulators& acc, int screenWidth) {
    ExecParamGeometry g;
    g.fieldWidth = std::min(acc.fieldWidth, FieldCap);
    g.operatorWidth = std::min(acc.operatorWidth, OperatorCap);
    g.listWidth = std::min(acc.listWidth, ListCap);
    g.valueWidth = std::max(g.listWidth, acc.editorWidth);
    g.operatorLeft = g.fieldWidth + 30;
    g.valueLeft = g.fieldWidth + g.operatorWidth + 45;
    g.timeLeft = g.valueLeft + TimePickerOffset;
    // The screen test takes the list width, the size the value width.
    g.windowWidth = screenWidth > g.valueLeft + g.listWidth + 25 ? g.valueLeft + g.valueWidth + 30
                                                                  : screenWidth;
    g.windowHeight = acc.rowTop + 75 > MaxWindowHeight ? MaxWindowHeight : acc.rowTop + 80;
    return g;
}

int HalfWidthChange(int change) {
    // change / 2 is exact or a half; a half goes to the even neighbour.
    const int truncated = change / 2;  // toward zero
    if (change % 2 == 0)
        return truncated;
    return truncated % 2 == 0 ? truncated : truncated + (change > 0 ? 1 : -1);
}

int TextWidth(const QFontMetrics& metrics, const QString& text) {
    int width = 0;
    for (const QString& line : text.split(u'\n'))
        width = std::max(width, metrics.horizontalAdvance(line));
    return width;
}

int ItemColumnWidth(const QFontMetrics& metrics, const QString& item) {
    return TextWidth(metrics, item) + ItemMargin;
}

int FieldLabelWidth(const QFontMetrics& boldMetrics, const QString& text) {
    return std::min(TextWidth(boldMetrics, text), FieldCap);
}

int OperatorLabelWidth(const QFontMetrics& boldMetrics, const QString& text) {
    return std::min(TextWidth(boldMetrics, text), OperatorCap);
}

int EditorColumnWidth(params::EditorKind editor) {
    switch (editor) {
    case params::EditorKind::SingleLine:
    case params::EditorKind::Password:
    case params::EditorKind::MultiLine:
        return EditWidth;
    case params::EditorKind::DatePicker:
    case params::EditorKind::TimePicker:
        return PickerWidth;
    case params::EditorKind::DateAndTime:
        return PickerWidth + TimePickerOffset;  // 181
    case params::EditorKind::DropDown:
    case params::EditorKind::MultiChoice:
        return 0;
    }
    return 0;
}

}  // namespace vnk::ui
