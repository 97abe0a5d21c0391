#include "app/safe_save.h"
#include "app/scratch_names.h"

#include "file_size_limit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

// The two contents the kill test alternates between, in this process and in the child.
const QByteArray &contentA()
{
    static const QByteArray bytes = pattern(200000, 'a');
    return bytes;
}

const QByteArray &contentB()
{
    static const QByteArray bytes = pattern(150000, 'q');
    return bytes;
}

// The child of the kill test: saves the two contents in turn until it is killed, and says so on
// stdout once the first save is done.
[[noreturn]] void saveForever(const QString &path)
{
    for (int i = 0;; ++i) {
        saveFileAtomically(path, i % 2 ? contentA() : contentB());
        if (i == 0) {
            fputs("saving\n", stdout);
            fflush(stdout);
        }
    }
}

// The child of the concurrency test: saves pattern(size, seed) count times, and reports how many
// of its saves failed.
[[noreturn]] void saveTimes(const QString &path, int count, int size, char seed)
{
    const QByteArray bytes = pattern(size, seed);
    int failed = 0;
    for (int i = 0; i < count; ++i)
        failed += saveFileAtomically(path, bytes).ok ? 0 : 1;
    std::printf("%d\n", failed);
    std::exit(0);
}

#ifdef Q_OS_WIN
// The child of the busy-target test: holds the file open as a viewer or a virus scanner would,
// sharing reading and writing but not deleting, for the given time.
[[noreturn]] void holdOpen(const QString &path, int milliseconds)
{
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                      GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        std::exit(1);
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    Sleep(DWORD(milliseconds));
    CloseHandle(handle);
    std::exit(0);
}
#endif

#ifndef Q_OS_WIN

constexpr uid_t kSaverId = 65534;        // "nobody"
constexpr uid_t kOtherUserId = 65533;    // owns the files that are not the saver's
constexpr int kCannotDropPrivileges = 77;

// Runs body in a forked child as the unprivileged user kSaverId; returns the child's exit code
// (0 when body returned true), kCannotDropPrivileges when it could not become that user.
int runAsSaver(const std::function<bool()> &body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kSaverId) != 0 || setuid(kSaverId) != 0 || geteuid() == 0)
            _exit(kCannotDropPrivileges);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

QStringList leftovers(const QString &dir, const QString &keep)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(keep);
    return names;
}

// What a killed save may leave beside NAME: ".NAME.saving" (Linux) or ".NAME.XXXXXXXX.saving"
// (Windows), which the next save of NAME removes.
bool isScratchName(const QString &name, const QString &target)
{
    const QRegularExpression scratch(QStringLiteral("^\\.%1\\.([0-9a-f]{8}\\.)?saving$")
                                         .arg(QRegularExpression::escape(target)));
    return scratch.match(name).hasMatch();
}

}  // namespace

class SafeSaveTest : public QObject {
    Q_OBJECT

private slots:
    void writesNewFileAndReplacesOldOne_data();
    void writesNewFileAndReplacesOldOne();
    void refusesUnwritableTargets_data();
    void refusesUnwritableTargets();
    void diskFullNeverLosesTheOldFile_data();
    void diskFullNeverLosesTheOldFile();
    void killDuringSaveLeavesOldOrNewFile();
    void keepsPermissionsAndFollowsSymlink();
    void followsLinkChains_data();
    void followsLinkChains();
    void refusesLinkLoop();
    void unprivilegedSave_data();
    void unprivilegedSave();
    void refusesReadOnlyTarget();
    void concurrentSavesNeverTear();
    void busyTarget_data();
    void busyTarget();
    void longPathForm_data();
    void longPathForm();
    void scratchNamesFitOneName_data();
    void scratchNamesFitOneName();
};

void SafeSaveTest::writesNewFileAndReplacesOldOne_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain folder") << QString();
    QTest::newRow("non-ASCII folder") << QStringLiteral("Brandmeldeanlage Pr\u00fcfung \u6d88\u9632");
    // Beyond the 259 characters that Windows allows a plain path (Wine does not enforce it).
    QTest::newRow("path of over 300 characters") << QString(6, QLatin1Char('/')).replace(
        QLatin1Char('/'), QStringLiteral("a-folder-name-of-fifty-characters-for-a-long-path/"));
}

void SafeSaveTest::writesNewFileAndReplacesOldOne()
{
    QFETCH(QString, folder);
    QTemporaryDir base;
    QVERIFY(QDir(base.path()).mkpath(folder.isEmpty() ? QStringLiteral(".") : folder));
    const QDir dir(base.filePath(folder));
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
    QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath("target.bin");
    const QByteArray oldBytes = pattern(1234, 'a');
    const QByteArray newBytes = pattern(size, 'k');
    const int step = qMax(1, size / 60);
    int failures = 0, successes = 0;
    for (int limit = 0; limit <= size + step; limit += step) {
        QVERIFY(saveFileAtomically(path, oldBytes).ok);
        const int verdict = runWithFileSizeLimit(limit, [&] { return saveFileAtomically(path, newBytes).ok; });
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

// The child is this test program itself, killed outright (SIGKILL, TerminateProcess) at a
// different moment of its saves in each round.
void SafeSaveTest::killDuringSaveLeavesOldOrNewFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("target.bin");
    QVERIFY(saveFileAtomically(path, contentA()).ok);
    for (int round = 0; round < 40; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--save-forever", path});
        QVERIFY(child.waitForReadyRead(30000));
        QTest::qSleep(1 + (round * 3779) % 20);
        child.kill();
        QVERIFY(child.waitForFinished(30000));
        const QByteArray now = readAll(path);
        QVERIFY2(now == contentA() || now == contentB(),
                 qPrintable(QString("round %1: torn file of %2 bytes").arg(round).arg(now.size())));
        // A kill can leave one scratch behind, under a name that says whose it is; the next save
        // of the same file clears it.
        const QStringList left = leftovers(dir.path(), "target.bin");
        QVERIFY2(left.isEmpty() || (left.size() == 1 && isScratchName(left[0], "target.bin")),
                 qPrintable(left.join(',')));
        QVERIFY(saveFileAtomically(path, contentA()).ok);
        QCOMPARE(leftovers(dir.path(), "target.bin"), QStringList());
    }
}

void SafeSaveTest::keepsPermissionsAndFollowsSymlink()
{
#ifdef Q_OS_WIN
    QSKIP("Windows has no POSIX permission bits, and QFile::link makes a shell shortcut there");
#endif
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

void SafeSaveTest::followsLinkChains_data()
{
    // name -> link target; the save goes to "save.stm", the content must land in "sub/target.stm".
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("two relative links") << QStringList{"l1.stm=sub/target.stm", "save.stm=l1.stm"} << true;
    QTest::newRow("relative link into a folder, relative link back out")
        << QStringList{"sub/l1.stm=target.stm", "save.stm=sub/l1.stm"} << true;
    QTest::newRow("absolute link to a relative link")
        << QStringList{"l1.stm=sub/target.stm", "save.stm=@/l1.stm"} << true;
    QTest::newRow("through a linked folder and ..")
        << QStringList{"sub/deep/l1.stm=../target.stm", "dlink=sub/deep", "save.stm=dlink/l1.stm"} << true;
    QTest::newRow("dangling chain creates its end")
        << QStringList{"l1.stm=sub/target.stm", "save.stm=l1.stm"} << false;
}

void SafeSaveTest::followsLinkChains()
{
#ifdef Q_OS_WIN
    QSKIP("symbolic links need special privileges on Windows");
#else
    QFETCH(QStringList, links);
    QFETCH(bool, targetExists);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("sub/deep"));
    const QString target = dir.filePath("sub/target.stm");
    if (targetExists)
        QVERIFY(saveFileAtomically(target, "old").ok);
    QStringList linkNames;
    for (const QString &link : links) {
        const QString name = link.section('=', 0, 0);
        QString to = link.section('=', 1);
        to.replace('@', dir.path());
        QCOMPARE(symlink(QFile::encodeName(to).constData(), QFile::encodeName(dir.filePath(name)).constData()), 0);
        linkNames << name;
    }

    const SaveResult result = saveFileAtomically(dir.filePath("save.stm"), "new");
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(readAll(target), QByteArray("new"));
    for (const QString &name : linkNames)
        QVERIFY2(QFileInfo(dir.filePath(name)).isSymLink(), qPrintable(name + " is no longer a link"));
    QCOMPARE(readAll(dir.filePath("save.stm")), QByteArray("new"));
#endif
}

void SafeSaveTest::refusesLinkLoop()
{
#ifdef Q_OS_WIN
    QSKIP("symbolic links need special privileges on Windows");
#else
    QTemporaryDir dir;
    QVERIFY(QFile::link(dir.filePath("b.stm"), dir.filePath("a.stm")));
    QVERIFY(QFile::link(dir.filePath("a.stm"), dir.filePath("b.stm")));
    QVERIFY(!saveFileAtomically(dir.filePath("a.stm"), "new").ok);
    QVERIFY(QFileInfo(dir.filePath("a.stm")).isSymLink());
    QVERIFY(QFileInfo(dir.filePath("b.stm")).isSymLink());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 2);
#endif
}

void SafeSaveTest::unprivilegedSave_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<bool>("fileIsSavers");
    QTest::addColumn<bool>("hardLink");
    QTest::addColumn<bool>("saved");

    QTest::newRow("own writable file is replaced") << 0755 << 0644 << true << false << true;
    QTest::newRow("own read-only file is refused") << 0755 << 0444 << true << false << false;
    QTest::newRow("another user's read-only file in a sticky world-writable folder is refused")
        << 01777 << 0444 << false << false << false;
    QTest::newRow("file with a second hard link is refused") << 0755 << 0644 << true << true << false;
}

void SafeSaveTest::unprivilegedSave()
{
#ifdef Q_OS_WIN
    QSKIP("owners, modes and privilege drops are POSIX");
#else
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(bool, fileIsSavers);
    QFETCH(bool, hardLink);
    QFETCH(bool, saved);
    if (geteuid() != 0)
        QSKIP("giving files to other users needs root; run as root to drop to an unprivileged user");

    QTemporaryDir top;
    QVERIFY(QFile::setPermissions(top.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ExeGroup | QFileDevice::ExeOther));
    const QString folder = top.filePath("folder");
    QVERIFY(QDir(top.path()).mkdir("folder"));
    const QByteArray folderName = QFile::encodeName(folder);
    QCOMPARE(chown(folderName.constData(), kSaverId, kSaverId), 0);
    QCOMPARE(chmod(folderName.constData(), mode_t(folderMode)), 0);

    const QString path = folder + "/project.stm";
    const QByteArray pathName = QFile::encodeName(path);
    QVERIFY(saveFileAtomically(path, "old").ok);
    const uid_t owner = fileIsSavers ? kSaverId : kOtherUserId;
    QCOMPARE(chown(pathName.constData(), owner, owner), 0);
    QCOMPARE(chmod(pathName.constData(), mode_t(fileMode)), 0);
    const QString other = folder + "/other.stm";
    if (hardLink)
        QCOMPARE(link(pathName.constData(), QFile::encodeName(other).constData()), 0);

    const int verdict = runAsSaver([&path] { return saveFileAtomically(path, "new").ok; });
    if (verdict == kCannotDropPrivileges)
        QSKIP("cannot drop privileges to uid 65534 here");
    QCOMPARE(verdict, saved ? 0 : 1);

    QCOMPARE(readAll(path), saved ? QByteArray("new") : QByteArray("old"));
    struct stat st;
    QCOMPARE(stat(pathName.constData(), &st), 0);
    QCOMPARE(st.st_uid, owner);
    QCOMPARE(int(st.st_mode & 07777), fileMode);
    if (hardLink) {
        QCOMPARE(readAll(other), readAll(path));
        QCOMPARE(int(st.st_nlink), 2);
    }
    QCOMPARE(leftovers(folder, "project.stm"), hardLink ? QStringList{"other.stm"} : QStringList());
#endif
}

// The same refusal as the unprivileged test, where the read-only mark is one the running user
// cannot override: on Windows always, on POSIX only when not root.
void SafeSaveTest::refusesReadOnlyTarget()
{
#ifndef Q_OS_WIN
    if (geteuid() == 0)
        QSKIP("root may write a read-only file; unprivilegedSave covers this as another user");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath("project.stm");
    QVERIFY(saveFileAtomically(path, "old").ok);
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    const SaveResult result = saveFileAtomically(path, "new");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                    | QFileDevice::WriteUser);  // lets QTemporaryDir remove it
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(readAll(path), QByteArray("old"));
    QCOMPARE(leftovers(dir.path(), "project.stm"), QStringList());
}

// Two windows, two users on a share, or two first starts writing data.dat: whichever save wins,
// the target is one whole content, and nothing is left that hinders the next save.
void SafeSaveTest::concurrentSavesNeverTear()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("project.stm");
    const int largeSize = 4 << 20, smallSize = 4096;
    const QByteArray large = pattern(largeSize, 'L'), small = pattern(smallSize, 's');
    QVERIFY(saveFileAtomically(path, small).ok);
    QProcess savers[2];
    savers[0].start(QCoreApplication::applicationFilePath(),
                    {"--save-times", path, "8", QString::number(largeSize), "L"});
    savers[1].start(QCoreApplication::applicationFilePath(),
                    {"--save-times", path, "100", QString::number(smallSize), "s"});
    int reads = 0;
    while (savers[0].state() != QProcess::NotRunning || savers[1].state() != QProcess::NotRunning) {
        // A reader between the saves sees one whole content whenever it can open the file.
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray now = file.readAll();
            QVERIFY2(now == large || now == small, qPrintable(QString("torn file of %1 bytes").arg(now.size())));
            ++reads;
        }
        savers[0].waitForFinished(5);
        savers[1].waitForFinished(5);
    }
    for (QProcess &saver : savers) {
        QCOMPARE(saver.exitStatus(), QProcess::NormalExit);
        QCOMPARE(saver.exitCode(), 0);
    }
    const QByteArray now = readAll(path);
    QVERIFY2(now == large || now == small, qPrintable(QString("torn file of %1 bytes").arg(now.size())));
    qInfo("%d reads while saving; failed saves: large %s, small %s", reads,
          savers[0].readAllStandardOutput().trimmed().constData(),
          savers[1].readAllStandardOutput().trimmed().constData());
    QVERIFY(saveFileAtomically(path, "after").ok);
    QCOMPARE(readAll(path), QByteArray("after"));
    QCOMPARE(leftovers(dir.path(), "project.stm"), QStringList());
}

void SafeSaveTest::busyTarget_data()
{
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<bool>("saved");
    QTest::newRow("released after 200 ms: saved") << 200 << true;
    QTest::newRow("never released: refused, old file kept") << 60000 << false;
}

void SafeSaveTest::busyTarget()
{
#ifndef Q_OS_WIN
    QSKIP("POSIX files have no share modes: another program cannot hold a save off");
#endif
    QFETCH(int, holdMs);
    QFETCH(bool, saved);
    QTemporaryDir dir;
    const QString path = dir.filePath("summary.pdf");
    QVERIFY(saveFileAtomically(path, "old").ok);
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(), {"--hold-open", path, QString::number(holdMs)});
    QVERIFY(holder.waitForReadyRead(30000));
    const SaveResult result = saveFileAtomically(path, "new");
    const bool stillHeld = holder.state() != QProcess::NotRunning;
    holder.kill();
    holder.waitForFinished(30000);
    QCOMPARE(result.ok, saved);
    QCOMPARE(readAll(path), saved ? QByteArray("new") : QByteArray("old"));
    if (!saved) {
        QVERIFY(stillHeld);  // it gave up while the file was held, not after
        QVERIFY(!result.error.isEmpty());
    }
    QCOMPARE(leftovers(dir.path(), "summary.pdf"), QStringList());
}

void SafeSaveTest::longPathForm_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");  // empty: refused as an invalid name
    const QString deep = QStringLiteral("C:\\") + QString(6, QLatin1Char('*')).replace(
        QLatin1Char('*'), QStringLiteral("a-folder-name-of-fifty-characters-for-a-long-path\\")) + "p.stm";
    QTest::newRow("300 characters") << deep << "\\\\?\\" + deep;
    QTest::newRow("mixed slashes") << "C:/projects\\site/p.stm" << "\\\\?\\C:\\projects\\site\\p.stm";
    QTest::newRow("dot-dot folded") << "C:\\a\\b\\..\\p.stm" << "\\\\?\\C:\\a\\p.stm";
    QTest::newRow("UNC path") << "\\\\server\\share\\site\\p.stm" << "\\\\?\\UNC\\server\\share\\site\\p.stm";
    QTest::newRow("already long form") << "\\\\?\\C:\\p.stm" << "\\\\?\\C:\\p.stm";
    QTest::newRow("trailing dot") << "C:\\projects\\p.stm." << QString();
    QTest::newRow("trailing space") << "C:\\projects\\p.stm " << QString();
    QTest::newRow("device CON") << "C:\\projects\\CON" << QString();
}

void SafeSaveTest::longPathForm()
{
#ifndef Q_OS_WIN
    QSKIP("the \\\\?\\ form is Windows' own");
#else
    QFETCH(QString, path);
    QFETCH(QString, expected);
    unsigned long error = 0;
    const QString result = QString::fromStdWString(windowsLongPath(path, &error));
    QCOMPARE(result, expected);
    QCOMPARE(error, static_cast<unsigned long>(expected.isEmpty() ? ERROR_INVALID_NAME : ERROR_SUCCESS));
#endif
}

// The Windows save's scratch names, checked on every platform. A target near the 255-character
// limit once got a scratch name Windows cannot create, and its save failed with "File not found.".
void SafeSaveTest::scratchNamesFitOneName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("cut");
    QTest::newRow("short name kept whole") << "site.stm" << false;
    QTest::newRow("255 characters cut") << QString(251, 'a') + ".stm" << true;
    // 228 letters, then U+1F525 as a surrogate pair across the cut.
    QTest::newRow("surrogate pair at the cut is not split")
        << QString(228, 'b') + QString::fromUtf8("\xF0\x9F\x94\xA5") + QString(20, 'c') + ".stm" << true;
}

void SafeSaveTest::scratchNamesFitOneName()
{
    QFETCH(QString, fileName);
    QFETCH(bool, cut);
    const QString scratch = scratchFileName(fileName, 0xdeadbeef);
    QVERIFY(scratch.size() <= kMaxNameLength && scratch.endsWith(".deadbeef.saving"));
    QCOMPARE(scratch == "." + fileName + ".deadbeef.saving", !cut);
    for (int i = 0; i < scratch.size(); ++i)
        if (scratch.at(i).isHighSurrogate())
            QVERIFY2(i + 1 < scratch.size() && scratch.at(i + 1).isLowSurrogate(), qPrintable(QString::number(i)));
    QVERIFY(isScratchOf(scratch, fileName) && isScratchOf(scratch.toUpper(), fileName));
    // Another long name with the same beginning has scratch files of its own.
    const QString sibling = QString(fileName).replace(fileName.size() - 5, 1, QLatin1Char('z'));
    QVERIFY(!isScratchOf(scratchFileName(sibling, 1), fileName));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments[1] == "--save-forever")
        saveForever(arguments[2]);
    if (arguments.size() == 6 && arguments[1] == "--save-times")
        saveTimes(arguments[2], arguments[3].toInt(), arguments[4].toInt(), arguments[5].at(0).toLatin1());
#ifdef Q_OS_WIN
    if (arguments.size() == 4 && arguments[1] == "--hold-open")
        holdOpen(arguments[2], arguments[3].toInt());
#endif
    SafeSaveTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_safe_save.moc"
