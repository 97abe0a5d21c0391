#include "app/application_setup.h"
#include "app/console_text.h"
#include "catalogue/catalogue_check.h"
#include "catalogue/xlsx_reader.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

// 64 is EX_USAGE of <sysexits.h>.
enum ExitStatus { Clean = 0, WarningsOnly = 1, Errors = 2, Unreadable = 3, Usage = 64 };

const char usage[] =
    "Usage: quillon-catalogue-check [DIR]\n"
    "Checks the catalogue workbooks data.xlsx and name.xlsx in DIR (by default the folder of\n"
    "this program, where quillon reads them) for cells that Quillon will read differently from\n"
    "what the sheet seems to say. When data.dat and name.dat stand beside them, a changed device,\n"
    "panel or cable list under an unchanged version number is reported too.\n"
    "Each finding is one line: FILE:SHEET!CELL: error|warning: what the cell says and what\n"
    "Quillon reads. An error gives wrong results; a warning is probably not meant.\n"
    "Exit status: 0 clean, 1 warnings only, 2 errors, 3 input cannot be read, 64 wrong usage.\n"
    "Options: -h, --help  show this text; --version  show the version.\n"
    "The check only reads; it changes no file.\n";

}  // namespace

int main(int argc, char *argv[])
{
    setApplicationIdentity();
    QCoreApplication app(argc, argv);
    // The same bytes whatever the locale, so that logs and scripts can match them.
    ConsoleWriter out(ConsoleStream::Out);
    ConsoleWriter err(ConsoleStream::Err);

    // The parser only splits the command line; the texts are the program's own, through the console writer.
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("DIR"), QString(), QStringLiteral("[DIR]"));
    QString wrong;
    if (!parser.parse(QCoreApplication::arguments()))
        wrong = parser.errorText();
    else if (parser.isSet(help)) {
        out << usage;
        return Clean;
    } else if (parser.isSet(version)) {
        out << "quillon-catalogue-check " << QCoreApplication::applicationVersion() << '\n';
        return Clean;
    } else if (parser.positionalArguments().size() > 1)
        wrong = QStringLiteral("one folder at most, not %1 arguments").arg(parser.positionalArguments().size());
    if (!wrong.isEmpty()) {
        err << "quillon-catalogue-check: " << wrong << '\n' << usage;
        return Usage;
    }
    const QStringList arguments = parser.positionalArguments();
    const QString dir = arguments.isEmpty() ? QCoreApplication::applicationDirPath()
                                            : QDir::cleanPath(QDir::fromNativeSeparators(arguments[0]));
    if (!QFileInfo(dir).isDir()) {
        err << "quillon-catalogue-check: " << QDir::toNativeSeparators(dir) << " is not a folder\n";
        return Unreadable;
    }

    bool unreadable = false;
    XlsxWorkbook workbooks[2];
    CatalogueCheckInput input;
    const QString names[2] = {QStringLiteral("data.xlsx"), QStringLiteral("name.xlsx")};
    for (int i = 0; i < 2; ++i) {
        const QString path = dir + QLatin1Char('/') + names[i];
        if (!QFileInfo::exists(path))
            continue;
        if (!workbooks[i].open(path)) {
            // Quillon keeps its .dat file when a workbook cannot be read; nothing of it can be checked.
            out << names[i] << ": error: the workbook cannot be read (" << workbooks[i].errorString() << ")\n";
            unreadable = true;
            continue;
        }
        (i == 0 ? input.dataWorkbook : input.nameWorkbook) = &workbooks[i];
    }
    if (!unreadable && !input.dataWorkbook && !input.nameWorkbook) {
        err << "quillon-catalogue-check: no data.xlsx or name.xlsx in " << QDir::toNativeSeparators(dir) << '\n';
        return Unreadable;
    }
    readCatalogueFiles(dir, input);

    const QVector<CatalogueFinding> findings = checkCatalogue(input);
    int errors = 0;
    for (const CatalogueFinding &finding : findings) {
        out << findingLine(finding) << '\n';
        errors += finding.severity == FindingSeverity::Error ? 1 : 0;
    }
    out.flush();
    if (unreadable)
        return Unreadable;
    return errors ? Errors : findings.isEmpty() ? Clean : WarningsOnly;
}
