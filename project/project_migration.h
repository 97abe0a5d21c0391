#pragma once

#include "catalogue/catalogue.h"
#include "project/project_file.h"

#include <QByteArray>
#include <QStringList>

struct ProjectMigration {
    ProjectData project;  // for the new catalogue, without what could not be carried over
    QStringList losses;   // what could not be carried over, one sentence each
};

// Carries a project read under catalogue `from` over to catalogue `to`: each count row goes to
// the row of the same device code (its first or second row), the panel and the cables go by
// name, and the version number becomes that of `to`. Fields that nothing fills get "0", as in a
// freshly built grid. project must have been accepted for `from` as Open accepts it into a
// window showing no panel.
ProjectMigration migrateProject(const ProjectData &project, const Catalogue &from, const Catalogue &to);

// Reads the bytes of the old project under `from`, the catalogue in the folder named
// fromLabel, as Open would there. Returns the reason it cannot be migrated (the file names
// another catalogue version, or Open refuses it), or an empty text with *project set.
QString openForMigration(const QByteArray &bytes, const Catalogue &from, const QString &fromLabel,
                         ProjectData *project);

// The bytes of the new file: the old bytes exactly when nothing changed, else the migrated
// project encoded (empty when it cannot be).
QByteArray migratedBytes(const ProjectMigration &migration, const ProjectData &project, const QByteArray &bytes);
