#include "app/safe_save.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray pattern(int size, char seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(seed + i * 7 + i / 251);
    return bytes;
}

// Saves in a forked child whose file-size limit is `limit` bytes; returns the child's verdict:
// 1 reported success, 0 reported failure, -1 the child died.
int saveWithSizeLimit(const QString &path, const QByteArray &bytes, rlim_t limit)
{
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        _exit(saveFileAtomically(path, bytes).ok ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QStringList leftovers(const QString &dir, const QString &keep)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(keep);
    return names;
}

}  // namespace

class SafeSaveTest : public QObject {
    Q_OBJECT

private slots:
    void writesNewFileAndReplacesOldOne();
    void refusesUnwritableTargets_data();
    void refusesUnwritableTargets();
    void diskFullNeverLosesTheOldFile_data();
    void diskFullNeverLosesTheOldFile();
    void killDuringSaveLeavesOldOrNewFile();
    void keepsPermissionsAndFollowsSymlink();
};

void SafeSaveTest::writesNewFileAndReplacesOldOne()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.bin");
    QVERIFY(saveFileAtomically(path, "first").ok);
    QCOMPARE(readAll(path), QByteArray("first"));
    const SaveResult second = saveFileAtomically(path, "second, longer");
    QVERIFY(second.ok);
    QVERIFY(second.error.isEmpty());
    QCOMPARE(readAll(path), QByteArray("second, longer"));
    QVERIFY(saveFileAtomically(path, QByteArray()).ok);
    QCOMPARE(readAll(path), QByteArray());
    QCOMPARE(leftovers(dir.path(), "out.bin"), QStringList());
}

void SafeSaveTest::refusesUnwritableTargets_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("directory does not exist") << "missing/dir/out.bin";
    QTest::newRow("target is a directory") << "adir";
}

void SafeSaveTest::refusesUnwritableTargets()
{
    QFETCH(QString, relativePath);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("adir"));
    const SaveResult result = saveFileAtomically(dir.filePath(relativePath), "data");
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(QFileInfo(dir.filePath("adir")).isDir());
}

void SafeSaveTest::diskFullNeverLosesTheOldFile_data()
{
    // Below and above the 16 KiB write buffer, where Qt's own checks differ.
    QTest::addColumn<int>("size");
    QTest::newRow("small file, flushed inside commit") << 3000;
    QTest::newRow("large file, written before commit") << 70000;
}

void SafeSaveTest::diskFullNeverLosesTheOldFile()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath("target.bin");
    const QByteArray oldBytes = pattern(1234, 'a');
    const QByteArray newBytes = pattern(size, 'k');
    const int step = qMax(1, size / 60);
    int failures = 0, successes = 0;
    for (int limit = 0; limit <= size + step; limit += step) {
        QVERIFY(saveFileAtomically(path, oldBytes).ok);
        const int verdict = saveWithSizeLimit(path, newBytes, rlim_t(limit));
        QVERIFY2(verdict >= 0, qPrintable(QString("child died at limit %1").arg(limit)));
        const QByteArray now = readAll(path);
        if (verdict == 1) {
            ++successes;
            QVERIFY2(now == newBytes, qPrintable(QString("success reported, file incomplete at %1").arg(limit)));
        } else {
            ++failures;
            QVERIFY2(now == oldBytes, qPrintable(QString("failure reported, old file lost at %1").arg(limit)));
        }
        QCOMPARE(leftovers(dir.path(), "target.bin"), QStringList());
    }
    QVERIFY(failures > 0);
    QVERIFY(successes > 0);
}

void SafeSaveTest::killDuringSaveLeavesOldOrNewFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("target.bin");
    const QByteArray a = pattern(200000, 'a');
    const QByteArray b = pattern(150000, 'q');
    QVERIFY(saveFileAtomically(path, a).ok);
    for (int round = 0; round < 40; ++round) {
        const pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0;; ++i)
                saveFileAtomically(path, i % 2 ? a : b);
        }
        usleep(1000 + (round * 3779) % 20000);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        const QByteArray now = readAll(path);
        QVERIFY2(now == a || now == b, qPrintable(QString("round %1: torn file of %2 bytes").arg(round).arg(now.size())));
        // Content is written into an unnamed file; only a kill in the instant between naming it
        // and the rename can leave a name behind, and the next save clears that.
        const QStringList left = leftovers(dir.path(), "target.bin");
        QVERIFY2(left.isEmpty() || left == QStringList(".target.bin.saving"), qPrintable(left.join(',')));
        QVERIFY(saveFileAtomically(path, a).ok);
        QCOMPARE(leftovers(dir.path(), "target.bin"), QStringList());
    }
}

void SafeSaveTest::keepsPermissionsAndFollowsSymlink()
{
    QTemporaryDir dir;
    const QString real = dir.filePath("real.stm");
    const QString link = dir.filePath("link.stm");
    QVERIFY(saveFileAtomically(real, "old").ok);
    QVERIFY(QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QVERIFY(QFile::link(real, link));
    QVERIFY(saveFileAtomically(link, "new").ok);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(real), QByteArray("new"));
    QCOMPARE(QFile::permissions(real) & 0x7077,  // owner, group, other (not the "user" bits)
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QTEST_GUILESS_MAIN(SafeSaveTest)
#include "test_safe_save.moc"
