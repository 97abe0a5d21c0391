#pragma once

#include <QString>
#include <QTextStream>

enum class ConsoleStream { Out, Err };

// Writes text to standard output or error: as UTF-16 through WriteConsoleW when that is a
// Windows console, whose code page (437, 850) cannot show UTF-8; as UTF-8 bytes everywhere else,
// so that redirected output and logs are the same on every system.
void writeConsoleText(ConsoleStream stream, const QString &text);

// A QTextStream-like writer that hands its text to writeConsoleText when flushed or destroyed.
class ConsoleWriter {
public:
    explicit ConsoleWriter(ConsoleStream stream) : stream_(stream), text_(&buffer_) {}
    ~ConsoleWriter() { flush(); }
    ConsoleWriter(const ConsoleWriter &) = delete;
    ConsoleWriter &operator=(const ConsoleWriter &) = delete;

    template <typename T>
    ConsoleWriter &operator<<(const T &value)
    {
        text_ << value;
        return *this;
    }
    void flush();

private:
    ConsoleStream stream_;
    QString buffer_;
    QTextStream text_;
};
