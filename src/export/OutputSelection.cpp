#include "OutputSelection.h"

#include "share/AppState.h"
#include "share/Error.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

namespace vnk::exporting {

namespace {

const QString kDelimiterValue = QStringLiteral("Delimiter");
const QString kWithHeaderValue = QStringLiteral("WithHeader");
const QString kFileFormatValue = QStringLiteral("FileFormat");

const QString kTab = QStringLiteral("\t");

struct SpreadsheetType {
    const char16_t* filter;
    const char16_t* extension;
};

// The save dialog's spreadsheet types; the position is SpreadsheetFormat.
constexpr SpreadsheetType kSpreadsheetTypes[] = {
    {u"Excel Workbook (*.xlsx)", u"xlsx"},
    {u"Excel 97-2003 Workbook (*.xls)", u"xls"},
    {u"Web Page (*.html)", u"html"},
    {u"CSV (comma delimited) (*.csv)", u"csv"},
    {u"Microsoft Excel 5.0/95 Workbook (*.xls)", u"xls"},
    {u"Xml Spreadsheet (*.xml)", u"xml"},
};

// The fourth batch argument's words, with their type positions; 5.0/95 has none.
struct FormatWord {
    const char16_t* word;
    int format;
};
constexpr FormatWord kFormatWords[] = {
    {u"XLSX", 1}, {u"XLS", 2}, {u"HTML", 3}, {u"CSV", 4}, {u"XML", 6},
};

}  // namespace

QString delimiterOfText(const QString& text, Qt::CaseSensitivity cs) {
    return text.compare(kTabWord, cs) == 0 ? kTab : text;
}

int spreadsheetFormatOfWord(const QString& word) {
    const QString upper = word.toUpper();
    for (const FormatWord& f : kFormatWords) {
        if (upper == QString::fromUtf16(f.word))
            return f.format;
    }
    return 0;
}

StoredOutputOptions readStoredOutputOptions() {
    StoredOutputOptions values;
    values.delimiter = ReadSetting(key::Options, kDelimiterValue);
    values.withHeader = ReadSetting(key::Options, kWithHeaderValue);
    values.fileFormat = ReadSetting(key::Options, kFileFormatValue);
    return values;
}

void writeStoredOutputOptions(const StoredOutputOptions& values) {
    WriteSetting(key::Options, kDelimiterValue, values.delimiter);
    WriteSetting(key::Options, kWithHeaderValue, values.withHeader);
    WriteSetting(key::Options, kFileFormatValue, values.fileFormat);
}

OutputChoice openingChoice(const StoredOutputOptions& stored, const OutputChoice& lastShown) {
    OutputChoice choice = lastShown;
    if (stored.fileFormat == kSpreadsheetFile) {
        choice.kind = OutputKind::ExcelFile;
    } else if (stored.fileFormat == kSpreadsheetInstance) {
        choice.kind = OutputKind::ExcelInstance;
    } else {
        choice.kind = OutputKind::DelimitedText;
        if (stored.delimiter == kTabWord) {
            choice.delimiter = DelimiterChoice::Tab;
        } else {
            choice.delimiter = DelimiterChoice::Other;
            choice.delimiterText = stored.delimiter;
        }
    }
    choice.withHeader = stored.withHeader != u"0";
    return choice;
}

StoredOutputOptions storedValuesOf(const OutputChoice& choice) {
    StoredOutputOptions values;
    values.delimiter = choice.delimiter == DelimiterChoice::Tab ? kTabWord : choice.delimiterText;
    values.withHeader = choice.withHeader ? QStringLiteral("1") : QStringLiteral("0");
    switch (choice.kind) {
    case OutputKind::ExcelFile: values.fileFormat = kSpreadsheetFile; break;
    case OutputKind::ExcelInstance: values.fileFormat = kSpreadsheetInstance; break;
    case OutputKind::DelimitedText: values.fileFormat = kDelimitedFile; break;
    }
    return values;
}

QString refusalOf(const OutputChoice& choice) {
    if (choice.kind == OutputKind::DelimitedText && storedValuesOf(choice).delimiter.isEmpty())
        return kBlankDelimiterMessage;
    return {};
}

OutputSaveSetup outputSaveSetup(const QString& outputFormat, const QString& delimiter) {
    OutputSaveSetup setup;
    if (outputFormat == kSpreadsheetFile) {
        for (const SpreadsheetType& type : kSpreadsheetTypes)
            setup.filters << QString::fromUtf16(type.filter);
        return setup;
    }
    if (delimiter == u",") {
        setup.defaultSuffix = QStringLiteral("csv");
        setup.filters = {QStringLiteral("Delimited Text (*.csv)"), QStringLiteral("Delimited Text (*.txt)")};
    } else if (delimiter == kTab) {
        setup.defaultSuffix = QStringLiteral("xls");
        setup.filters = {QStringLiteral("Delimited Text (*.xls)"), QStringLiteral("Delimited Text (*.txt)")};
    } else {
        setup.defaultSuffix = QStringLiteral("txt");
        setup.filters = {QStringLiteral("Delimited Text (*.txt)")};
    }
    return setup;
}

QString spreadsheetTypeExtension(int spreadsheetFormat) {
    if (spreadsheetFormat < 1 || spreadsheetFormat > 6)
        return {};
    return QString::fromUtf16(kSpreadsheetTypes[spreadsheetFormat - 1].extension);
}

QString containingFolder(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteDir().absolutePath());
}

bool chooseOutputFromArguments(AppState& state) {
    try {
        if (state.BatchArguments.size() < 3)
            return false;
        OutputOptions& out = state.Output;
        out.OutputFileName = state.BatchOutputFile;
        state.ReportPath = containingFolder(state.BatchOutputFile);
        // Only the last level; a folder that cannot be made fails the export's own create.
        if (!QFileInfo(state.ReportPath).isDir())
            (void)QDir().mkdir(state.ReportPath);

        const QString kind = state.BatchOutputKind.toUpper();
        if (kind == u"D") {
            out.OutputFormat = kDelimitedFile;
            if (state.BatchFormat.isEmpty())
                return false;
            out.OutputDelimiter = delimiterOfText(state.BatchFormat, Qt::CaseInsensitive);
            return true;
        }
        if (kind == u"X") {
            out.OutputFormat = kSpreadsheetFile;
            const int format = spreadsheetFormatOfWord(state.BatchFormat);
            if (format == 0)
                return false;
            out.SpreadsheetFormat = format;
            return true;
        }
        return false;
    } catch (...) {
        ReportError(errorText());
        return false;
    }
}

DelimitedOptions delimitedOptionsOf(const OutputOptions& output) {
    DelimitedOptions options;
    options.fileName = output.OutputFileName;
    // A tab choice that has not passed through the output selection still means a tab.
    options.delimiter = delimiterOfText(output.OutputDelimiter);
    options.withHeader = output.OutputWithHeader;
    return options;
}

SpreadsheetOptions spreadsheetOptionsOf(const OutputOptions& output, const QString& documentName) {
    SpreadsheetOptions options;
    options.format = output.SpreadsheetFormat;
    options.fileName = output.OutputFileName;
    options.withTitles = output.OutputWithHeader != u"0";
    options.documentName = documentName;
    options.liveInstance = output.OutputFormat == kSpreadsheetInstance;
    return options;
}

}  // namespace vnk::exporting
