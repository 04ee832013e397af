#include "queryfile/LineEncoding.h"
#include "queryfile/QueryFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace vnk::queryfile;
using namespace Qt::StringLiterals;

namespace {

QByteArray nul(QByteArray hyphenated) {
    return hyphenated.replace('-', '\0');
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

class QueryFileTest : public ::testing::Test {
protected:
    QString file(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

}  // namespace

TEST_F(QueryFileTest, QueryFileLayout) {
    writeQueryDocument(file(QStringLiteral("q.vnk")), QStringLiteral("abc"), QStringLiteral("abc"),
                       {QStringLiteral("abc"), QString()});
    const QByteArray expected = nul("100-35-44-103-103-103-29-\r\n") + "100-35-44-103-103-103-29-\r\n" +
                                nul("100-35-44-103-103-103-29-\r\n") + nul("97-32-41-26-\r\n");
    EXPECT_EQ(readBytes(file(QStringLiteral("q.vnk"))).toStdString(), expected.toStdString());
}

TEST_F(QueryFileTest, SaveAndLoadKeepLinesInEveryKind) {
    const QStringList lines = {QStringLiteral("select 'Café' as a, '€' as b, 'ÿ' as c"), QString(),
                               QStringLiteral("from t -- ü"), QStringLiteral("  \tindented")};
    const struct {
        const char* name;
        bool isQueryFile;
    } cases[] = {{"doc.vnk", true}, {"DOC.VnK", true}, {"doc.sql", false}, {"doc.txt", false}, {"doc", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = file(QString::fromLatin1(c.name));
        writeQueryDocument(path, QStringLiteral("Demo.udl"), QStringLiteral(" Provider=SQLite;Data Source=a-b.db\t"),
                           lines);
        const QueryDocument doc = readQueryDocument(path);
        EXPECT_EQ(doc.isQueryFile, c.isQueryFile);
        EXPECT_TRUE(doc.valid);
        EXPECT_EQ(doc.lines, lines);
        if (c.isQueryFile) {
            EXPECT_EQ(doc.connName, QStringLiteral("Demo"));
            EXPECT_EQ(doc.connString, QStringLiteral("Provider=SQLite;Data Source=a-b.db"));
        } else {
            EXPECT_EQ(doc.connName, QString());
            EXPECT_EQ(readBytes(path), (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
        }
    }
}

TEST(QueryFileNames, StoredConnectionName) {
    const struct {
        const char* connName;
        const char* shortened;
        const char* stored;
    } cases[] = {
        {"Sales.udl", "Sales", "Sales"},
        {"Sales.UDL", "Sales", "Sales"},
        {" Sales.udl", " Sales", "Sales"},
        {"Sales.udl  ", "Sales.udl  ", "Sales.udl"},  // the last four characters decide
        {"x.udl.udl", "x.udl", "x.udl"},
        {"\tDemo.txt\r\n", "\tDemo.txt\r\n", "Demo.txt"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connName);
        EXPECT_EQ(withoutUdlExtension(QString::fromLatin1(c.connName)), QString::fromLatin1(c.shortened));
        EXPECT_EQ(storedConnectionName(QString::fromLatin1(c.connName)), QString::fromLatin1(c.stored));
    }
}

// The Windows program writes the single-byte values of Windows-1252 into the numbers.
TEST_F(QueryFileTest, QueryFileOfTheWindowsProgramOpensUnchanged) {
    QByteArray bytes;
    bytes += nul("101-36-45-238-108-104-75-30-") + "\r\n";  // Café: 43 61 66 E9
    bytes += EncodeLineBytes("Provider=SQLite;Data Source=demo.sqlite", '-') + "\r\n";
    bytes += nul("100-35-44-132-37-59-29-") + "\r\n";  // 5 €: 35 20 80
    bytes += nul("99-34-43-172-199-28-") + "\r\n";     // Ã©: C3 A9, valid UTF-8 by chance
    bytes += EncodeLineBytes("from dual", '\0') + "\r\n";
    writeBytes(file(QStringLiteral("old.vnk")), bytes);

    const QueryDocument doc = readQueryDocument(file(QStringLiteral("old.vnk")));
    ASSERT_TRUE(doc.valid);
    EXPECT_EQ(doc.connName, QStringLiteral("Café"));
    EXPECT_EQ(doc.connString, QStringLiteral("Provider=SQLite;Data Source=demo.sqlite"));
    EXPECT_EQ(doc.lines, QStringList({QStringLiteral("5 €"), QStringLiteral("Ã©"), QStringLiteral("from dual")}));

    writeBytes(file(QStringLiteral("old.sql")), "select 'Caf\xE9', '\x80'\r\n");
    EXPECT_EQ(readQueryDocument(file(QStringLiteral("old.sql"))).lines,
              QStringList({QStringLiteral("select 'Café', '€'")}));
    // A UTF-8 sequence cut off at the end is no UTF-8.
    writeBytes(file(QStringLiteral("cut.txt")), "caf\xC3");
    EXPECT_EQ(readQueryDocument(file(QStringLiteral("cut.txt"))).lines, QStringList({QStringLiteral("cafÃ")}));
}

TEST_F(QueryFileTest, InvalidQueryFiles) {
    const QByteArray name = nul("98-33-42-99-27-") + "\r\n";
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"empty file", ""},
        {"name only", name},
        {"plain statement", "select *\r\nfrom t\r\n"},
        {"comment line", "select 1\r\n-- note\r\nfrom t\r\n"},
        {"connection string decoded by the wrong separator", name + nul("98-33-42-99-27-") + "\r\n"},
        {"empty connection string", name + "97-32-41-26-\r\n" + nul("98-33-42-99-27-") + "\r\n"},
        // Saved trimmed, these would be empty: a file that could never be opened again.
        {"connection string of blanks", name + EncodeLineBytes("  ", '-') + "\r\n"},
        {"connection string of control characters", name + EncodeLineBytes(" \t\x01\x1f ", '-') + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(file(QStringLiteral("bad.vnk")), c.bytes);
        const QueryDocument doc = readQueryDocument(file(QStringLiteral("bad.vnk")));
        EXPECT_TRUE(doc.isQueryFile);
        EXPECT_FALSE(doc.valid);
        EXPECT_TRUE(doc.connName.isEmpty() && doc.connString.isEmpty() && doc.lines.isEmpty());
    }
}

TEST_F(QueryFileTest, QueryFilesTheLoaderAccepts) {
    // Two lines only: an empty statement; LF line ends.
    writeBytes(file(QStringLiteral("two.vnk")), nul("98-33-42-99-27-") + "\n" + "98-33-42-99-27-\n");
    QueryDocument doc = readQueryDocument(file(QStringLiteral("two.vnk")));
    EXPECT_TRUE(doc.valid);
    EXPECT_EQ(doc.connName, QStringLiteral("a"));
    EXPECT_EQ(doc.connString, QStringLiteral("a"));
    EXPECT_TRUE(doc.lines.isEmpty());

    // No name, a connection string with blanks around it, an empty statement line.
    writeBytes(file(QStringLiteral("blank.vnk")), "\r\n" + EncodeLineBytes(" x ", '-') + "\r\n\r\n");
    doc = readQueryDocument(file(QStringLiteral("blank.vnk")));
    EXPECT_TRUE(doc.valid);
    EXPECT_EQ(doc.connName, QString());
    EXPECT_EQ(doc.connString, QStringLiteral(" x "));
    EXPECT_EQ(doc.lines, QStringList({QString()}));  // a line without numbers: empty
}

TEST_F(QueryFileTest, LinesOfPlainFiles) {
    const struct {
        const char* what;
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"empty", "", {}},
        {"LF, CR LF and no final break", "a\nb\r\nc", {u"a"_s, u"b"_s, u"c"_s}},
        {"empty last line", "a\r\n\r\n", {u"a"_s, u""_s}},
        {"lone CR stays", "a\rb\r\n", {u"a\rb"_s}},
        {"Ctrl-Z ends the input", "a\r\nb\x1A\r\nc\r\n", {u"a"_s, u"b"_s}},
        {"byte-order mark", "\xEF\xBB\xBF" "a\r\n", {u"a"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(file(QStringLiteral("p.sql")), c.bytes);
        EXPECT_EQ(readQueryDocument(file(QStringLiteral("p.sql"))).lines, c.lines);
    }
}

TEST_F(QueryFileTest, FilesThatCannotBeRead) {
    for (const QString& path : {file(QStringLiteral("missing.vnk")), dir_.path()}) {
        SCOPED_TRACE(path.toStdString());
        try {
            readQueryDocument(path);
            ADD_FAILURE() << "no error";
        } catch (const QueryFileError& e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    }
}

// A query file holds its connection string, password included.
TEST_F(QueryFileTest, QueryFilesAreReadableByTheirOwnerOnly) {
    const mode_t old = ::umask(022);
    const QString vnk = file(QStringLiteral("secret.vnk")), sql = file(QStringLiteral("plain.sql"));
    const auto save = [&](const QString& path) {
        writeQueryDocument(path, QStringLiteral("Db"), QStringLiteral("DSN=x;PWD=secret"),
                           {QStringLiteral("select 1")});
    };
    const auto mode = [](const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0777) : 0777u;
    };
    save(vnk);
    save(sql);
    EXPECT_EQ(mode(vnk), 0600u);
    EXPECT_EQ(mode(sql), 0644u) << "plain statement files keep the usual mode";
    // A file another program left open to others is closed up on the next save ...
    ASSERT_EQ(::chmod(QFile::encodeName(vnk).constData(), 0644), 0);
    save(vnk);
    EXPECT_EQ(mode(vnk), 0600u);
    // ... and what the user made stricter stays.
    ASSERT_EQ(::chmod(QFile::encodeName(vnk).constData(), 0200), 0);
    save(vnk);
    EXPECT_EQ(mode(vnk), 0200u);
    ::umask(old);
}

TEST_F(QueryFileTest, SaveIntoAFolderThatCannotExist) {
    writeBytes(file(QStringLiteral("plain")), "x");
    // The parent is a regular file: nothing can be created there, not even by root.
    EXPECT_THROW(writeQueryDocument(file(QStringLiteral("plain/doc.vnk")), {}, QStringLiteral("x"), {}),
                 QueryFileError);
    EXPECT_EQ(readBytes(file(QStringLiteral("plain"))), QByteArray("x"));
}

namespace {

// Lowers the file-size limit of this process for one scope: writes past it fail with
// EFBIG, for root as for anyone, so a save fails after part of the file has been written.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

}  // namespace

TEST_F(QueryFileTest, SaveThatFailsHalfWayKeepsThePreviousFile) {
    const QString path = file(QStringLiteral("doc.vnk"));
    writeQueryDocument(path, QStringLiteral("Demo"), QStringLiteral("Provider=SQLite"), {QStringLiteral("select 1")});
    const QByteArray previous = readBytes(path);

    const QStringList big(2000, QStringLiteral("select * from some_table where some_column = 'some value'"));
    QString message;
    {
        const FileSizeLimit limit(64 * 1024);
        try {
            writeQueryDocument(path, QStringLiteral("Demo"), QStringLiteral("Provider=SQLite"), big);
        } catch (const QueryFileError& e) {
            message = e.message();
        }
    }
    EXPECT_FALSE(message.isEmpty()) << "the save did not fail";
    EXPECT_EQ(readBytes(path), previous);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList({QStringLiteral("doc.vnk")}));

    // Without the limit the same save goes through.
    writeQueryDocument(path, QStringLiteral("Demo"), QStringLiteral("Provider=SQLite"), big);
    EXPECT_EQ(readQueryDocument(path).lines, big);
}

TEST(EditorLines, LogicalLinesOfTheEditorText) {
    const struct {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"", {}},
        {"\n", {u""_s}},
        {"a", {u"a"_s}},
        {"a\n", {u"a"_s}},
        {"a\n\n", {u"a"_s, u""_s}},
        {"a\n\nb\n", {u"a"_s, u""_s, u"b"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(editorLines(text), c.lines);
        if (text.isEmpty() || text.endsWith(u'\n')) {
            EXPECT_EQ(editorText(c.lines), text);
        }
    }
}
