#include "app/safe_save.h"

#ifdef Q_OS_WIN

#include <QDir>
#include <QFileInfo>

#include <windows.h>

namespace {

SaveResult failure(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString reason = length ? QString::fromWCharArray(text, int(length)).trimmed()
                            : QStringLiteral("Windows error %1").arg(error);
    LocalFree(text);
    return {false, reason};
}

std::wstring nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// The save must never replace a file the user could not have opened for writing: a read-only
// file, one another program holds open without sharing, or one the ACL denies.
DWORD probeExistingTarget(const std::wstring &target)
{
    // Windows refuses to open a read-only file for writing; Wine running as root does not, so
    // the mark is checked as such.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError();
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return ERROR_ACCESS_DENIED;
    const HANDLE handle =
        CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    // Replacing a file with other names would leave those on the old content: refused, as on
    // Linux, rather than written in place, which is not atomic.
    BY_HANDLE_FILE_INFORMATION status;
    DWORD error = ERROR_SUCCESS;
    if (!GetFileInformationByHandle(handle, &status))
        error = GetLastError();
    else if (status.nNumberOfLinks > 1)
        error = ERROR_TOO_MANY_LINKS;
    CloseHandle(handle);
    return error;
}

DWORD writeAll(HANDLE handle, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const DWORD chunk = DWORD(qMin<qint64>(left, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr))
            return GetLastError();
        if (written == 0)
            return ERROR_DISK_FULL;  // a short write without an error code
        data += written;
        left -= written;
    }
    return FlushFileBuffers(handle) ? ERROR_SUCCESS : GetLastError();
}

// Writes the content into a file that Windows deletes when its handle closes, also when the
// process is killed, and gives it the name linkName by a hard link only once it is complete and
// flushed. Sets *noHardLinks where the volume (FAT, exFAT) has none.
DWORD writeUnnamed(const std::wstring &scratchName, const std::wstring &linkName, const QByteArray &bytes,
                   bool *noHardLinks)
{
    *noHardLinks = false;
    const HANDLE handle = CreateFileW(scratchName.c_str(), GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD error = writeAll(handle, bytes);
    if (error == ERROR_SUCCESS) {
        DeleteFileW(linkName.c_str());  // left by a save killed between link and rename
        if (!CreateHardLinkW(linkName.c_str(), scratchName.c_str(), nullptr)) {
            error = GetLastError();
            *noHardLinks = error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED;
        }
    }
    CloseHandle(handle);  // removes scratchName; linkName keeps the content
    return error;
}

DWORD writeNamed(const std::wstring &name, const QByteArray &bytes)
{
    const HANDLE handle =
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD error = writeAll(handle, bytes);
    if (!CloseHandle(handle) && error == ERROR_SUCCESS)
        error = GetLastError();
    return error;
}

}  // namespace

// The content is complete and flushed in ".NAME.saving" before that is renamed over the target,
// so the target is always the old file or the new one. Only a kill in the instant between the
// link and the rename leaves ".NAME.saving" behind, and the next save replaces it.
SaveResult saveFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    const QString target = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir())
        return failure(ERROR_DIRECTORY);
    const QString stem = targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName();
    const std::wstring finalName = nativePath(target);
    const std::wstring linkName = nativePath(stem + QStringLiteral(".saving"));
    const std::wstring scratchName = nativePath(stem + QStringLiteral(".writing"));

    if (targetInfo.exists()) {
        const DWORD error = probeExistingTarget(finalName);
        if (error != ERROR_SUCCESS)
            return failure(error);
    }
    bool noHardLinks = false;
    DWORD error = writeUnnamed(scratchName, linkName, bytes, &noHardLinks);
    if (noHardLinks)
        error = writeNamed(linkName, bytes);
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(linkName.c_str(), finalName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(linkName.c_str());
        return failure(error);
    }
    return {true, QString()};
}

#endif
