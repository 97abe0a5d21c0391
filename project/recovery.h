#pragma once

#include "app/safe_save.h"
#include "project/project_file.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

class QLockFile;

// A recovery file left by a process that no longer runs, held by this process until it is
// restored, forgotten or dropped, so that no other process offers it at the same time.
struct LeftRecovery {
    QString file;           // the recovery file itself
    QString projectPath;    // the project file that was open, empty for a project never saved
    QByteArray projectBytes;  // the project as encodeProject wrote it; decodeProject reads it
    std::shared_ptr<QLockFile> lock;  // released when the last copy of this value goes
};

// The recovery file of this process: recovery-UUID.qrec in its folder, guarded by
// recovery-UUID.lock, which the process holds from the first write to its end. A lock whose
// process has died is stale, and only then is the file offered to another process.
class ProjectRecovery {
public:
    // The folder under the user's application data folder; empty if there is none.
    static QString defaultDirectory();

    // Files live in dir; nothing is created before the first write.
    explicit ProjectRecovery(const QString &dir = defaultDirectory());
    // Releases the lock and leaves the file: only discard() removes it.
    ~ProjectRecovery();
    ProjectRecovery(const ProjectRecovery &) = delete;
    ProjectRecovery &operator=(const ProjectRecovery &) = delete;

    // Writes project and the path of its file through the guarded save; false with the reason
    // when the folder, the lock or the write fails (the previous recovery file then stays).
    SaveResult write(const ProjectData &project, const QString &projectPath);
    // Removes this process's recovery file, if any; the lock stays for later writes.
    void discard();
    // The path of this process's recovery file (it exists only after a write).
    QString filePath() const;

    // The recovery files of processes that no longer run, oldest first, each locked for this
    // process; never this process's own, never one a running process holds, never a damaged one.
    QList<LeftRecovery> takeLeftBehind() const;
    // Removes a left recovery file and its lock, once restored or declined.
    static void forget(LeftRecovery &left);

private:
    bool claim(QString *reason);

    QString dir_;
    QString name_;  // "recovery-UUID", without suffix
    std::unique_ptr<QLockFile> lock_;
};

// Where the window keeps its recovery files: ProjectRecovery::defaultDirectory(), or the folder
// tests set so that parallel test processes never meet.
QString recoveryDirectory();
void setRecoveryDirectoryForTesting(const QString &dir);  // empty restores the default

// The bytes of a recovery file: a mark, the project file's path and the encoded project.
// Empty when the project cannot be encoded.
QByteArray encodeRecovery(const ProjectData &project, const QString &projectPath);
// Reads them back; false for anything but a complete recovery file.
bool decodeRecovery(const QByteArray &bytes, QString *projectPath, QByteArray *projectBytes);
