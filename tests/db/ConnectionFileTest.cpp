#include "db/ConnectionFile.h"
#include "db/DbError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vnk::db;

namespace {

QByteArray utf16le(const QString& text, bool bom = true) {
    QByteArray out;
    if (bom)
        out = QByteArray("\xFF\xFE", 2);
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

class ConnectionFileTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir_;
};

TEST_F(ConnectionFileTest, LineRulesOfEveryKindOfFile) {
    const struct {
        const char* name;
        QByteArray bytes;
        QString expected;
    } cases[] = {
        {"a.udl",
         utf16le(QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB "
                                "initstring\r\nProvider=SQLite;Data Source=x.db\r\n")),
         QStringLiteral("Provider=SQLite;Data Source=x.db")},
        {"b.UDL", utf16le(QStringLiteral("[oledb]\r\n;c\r\nDSN=Zürich €\r\n")),
         QStringLiteral("DSN=Zürich €")},
        {"c.udl", utf16le(QStringLiteral("[oledb]\r\n"), true), QString()},
        {"d.udl", QByteArray("[oledb]\r\n; comment\r\nDSN=x\r\n"), QStringLiteral("DSN=x")},
        {"e.udl", utf16le(QStringLiteral("[oledb]\r\n;c\r\nDSN=x\r\n"), false), QStringLiteral("DSN=x")},
        {"f.txt", QByteArray("Provider=SQLite;\r\nData Source=x.db\r\n"),
         QStringLiteral("Provider=SQLite;Data Source=x.db")},
        {"g.txt", QByteArray("DSN=a\rb;UID=u\n"), QStringLiteral("DSN=ab;UID=u")},
        {"h.txt", QByteArray("DSN=x\x1A;UID=ignored\r\n"), QStringLiteral("DSN=x")},
        {"i.txt", QByteArray(), QString()},
        {"j.txt", QByteArray("DSN=M\xFCller \x80"), QStringLiteral("DSN=Müller €")},
        {"k.txt", QByteArray("DSN=M\xC3\xBCller"), QStringLiteral("DSN=Müller")},
        {"l.txt", QByteArray("\xEF\xBB\xBF" "DSN=x"), QStringLiteral("DSN=x")},
        {"m.txt", QByteArray("D\0S\0N=x", 7), QStringLiteral("DSN=x")},
        // Only a data-link file skips its header lines.
        {"n.txt", QByteArray("[oledb]\r\n;c\r\nDSN=x"), QStringLiteral("[oledb];cDSN=x")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadConnectionFile(write(QString::fromUtf8(c.name), c.bytes)), c.expected)
            << c.name;
}

TEST_F(ConnectionFileTest, DataLinkBytesReadBackAsTheString) {
    const QString cs = QStringLiteral("Provider=SQLite;Data Source=Grüße/東京.db");
    const QByteArray bytes = dataLinkFileBytes(cs);
    EXPECT_EQ(bytes, utf16le(QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB "
                                            "initstring\r\n") +
                             cs + QStringLiteral("\r\n")));
    EXPECT_EQ(ReadConnectionFile(write(QStringLiteral("x.udl"), bytes)), cs);
}

TEST_F(ConnectionFileTest, UnreadableFileRaisesTheFileError) {
    const QString path = dir_.filePath(QStringLiteral("missing.udl"));
    try {
        ReadConnectionFile(path);
        FAIL() << "a missing file was read";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(path)) << qPrintable(e.message());
        EXPECT_TRUE(e.message().contains(u"No such file")) << qPrintable(e.message());
    }
    EXPECT_THROW(ReadConnectionFile(dir_.path()), DbError);  // a folder
}

}  // namespace
