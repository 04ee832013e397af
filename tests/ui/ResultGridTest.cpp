// The result grid over a real SQLite result: row counter, sorting by title click,
// the click / double-click flags and column fitting.

#include "db/Connection.h"
#include "db/ResultSet.h"
#include "grid/ui/TResultGrid.h"
#include "share/AppState.h"
#include "share/ErrorReport.h"

#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

using vnk::ui::TResultGrid;

const char* const kFirstPageLong = "A considerably longer name on the first page";
const char* const kFarLong =
    "An extremely long name far below the first page, which no fitting may ever see at all";

// 250 rows: NAME has one long value on the first page and a far longer one at row 200;
// CODE is always shorter than its title; NOTE is long everywhere.
void createDatabase(const QString& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const std::string script =
        std::string("CREATE TABLE t (ID INTEGER, NAME TEXT, IDX INTEGER, CODE TEXT, NOTE TEXT);"
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250) "
                    "INSERT INTO t SELECT i, CASE i WHEN 5 THEN '") +
        kFirstPageLong + "' WHEN 200 THEN '" + kFarLong +
        "' ELSE 'Name ' || i END, 251 - i, 'a', "
        "'Note ' || i || ', wide enough to be wider than its title' FROM n;";
    char* error = nullptr;
    const int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error);
    const std::string text = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

class ResultGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        vnk::resetAppState();
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("grid.sqlite"));
        createDatabase(path);
        conn.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
        conn.open();
        grid.resize(640, 400);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    void TearDown() override {
        grid.clear();
        vnk::setInteractiveErrorSink({});
        vnk::resetAppState();
    }

    // Runs a statement and shows its result, as a run of the main window does.
    vnk::db::ResultSet* run(const QString& sql) {
        query.close();
        query.setSql(sql);
        query.open();
        vnk::appState().ResultRowCount = query.result()->recordCount();
        grid.setResult(query.result());
        return query.result();
    }
    vnk::db::ResultSet* runTable() {
        return run(QStringLiteral("SELECT ID, NAME, IDX, CODE, NOTE FROM t ORDER BY ID"));
    }

    QPoint titleCentre(int col) const {
        const QHeaderView* h = grid.horizontalHeader();
        return {h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2};
    }
    void clickTitle(int col) {
        QTest::mouseClick(grid.horizontalHeader()->viewport(), Qt::LeftButton, {},
                          titleCentre(col));
    }
    // What the window system delivers for a double-click: press, release, double-click,
    // release.
    static void doubleClick(QWidget* w, QPoint pos) {
        QTest::mousePress(w, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
        QTest::mouseDClick(w, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
    }
    QPoint cellCentre(int row, int col) const {
        return grid.visualRect(grid.model()->index(row, col)).center();
    }
    int textWidth(const QString& text) const { return QFontMetrics(grid.font()).horizontalAdvance(text); }

    QTemporaryDir dir;
    vnk::db::Connection conn;
    vnk::db::Query query{conn};
    TResultGrid grid;
};

TEST_F(ResultGridTest, RowCounterFollowsKeysAndClicks) {
    vnk::db::ResultSet* rs = runTable();
    QSignalSpy counter(&grid, &TResultGrid::rowCounterChanged);
    grid.setFocus();

    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_Down);
    ASSERT_EQ(counter.count(), 2);
    EXPECT_EQ(counter.last().at(0).toString(), QStringLiteral("Row 3 of 250"));
    EXPECT_EQ(rs->recNo(), 3);

    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(counter.last().at(0).toString(), QStringLiteral("Row 250 of 250"));
    EXPECT_EQ(rs->recNo(), 250);

    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellCentre(4, 1));
    EXPECT_EQ(counter.last().at(0).toString(), QStringLiteral("Row 5 of 250"));
    EXPECT_EQ(rs->displayText(1), QString::fromLatin1(kFirstPageLong));

    // Tab moves to the next cell of the same record.
    QTest::keyClick(&grid, Qt::Key_Tab);
    EXPECT_EQ(grid.currentIndex().column(), 2);
    EXPECT_EQ(rs->recNo(), 5);
}

// A wheel step over the grid moves the current record, one record a notch, and the
// counter names the record current after the step; parts of a notch add up, the ends
// stop the move, and the view keeps the current record in sight.
TEST_F(ResultGridTest, WheelStepsMoveTheCurrentRecord) {
    vnk::db::ResultSet* rs = runTable();
    QSignalSpy counter(&grid, &TResultGrid::rowCounterChanged);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellCentre(1, 2));
    ASSERT_EQ(rs->recNo(), 2);

    auto wheel = [&](int angle, Qt::KeyboardModifiers mods = {}) {
        const QPoint pos = grid.viewport()->rect().center();
        QWheelEvent e(pos, grid.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, angle),
                      Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid.viewport(), &e);
    };
    struct Step {
        int angle;   // eighths of a degree; negative: towards the user (down the list)
        int recNo;   // the current record afterwards
    };
    const Step steps[] = {
        {-120, 3},       // one notch down
        {-360, 6},       // three notches in one event
        {120, 5},        // one notch up
        {-60, 5},        // half a notch: no move yet
        {-60, 6},        // the other half completes it
        {1200, 1},       // up past the first record stops there
        {-120 * 300, 250},  // down past the last record stops there
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.angle);
        const int before = static_cast<int>(counter.count());
        wheel(st.angle);
        EXPECT_EQ(rs->recNo(), st.recNo);
        EXPECT_EQ(grid.currentIndex().row(), st.recNo - 1);
        EXPECT_EQ(grid.currentIndex().column(), 2);  // the column stays
        ASSERT_EQ(counter.count(), before + 1);
        EXPECT_EQ(counter.last().at(0).toString(),
                  QStringLiteral("Row %1 of 250").arg(st.recNo));
        EXPECT_TRUE(grid.viewport()->rect().intersects(grid.visualRect(grid.currentIndex())));
    }
}

TEST_F(ResultGridTest, NoCounterWithoutRecords) {
    QSignalSpy counter(&grid, &TResultGrid::rowCounterChanged);
    grid.setFocus();
    auto poke = [&] {
        QTest::keyClick(&grid, Qt::Key_Down);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(40, 40));
        clickTitle(0);
    };
    poke();  // no result at all
    run(QStringLiteral("SELECT ID, NAME FROM t WHERE ID < 0"));
    poke();
    EXPECT_EQ(counter.count(), 0);
}

TEST_F(ResultGridTest, TitleClicksToggleTheSortAndMoveTheBoldTitle) {
    vnk::db::ResultSet* rs = runTable();
    EXPECT_EQ(grid.boldTitleColumn(), -1);
    EXPECT_EQ(grid.sortMarkerColumn(), 0);

    const char* const expected[] = {"ID ASC", "ID DESC", "ID ASC"};
    for (const char* sort : expected) {
        clickTitle(0);
        EXPECT_EQ(rs->sort(), QString::fromLatin1(sort));
        EXPECT_EQ(grid.boldTitleColumn(), 0);
    }
    clickTitle(2);  // IDX: IDX ASC
    EXPECT_EQ(rs->sort(), QStringLiteral("IDX ASC"));
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), QStringLiteral("250"));
    EXPECT_EQ(rs->recNo(), 1);
    clickTitle(1);
    EXPECT_EQ(rs->sort(), QStringLiteral("NAME ASC"));
    EXPECT_EQ(grid.boldTitleColumn(), 1);
    EXPECT_EQ(grid.sortMarkerColumn(), 1);
    EXPECT_EQ(grid.model()->index(0, 1).data().toString(), QString::fromLatin1(kFirstPageLong));

    // A new result has no bold title; the remembered index stays.
    runTable();
    EXPECT_EQ(grid.boldTitleColumn(), -1);
    EXPECT_EQ(grid.sortMarkerColumn(), 1);
}

TEST_F(ResultGridTest, SortTextRule) {
    struct Case {
        const char* current;
        const char* field;
        const char* next;
    };
    const Case cases[] = {
        {"", "ID", "ID ASC"},
        {"ID ASC", "ID", "ID DESC"},
        {"ID DESC", "ID", "ID ASC"},
        {"ID", "ID", "ID DESC"},
        {"IDX ASC", "ID", "ID DESC"},   // the sort text begins with the field name
        {"IDX DESC", "ID", "ID ASC"},
        {"id ASC", "ID", "ID ASC"},     // compared case-sensitively
        {"ID desc", "ID", "ID DESC"},
        {"NAME ASC", "ID", "ID ASC"},
        {"my col ASC", "my col", "my col DESC"},  // used unquoted
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TResultGrid::nextSortSpec(QString::fromLatin1(c.current),
                                            QString::fromLatin1(c.field)),
                  QString::fromLatin1(c.next))
            << c.current << " / " << c.field;
    }

    vnk::db::ResultSet* rs = runTable();
    rs->setSort(QStringLiteral("IDX ASC"));
    clickTitle(0);
    EXPECT_EQ(rs->sort(), QStringLiteral("ID DESC"));
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), QStringLiteral("250"));
}

TEST_F(ResultGridTest, ProviderSortErrorIsReported) {
    QStringList reports;
    vnk::setInteractiveErrorSink([&](const QString& m) { reports << m; });
    vnk::db::ResultSet* rs = run(QStringLiteral("SELECT ID, 1 AS \"\" FROM t"));
    clickTitle(1);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_FALSE(reports.first().isEmpty());
    EXPECT_EQ(rs->sort(), QString());
    EXPECT_EQ(grid.boldTitleColumn(), 1);
}

TEST_F(ResultGridTest, FittingMeasuresOnlyTheShownRows) {
    runTable();
    ASSERT_LT(grid.rowAt(grid.viewport()->height() - 1), 150) << "the far value must be off-page";
    ASSERT_GE(grid.rowAt(grid.viewport()->height() - 1), 4);
    grid.fnAutofitColumnWidth();

    EXPECT_EQ(grid.columnWidth(3), textWidth(QStringLiteral("CODE")) + 4);
    EXPECT_EQ(grid.columnWidth(1), textWidth(QString::fromLatin1(kFirstPageLong)) + 4);
    EXPECT_LT(grid.columnWidth(1), textWidth(QString::fromLatin1(kFarLong)));

    // Scrolled to the far value, it is what the column fits.
    grid.scrollTo(grid.model()->index(199, 1), QAbstractItemView::PositionAtTop);
    grid.fitColumn(1);
    EXPECT_EQ(grid.columnWidth(1), textWidth(QString::fromLatin1(kFarLong)) + 4);

    // A narrow grid: the columns past the view measure nothing and get their title's width.
    grid.resize(200, 400);
    QApplication::processEvents();
    grid.scrollToTop();
    grid.fnAutofitColumnWidth();
    EXPECT_EQ(grid.columnWidth(1), textWidth(QString::fromLatin1(kFirstPageLong)) + 4);
    EXPECT_EQ(grid.columnWidth(4), textWidth(QStringLiteral("NOTE")) + 4);
}

TEST_F(ResultGridTest, DoubleClickFlags) {
    vnk::db::ResultSet* rs = runTable();

    // A double-click on a data cell: the next title click does not sort, the one after does.
    doubleClick(grid.viewport(), cellCentre(2, 1));
    clickTitle(0);
    EXPECT_EQ(rs->sort(), QString());
    clickTitle(0);
    EXPECT_EQ(rs->sort(), QStringLiteral("ID ASC"));
}

TEST_F(ResultGridTest, TitleDoubleClickFitsWithoutSortingTwice) {
    vnk::db::ResultSet* rs = runTable();
    QWidget* titles = grid.horizontalHeader()->viewport();
    const int fitted = textWidth(QStringLiteral("CODE")) + 4;

    // On a title border: the first press drags, so nothing sorts; the column fits. The
    // release then lies past the last column and still ends the double-click.
    grid.setColumnWidth(3, 150);
    grid.setColumnWidth(4, 20);
    const QHeaderView* h = grid.horizontalHeader();
    const QPoint border(h->sectionViewportPosition(3) + h->sectionSize(3) - 1, h->height() / 2);
    doubleClick(titles, border);
    EXPECT_EQ(grid.columnWidth(3), fitted);
    EXPECT_EQ(h->logicalIndexAt(border), -1);
    EXPECT_EQ(rs->sort(), QString());

    // On the title: the first click sorts, the double-click fits, its release does not sort.
    grid.setColumnWidth(3, 150);
    doubleClick(titles, titleCentre(3));
    EXPECT_EQ(grid.columnWidth(3), fitted);
    EXPECT_EQ(rs->sort(), QStringLiteral("CODE ASC"));
    clickTitle(3);
    EXPECT_EQ(rs->sort(), QStringLiteral("CODE DESC"));
}

}  // namespace
