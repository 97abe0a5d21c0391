#pragma once

#include <QString>

// The names, titles and folders around the open project file, kept apart from the window so that
// they can be tested as plain functions.

// The main window's title: "Quillon[*]" while no file is open (shown as "Quillon"), and
// "NAME.stm[*] – Quillon" once one is. "[*]" is where Qt shows the modified mark.
QString documentWindowTitle(const QString &filePath);

// The NAME of "Save changes to NAME?": the file's name without ".stm", or "Untitled".
QString documentName(const QString &filePath);

// fileName with "." + suffix added unless it already ends so (in any case). A name like
// "Hall 1.5" gets it too: Open lists only files that end in ".stm".
QString withSuffix(const QString &fileName, const QString &suffix);

// The folder a file dialog starts in: the open file's folder, else lastFolder, else
// documentsFolder, each only while it exists; else the home folder.
QString dialogFolder(const QString &openFilePath, const QString &lastFolder, const QString &documentsFolder);

// The file name a save dialog proposes, without folder: the project's name, else the open file's
// name, else "Untitled", with the suffix. Characters that Windows or Unix refuse in a file name
// become "_".
QString proposedFileName(const QString &projectName, const QString &openFilePath, const QString &suffix);
