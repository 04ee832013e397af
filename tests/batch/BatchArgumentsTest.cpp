// The unattended run's argument checks in process: each refusal is reported once, by the
// checks alone, and the output settled from accepted arguments uses the same words.

#include "TestSupport.h"
#include "app/batch/BatchRun.h"
#include "export/OutputSelection.h"
#include "queryfile/QueryFile.h"
#include "share/AppState.h"

#include <gtest/gtest.h>

using namespace vnk;

namespace {

class BatchArguments : public ::testing::Test {
protected:
    test::IsolatedEnvironment env;
    QString query;

    void SetUp() override {
        resetAppState();
        appState().IsBatchRun = true;
        query = env.path() + QStringLiteral("/q.vnk");
        queryfile::writeQueryDocument(query, QStringLiteral("Sales"),
                                      QStringLiteral("Provider=SQLite;Data Source=x.sqlite"),
                                      {QStringLiteral("select 1")});
    }
    void TearDown() override { resetAppState(); }

    QStringList args(const QString& kind, const QString& format) const {
        return {query, env.path() + QStringLiteral("/out/r.txt"), kind, format, QStringLiteral("1")};
    }
};

TEST_F(BatchArguments, RefusedKindsAndFormatsAreReportedOnce) {
    struct Case {
        const char* kind;
        const char* format;
        const char* message;
    };
    const Case cases[] = {
        {"X", "xlsm", "4th parameter is invalid: xlsm."},
        {"X", "XLS95", "4th parameter is invalid: XLS95."},  // 5.0/95: dialog only
        {"Q", "csv", "3rd parameter is invalid: Q."},
        {"DF", ",", "3rd parameter is invalid: DF."},
    };
    QStringList expected;
    for (const Case& c : cases) {
        AppState& st = appState();
        st.BatchArguments = args(QString::fromLatin1(c.kind), QString::fromLatin1(c.format));
        EXPECT_FALSE(batch::checkBatchArguments(st, st.BatchArguments)) << c.format;
        expected << QString::fromLatin1(c.message);
    }
    EXPECT_EQ(env.eventLogMessages(), expected);
}

TEST_F(BatchArguments, AcceptedFormatWordsSettleTheirSpreadsheetType) {
    struct Case {
        const char* format;
        int number;
    };
    const Case cases[] = {{"xlsx", 1}, {"Xls", 2}, {"html", 3}, {"CSV", 4}, {"xml", 6}};
    for (const Case& c : cases) {
        AppState& st = appState();
        st.BatchArguments = args(QStringLiteral("x"), QString::fromLatin1(c.format));
        ASSERT_TRUE(batch::checkBatchArguments(st, st.BatchArguments)) << c.format;
        st.Output.SpreadsheetFormat = 0;
        ASSERT_TRUE(exporting::chooseOutputFromArguments(st)) << c.format;
        EXPECT_EQ(st.Output.OutputFormat, QStringLiteral("XF"));
        EXPECT_EQ(st.Output.SpreadsheetFormat, c.number);
    }
    // A tab in any case on the command line.
    AppState& st = appState();
    st.BatchArguments = args(QStringLiteral("d"), QStringLiteral("tAb"));
    ASSERT_TRUE(batch::checkBatchArguments(st, st.BatchArguments));
    ASSERT_TRUE(exporting::chooseOutputFromArguments(st));
    EXPECT_EQ(st.Output.OutputDelimiter, QStringLiteral("\t"));
    EXPECT_TRUE(env.eventLogMessages().isEmpty());
}

}  // namespace
