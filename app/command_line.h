#pragma once

#include <QString>
#include <QStringList>

// What quillon's command line asks for.
struct QuillonCommandLine {
    enum class Action { Run, Help, Version, Wrong };
    Action action = Action::Run;
    QString file;   // Run: the project to open; empty for none
    QString error;  // Wrong: what is wrong, in one line
};

// arguments as QCoreApplication::arguments() gives them, the program first, with the options
// that Qt itself reads (-platform, -style) taken out by the application object. beforeQt: the raw
// command line, before there is an application object; only help and version are looked for, so
// that they work without a display.
QuillonCommandLine parseQuillonCommandLine(const QStringList &arguments, bool beforeQt = false);

// The usage text, ending in a line break.
QString quillonUsage();
