#include "SpreadsheetIo.h"

#include "ExportErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vnk::exporting {


// ---- output file

SheetOutputFile::SheetOutputFile(const QString& target) : file_(target) {
    if (target.isEmpty())
        throw ExportError(fileErrorText(ENOENT));
    if (QFileInfo(target).isDir())
        throw ExportError(fileErrorText(EISDIR));
    errno = 0;
    if (!file_.open(QIODevice::WriteOnly)) {
        const int saved = errno;
        throw fileError(file_, fileCreateError(target, saved));
    }
    buf_.reserve(kChunk + kChunk / 4);
}

SheetOutputFile::~SheetOutputFile() {
    if (file_.isOpen())
        file_.cancelWriting();
}

void SheetOutputFile::write(std::string_view bytes) {
    buf_ += bytes;
    flushIfFull();
}

void SheetOutputFile::flush() {
    if (buf_.empty())
        return;
    errno = 0;
    const qint64 n = file_.write(buf_.data(), static_cast<qint64>(buf_.size()));
    if (n != static_cast<qint64>(buf_.size())) {
        const int saved = errno;
        throw fileError(file_, saved);
    }
    buf_.clear();
}

void SheetOutputFile::commit() {
    flush();
    errno = 0;
    if (!file_.commit()) {
        const int saved = errno;
        throw fileError(file_, saved);
    }
}

// ---- spool

SpoolFile::SpoolFile() : file_(QDir::tempPath() + QStringLiteral("/varnock-sheet-XXXXXX")) {
    errno = 0;
    if (!file_.open()) {
        const int saved = errno;
        throw fileError(file_, saved);
    }
    buf_.reserve(SheetOutputFile::kChunk + SheetOutputFile::kChunk / 4);
}

SpoolFile::~SpoolFile() = default;

void SpoolFile::flush() {
    if (buf_.empty())
        return;
    errno = 0;
    const qint64 n = file_.write(buf_.data(), static_cast<qint64>(buf_.size()));
    if (n != static_cast<qint64>(buf_.size())) {
        const int saved = errno;
        throw fileError(file_, saved);
    }
    written_ += n;
    buf_.clear();
}

void SpoolFile::copyTo(SheetOutputFile& out) {
    flush();
    out.flush();
    if (!file_.seek(0))
        throw fileError(file_, errno);
    std::string& dst = out.buffer();
    std::int64_t left = written_;
    while (left > 0) {
        const std::size_t chunk = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(SheetOutputFile::kChunk)));
        const std::size_t start = dst.size();
        dst.resize(start + chunk);
        errno = 0;
        const qint64 n = file_.read(dst.data() + start, static_cast<qint64>(chunk));
        if (n <= 0) {
            const int saved = errno;
            dst.resize(start);
            throw fileError(file_, saved);
        }
        dst.resize(start + static_cast<std::size_t>(n));
        left -= n;
        out.flushIfFull();
    }
}

// ---- staged path

namespace {

// The file a name stands for: through a symbolic link (a chain of them, a dangling one
// too) its target, which is what gets written, as QSaveFile does; the link stays.
QString writtenFile(const QString& target) {
    QFileInfo info(target);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? QFileInfo(target).absoluteFilePath() : info.absoluteFilePath();
}

}  // namespace

StagedPath::StagedPath(const QString& target) {
    if (target.isEmpty())
        throw ExportError(fileErrorText(ENOENT));
    target_ = writtenFile(target);
    const QFileInfo info(target_);
    if (info.isDir())
        throw ExportError(fileErrorText(EISDIR));
    QTemporaryFile tmp(info.absolutePath() + u'/' + info.fileName() + QStringLiteral(".XXXXXX"));
    tmp.setAutoRemove(false);
    errno = 0;
    if (!tmp.open()) {
        const int saved = errno;
        throw fileError(tmp, fileCreateError(target_, saved));
    }
    path_ = tmp.fileName();
    // Access as a new file of the user's would have, or as the file it replaces; the
    // temporary file is made private, so it is never more open than either meanwhile.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st;
    const QByteArray old = QFile::encodeName(target_);
    const mode_t mode = ::stat(old.constData(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~mask);
    if (::fchmod(tmp.handle(), mode) != 0) {
        const int saved = errno;
        QFile::remove(path_);
        path_.clear();
        throw ExportError(fileErrorText(saved));
    }
}

StagedPath::~StagedPath() {
    if (!committed_ && !path_.isEmpty())
        QFile::remove(path_);
}

QString StagedPath::folder() const {
    return QFileInfo(target_).absolutePath();
}

void StagedPath::commit() {
    const QByteArray from = QFile::encodeName(path_);
    const QByteArray to = QFile::encodeName(target_);
    if (std::rename(from.constData(), to.constData()) != 0)
        throw ExportError(fileErrorText(errno));
    committed_ = true;
}

// ---- XML text

void appendXmlText(std::string& out, std::string_view s) {
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += '\t'; break;
        default:
            if (c >= 0x20)
                out += ch;
            // other control characters have no place in XML 1.0
            break;
        }
    }
}

}  // namespace vnk::exporting
