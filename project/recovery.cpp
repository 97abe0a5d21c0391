#include "project/recovery.h"

#include "catalogue/whole_file.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QUuid>

namespace {

constexpr quint32 kRecoveryMagic = 0x51524543;  // "QREC"
constexpr qint32 kRecoveryVersion = 1;
const QString kRecoverySuffix = QStringLiteral(".qrec");
const QString kLockSuffix = QStringLiteral(".lock");

// Only a dead holder makes a lock stale, never its age: a window may stay open for weeks.
std::unique_ptr<QLockFile> lockFor(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    return lock;
}

QString stem(const QString &recoveryFile)
{
    return recoveryFile.left(recoveryFile.size() - kRecoverySuffix.size());
}

}  // namespace

QByteArray encodeRecovery(const ProjectData &project, const QString &projectPath)
{
    const QByteArray projectBytes = encodeProject(project);
    if (projectBytes.isEmpty())
        return QByteArray();
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_5_0);
    out << kRecoveryMagic << kRecoveryVersion << projectPath << projectBytes;
    return out.status() == QDataStream::Ok ? bytes : QByteArray();
}

bool decodeRecovery(const QByteArray &bytes, QString *projectPath, QByteArray *projectBytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_5_0);
    quint32 magic = 0;
    qint32 version = 0;
    QString path;
    QByteArray project;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != kRecoveryMagic || version != kRecoveryVersion)
        return false;
    in >> path >> project;
    if (in.status() != QDataStream::Ok || !in.atEnd() || project.isEmpty())
        return false;
    *projectPath = path;
    *projectBytes = project;
    return true;
}

QString ProjectRecovery::defaultDirectory()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/recovery");
}

ProjectRecovery::ProjectRecovery(const QString &dir)
    : dir_(dir), name_(QStringLiteral("recovery-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

ProjectRecovery::~ProjectRecovery() = default;

QString ProjectRecovery::filePath() const { return dir_ + QLatin1Char('/') + name_ + kRecoverySuffix; }

bool ProjectRecovery::claim(QString *reason)
{
    if (lock_)
        return true;
    if (dir_.isEmpty() || !QDir().mkpath(dir_)) {
        *reason = QStringLiteral("The folder %1 cannot be made.").arg(QDir::toNativeSeparators(dir_));
        return false;
    }
    auto lock = lockFor(dir_ + QLatin1Char('/') + name_ + kLockSuffix);
    if (!lock->tryLock(0)) {
        *reason = QStringLiteral("The recovery file cannot be locked.");
        return false;
    }
    lock_ = std::move(lock);
    return true;
}

SaveResult ProjectRecovery::write(const ProjectData &project, const QString &projectPath)
{
    QString reason;
    if (!claim(&reason))
        return {false, reason};
    const QByteArray bytes = encodeRecovery(project, projectPath);
    if (bytes.isEmpty())
        return {false, QStringLiteral("The project is larger than a project file may hold.")};
    return saveFileAtomically(filePath(), bytes);
}

void ProjectRecovery::discard()
{
    if (lock_)
        QFile::remove(filePath());
}

QList<LeftRecovery> ProjectRecovery::takeLeftBehind() const
{
    QList<LeftRecovery> found;
    if (dir_.isEmpty())
        return found;
    const QFileInfoList files = QDir(dir_).entryInfoList({QStringLiteral("recovery-*") + kRecoverySuffix},
                                                        QDir::Files | QDir::Hidden, QDir::Time | QDir::Reversed);
    for (const QFileInfo &info : files) {
        const QString file = info.absoluteFilePath();
        if (QFileInfo(file) == QFileInfo(filePath()))
            continue;
        // A running process holds its lock; a dead one's is stale, and tryLock takes it over.
        std::shared_ptr<QLockFile> lock = lockFor(stem(file) + kLockSuffix);
        if (!lock->tryLock(0))
            continue;
        QByteArray bytes;
        LeftRecovery left;
        // A process may have discarded its file between the listing and the lock.
        if (!readWholeFile(file, kMaxProjectFileBytes + 4096, bytes) ||
            !decodeRecovery(bytes, &left.projectPath, &left.projectBytes))
            continue;
        left.file = file;
        left.lock = std::move(lock);
        found.append(left);
    }
    return found;
}

void ProjectRecovery::forget(LeftRecovery &left)
{
    if (!left.lock)
        return;
    QFile::remove(left.file);
    left.lock->unlock();  // removes the lock file
    left.lock.reset();
}

namespace {
QString &recoveryDirectoryForTesting()
{
    static QString dir;
    return dir;
}
}  // namespace

QString recoveryDirectory()
{
    const QString &testing = recoveryDirectoryForTesting();
    return testing.isEmpty() ? ProjectRecovery::defaultDirectory() : testing;
}

void setRecoveryDirectoryForTesting(const QString &dir) { recoveryDirectoryForTesting() = dir; }
