#pragma once

#include "params/ParamTypes.h"

#include <QString>

class QFontMetrics;

namespace vnk::ui {

// The sizes the "Query Parameters" dialog is laid out with, in pixels.
namespace execparam {
constexpr int RowStart = 15;          // top of the first row inside the rows area
constexpr int RowStep = 24;           // from one row's top to the next
constexpr int MultiLineExtra = 117;   // added after a multi-line edit
constexpr int LabelDrop = 2;          // labels sit this much below the row top
constexpr int ColumnLeft = 15;        // the field column's left edge
constexpr int ControlHeight = 21;     // drop-downs, edits, pickers, operator labels
constexpr int EditWidth = 500;        // edits, multi-line edits, value drop-downs at first
constexpr int MultiLineHeight = 138;
constexpr int PickerWidth = 89;
constexpr int TimePickerOffset = 92;  // of a "DT" row's time picker from the value column
constexpr int FieldCap = 300;         // widest field column
constexpr int OperatorCap = 70;       // widest operator column
constexpr int ListStart = 70;         // the list width's start
constexpr int ListCap = 500;          // widest value drop-down or multiple-choice list
constexpr int ItemMargin = 70;        // added to an item's text width
constexpr int ButtonPanelHeight = 42;
constexpr int MaxWindowHeight = 650;
// The design placement of the buttons in a window of DesignClientWidth.
constexpr int OkLeft = 232;
constexpr int CancelLeft = 368;
constexpr int ButtonTop = 9;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int DesignClientWidth = 675;  // the buttons are centred in it
constexpr int DesignClientHeight = 236;
}  // namespace execparam

// The layout accumulators of one showing; every row widens them as it is built.
struct ExecParamAccumulators {
    int rowTop = execparam::RowStart;
    int fieldWidth = 0;
    int operatorWidth = 0;
    int listWidth = execparam::ListStart;
    int editorWidth = 0;

    void growField(int width);
    void growOperator(int width);
    void growList(int width);
    void growEditor(int width);
    // After a row with this editor: one step, and the multi-line edit's extra height.
    void advanceRow(params::EditorKind editor);
};

// Where the rows go once every row is built.
struct ExecParamGeometry {
    int fieldWidth = 0;     // capped at 300: every field label or field drop-down
    int operatorWidth = 0;  // capped at 70: every operator label or drop-down
    int listWidth = 0;      // capped at 500: value drop-downs and multiple-choice lists
    int valueWidth = 0;     // the larger of the list width and the editor width
    int operatorLeft = 0;   // field width + 30
    int valueLeft = 0;      // field width + operator width + 45
    int timeLeft = 0;       // a "DT" row's time picker: value left + 92
    int windowWidth = 0;    // outer width, borders included
    int windowHeight = 0;   // outer height, title bar and button panel included
};

// The second pass's numbers. The window is value left + value width + 30 wide when the
// screen is wider than value left + list width + 25, otherwise as wide as the screen; it is
// 650 high when the row top plus 75 passes 650, otherwise the row top plus 80.
ExecParamGeometry ComputeExecParamGeometry(const ExecParamAccumulators& acc, int screenWidth);

// Half of a width change, rounded to the nearest integer with ties to even: the buttons
// move right by it and the window's left edge left by it.
int HalfWidthChange(int change);

// A text's pixel width in a font (the widest line of a text with line breaks).
int TextWidth(const QFontMetrics& metrics, const QString& text);
// What an item widens its column to: its text width plus 70.
int ItemColumnWidth(const QFontMetrics& metrics, const QString& item);

// A field label (bold font) sized to its text, cut off at 300; an operator label at 70.
int FieldLabelWidth(const QFontMetrics& boldMetrics, const QString& text);
int OperatorLabelWidth(const QFontMetrics& boldMetrics, const QString& text);

// The width an editor widens the editor width to (0 for drop-downs and multiple-choice
// lists, which widen the list width instead).
int EditorColumnWidth(params::EditorKind editor);

}  // namespace vnk::ui
