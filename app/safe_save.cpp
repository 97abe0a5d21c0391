#include "app/safe_save.h"

#ifndef Q_OS_WIN

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

SaveResult failure(int error) { return {false, QString::fromLocal8Bit(std::strerror(error))}; }

// Where a save really lands: the end of any chain of symbolic links, as a canonical directory
// and a name in it. `exists` is false for a new file, including the missing end of a dangling
// link, which the save then creates (as opening the link for writing would).
struct SaveTarget {
    QByteArray directory;
    QByteArray name;
    QByteArray path;  // directory + "/" + name
    bool exists = false;
    struct stat status {};
};

constexpr int kMaxLinkHops = 40;  // Linux's own limit before ELOOP

int resolveTarget(const QByteArray &requested, SaveTarget *target)
{
    QByteArray path = requested;
    for (int hop = 0;; ++hop) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            if (errno != ENOENT)
                return errno;
            break;  // a new file, or the missing end of a link chain
        }
        if (!S_ISLNK(st.st_mode))
            break;
        if (hop == kMaxLinkHops)
            return ELOOP;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(path.constData(), buffer, sizeof buffer);
        if (n < 0)
            return errno;
        if (size_t(n) >= sizeof buffer)
            return ENAMETOOLONG;
        const QByteArray link(buffer, int(n));
        if (link.startsWith('/')) {
            path = link;
        } else {
            // Relative to the link's own directory; ".." is left to the kernel, which knows
            // where a linked directory really lies.
            const int slash = path.lastIndexOf('/');
            path = (slash < 0 ? QByteArray() : path.left(slash + 1)) + link;
        }
    }

    const int slash = path.lastIndexOf('/');
    const QByteArray directory = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    const QByteArray name = path.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..")
        return EISDIR;
    char canonical[PATH_MAX];
    if (!::realpath(directory.constData(), canonical))
        return errno;
    target->directory = canonical;
    target->name = name;
    target->path = target->directory + (target->directory.endsWith('/') ? "" : "/") + name;
    target->exists = ::stat(target->path.constData(), &target->status) == 0;
    if (!target->exists && errno != ENOENT)
        return errno;
    return 0;
}

// The same answer as opening the existing file for writing: mode bits, ACLs, a read-only
// mount, an immutable file. Opening without O_TRUNC changes nothing.
int checkReplaceable(const SaveTarget &target)
{
    if (!target.exists)
        return 0;
    if (S_ISDIR(target.status.st_mode))
        return EISDIR;
    if (!S_ISREG(target.status.st_mode))
        return EINVAL;  // a device or a pipe is never replaced by a regular file
    // Replacing the file would leave its other names on the old content; a save that cannot
    // keep them together is refused rather than writing in place, which is not atomic.
    if (target.status.st_nlink > 1)
        return EMLINK;
    const int fd = ::open(target.path.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

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
SaveResult saveThroughUnnamedFile(const SaveTarget &target, const QByteArray &bytes, bool *unsupported)
{
    *unsupported = false;
    const QByteArray linkName = target.directory + "/." + target.name + ".saving";

    const int fd = ::open(target.directory.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        *unsupported = error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
        return failure(error);
    }
    if (target.exists) {
        // Keep the permissions, and the owner and group where allowed, of the file replaced.
        if (::fchown(fd, target.status.st_uid, target.status.st_gid) != 0)
            (void)!::fchown(fd, uid_t(-1), target.status.st_gid);
        ::fchmod(fd, target.status.st_mode & 07777);
    }

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
        } else if (::rename(linkName.constData(), target.path.constData()) != 0) {
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
    SaveTarget target;
    if (const int error = resolveTarget(QFile::encodeName(path), &target))
        return failure(error);
    if (const int error = checkReplaceable(target))
        return failure(error);
#ifdef Q_OS_LINUX
    bool unsupported = false;
    const SaveResult result = saveThroughUnnamedFile(target, bytes, &unsupported);
    if (!unsupported)
        return result;
#endif
    return saveThroughQSaveFile(QFile::decodeName(target.path), bytes);
}

#endif  // Q_OS_WIN
