#include "app/application_setup.h"
#include "app/command_line.h"
#include "app/console_text.h"
#include "app/main_window.h"

#include <QApplication>
#include <QMetaObject>
#include <QStringList>

namespace {

constexpr int kUsageStatus = 64;  // EX_USAGE of <sysexits.h>

// --help and --version print and end; they are never taken for a file name.
bool answered(const QuillonCommandLine &line)
{
    if (line.action == QuillonCommandLine::Action::Help)
        writeConsoleText(ConsoleStream::Out, quillonUsage());
    else if (line.action == QuillonCommandLine::Action::Version)
        writeConsoleText(ConsoleStream::Out,
                         QStringLiteral("quillon %1\n").arg(QCoreApplication::applicationVersion()));
    else
        return false;
    return true;
}

}  // namespace

int main(int argc, char *argv[])
{
    setApplicationIdentity();
    // Before the application object, which needs a display that --help does not.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw.append(QString::fromLocal8Bit(argv[i]));
    if (answered(parseQuillonCommandLine(raw, true)))
        return 0;

    prepareHighDpiScaling();
    QApplication app(argc, argv);
    // The arguments come from Qt, which has them as Unicode on every system (argv is in the local
    // 8-bit encoding) and has taken out the options it reads itself.
    const QuillonCommandLine line = parseQuillonCommandLine(QCoreApplication::arguments());
    if (line.action == QuillonCommandLine::Action::Wrong) {
        writeConsoleText(ConsoleStream::Err, QStringLiteral("quillon: %1\n").arg(line.error) + quillonUsage());
        return kUsageStatus;
    }
    setUpApplication();
    MainWindow window;
    window.show();
    // Queued, so that the window is on screen before any box. Work a crash left behind comes
    // first; a file named on the command line then asks before it replaces restored work.
    const QStringList arguments{QCoreApplication::arguments().value(0), line.file};
    QMetaObject::invokeMethod(
        &window,
        [&window, arguments] {
            window.offerRecovery();
            if (!arguments.at(1).isEmpty())
                window.openProjectFromCommandLine(arguments);
        },
        Qt::QueuedConnection);
    return app.exec();
}
