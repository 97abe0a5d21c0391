#include "app/command_line.h"

#include <QCommandLineParser>

QuillonCommandLine parseQuillonCommandLine(const QStringList &arguments, bool beforeQt)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("FILE"), QString(), QStringLiteral("[FILE.stm]"));
    // Long options only: "-platform" is one option, not "-p -l -a ...".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

    QuillonCommandLine line;
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help))
        line.action = QuillonCommandLine::Action::Help;
    else if (parser.isSet(version))
        line.action = QuillonCommandLine::Action::Version;
    else if (beforeQt)
        return line;
    else if (!parsed)
        line.error = parser.errorText();
    else if (parser.positionalArguments().size() > 1)
        line.error = QStringLiteral("quillon opens one project file, not %1").arg(parser.positionalArguments().size());
    if (!line.error.isEmpty())
        line.action = QuillonCommandLine::Action::Wrong;
    if (line.action == QuillonCommandLine::Action::Run)
        line.file = parser.positionalArguments().value(0);
    return line;
}

QString quillonUsage()
{
    return QStringLiteral(
        "Usage: quillon [FILE.stm]\n"
        "       quillon --help | --version\n"
        "Opens the loop calculator, with the project FILE.stm when one is given.\n"
        "Options: -h, --help  show this text; -v, --version  show the version.\n"
        "A wrong command line exits with status 64.\n");
}
