// What the simulated flash volume keeps at a power cut: synced data and names exactly, the rest
// by the cut's seed (all of it lost with seed 0), file tails torn, renames whole.
#include "sim/lossyfs/lossyvolume.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Plays "verb path [text]" steps separated by ";" on a volume: create, mkdir, write (appends
// the text), fsync, fsyncdir, rename (text: the new path), unlink, sync.
void play(LossyVolume &volume, const QString &script)
{
    for (const QString &step : script.split(';', Qt::SkipEmptyParts)) {
        const QStringList words = step.trimmed().split(' ');
        const std::string verb = words[0].toStdString();
        const std::string path = words.value(1).toStdString();
        const std::string text = words.value(2).toStdString();
        if (verb == "create")
            QCOMPARE(volume.create(path, 0644, nullptr), 0);
        else if (verb == "mkdir")
            QCOMPARE(volume.makeDirectory(path, 0755), 0);
        else if (verb == "write")
            volume.write(volume.find(path), volume.find(path)->data.size(), text);
        else if (verb == "fsync")
            volume.fsyncFile(volume.find(path));
        else if (verb == "fsyncdir")
            volume.fsyncDirectory(volume.find(path));
        else if (verb == "rename")
            QCOMPARE(volume.rename(path, text, false), 0);
        else if (verb == "unlink")
            QCOMPARE(volume.unlink(path), 0);
        else if (verb == "sync")
            volume.syncAll();
        else
            QFAIL(qPrintable("unknown step " + step));
    }
}

// "path=contents" for every file under the folder, sorted, joined by blanks.
QString filesIn(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files << path.mid(folder.size()) + "=" + QString::fromLatin1(file.readAll());
    }
    files.sort();
    return files.join(' ');
}

// The folder after a history played on a volume loaded from it and a cut with `seed`.
QString afterCut(const QString &before, const QString &history, uint32_t seed,
                 LossyVolume::CutReport *report = nullptr)
{
    QTemporaryDir folder;
    LossyVolume volume;
    const int fd = ::open(QFile::encodeName(folder.path()).constData(), O_RDONLY | O_DIRECTORY);
    play(volume, before + "; sync");
    volume.store(fd);
    LossyVolume loaded;
    loaded.load(fd);
    play(loaded, history);
    const LossyVolume::CutReport cut = loaded.cut(seed);
    if (report)
        *report = cut;
    loaded.store(fd);
    ::close(fd);
    return filesIn(folder.path());
}

} // namespace

class TestLossyVolume : public QObject
{
    Q_OBJECT

private slots:
    void cut_keepsWhatWasSynced_data();
    void cut_keepsWhatWasSynced();
    void cut_dataTail_eachWay();
    void cut_unsyncedNames_eachWay();
    void cut_sameSeed_sameDisk();
};

void TestLossyVolume::cut_keepsWhatWasSynced_data()
{
    QTest::addColumn<QString>("before"); // synced before the volume is loaded
    QTest::addColumn<QString>("history");
    QTest::addColumn<QString>("files"); // after a cut that keeps nothing unsynced (seed 0)
    QTest::addColumn<bool>("allSynced"); // then every seed's cut leaves the same

    QTest::newRow("synced data and name kept") << ""
                                               << "create /f; write /f abc; fsync /f; fsyncdir /"
                                               << "/f=abc" << true;
    QTest::newRow("unsynced data lost, synced name kept") << ""
                                                          << "create /f; fsyncdir /; write /f abc"
                                                          << "/f=" << false;
    QTest::newRow("synced data under an unsynced name lost") << ""
                                                             << "create /f; write /f abc; fsync /f"
                                                             << "" << false;
    QTest::newRow("append after the last fsync lost") << "create /f; write /f old,"
                                                      << "write /f new; write /f er"
                                                      << "/f=old," << false;
    QTest::newRow("whole-system sync keeps everything")
            << ""
            << "create /f; write /f abc; mkdir /d; create /d/g; write /d/g x; sync"
            << "/d/g=x /f=abc" << true;
    QTest::newRow("rename without its directory synced: the old file")
            << "create /f; write /f old"
            << "create /f.tmp; write /f.tmp new; fsync /f.tmp; rename /f.tmp /f"
            << "/f=old" << false;
    QTest::newRow("rename with its directory synced: the new file")
            << "create /f; write /f old"
            << "create /f.tmp; write /f.tmp new; fsync /f.tmp; rename /f.tmp /f; fsyncdir /"
            << "/f=new" << true;
    QTest::newRow("rename synced but its data not: empty")
            << "create /f; write /f old"
            << "create /f.tmp; write /f.tmp new; rename /f.tmp /f; fsyncdir /"
            << "/f=" << false;
    QTest::newRow("unsynced removal undone") << "create /f; write /f abc"
                                             << "unlink /f"
                                             << "/f=abc" << false;
    QTest::newRow("file synced in a new folder whose parent was not")
            << ""
            << "mkdir /d; create /d/f; write /d/f x; fsync /d/f; fsyncdir /d"
            << "" << false;
    QTest::newRow("rename between folders needs both synced")
            << "mkdir /a; mkdir /b; create /a/f; write /a/f x"
            << "rename /a/f /b/f; fsyncdir /b"
            << "/a/f=x" << false;
    QTest::newRow("a synced removal takes the rename before it")
            << "mkdir /a; mkdir /b; create /a/f; write /a/f x"
            << "rename /a/f /b/f; unlink /b/f; fsyncdir /b"
            << "" << false;
}

void TestLossyVolume::cut_keepsWhatWasSynced()
{
    QFETCH(QString, before);
    QFETCH(QString, history);
    QFETCH(QString, files);
    QFETCH(bool, allSynced);
    QCOMPARE(afterCut(before, history, 0), files);
    for (uint32_t seed = 1; allSynced && seed < 20; ++seed)
        QCOMPARE(afterCut(before, history, seed), files);
}

void TestLossyVolume::cut_dataTail_eachWay()
{
    // Three appends after the synced "AAAA": each cut keeps a prefix; over seeds the prefix
    // ends at the synced part, at a write's end and inside a write (a torn tail).
    const QString full = "/f=AAAABBBBCCCCDDDD";
    QSet<QString> kinds;
    int lost = 0;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        LossyVolume::CutReport report;
        const QString files
                = afterCut("create /f; write /f AAAA",
                           "write /f BBBB; write /f CCCC; write /f DDDD", seed, &report);
        QVERIFY2(full.startsWith(files) && files.startsWith("/f=AAAA"), qPrintable(files));
        const int kept = files.size() - 7;
        kinds << (kept == 0 ? "whole loss" : kept == 12 ? "all kept" : kept % 4 ? "torn" : "cut");
        QCOMPARE(report.writesLost, 3 - kept / 4);
        QCOMPARE(report.writesTorn, kept % 4 ? 1 : 0);
        lost += report.writesLost;
    }
    QCOMPARE(kinds, (QSet<QString> {"whole loss", "all kept", "torn", "cut"}));
    QVERIFY(lost > 0);
}

void TestLossyVolume::cut_unsyncedNames_eachWay()
{
    // Unsynced creation and rename: each survives some cuts and not others; the rename is
    // whole: the file is at exactly one of its names.
    QSet<QString> seen;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const QString files = afterCut("mkdir /a; mkdir /b; create /a/f; write /a/f x",
                                       "create /n; rename /a/f /b/f", seed);
        QVERIFY2(files.contains("/a/f=x") != files.contains("/b/f=x"), qPrintable(files));
        seen << files;
    }
    QCOMPARE(seen, (QSet<QString> {"/a/f=x", "/b/f=x", "/a/f=x /n=", "/b/f=x /n="}));
}

void TestLossyVolume::cut_sameSeed_sameDisk()
{
    const QString history = "create /a; write /a 1234; write /a 5678; create /b; write /b xyz; "
                            "rename /b /c; create /d; write /d qwerty; fsync /d";
    for (uint32_t seed = 1; seed <= 10; ++seed)
        QCOMPARE(afterCut("", history, seed), afterCut("", history, seed));
}

QTEST_GUILESS_MAIN(TestLossyVolume)
#include "tst_lossyvolume.moc"
