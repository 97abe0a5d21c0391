#include "project/project_file.h"
#include "project/project_open.h"
#include "project/recovery.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <memory>

namespace {

const char kChildArgument[] = "--write-recovery-and-wait";

ProjectData sampleProject()
{
    ProjectData p;
    p.catalogueVersionNumber = 3;
    p.projectName = QString::fromUtf8("Nordhalle 消防");
    p.comment = "typed for an hour\nand never saved";
    p.panelName = "QP-220 (2 loops)";
    p.loopCount = 2;
    p.cableNames = QStringList{"FR 2x1.5", ""};
    p.countRows = QVector<QStringList>{{"12", ""}, {"0", "999"}};
    p.hasExtraRows = true;
    p.extraCountRows = QVector<QStringList>{{"4", "5"}};
    return p;
}

const QString kOpenFile = QStringLiteral("/projects/site 7.stm");

// The child: writes its recovery file, says so, and waits to be killed.
int writeRecoveryAndWait(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ProjectRecovery recovery(QString::fromLocal8Bit(argv[2]));
    if (!recovery.write(sampleProject(), kOpenFile).ok)
        return 1;
    std::fputs("written\n", stdout);
    std::fflush(stdout);
    return app.exec();
}

}  // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void killedProcessLeavesItsProject();
    void runningProcessKeepsItsFile();
    void twoTakersNeverShareOneFile();
    void ownFileNeverOffered();
    void damagedRecoveryFileRefused();

private:
    // Starts a child that has written its recovery file into dir_ by the time this returns.
    bool startChild(QProcess &child);
    void kill(QProcess &child);

    std::unique_ptr<QTemporaryDir> dir_;
};

void RecoveryTest::init() { dir_ = std::make_unique<QTemporaryDir>(); }

void RecoveryTest::cleanup() { dir_.reset(); }

bool RecoveryTest::startChild(QProcess &child)
{
    child.start(QCoreApplication::applicationFilePath(), {kChildArgument, dir_->path()});
    if (!child.waitForStarted(30000))
        return false;
    while (!child.canReadLine())
        if (!child.waitForReadyRead(30000))
            return false;
    // A Windows console turns the child's line break into CR LF.
    return child.readLine().trimmed() == "written";
}

void RecoveryTest::kill(QProcess &child)
{
    child.kill();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
}

void RecoveryTest::killedProcessLeavesItsProject()
{
    QProcess child;
    QVERIFY(startChild(child));
    kill(child);

    // The next start finds the project, as it was, and the file it was open as.
    ProjectRecovery next(dir_->path());
    QList<LeftRecovery> left = next.takeLeftBehind();
    QCOMPARE(left.size(), 1);
    QCOMPARE(left[0].projectPath, kOpenFile);
    ProjectData restored;
    QCOMPARE(decodeProject(left[0].projectBytes, 3, 2, &restored), ProjectFileError::None);
    QVERIFY(restored == sampleProject());

    ProjectRecovery::forget(left[0]);
    QVERIFY(!QFile::exists(left[0].file));
    QCOMPARE(next.takeLeftBehind().size(), 0);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void RecoveryTest::runningProcessKeepsItsFile()
{
    QProcess child;
    QVERIFY(startChild(child));
    const QStringList files = QDir(dir_->path()).entryList({"*.qrec"}, QDir::Files);
    QCOMPARE(files.size(), 1);

    ProjectRecovery other(dir_->path());
    QCOMPARE(other.takeLeftBehind().size(), 0);
    QVERIFY(other.write(sampleProject(), QString()).ok);
    QCOMPARE(other.takeLeftBehind().size(), 0);
    QVERIFY(QFile::exists(dir_->filePath(files[0])));

    // Not a file that is never offered: once its process is gone, it is.
    kill(child);
    QCOMPARE(other.takeLeftBehind().size(), 1);
}

void RecoveryTest::twoTakersNeverShareOneFile()
{
    QProcess child;
    QVERIFY(startChild(child));
    kill(child);

    ProjectRecovery first(dir_->path()), second(dir_->path());
    QList<LeftRecovery> taken = first.takeLeftBehind();
    QCOMPARE(taken.size(), 1);
    QCOMPARE(second.takeLeftBehind().size(), 0);
    // Dropped without a decision, it is offered again.
    taken.clear();
    QCOMPARE(second.takeLeftBehind().size(), 1);
}

void RecoveryTest::ownFileNeverOffered()
{
    ProjectRecovery mine(dir_->path());
    QVERIFY(mine.write(sampleProject(), kOpenFile).ok);
    QVERIFY(QFile::exists(mine.filePath()));
    QCOMPARE(mine.takeLeftBehind().size(), 0);
    ProjectRecovery sameProcess(dir_->path());
    QCOMPARE(sameProcess.takeLeftBehind().size(), 0);

    mine.discard();
    QVERIFY(!QFile::exists(mine.filePath()));
    // A later change writes again under the same lock.
    QVERIFY(mine.write(sampleProject(), QString()).ok);
    QVERIFY(QFile::exists(mine.filePath()));
}

void RecoveryTest::damagedRecoveryFileRefused()
{
    const QByteArray good = encodeRecovery(sampleProject(), kOpenFile);
    QString path;
    QByteArray bytes;
    QVERIFY(decodeRecovery(good, &path, &bytes));
    QCOMPARE(path, kOpenFile);
    for (int size = 0; size < good.size(); ++size)
        QVERIFY2(!decodeRecovery(good.left(size), &path, &bytes), qPrintable(QString("prefix of %1").arg(size)));

    // A damaged file of a dead process is left where it is, not offered.
    QFile damaged(dir_->filePath("recovery-0.qrec"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(good.left(good.size() / 2));
    damaged.close();
    ProjectRecovery next(dir_->path());
    QCOMPARE(next.takeLeftBehind().size(), 0);
    QVERIFY(damaged.exists());
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], kChildArgument) == 0)
        return writeRecoveryAndWait(argc, argv);
    QCoreApplication app(argc, argv);
    RecoveryTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_recovery.moc"
