#include "QueryFile.h"

#include "LineEncoding.h"
#include "share/Text.h"
#include "share/TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <utility>

namespace vnk::queryfile {

namespace {

// The input of a document file as text-file reading sees it: up to the first Ctrl-Z,
// without a UTF-8 byte-order mark.
QByteArray readInput(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw QueryFileError(file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw QueryFileError(file.errorString());
    const qsizetype end = bytes.indexOf('\x1A');
    if (end >= 0)
        bytes.truncate(end);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return bytes;
}

// Lines end at LF; a CR right before it belongs to the line end. Text after the last
// line end is a last line.
QList<QByteArray> splitLines(const QByteArray& input) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < input.size()) {
        const qsizetype end = input.indexOf('\n', start);
        qsizetype stop = end < 0 ? input.size() : end;
        if (end >= 0 && stop > start && input.at(stop - 1) == '\r')
            --stop;
        lines.append(input.mid(start, stop - start));
        start = end < 0 ? input.size() : end + 1;
    }
    return lines;
}

// One choice for the whole file: a file of the Windows program is Windows-1252 in all its
// lines, even in those that happen to be valid UTF-8.
QStringList toText(const QList<QByteArray>& lines) {
    bool utf8 = true;
    for (const QByteArray& line : lines)
        utf8 = utf8 && isValidUtf8(line);
    QStringList text;
    text.reserve(lines.size());
    for (const QByteArray& line : lines)
        text.append(utf8 ? QString::fromUtf8(line) : decodeWindows1252(line));
    return text;
}

}  // namespace

bool isQueryFilePath(const QString& path) {
    return FileKind(path) == QStringLiteral(".VNK");
}

QueryDocument readQueryDocument(const QString& path) {
    const QList<QByteArray> input = splitLines(readInput(path));
    QueryDocument doc;
    doc.isQueryFile = isQueryFilePath(path);
    if (!doc.isQueryFile) {
        doc.lines = toText(input);
        return doc;
    }

    QList<QByteArray> decoded;
    decoded.reserve(input.size());
    for (qsizetype i = 0; i < input.size(); ++i) {
        const char separator = i == 0 ? kNameSeparator : i == 1 ? kConnStringSeparator : kStatementSeparator;
        decoded.append(DecodeLineBytes(input[i], separator));
    }
    // A connection string of blanks and control characters is no connection: it would be
    // saved trimmed to nothing and could never be opened again.
    const auto blank = [](const QByteArray& b) {
        return std::all_of(b.begin(), b.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; });
    };
    if (decoded.size() < 2 || blank(decoded[1])) {
        doc.valid = false;
        return doc;
    }
    QStringList text = toText(decoded);
    doc.connName = text.takeFirst();
    doc.connString = text.takeFirst();
    doc.lines = std::move(text);
    return doc;
}

QString withoutUdlExtension(const QString& connName) {
    return FileKind(connName) == QStringLiteral(".UDL") ? connName.chopped(4) : connName;
}

QString storedConnectionName(const QString& connName) {
    return TrimText(withoutUdlExtension(connName));
}

void writeQueryDocument(const QString& path, const QString& connName, const QString& connString,
                        const QStringList& lines) {
    QByteArray content;
    const auto addLine = [&content](const QByteArray& line) {
        content += line;
        content += "\r\n";
    };
    if (isQueryFilePath(path)) {
        addLine(EncodeLineBytes(storedConnectionName(connName).toUtf8(), kNameSeparator));
        addLine(EncodeLineBytes(TrimText(connString).toUtf8(), kConnStringSeparator));
        for (const QString& line : lines)
            addLine(EncodeLineBytes(line.toUtf8(), kStatementSeparator));
    } else {
        for (const QString& line : lines)
            addLine(line.toUtf8());
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw QueryFileError(file.errorString());
    // A query file holds its connection string, password included: readable by its owner
    // only, and a mode the user made stricter stays.
    if (isQueryFilePath(path)) {
        constexpr QFileDevice::Permissions kOwnerOnly =
            QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const QFileInfo existing(path);
        const QFileDevice::Permissions mode =
            existing.exists() ? (existing.permissions() & kOwnerOnly) : kOwnerOnly;
        if (!file.setPermissions(mode))
            throw QueryFileError(file.errorString());
    }
    if (file.write(content) != content.size() || !file.commit())
        throw QueryFileError(file.errorString());
}

QStringList editorLines(const QString& editorText) {
    QStringList lines = editorText.split(u'\n');
    // The split gives one piece more than there are line breaks; the piece after the last
    // break is a line only when it holds text.
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString editorText(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) {
        text += line;
        text += u'\n';
    }
    return text;
}

}  // namespace vnk::queryfile
