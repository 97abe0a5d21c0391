// Writes valid files of every format into the directory given first, as seeds for the fuzzers:
// data.dat and name.dat of an empty, the sample and a full catalogue, project files for them,
// and each workbook named after the directory unpacked into the parts form fuzz_xlsx packs.
#include "catalogue/dat_codec.h"
#include "project/project_file.h"
#include "test_catalogues.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace {

bool writeSeed(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "seed_writer: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

ProjectData projectFor(const Catalogue &c, int loops, int extraRows)
{
    ProjectData p;
    p.catalogueVersionNumber = c.catalogueVersionNumber;
    p.projectName = QString::fromUtf8("Nordhalle Süd");
    p.projectLocation = "Hall 3";
    p.companyName = "Fire & Safety Ltd";
    p.email = "engineer@example.invalid";
    p.comment = "first line\nsecond line <b>bold</b>";
    p.panelName = c.panelCount > 0 ? c.panels[c.panelCount - 1].name : QString();
    p.loopCount = loops;
    for (int loop = 0; loop < loops; ++loop)
        p.cableNames.append(c.cableCount > 0 ? c.cables[loop % c.cableCount].name : QString());
    const auto row = [loops](int seed) {
        QStringList texts;
        for (int loop = 0; loop < loops; ++loop)
            texts.append((seed + loop) % 4 == 0 ? QString() : QString::number((seed * 37 + loop) % 1000));
        return texts;
    };
    for (int r = 0; r < c.deviceCount; ++r)
        p.countRows.append(row(r));
    p.hasExtraRows = extraRows >= 0;
    for (int r = 0; r < extraRows; ++r)
        p.extraCountRows.append(row(100 + r));
    return p;
}

// Part names and contents joined as fuzz_xlsx reads them; false for a file that is no zip.
bool unpackWorkbook(const QString &path, QByteArray &parts)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        return false;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFile entry(&zip);
        if (!entry.open(QIODevice::ReadOnly))
            return false;
        const QByteArray content = entry.read(256 * 1024);
        entry.close();
        if (content.contains('\0'))
            return false;
        if (!parts.isEmpty())
            parts += '\0';
        parts += zip.getCurrentFileName().toUtf8() + '\n' + content;
    }
    return !parts.isEmpty();
}

}  // namespace

int main(int argc, char *argv[])
{
    // Qt's arguments, not argv: on Windows argv is in the local code page, which cannot hold
    // every folder name.
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: seed_writer DIR [WORKBOOK.xlsx ...]\n");
        return 2;
    }
    const QString &dir = arguments[1];
    bool ok = true;
    const struct {
        const char *name;
        Catalogue catalogue;
    } catalogues[] = {{"empty", Catalogue()}, {"sample", sampleCatalogue()}, {"full", fullCatalogue()}};
    for (const auto &entry : catalogues) {
        const QString stem = dir + '/' + entry.name;
        const Catalogue &c = entry.catalogue;
        ok &= writeSeed(stem + "-data.dat", encodeDataFile(c));
        ok &= writeSeed(stem + "-name.dat", encodeNameFile(c));
        ok &= writeSeed(stem + "-no-panel.stm", encodeProject(projectFor(c, 0, -1)));
        ok &= writeSeed(stem + "-2-loops.stm", encodeProject(projectFor(c, 2, -1)));
        ok &= writeSeed(stem + "-16-loops-extra-rows.stm", encodeProject(projectFor(c, 16, c.extraDeviceRows)));
    }
    for (int i = 2; i < arguments.size(); ++i) {
        const QString &workbook = arguments[i];
        QByteArray parts;
        if (unpackWorkbook(workbook, parts) && parts.size() <= 64 * 1024)
            ok &= writeSeed(dir + '/' + QFileInfo(workbook).completeBaseName() + '-' + QString::number(i)
                                + ".xlsxparts",
                            parts);
    }
    return ok ? 0 : 1;
}
