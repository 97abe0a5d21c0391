#include "app/safe_save.h"

#ifdef Q_OS_WIN

#include "app/scratch_names.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>
#include <aclapi.h>

#include <vector>

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

// A file held by a virus scanner, the search indexer, a sync client or a PDF viewer is usually
// released within a moment: these errors are retried with a growing pause, about 1 s in all.
bool isBusy(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED
        ;
}

template <typename Attempt>
DWORD retryWhileBusy(Attempt attempt)
{
    static const DWORD pausesMs[] = {10, 20, 40, 80, 150, 200, 250, 250};
    DWORD error = attempt();
    for (const DWORD pause : pausesMs) {
        if (!isBusy(error))
            break;
        Sleep(pause);
        error = attempt();
    }
    return error;
}

bool exists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The save must never replace a file the user could not have opened for writing: a read-only
// file or one the ACL denies. A file with other names is refused too: replacing it would leave
// those names on the old content, and writing in place is not atomic.
DWORD probeExistingTarget(const std::wstring &target)
{
    // Windows refuses to open a read-only file for writing; Wine running as root does not, so
    // the mark is checked as such.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError();
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return ERROR_ACCESS_DENIED;
    return retryWhileBusy([&]() -> DWORD {
        const HANDLE handle = CreateFileW(target.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return GetLastError();
        BY_HANDLE_FILE_INFORMATION status;
        DWORD error = ERROR_SUCCESS;
        if (!GetFileInformationByHandle(handle, &status))
            error = GetLastError();
        else if (status.nNumberOfLinks > 1)
            error = ERROR_TOO_MANY_LINKS;
        CloseHandle(handle);
        return error;
    });
}

// Scratch files are ".NAME.XXXXXXXX.saving" beside the target (app/scratch_names.h).
// Removes what a killed save of this target left behind. A scratch that another save is still
// writing is open without sharing, so Windows refuses to delete it; one that a save has just
// closed and is about to rename may be deleted, and that save then fails whole, never torn.
void removeStaleScratches(const std::wstring &folder, const QString &fileName)
{
    const std::wstring pattern = folder + L"\\" + scratchPrefix(fileName).toStdWString() + L"*";
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                           nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isScratchOf(name, fileName))
            DeleteFileW((folder + L"\\" + name.toStdWString()).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
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

// Creates a new scratch file, never one that exists, and holds it unshared while it is written.
DWORD writeScratch(const std::wstring &folder, const QString &fileName, const QByteArray &bytes,
                   std::wstring *scratch)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = scratchFileName(fileName, QRandomGenerator::system()->generate());
        *scratch = folder + L"\\" + name.toStdWString();
        const HANDLE handle = CreateFileW(scratch->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS)
                continue;
            scratch->clear();
            return error;
        }
        DWORD error = writeAll(handle, bytes);
        if (!CloseHandle(handle) && error == ERROR_SUCCESS)
            error = GetLastError();
        return error;
    }
    scratch->clear();
    return ERROR_FILE_EXISTS;
}

// The rename that replaces an existing name in one step, as Qt's own QSaveFile does on Windows.
DWORD moveIntoPlace(const std::wstring &scratch, const std::wstring &target)
{
    return retryWhileBusy([&]() -> DWORD {
        return MoveFileExW(scratch.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
            ? ERROR_SUCCESS
            : GetLastError();
    });
}

// Gives the scratch what replacing the old file should keep of it: its attributes and, where the
// old file has an access list of its own rather than the one its folder gives every new file, that
// list. (ReplaceFileW would keep these too, but it is no atomic rename: Wine removes the old file
// before it renames the new one, and a save killed in between left no file at all.)
void keepProtection(const std::wstring &oldFile, const std::wstring &scratch)
{
    const DWORD attributes = GetFileAttributesW(oldFile.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(scratch.c_str(), attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
                                                          | FILE_ATTRIBUTE_ARCHIVE
                                                          | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(oldFile.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor)
        != ERROR_SUCCESS)
        return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (dacl && GetSecurityDescriptorControl(descriptor, &control, &revision)) {
        const bool isProtected = control & SE_DACL_PROTECTED;
        bool ownEntries = isProtected;
        for (DWORD i = 0; i < dacl->AceCount && !ownEntries; ++i) {
            ACE_HEADER *ace = nullptr;
            if (GetAce(dacl, i, reinterpret_cast<void **>(&ace)) && !(ace->AceFlags & INHERITED_ACE))
                ownEntries = true;
        }
        if (ownEntries) {
            SetNamedSecurityInfoW(const_cast<wchar_t *>(scratch.c_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION
                                      | (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                     : UNPROTECTED_DACL_SECURITY_INFORMATION),
                                  nullptr, nullptr, dacl, nullptr);
        }
    }
    LocalFree(descriptor);
}

}  // namespace

std::wstring windowsLongPath(const QString &path, unsigned long *error)
{
    *error = ERROR_SUCCESS;
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    // Windows drops trailing dots and spaces of a name, so "project.stm." would land on
    // "project.stm": a different file from the one asked for, refused rather than overwritten.
    if (!native.empty() && (native.back() == L'.' || native.back() == L' ')) {
        *error = ERROR_INVALID_NAME;
        return {};
    }
    const DWORD needed = GetFullPathNameW(native.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        *error = GetLastError();
        return {};
    }
    std::vector<wchar_t> buffer(needed + 1);
    const DWORD length = GetFullPathNameW(native.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) {
        *error = length ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        return {};
    }
    const std::wstring full(buffer.data(), length);
    if (full.rfind(L"\\\\?\\", 0) == 0)
        return full;
    // A device (CON, NUL, COM1) is no file to save to.
    if (full.rfind(L"\\\\.\\", 0) == 0) {
        *error = ERROR_INVALID_NAME;
        return {};
    }
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The content is complete and flushed in a scratch file of its own before one rename puts it in
// place of the target, so the target is always the old file or the new one, also when two saves
// of one path run at once. On failure the scratch is removed; a killed save leaves one behind, which the
// next save of the same file removes.
SaveResult saveFileAtomically(const QString &path, const QByteArray &bytes)
{
    unsigned long error = ERROR_SUCCESS;
    windowsLongPath(path, &error);  // refuses what Windows would save under another name
    if (error != ERROR_SUCCESS)
        return failure(error);
    const QFileInfo info(path);
    const QString resolved = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    if (QFileInfo(resolved).isDir())
        return failure(ERROR_DIRECTORY);
    const std::wstring target = windowsLongPath(resolved, &error);
    if (error != ERROR_SUCCESS)
        return failure(error);
    const size_t slash = target.find_last_of(L'\\');
    const std::wstring folder = target.substr(0, slash);
    const QString fileName = QString::fromStdWString(target.substr(slash + 1));

    removeStaleScratches(folder, fileName);
    const bool hadTarget = exists(target);
    if (hadTarget) {
        error = probeExistingTarget(target);
        if (error != ERROR_SUCCESS)
            return failure(error);
    }
    std::wstring scratch;
    error = writeScratch(folder, fileName, bytes, &scratch);
    if (error == ERROR_SUCCESS) {
        if (hadTarget)
            keepProtection(target, scratch);
        error = moveIntoPlace(scratch, target);
    }
    if (error == ERROR_SUCCESS)
        return {true, QString()};
    if (!scratch.empty())
        DeleteFileW(scratch.c_str());
    return failure(error);
}

#endif
