#include "ConnectFixture.h"
#include "db/ConnectionFile.h"
#include "db/DataLink.h"
#include "db/ui/TDataLinkProperties.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace vnk;
using ui::TDataLinkProperties;

namespace {

template <class W>
W* child(QWidget* parent, const char* name) {
    W* w = parent->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void click(QWidget* parent, const char* name) {
    if (auto* b = child<QPushButton>(parent, name))
        b->click();
}

}  // namespace

class DataLinkDialog : public test::ConnectFixture {
protected:
    QString udl() const { return conFiles() + QStringLiteral("Link.udl"); }
};

TEST_F(DataLinkDialog, NewFileGetsTheThreeLineFormThatConnectingReadsBack) {
    makeSqliteDatabase(QStringLiteral("my data.sqlite"));
    writeFile(udl(), QByteArray());
    QString preview;
    test::onModal<TDataLinkProperties>([&](TDataLinkProperties* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Data Link Properties"));
        EXPECT_EQ(child<QComboBox>(d, "cbProvider")->currentText(), QStringLiteral("SQLite"));
        // OK without a database file is refused.
        click(d, "bnOk");
        EXPECT_TRUE(d->isVisible());
        child<QLineEdit>(d, "txtDatabase")->setText(QStringLiteral("my data.sqlite"));
        click(d, "bnTestConnection");
        preview = child<QLineEdit>(d, "txtPreview")->text();
        click(d, "bnOk");
    });
    const auto result = TDataLinkProperties::editFile(nullptr, udl());
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, QStringLiteral("Provider=SQLite;Data Source=my data.sqlite"));
    EXPECT_EQ(preview, *result);
    EXPECT_EQ(prompts.messages(), (QStringList{QStringLiteral("Please choose a database file."),
                                               QStringLiteral("Test connection succeeded.")}));
    EXPECT_EQ(readBytes(udl()), db::dataLinkFileBytes(*result));
    EXPECT_TRUE(readBytes(udl()).startsWith("\xFF\xFE[\0o\0l\0e\0d\0b\0]\0"));
    EXPECT_EQ(db::ReadConnectionFile(udl()), *result);
    EXPECT_EQ(QFileInfo(udl()).permissions() & ~(QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadUser | QFile::WriteUser),
              QFile::Permissions());
}

TEST_F(DataLinkDialog, ExistingFileIsParsedBackIntoTheFields) {
    const QString conn = QStringLiteral(
        "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=chinook;UID=me;PWD=secret");
    const QString written = db::DataLink::parse(conn).connectionString();
    EXPECT_EQ(written, conn);
    TDataLinkProperties::writeDataLinkFile(udl(), written);
    test::onModal<TDataLinkProperties>([&](TDataLinkProperties* d) {
        EXPECT_EQ(child<QComboBox>(d, "cbProvider")->currentText(), QStringLiteral("ODBC"));
        EXPECT_TRUE(child<QRadioButton>(d, "rbDriver")->isChecked());
        EXPECT_EQ(child<QComboBox>(d, "cbDriver")->currentText(), QStringLiteral("PostgreSQL Unicode"));
        EXPECT_EQ(child<QLineEdit>(d, "txtAttributes")->text(),
                  QStringLiteral("Server=127.0.0.1;Port=5432;Database=chinook"));
        EXPECT_EQ(child<QLineEdit>(d, "txtUser")->text(), QStringLiteral("me"));
        EXPECT_EQ(child<QLineEdit>(d, "txtPassword")->text(), QStringLiteral("secret"));
        EXPECT_EQ(child<QLineEdit>(d, "txtPassword")->echoMode(), QLineEdit::Password);
        EXPECT_EQ(child<QLineEdit>(d, "txtPreview")->text(),
                  QString(written).replace(QStringLiteral("PWD=secret"), QStringLiteral("PWD=******")));
        // Switch to a data source name.
        child<QRadioButton>(d, "rbDsn")->setChecked(true);
        child<QComboBox>(d, "cbDsn")->setCurrentText(QStringLiteral("Sales DB"));
        child<QLineEdit>(d, "txtPassword")->setText(QStringLiteral("x;y}"));
        click(d, "bnOk");
    });
    const auto result = TDataLinkProperties::editFile(nullptr, udl());
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, QStringLiteral("DSN=Sales DB;Server=127.0.0.1;Port=5432;Database=chinook;"
                                      "UID=me;PWD={x;y}}}"));
    EXPECT_EQ(db::ReadConnectionFile(udl()), *result);
    const db::DataLink back = db::DataLink::parse(*result);
    EXPECT_EQ(back.password, QStringLiteral("x;y}"));
    EXPECT_EQ(back.dsn, QStringLiteral("Sales DB"));
}

TEST_F(DataLinkDialog, CancelLeavesTheFileAlone) {
    TDataLinkProperties::writeDataLinkFile(udl(), QStringLiteral("Provider=SQLite;Data Source=a.db"));
    const QByteArray before = readBytes(udl());
    test::onModal<TDataLinkProperties>([](TDataLinkProperties* d) {
        EXPECT_EQ(child<QLineEdit>(d, "txtDatabase")->text(), QStringLiteral("a.db"));
        child<QLineEdit>(d, "txtDatabase")->setText(QStringLiteral("b.db"));
        click(d, "bnCancel");
    });
    EXPECT_FALSE(TDataLinkProperties::editFile(nullptr, udl()).has_value());
    EXPECT_EQ(readBytes(udl()), before);
}

TEST_F(DataLinkDialog, BrowseKeepsNamesInsideTheWorkFolderRelative) {
    TDataLinkProperties d(db::DataLink{});
    auto* database = child<QLineEdit>(&d, "txtDatabase");
    prompts.fileAnswers.push_back(ui::FileChoice{work.path() + QStringLiteral("/sub/x.sqlite"), 1});
    d.bnBrowseClick();
    EXPECT_EQ(database->text(), QStringLiteral("sub/x.sqlite"));
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].extra, work.path());  // starts in the work folder

    prompts.fileAnswers.push_back(ui::FileChoice{QStringLiteral("/srv/db/y.sqlite"), 1});
    d.bnBrowseClick();
    EXPECT_EQ(database->text(), QStringLiteral("/srv/db/y.sqlite"));
    prompts.fileAnswers.push_back(std::nullopt);
    d.bnBrowseClick();
    EXPECT_EQ(database->text(), QStringLiteral("/srv/db/y.sqlite"));
}

TEST_F(DataLinkDialog, TestConnectionReportsTheProviderError) {
    db::DataLink link;
    link.database = QStringLiteral("missing.sqlite");
    TDataLinkProperties d(link);
    d.bnTestConnectionClick();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_NE(prompts.messages().first(), QStringLiteral("Test connection succeeded."));
    EXPECT_FALSE(prompts.messages().first().isEmpty());
    EXPECT_TRUE(d.isEnabled());
}

TEST_F(DataLinkDialog, OdbcDriverListAndServerTest) {
    TDataLinkProperties d(db::DataLink{});
    auto* drivers = child<QComboBox>(&d, "cbDriver");
    EXPECT_GE(drivers->findText(QStringLiteral("PostgreSQL Unicode")), 0);
    EXPECT_GE(drivers->findText(QStringLiteral("SQLite3")), 0);

    const QString pg = test::postgresConnectionString();
    if (pg.isEmpty())
        GTEST_SKIP() << "no PostgreSQL test server (VARNOCK_TEST_PG)";
    const db::DataLink link = db::DataLink::parse(pg);
    ASSERT_EQ(link.kind, db::DataLink::Kind::OdbcDriver);
    child<QComboBox>(&d, "cbProvider")->setCurrentIndex(1);
    child<QRadioButton>(&d, "rbDriver")->setChecked(true);
    drivers->setCurrentText(link.driver);
    child<QLineEdit>(&d, "txtAttributes")->setText(link.attributes);
    child<QLineEdit>(&d, "txtUser")->setText(link.user);
    child<QLineEdit>(&d, "txtPassword")->setText(link.password);
    EXPECT_EQ(d.link(), link);
    d.bnTestConnectionClick();
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Test connection succeeded.")});
}
