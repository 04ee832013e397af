// The output selection without windows: what the options dialog opens with and stores,
// the save dialog's types, and the batch run's arguments.

#include "export/OutputSelection.h"
#include "TestSupport.h"
#include "share/AppState.h"
#include "share/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <ostream>

static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vnk::exporting {
namespace {

using vnk::test::IsolatedEnvironment;

TEST(OutputSelection, OpeningChoiceFollowsTheStoredValues) {
    const OutputChoice first;  // the controls before the first opening
    ASSERT_EQ(first.delimiter, DelimiterChoice::None);
    ASSERT_EQ(first.delimiterText, QStringLiteral(","));

    // Nothing stored: delimited text, "Other" with an empty box, titles on.
    OutputChoice c = openingChoice({}, first);
    EXPECT_EQ(c.kind, OutputKind::DelimitedText);
    EXPECT_EQ(c.delimiter, DelimiterChoice::Other);
    EXPECT_EQ(c.delimiterText, QString());
    EXPECT_TRUE(c.withHeader);

    c = openingChoice({QStringLiteral("TAB"), QStringLiteral("0"), QStringLiteral("DF")}, first);
    EXPECT_EQ(c.delimiter, DelimiterChoice::Tab);
    EXPECT_FALSE(c.withHeader);

    c = openingChoice({QStringLiteral("; "), QStringLiteral("yes"), QStringLiteral("junk")}, first);
    EXPECT_EQ(c.kind, OutputKind::DelimitedText);
    EXPECT_EQ(c.delimiter, DelimiterChoice::Other);
    EXPECT_EQ(c.delimiterText, QStringLiteral("; "));
    EXPECT_TRUE(c.withHeader);  // anything but "0" means titles

    // A spreadsheet format leaves the delimiter controls as they were last shown.
    c = openingChoice({QStringLiteral("TAB"), QStringLiteral("1"), QStringLiteral("XF")}, first);
    EXPECT_EQ(c.kind, OutputKind::ExcelFile);
    EXPECT_EQ(c.delimiter, DelimiterChoice::None);
    EXPECT_EQ(c.delimiterText, QStringLiteral(","));
    OutputChoice last;
    last.delimiter = DelimiterChoice::Other;
    last.delimiterText = QStringLiteral("|");
    c = openingChoice({QStringLiteral("TAB"), QStringLiteral("1"), QStringLiteral("XI")}, last);
    EXPECT_EQ(c.kind, OutputKind::ExcelInstance);
    EXPECT_EQ(c.delimiter, DelimiterChoice::Other);
    EXPECT_EQ(c.delimiterText, QStringLiteral("|"));
}

TEST(OutputSelection, OkStoresAndRefuses) {
    OutputChoice c;
    c.kind = OutputKind::DelimitedText;
    c.delimiter = DelimiterChoice::Other;
    c.delimiterText = QString();
    EXPECT_EQ(refusalOf(c), kBlankDelimiterMessage);
    c.delimiterText = QStringLiteral("  ");  // spaces are a delimiter
    EXPECT_EQ(refusalOf(c), QString());
    StoredOutputOptions v = storedValuesOf(c);
    EXPECT_EQ(v.delimiter, QStringLiteral("  "));
    EXPECT_EQ(v.withHeader, QStringLiteral("1"));
    EXPECT_EQ(v.fileFormat, QStringLiteral("DF"));

    c.delimiter = DelimiterChoice::Tab;
    c.delimiterText = QString();  // the box does not matter with a tab
    EXPECT_EQ(refusalOf(c), QString());
    EXPECT_EQ(storedValuesOf(c).delimiter, QStringLiteral("TAB"));

    // A spreadsheet choice stores the delimiter controls too, even an empty box.
    c.kind = OutputKind::ExcelFile;
    c.delimiter = DelimiterChoice::Other;
    c.withHeader = false;
    EXPECT_EQ(refusalOf(c), QString());
    v = storedValuesOf(c);
    EXPECT_EQ(v.delimiter, QString());
    EXPECT_EQ(v.withHeader, QStringLiteral("0"));
    EXPECT_EQ(v.fileFormat, QStringLiteral("XF"));
    c.kind = OutputKind::ExcelInstance;
    EXPECT_EQ(storedValuesOf(c).fileFormat, QStringLiteral("XI"));
}

TEST(OutputSelection, StoredValuesRoundTrip) {
    IsolatedEnvironment env;
    const StoredOutputOptions empty = readStoredOutputOptions();
    EXPECT_TRUE(empty.delimiter.isEmpty() && empty.withHeader.isEmpty() && empty.fileFormat.isEmpty());
    writeStoredOutputOptions({QStringLiteral(" ; "), QStringLiteral("0"), QStringLiteral("XI")});
    const StoredOutputOptions back = readStoredOutputOptions();
    EXPECT_EQ(back.delimiter, QStringLiteral(" ; "));  // untrimmed
    EXPECT_EQ(back.withHeader, QStringLiteral("0"));
    EXPECT_EQ(back.fileFormat, QStringLiteral("XI"));
    EXPECT_EQ(ReadSetting(key::Options, QStringLiteral("FileFormat")), QStringLiteral("XI"));
}

TEST(OutputSelection, SaveDialogTypesByFormatAndDelimiter) {
    struct Case {
        QString format, delimiter;
        QStringList filters;
        QString suffix;
    };
    const Case cases[] = {
        {QStringLiteral("DF"), QStringLiteral(","),
         {QStringLiteral("Delimited Text (*.csv)"), QStringLiteral("Delimited Text (*.txt)")},
         QStringLiteral("csv")},
        {QStringLiteral("DF"), QStringLiteral("\t"),
         {QStringLiteral("Delimited Text (*.xls)"), QStringLiteral("Delimited Text (*.txt)")},
         QStringLiteral("xls")},
        {QStringLiteral("DF"), QStringLiteral(";"), {QStringLiteral("Delimited Text (*.txt)")},
         QStringLiteral("txt")},
        {QStringLiteral("DF"), QStringLiteral(",,"), {QStringLiteral("Delimited Text (*.txt)")},
         QStringLiteral("txt")},
    };
    for (const Case& c : cases) {
        const OutputSaveSetup s = outputSaveSetup(c.format, c.delimiter);
        EXPECT_EQ(s.filters, c.filters) << c.delimiter.toStdString();
        ASSERT_TRUE(s.defaultSuffix.has_value());
        EXPECT_EQ(*s.defaultSuffix, c.suffix);
    }

    const OutputSaveSetup sheet = outputSaveSetup(QStringLiteral("XF"), QStringLiteral(","));
    EXPECT_EQ(sheet.filters,
              QStringList({QStringLiteral("Excel Workbook (*.xlsx)"),
                           QStringLiteral("Excel 97-2003 Workbook (*.xls)"),
                           QStringLiteral("Web Page (*.html)"),
                           QStringLiteral("CSV (comma delimited) (*.csv)"),
                           QStringLiteral("Microsoft Excel 5.0/95 Workbook (*.xls)"),
                           QStringLiteral("Xml Spreadsheet (*.xml)")}));
    EXPECT_FALSE(sheet.defaultSuffix.has_value());  // the remembered one stays
    EXPECT_EQ(spreadsheetTypeExtension(1), QStringLiteral("xlsx"));
    EXPECT_EQ(spreadsheetTypeExtension(5), QStringLiteral("xls"));
    EXPECT_EQ(spreadsheetTypeExtension(6), QStringLiteral("xml"));
    EXPECT_EQ(spreadsheetTypeExtension(7), QString());
}

TEST(OutputSelection, ContainingFolderIsAbsoluteAndResolved) {
    EXPECT_EQ(containingFolder(QStringLiteral("/tmp/a/../b/out.csv")), QStringLiteral("/tmp/b"));
    EXPECT_EQ(containingFolder(QStringLiteral("out.csv")), QDir::currentPath());
}

class BatchOutput : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        AppState& st = appState();
        st.IsBatchRun = true;
        st.ReportPath = QStringLiteral("/before");
        st.Output.OutputWithHeader = QStringLiteral("0");
    }
    void TearDown() override { resetAppState(); }

    bool choose(const QString& kind, const QString& format, const QString& file = {}) {
        AppState& st = appState();
        st.BatchOutputFile = file.isEmpty() ? env.path() + QStringLiteral("/out/result.txt") : file;
        st.BatchOutputKind = kind;
        st.BatchFormat = format;
        st.BatchArguments = {QStringLiteral("q.vnk"), st.BatchOutputFile, kind, format,
                             QStringLiteral("1")};
        return chooseOutputFromArguments(st);
    }

    IsolatedEnvironment env;
};

TEST_F(BatchOutput, DelimiterArguments) {
    struct Case {
        QString kind, format, delimiter;
    };
    const Case cases[] = {
        {QStringLiteral("D"), QStringLiteral("TAB"), QStringLiteral("\t")},
        {QStringLiteral("d"), QStringLiteral("Tab"), QStringLiteral("\t")},
        {QStringLiteral("d"), QStringLiteral("tab"), QStringLiteral("\t")},
        {QStringLiteral("D"), QStringLiteral(","), QStringLiteral(",")},
        {QStringLiteral("D"), QStringLiteral(" ; "), QStringLiteral(" ; ")},
        {QStringLiteral("D"), QStringLiteral("||||"), QStringLiteral("||||")},  // any length
    };
    for (const Case& c : cases) {
        appState().Output.OutputDelimiter.clear();
        ASSERT_TRUE(choose(c.kind, c.format)) << c.format.toStdString();
        EXPECT_EQ(appState().Output.OutputFormat, QStringLiteral("DF"));
        EXPECT_EQ(appState().Output.OutputDelimiter, c.delimiter);
    }
    const AppState& st = appState();
    EXPECT_EQ(st.Output.OutputFileName, env.path() + QStringLiteral("/out/result.txt"));
    EXPECT_EQ(st.Output.OutputWithHeader, QStringLiteral("0"));  // the fifth argument's business
    // The folder is made, and ReportPath follows it in memory only.
    EXPECT_TRUE(QFileInfo(env.path() + QStringLiteral("/out")).isDir());
    EXPECT_EQ(st.ReportPath, env.path() + QStringLiteral("/out"));
    EXPECT_EQ(ReadSetting(key::Options, QStringLiteral("ReportPath")), QString());

    // An empty delimiter stops without a message.
    EXPECT_FALSE(choose(QStringLiteral("D"), QString()));
    EXPECT_TRUE(env.eventLogMessages().isEmpty());
}

TEST_F(BatchOutput, SpreadsheetArguments) {
    struct Case {
        QString format;
        int number;
    };
    const Case cases[] = {
        {QStringLiteral("xlsx"), 1}, {QStringLiteral("XLS"), 2}, {QStringLiteral("Html"), 3},
        {QStringLiteral("csv"), 4},  {QStringLiteral("xml"), 6},
    };
    for (const Case& c : cases) {
        appState().Output.SpreadsheetFormat = 0;
        ASSERT_TRUE(choose(QStringLiteral("x"), c.format)) << c.format.toStdString();
        EXPECT_EQ(appState().Output.OutputFormat, QStringLiteral("XF"));
        EXPECT_EQ(appState().Output.SpreadsheetFormat, c.number);
    }
    EXPECT_TRUE(env.eventLogMessages().isEmpty());
}

// The batch run's argument checks refuse and report these (BatchArguments in test_batch);
// settling the output never runs with them, and would report nothing a second time.
TEST_F(BatchOutput, ArgumentsTheChecksRefuseSettleNothing) {
    EXPECT_FALSE(choose(QStringLiteral("X"), QStringLiteral("xlsm")));
    EXPECT_FALSE(choose(QStringLiteral("X"), QStringLiteral("XLS95")));  // 5.0/95: dialog only
    EXPECT_FALSE(choose(QStringLiteral("Q"), QStringLiteral("csv")));
    EXPECT_FALSE(choose(QStringLiteral("DF"), QStringLiteral(",")));
    EXPECT_TRUE(env.eventLogMessages().isEmpty());
}

TEST(OutputSelection, OneMeaningForTheDelimiterAndFormatWords) {
    EXPECT_EQ(delimiterOfText(QStringLiteral("TAB")), QStringLiteral("\t"));
    EXPECT_EQ(delimiterOfText(QStringLiteral("tab")), QStringLiteral("tab"));  // typed in the box
    EXPECT_EQ(delimiterOfText(QStringLiteral("tab"), Qt::CaseInsensitive), QStringLiteral("\t"));
    EXPECT_EQ(delimiterOfText(QStringLiteral(" TAB")), QStringLiteral(" TAB"));
    EXPECT_EQ(delimiterOfText(QStringLiteral(";")), QStringLiteral(";"));
    struct Case {
        const char* word;
        int format;
    };
    const Case cases[] = {{"XLSX", 1}, {"xls", 2}, {"Html", 3}, {"csv", 4}, {"XML", 6},
                          {"XLS95", 0}, {"xlsm", 0}, {"", 0}, {" XLSX", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(spreadsheetFormatOfWord(QString::fromLatin1(c.word)), c.format) << c.word;
}

TEST_F(BatchOutput, FewArgumentsAndFolderEdges) {
    AppState& st = appState();
    st.BatchArguments = {QStringLiteral("q.vnk"), QStringLiteral("/x/out.csv")};
    st.BatchOutputKind = QStringLiteral("D");
    st.BatchFormat = QStringLiteral(",");
    EXPECT_FALSE(chooseOutputFromArguments(st));
    EXPECT_EQ(st.ReportPath, QStringLiteral("/before"));

    // Only the last level is made; a deeper missing path is left to the export's create.
    const QString deep = env.path() + QStringLiteral("/a/b/out.csv");
    EXPECT_TRUE(choose(QStringLiteral("D"), QStringLiteral(","), deep));
    EXPECT_FALSE(QFileInfo::exists(env.path() + QStringLiteral("/a")));
    EXPECT_TRUE(env.eventLogMessages().isEmpty());
}

TEST(OutputSelection, WriterOptionsFromTheOutputOptions) {
    OutputOptions out;
    out.OutputFormat = QStringLiteral("DF");
    out.OutputDelimiter = QStringLiteral("TAB");
    out.OutputWithHeader = QStringLiteral("0");
    out.OutputFileName = QStringLiteral("/tmp/x.xls");
    const DelimitedOptions d = delimitedOptionsOf(out);
    EXPECT_EQ(d.delimiter, QStringLiteral("\t"));
    EXPECT_EQ(d.withHeader, QStringLiteral("0"));
    EXPECT_EQ(d.fileName, QStringLiteral("/tmp/x.xls"));

    out.OutputFormat = QStringLiteral("XI");
    out.OutputWithHeader = QStringLiteral("yes");
    out.SpreadsheetFormat = 3;
    SpreadsheetOptions s = spreadsheetOptionsOf(out, QStringLiteral("/q/Monthly sales.vnk"));
    EXPECT_TRUE(s.liveInstance);
    EXPECT_TRUE(s.withTitles);
    EXPECT_EQ(s.format, 3);
    EXPECT_EQ(s.documentName, QStringLiteral("/q/Monthly sales.vnk"));
    out.OutputFormat = QStringLiteral("XF");
    out.OutputWithHeader = QStringLiteral("0");
    s = spreadsheetOptionsOf(out, {});
    EXPECT_FALSE(s.liveInstance);
    EXPECT_FALSE(s.withTitles);
}

}  // namespace
}  // namespace vnk::exporting
