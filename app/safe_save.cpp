#include "app/safe_save.h"

// Windows has its own implementation in safe_save_windows.cpp.
#ifndef Q_OS_WIN

#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

SaveResult saveThroughQSaveFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};

    // QSaveFile::commit() in Qt 5.15 neither checks the final flush nor notices a short write,
    // so a full disk could otherwise end as a truncated file reported as saved.
    const qint64 written = file.write(bytes);
    if (written != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        file.commit();  // discards the temporary file; the target is untouched
        return {false, reason.isEmpty() ? QStringLiteral("short write") : reason};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, QString()};
}

#ifdef Q_OS_LINUX

SaveResult failure(int error) { return {false, QString::fromLocal8Bit(std::strerror(error))}; }

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// The content goes into an unnamed file (O_TMPFILE) that gets a name only once it is complete
// and on disk, so a crash or kill while writing leaves no temporary file behind.
// Sets *unsupported when the file system has no unnamed files.
SaveResult saveThroughUnnamedFile(const QString &path, const QByteArray &bytes, bool *unsupported)
{
    *unsupported = false;
    QFileInfo info(path);
    const QString target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir())
        return failure(EISDIR);
    const QByteArray dir = QFile::encodeName(targetInfo.absolutePath());
    const QByteArray finalName = QFile::encodeName(targetInfo.absoluteFilePath());
    const QByteArray linkName =
        QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName() +
                          QStringLiteral(".saving"));

    const int fd = ::open(dir.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        *unsupported = error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
        return failure(error);
    }
    struct stat existing;
    if (::stat(finalName.constData(), &existing) == 0)
        ::fchmod(fd, existing.st_mode & 07777);  // keep the permissions of the file replaced

    int error = 0;
    if (!writeAll(fd, bytes.constData(), size_t(bytes.size())))
        error = errno ? errno : EIO;
    else if (::fsync(fd) != 0)
        error = errno;
    if (error == 0) {
        char procPath[64];
        std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
        ::unlink(linkName.constData());  // left by a save that was killed between link and rename
        if (::linkat(AT_FDCWD, procPath, AT_FDCWD, linkName.constData(), AT_SYMLINK_FOLLOW) != 0) {
            error = errno;
        } else if (::rename(linkName.constData(), finalName.constData()) != 0) {
            error = errno;
            ::unlink(linkName.constData());
        }
    }
    ::close(fd);
    if (error != 0)
        return failure(error);
    return {true, QString()};
}

#endif

}  // namespace

SaveResult saveFileAtomically(const QString &path, const QByteArray &bytes)
{
#ifdef Q_OS_LINUX
    bool unsupported = false;
    const SaveResult result = saveThroughUnnamedFile(path, bytes, &unsupported);
    if (!unsupported)
        return result;
#endif
    return saveThroughQSaveFile(path, bytes);
}

#endif  // !Q_OS_WIN
