#include "db/OdbcCatalog.h"

#include <gtest/gtest.h>

using namespace vnk;

TEST(OdbcCatalog, ListsTheInstalledDrivers) {
    const QStringList drivers = db::odbcDrivers();
    EXPECT_TRUE(drivers.contains(QStringLiteral("PostgreSQL Unicode"))) << drivers.join(u',').toStdString();
    EXPECT_TRUE(drivers.contains(QStringLiteral("SQLite3"))) << drivers.join(u',').toStdString();
    EXPECT_EQ(QStringList(drivers).removeDuplicates(), 0);
    // Data sources may be none at all; the listing itself must work.
    EXPECT_NO_THROW(db::odbcDataSources());
}
