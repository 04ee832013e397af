#include "ExportErrors.h"

#include <QFileDevice>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFileInfo>
#include <QFile>

namespace vnk::exporting {

namespace {

// The classic input/output error codes behind the texts.
constexpr int kFileNotFound = 2;
constexpr int kInvalidFilename = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kDiskFull = 101;

QString ioText(int code) {
    switch (code) {
    case kFileNotFound:
        return QStringLiteral("File not found");
    case kInvalidFilename:
        return QStringLiteral("Invalid filename");
    case kTooManyOpenFiles:
        return QStringLiteral("Too many open files");
    case kAccessDenied:
        return QStringLiteral("File access denied");
    case kDiskFull:
        return QStringLiteral("Disk full");
    default:
        return QStringLiteral("I/O error %1").arg(code);
    }
}

} // namespace

QString fileErrorText(int osError) {
    switch (osError) {
    // Creating a file whose folder is missing, or whose "folder" is a file, is a bad path.
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        return ioText(kInvalidFilename);
    case EMFILE:
    case ENFILE:
        return ioText(kTooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EEXIST:
        return ioText(kAccessDenied);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ioText(kDiskFull);
    default:
        return QStringLiteral("I/O error %1").arg(osError);
    }
}

ExportError fileError(const QFileDevice& file, int osError) {
    if (osError != 0)
        return ExportError(fileErrorText(osError));
    switch (file.error()) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
    case QFileDevice::RenameError:
    case QFileDevice::RemoveError:
        return ExportError(ioText(kAccessDenied));
    case QFileDevice::ResourceError:
        return ExportError(ioText(kDiskFull));
    default:
        break;
    }
    // No number to go on: the device's own text is the most a user can learn.
    const QString text = file.errorString();
    return ExportError(text.isEmpty() ? ioText(EIO) : text);
}

// Why a file cannot be created, asked of the system in the same folder: QSaveFile
// reports only that the open failed. saved is errno as the failed open left it.
int fileCreateError(const QString& fileName, int saved) {
    const QFileInfo info(fileName);
    const QByteArray path = QFile::encodeName(info.absoluteFilePath());
    const QByteArray dir = QFile::encodeName(info.absolutePath());
    struct stat st;
    if (::stat(path.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return EISDIR;
        if (::access(path.constData(), W_OK) != 0)
            return errno;
    }
#ifdef O_TMPFILE
    // An unnamed file in the folder: nothing visible is created.
    const int fd = ::open(dir.constData(), O_TMPFILE | O_WRONLY, 0600);
    if (fd >= 0) {
        ::close(fd);
        return saved;
    }
    const int e = errno;
    if (e != EOPNOTSUPP && e != EISDIR && e != EINVAL)
        return e;
#else
    if (::access(dir.constData(), W_OK) != 0)
        return errno;
#endif
    return saved;
}

} // namespace vnk::exporting
