#include "app/console_text.h"

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>

namespace {

// A windowed program (quillon.exe) started from a console inherits no standard handles: it
// borrows the console of the program that started it, so that "quillon --help" prints where it
// was typed. A console program, or output redirected to a file or pipe, keeps its own handle.
HANDLE standardHandle(ConsoleStream stream)
{
    const DWORD which = stream == ConsoleStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        return handle;
    // ERROR_ACCESS_DENIED: already attached, by the other stream's first write.
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return INVALID_HANDLE_VALUE;
    handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        SetStdHandle(which, handle);
    return handle;
}

}  // namespace
#endif

void writeConsoleText(ConsoleStream stream, const QString &text)
{
    if (text.isEmpty())
        return;
    FILE *file = stream == ConsoleStream::Out ? stdout : stderr;
#ifdef Q_OS_WIN
    const HANDLE handle = standardHandle(stream);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(file);
        DWORD written = 0;
        WriteConsoleW(handle, reinterpret_cast<const wchar_t *>(text.utf16()), DWORD(text.size()), &written,
                      nullptr);
        return;
    }
#endif
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    std::fflush(file);
}

void ConsoleWriter::flush()
{
    text_.flush();
    writeConsoleText(stream_, buffer_);
    buffer_.clear();
}
