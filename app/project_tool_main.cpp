#include "app/application_setup.h"
#include "app/console_text.h"
#include "app/safe_save.h"
#include "battery/battery_calculation.h"
#include "catalogue/catalogue_folder.h"
#include "loops/loop_indexes.h"
#include "project/project_check.h"
#include "project/project_migration.h"
#include "project/project_open.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// 64 is EX_USAGE of <sysexits.h>.
enum ExitStatus { Clean = 0, Attention = 1, Serious = 2, Unreadable = 3, Usage = 64 };

const char usage[] =
    "Usage: quillon-project check [--catalogue DIR] [--format text|csv] [--standard S]\n"
    "                             [--standby-hours H] [--alarm-minutes M] FILE.stm|FOLDER...\n"
    "       quillon-project migrate --from OLD_DIR [--force] [--catalogue DIR] OLD.stm NEW.stm\n"
    "       quillon-project --help | --version\n"
    "Works with the catalogue in DIR, by default the folder of this program, where quillon reads it\n"
    "(data.xlsx or data.dat, name.xlsx or name.dat). No catalogue file is written.\n"
    "check: opens each project as quillon's Open does (a FOLDER: its *.stm files) and calculates it\n"
    "  as Calculate does. One line per loop: FILE: LOOP: PANEL; CABLE; QUIESCENT; ALARM; MAX LENGTH;\n"
    "  STATE, where STATE is normal, near limit, over limit or \"left out: \" and the reason; then\n"
    "  FILE: comment: TEXT for each comment line, then FILE: battery: the standard, the standby and\n"
    "  alarm currents and periods, the factor, the required capacity and the battery (or \"not\n"
    "  calculated: \" and the reason). A project that cannot be read or is refused gets FILE: error:\n"
    "  and why. --format csv: a header, one row per loop and a battery row, currents and lengths as\n"
    "  plain numbers with their units in the header.\n"
    "  --standard bs5839-1|nfpa72-2022|nfpa72-2019 (with that standard's periods), --standby-hours H\n"
    "  and --alarm-minutes M stand over the project's battery inputs.\n"
    "  Exit status: 0 every loop normal, 1 a loop near its limit or left out, 2 a loop over its\n"
    "  limit, 3 a file cannot be read or is refused.\n"
    "migrate: reads OLD.stm with the catalogue it was saved under, found in OLD_DIR, and writes\n"
    "  NEW.stm for the current catalogue: counts follow their device code, panel and cables their\n"
    "  name. What cannot be carried over is listed, one line each, and nothing is written; --force\n"
    "  writes NEW.stm without it. OLD.stm is never written.\n"
    "  Exit status: 0 written, 1 written without the listed items, 2 not written (items listed),\n"
    "  3 a file or catalogue cannot be read, OLD_DIR holds another version, NEW.stm not written.\n"
    "Options: -h, --help  show this text; --version  show the version.\n"
    "A wrong command line exits with status 64.\n";

struct Arguments {
    QString command;
    QString catalogueDir;
    QString format = QStringLiteral("text");
    QString fromDir;
    bool force = false;
    BatteryOverrides battery;
    QStringList files;
    QString error;  // empty when the command line makes sense
};

// Options may stand anywhere after the command, as "--name value" or "--name=value"; "--" ends them.
Arguments parseArguments(QStringList list)
{
    Arguments a;
    if (list.isEmpty()) {
        a.error = QStringLiteral("no command given");
        return a;
    }
    a.command = list.takeFirst();
    if (a.command != QLatin1String("check") && a.command != QLatin1String("migrate")) {
        a.error = QStringLiteral("unknown command \"%1\"").arg(a.command);
        return a;
    }
    const QStringList valued{QStringLiteral("--catalogue"),     QStringLiteral("--format"),
                             QStringLiteral("--from"),          QStringLiteral("--standard"),
                             QStringLiteral("--standby-hours"), QStringLiteral("--alarm-minutes")};
    const QStringList batteryOptions{QStringLiteral("--standard"), QStringLiteral("--standby-hours"),
                                     QStringLiteral("--alarm-minutes")};
    bool optionsEnded = false;
    while (!list.isEmpty() && a.error.isEmpty()) {
        QString item = list.takeFirst();
        if (optionsEnded || !item.startsWith(QLatin1Char('-')) || item == QLatin1String("-")) {
            a.files.append(item);
            continue;
        }
        if (item == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (item == QLatin1String("--force") && a.command == QLatin1String("migrate")) {
            a.force = true;
            continue;
        }
        QString value;
        const int equals = item.indexOf(QLatin1Char('='));
        if (equals > 0) {
            value = item.mid(equals + 1);
            item.truncate(equals);
        } else if (valued.contains(item) && !list.isEmpty()) {
            value = list.takeFirst();
        }
        const bool known = item == QLatin1String("--catalogue") ||
                           ((item == QLatin1String("--format") || batteryOptions.contains(item)) &&
                            a.command == QLatin1String("check")) ||
                           (item == QLatin1String("--from") && a.command == QLatin1String("migrate"));
        if (!known)
            a.error = QStringLiteral("unknown option \"%1\" for %2").arg(item, a.command);
        else if (value.isEmpty())
            a.error = QStringLiteral("%1 needs a value").arg(item);
        else if (item == QLatin1String("--catalogue"))
            a.catalogueDir = value;
        else if (item == QLatin1String("--from"))
            a.fromDir = value;
        else if (item == QLatin1String("--standard")) {
            a.battery.standard = batteryStandardFromKey(value);
            if (!a.battery.standard)
                a.error = QStringLiteral("--standard is bs5839-1, nfpa72-2022 or nfpa72-2019, not \"%1\"").arg(value);
        } else if (item == QLatin1String("--standby-hours") || item == QLatin1String("--alarm-minutes")) {
            // Periods in the C locale's notation, whatever the system's.
            bool ok = false;
            const double period = value.toDouble(&ok);
            if (!ok || !std::isfinite(period) || period < 0.0)
                a.error = QStringLiteral("%1 is a number of 0 or more, not \"%2\"").arg(item, value);
            else
                (item == QLatin1String("--standby-hours") ? a.battery.standbyHours : a.battery.alarmMinutes) = period;
        } else if (value == QLatin1String("text") || value == QLatin1String("csv"))
            a.format = value;
        else
            a.error = QStringLiteral("--format is text or csv, not \"%1\"").arg(value);
    }
    if (!a.error.isEmpty())
        return a;
    if (a.command == QLatin1String("check") && a.files.isEmpty())
        a.error = QStringLiteral("check needs at least one project file");
    else if (a.command == QLatin1String("migrate") && a.fromDir.isEmpty())
        a.error = QStringLiteral("migrate needs --from OLD_DIR");
    else if (a.command == QLatin1String("migrate") && a.files.size() != 2)
        a.error = QStringLiteral("migrate needs OLD.stm and NEW.stm");
    return a;
}

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// --catalogue DIR, or the folder of this program, where quillon reads its catalogue.
QString catalogueFolder(const Arguments &a)
{
    return a.catalogueDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                    : QDir::cleanPath(QDir::fromNativeSeparators(a.catalogueDir));
}

// The bytes of a project file as Open reads them; false with the reason when there are none.
bool readableProject(const QString &path, QByteArray *bytes, QString *reason)
{
    const QFileInfo info(path);
    if (info.isDir())
        *reason = QStringLiteral("It is a folder without *.stm files.");
    else if (!info.exists())
        *reason = QStringLiteral("No such file.");
    else if (!info.isFile())
        *reason = QStringLiteral("It is not a regular file.");  // a pipe would block the read
    else if (readProjectBytes(path, bytes, reason))
        return true;
    else
        *reason += QLatin1Char('.');
    return false;
}

class Tool {
public:
    // The same bytes whatever the locale, so that logs and scripts can match them.
    Tool() : out(ConsoleStream::Out), err(ConsoleStream::Err) {}

    int run(const QStringList &arguments);

private:
    bool loadCatalogue(const QString &dir, Catalogue &c);
    int check(const Arguments &a);
    int migrate(const Arguments &a);
    QStringList projectFiles(const QStringList &arguments);

    ConsoleWriter out;
    ConsoleWriter err;
};

int Tool::run(const QStringList &arguments)
{
    if (arguments.contains(QStringLiteral("-h")) || arguments.contains(QStringLiteral("--help"))) {
        out << usage;
        return Clean;
    }
    if (arguments.contains(QStringLiteral("--version"))) {
        out << "quillon-project " << QCoreApplication::applicationVersion() << '\n';
        return Clean;
    }
    const Arguments a = parseArguments(arguments);
    if (!a.error.isEmpty()) {
        err << "quillon-project: " << a.error << '\n' << usage;
        return Usage;
    }
    const int status = a.command == QLatin1String("check") ? check(a) : migrate(a);
    out.flush();
    err.flush();
    return status;
}

// The catalogue as quillon would load it from dir; what gets in the way is said on stderr.
bool Tool::loadCatalogue(const QString &dir, Catalogue &c)
{
    if (!QFileInfo(dir).isDir()) {
        err << "quillon-project: " << native(dir) << " is not a folder\n";
        return false;
    }
    const CatalogueFolderLoad load = loadCatalogueFolder(dir, c);
    for (const QString &message : load.messages)
        err << "quillon-project: " << native(dir) << ": " << message << '\n';
    return load.ok;
}

// Each argument as it stands, a folder replaced by its project files in name order.
QStringList Tool::projectFiles(const QStringList &arguments)
{
    QStringList files;
    for (const QString &argument : arguments) {
        const QString path = QDir::fromNativeSeparators(argument);
        if (!QFileInfo(path).isDir()) {
            files.append(path);
            continue;
        }
        const QDir folder(path);
        // Unreadable projects too, and broken links: each gets its error line rather than being
        // passed over.
        const QStringList names = folder.entryList({QStringLiteral("*.stm")},
                                                   QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
        for (const QString &name : names)
            files.append(QDir::cleanPath(path + QLatin1Char('/') + name));
        if (names.isEmpty())
            files.append(path);  // reported as a file that cannot be read
    }
    return files;
}

int Tool::check(const Arguments &a)
{
    const auto current = std::make_unique<Catalogue>();
    const QString dir = catalogueFolder(a);
    if (!loadCatalogue(dir, *current))
        return Unreadable;
    QMap<QString, PanelRecord> panels;
    indexPanelsByName(*current, panels);

    const bool csv = a.format == QLatin1String("csv");
    if (csv)
        out << checkCsvHeader() << '\n';
    int status = Clean;
    for (const QString &path : projectFiles(a.files)) {
        const QString label = native(path);
        QByteArray bytes;
        QString reason;
        FileCheck file;
        if (readableProject(path, &bytes, &reason))
            file = checkProjectBytes(bytes, *current, panels, a.battery);
        else
            file.error = refusalLine(ProjectOpenResult::Unopenable, reason);
        if (!file.error.isEmpty()) {
            out << (csv ? checkErrorCsvRow(label, file.error) : checkErrorTextLine(label, file.error)) << '\n';
            status = Unreadable;
            continue;
        }
        for (const QString &line : csv ? checkCsvRows(label, file.check) : checkTextLines(label, file.check))
            out << line << '\n';
        const int verdict = file.check.worst == LoopVerdict::OverLimit ? Serious
                            : file.check.worst == LoopVerdict::Normal  ? Clean
                                                                       : Attention;
        status = std::max(status, verdict);
    }
    return status;
}

int Tool::migrate(const Arguments &a)
{
    const QString oldPath = QDir::fromNativeSeparators(a.files.at(0));
    const QString newPath = QDir::fromNativeSeparators(a.files.at(1));
    const QFileInfo oldInfo(oldPath), newInfo(newPath);
    // Through a link or another spelling of the same path, too.
    if (QDir::cleanPath(oldInfo.absoluteFilePath()) == QDir::cleanPath(newInfo.absoluteFilePath()) ||
        (newInfo.exists() && oldInfo.canonicalFilePath() == newInfo.canonicalFilePath())) {
        err << "quillon-project: " << native(newPath) << " is the old project itself, which is never written\n";
        return Unreadable;
    }

    const auto current = std::make_unique<Catalogue>();
    const auto previous = std::make_unique<Catalogue>();
    const QString dir = catalogueFolder(a);
    const QString fromDir = QDir::cleanPath(QDir::fromNativeSeparators(a.fromDir));
    if (!loadCatalogue(dir, *current) || !loadCatalogue(fromDir, *previous))
        return Unreadable;

    const QString oldLabel = native(oldPath);
    QByteArray bytes;
    QString reason;
    if (!readableProject(oldPath, &bytes, &reason)) {
        out << checkErrorTextLine(oldLabel, refusalLine(ProjectOpenResult::Unopenable, reason)) << '\n';
        return Unreadable;
    }
    ProjectData project;
    const QString refusal = openForMigration(bytes, *previous, native(fromDir), &project);
    if (!refusal.isEmpty()) {
        out << checkErrorTextLine(oldLabel, refusal) << '\n';
        return Unreadable;
    }

    const ProjectMigration migration = migrateProject(project, *previous, *current);
    for (const QString &loss : migration.losses)
        out << oldLabel << ": " << loss << '\n';
    if (!migration.losses.isEmpty() && !a.force) {
        err << "quillon-project: " << native(newPath) << " not written; --force writes it without the items listed\n";
        return Serious;
    }
    const QByteArray migrated = migratedBytes(migration, project, bytes);
    const SaveResult written = migrated.isEmpty() ? SaveResult{false, QStringLiteral("the project is too large")}
                                                  : saveFileAtomically(newPath, migrated);
    if (!written.ok) {
        err << "quillon-project: " << native(newPath) << " cannot be written: " << written.error << '\n';
        return Unreadable;
    }
    out << native(newPath) << ": written for catalogue version number " << current->catalogueVersionNumber << " ("
        << current->catalogueVersion << ")\n";
    return migration.losses.isEmpty() ? Clean : Attention;
}

}  // namespace

int main(int argc, char *argv[])
{
    setApplicationIdentity();
    QCoreApplication app(argc, argv);
    Tool tool;
    return tool.run(QCoreApplication::arguments().mid(1));
}
