#include "app/console_text.h"

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

void writeConsoleText(ConsoleStream stream, const QString &text)
{
    if (text.isEmpty())
        return;
    FILE *file = stream == ConsoleStream::Out ? stdout : stderr;
#ifdef Q_OS_WIN
    const HANDLE handle = GetStdHandle(stream == ConsoleStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
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
