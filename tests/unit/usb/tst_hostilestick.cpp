// A stick from outside: links where the log export writes, a stick that is not mounted, a
// dangling or misplaced backup, forged and out-of-range backups, backups that are no plain
// file or too large to read while the screen waits.
#include "records/appsettings.h"
#include "records/runcounters.h"
#include "support/commandrecorder.h"
#include "support/logcapture.h"
#include "support/mountedvolumes.h"
#include "support/sandboxroot.h"
#include "usb/logexporter.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kData = "/usr/share/vemla";
const QString kIni = "/usr/share/vemla/vemla.ini";
const QString kLogs = "/usr/share/vemla/logs";
const QString kStick = "/media/sda1";
const QString kStickLogs = "/media/sda1/logs";
const QString kBackup = "/media/sda1/vemla-backup.ini";
// The instrument's own settings: a changed admin password, a calibration, counters.
const QByteArray kSettings = "[drawer]\nsafety_threshold=2450\nopening_time=5600\n"
                             "[password]\nadmin=13579\n"
                             "[production]\nid=40\ndpcr_run=30\n[system]\ndate_format=0\n";
// Longer than this and the restore, which runs on the GUI thread, stalls the screen.
constexpr qint64 kPromptMs = 1000;

QStringList exportStatuses(LogExporter &exporter)
{
    QSignalSpy spy(&exporter, &LogExporter::changeStatusLabel);
    exporter.exportAll();
    QStringList texts;
    for (const QList<QVariant> &arguments : spy)
        texts << arguments.at(0).toString();
    return texts;
}

// Every file under a folder with its content, links not followed: what the instrument holds.
QMap<QString, QByteArray> filesUnder(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        files[path.mid(folder.size())] = file.open(QIODevice::ReadOnly) ? file.readAll() : "?";
    }
    return files;
}

bool isPlainFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
}

bool isPlainFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

// A link on the stick; the folder of its target is there, so a write through it would succeed.
void makeLink(const SandboxRoot &sandbox, const QString &at, const QString &instrumentTarget)
{
    QDir().mkpath(QFileInfo(sandbox.file(at)).path());
    QDir().mkpath(QFileInfo(sandbox.file(instrumentTarget)).path());
    QVERIFY(QFile::link(sandbox.file(instrumentTarget), sandbox.file(at)));
}
} // namespace

class TestHostileStick : public QObject
{
    Q_OBJECT

private slots:
    void export_linksOnTheStick_writesOnlyOntoTheStick_data();
    void export_linksOnTheStick_writesOnlyOntoTheStick();
    void export_nothingMountedAtTheMountPoint_refused_data();
    void export_nothingMountedAtTheMountPoint_refused();
    void backup_linkOrFolderInTheWay_neverWrittenThrough_data();
    void backup_linkOrFolderInTheWay_neverWrittenThrough();
    void restore_forgedValues_refusedKeepTheInstrumentsAndAreLogged_data();
    void restore_forgedValues_refusedKeepTheInstrumentsAndAreLogged();
    void restore_forgedHighestId_nextRunCountsOn();
    void restore_backupNotAPlainFile_refusedAtOnce_data();
    void restore_backupNotAPlainFile_refusedAtOnce();
};

void TestHostileStick::export_linksOnTheStick_writesOnlyOntoTheStick_data()
{
    QTest::addColumn<QString>("link"); // on the stick
    QTest::addColumn<QString>("target"); // an instrument path
    QTest::newRow("diagnostics.log to the settings file")
            << kStickLogs + "/diagnostics.log" << kIni;
    QTest::newRow("a log file to the settings file") << kStickLogs + "/errors.log" << kIni;
    QTest::newRow("a log folder into the resources")
            << kStickLogs + "/production" << kData + "/resources";
    QTest::newRow("the logs folder back to the log root") << kStickLogs << kLogs;
    QTest::newRow("the logs folder to the data directory") << kStickLogs << kData;
    QTest::newRow("a dangling link where a log goes")
            << kStickLogs + "/errors.log" << kData + "/resources/forged.ini";
}

void TestHostileStick::export_linksOnTheStick_writesOnlyOntoTheStick()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    SandboxRoot sandbox;
    sandbox.write(kIni, kSettings);
    sandbox.write(kLogs + "/errors.log", "error 1\n");
    sandbox.write(kLogs + "/production/run_7.csv", "time;vessel\n");
    sandbox.write(kData + "/resources/pressure_settings.inc", "dpcr_line_1_target:\"2000\"\n");
    makeLink(sandbox, link, target);
    const QMap<QString, QByteArray> instrument = filesUnder(sandbox.file(kData));
    MountedVolumes stick({kStick});
    CommandRecorder recorder;
    LogExporter exporter;
    recorder.setPassThrough(true);

    QCOMPARE(exportStatuses(exporter).last(), QString("Logs are transferred"));
    QCOMPARE(filesUnder(sandbox.file(kData)), instrument);
    QVERIFY(isPlainFolder(sandbox.file(kStickLogs)));
    QVERIFY(isPlainFolder(sandbox.file(kStickLogs + "/production")));
    QVERIFY(isPlainFile(sandbox.file(kStickLogs + "/errors.log")));
    QCOMPARE(sandbox.read(kStickLogs + "/errors.log"), QByteArray("error 1\n"));
    QCOMPARE(sandbox.read(kStickLogs + "/production/run_7.csv"), QByteArray("time;vessel\n"));
    QVERIFY(isPlainFile(sandbox.file(kStickLogs + "/diagnostics.log")));
    QCOMPARE(sandbox.read(kStickLogs + "/diagnostics.log"),
             QByteArray("dPCR runs:   30\ndMDA runs:   0\n"));
    QVERIFY(!sandbox.exists(kData + "/resources/forged.ini"));
}

void TestHostileStick::export_nothingMountedAtTheMountPoint_refused_data()
{
    QTest::addColumn<QStringList>("volumes");
    QTest::newRow("node there, nothing mounted") << QStringList();
    QTest::newRow("another stick mounted elsewhere") << QStringList {"/media/sdb1"};
}

void TestHostileStick::export_nothingMountedAtTheMountPoint_refused()
{
    QFETCH(QStringList, volumes);
    SandboxRoot sandbox;
    sandbox.write("/dev/sda1", "");
    sandbox.write(kLogs + "/errors.log", "error 1\n");
    // The mount point as it is without a stick: a folder of the instrument's own disk.
    QDir().mkpath(sandbox.file(kStick));
    MountedVolumes mounted(volumes);
    CommandRecorder recorder;
    LogExporter exporter;
    recorder.setPassThrough(true);
    recorder.clear();

    QCOMPARE(exportStatuses(exporter), QStringList {"Invalid or missing USB device"});
    QVERIFY(recorder.commands().empty());
    QVERIFY(QDir(sandbox.file(kStick)).isEmpty());
}

void TestHostileStick::backup_linkOrFolderInTheWay_neverWrittenThrough_data()
{
    QTest::addColumn<QString>("inTheWay");
    QTest::addColumn<int>("result");
    QTest::newRow("a dangling link") << "dangling link" << 0;
    QTest::newRow("a link to the settings file") << "settings link" << 0;
    QTest::newRow("a folder") << "folder" << -3;
}

void TestHostileStick::backup_linkOrFolderInTheWay_neverWrittenThrough()
{
    QFETCH(QString, inTheWay);
    QFETCH(int, result);
    SandboxRoot sandbox;
    sandbox.write(kIni, kSettings);
    if (inTheWay == "dangling link")
        makeLink(sandbox, kBackup, kData + "/resources/forged.ini");
    else if (inTheWay == "settings link")
        makeLink(sandbox, kBackup, kIni);
    else
        QDir().mkpath(sandbox.file(kBackup + "/inside"));
    CommandRecorder recorder;
    recorder.setPassThrough(true); // the real rm on the stick
    LogCapture log;

    QCOMPARE(AppSettings().backupSettings(kStick), result);
    QCOMPARE(sandbox.read(kIni), kSettings);
    QVERIFY(!sandbox.exists(kData + "/resources/forged.ini"));
    if (result == 0) {
        QVERIFY(isPlainFile(sandbox.file(kBackup)));
        QSettings backup(sandbox.file(kBackup), QSettings::IniFormat);
        QCOMPARE(backup.value("production/id").toInt(), 40);
        QCOMPARE(backup.value("drawer/safety_threshold").toInt(), 2450);
    } else {
        QVERIFY(log.contains("Failed to remove old vemla-backup.ini"));
    }
}

void TestHostileStick::restore_forgedValues_refusedKeepTheInstrumentsAndAreLogged_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text"); // in the backup
    QTest::addColumn<int>("restored"); // what the instrument holds afterwards
    QTest::addColumn<bool>("refused");
    // The instrument's own values are those of kSettings (dmda_run absent: 0).
    const QString threshold = "drawer/safety_threshold";
    QTest::newRow("threshold 65535: no pinch protection") << threshold << "65535" << 2450 << true;
    QTest::newRow("threshold 4096") << threshold << "4096" << 2450 << true;
    QTest::newRow("threshold 4095") << threshold << "4095" << 4095 << false;
    QTest::newRow("threshold 1200") << threshold << "1200" << 1200 << false;
    QTest::newRow("threshold 1199") << threshold << "1199" << 2450 << true;
    QTest::newRow("threshold with a unit") << threshold << "2000 mA" << 2450 << true;
    const QString opening = "drawer/opening_time";
    QTest::newRow("opening 60000 ms") << opening << "60000" << 5600 << true;
    QTest::newRow("opening 8001 ms") << opening << "8001" << 5600 << true;
    QTest::newRow("opening 8000 ms") << opening << "8000" << 8000 << false;
    QTest::newRow("opening 4501 ms") << opening << "4501" << 4501 << false;
    QTest::newRow("opening 4500 ms") << opening << "4500" << 5600 << true;
    QTest::newRow("opening 900 ms: closing unsupervised") << opening << "900" << 5600 << true;
    const QString id = "production/id";
    QTest::newRow("id below the instrument's") << id << "3" << 40 << true;
    QTest::newRow("id the instrument's") << id << "40" << 40 << false;
    QTest::newRow("id above the instrument's") << id << "41" << 41 << false;
    QTest::newRow("id at the 32-bit limit") << id << "2147483647" << 40 << true;
    QTest::newRow("id beyond 32 bits") << id << "4294967336" << 40 << true;
    QTest::newRow("id 100 million") << id << "100000000" << 100000000 << false;
    QTest::newRow("id above 100 million") << id << "100000001" << 40 << true;
    QTest::newRow("dPCR runs in hex") << "production/dpcr_run"
                                      << "0x40" << 30 << true;
    QTest::newRow("dMDA runs negative") << "production/dmda_run"
                                        << "-1" << 0 << true;
    QTest::newRow("dMDA runs") << "production/dmda_run"
                               << "7" << 7 << false;
    QTest::newRow("date format 2") << "system/date_format"
                                   << "2" << 0 << true;
    QTest::newRow("date format month first") << "system/date_format"
                                             << "1" << 1 << false;
}

void TestHostileStick::restore_forgedValues_refusedKeepTheInstrumentsAndAreLogged()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(int, restored);
    QFETCH(bool, refused);
    SandboxRoot sandbox;
    sandbox.write(kIni, kSettings);
    sandbox.write(kBackup,
                  "[" + key.section('/', 0, 0).toUtf8() + "]\n" + key.section('/', 1).toUtf8() + "="
                          + text.toUtf8() + "\n");
    LogCapture log;

    QCOMPARE(AppSettings().restoreSettings(kStick), 0);
    QCOMPARE(QSettings(sandbox.file(kIni), QSettings::IniFormat).value(key).toInt(), restored);
    const QString line = QString("Settings: Refused '%1' from the backup: %2, kept %3")
                                 .arg(key.section('/', 1), text)
                                 .arg(restored);
    QCOMPARE(log.contains(line), refused);
    QVERIFY(log.contains("Settings restored from backup"));
}

void TestHostileStick::restore_forgedHighestId_nextRunCountsOn()
{
    SandboxRoot sandbox;
    sandbox.write(kIni, "[production]\nid=5\n");
    sandbox.write(kBackup, "[production]\nid=2147483647\n");
    CommandRecorder recorder;
    QCOMPARE(AppSettings().restoreSettings(kStick), 0);

    RunCounters counters;
    QSignalSpy counted(&counters, &RunCounters::runCounted);
    counters.requestCount("dPCR");
    QVERIFY(counted.wait(3000));
    QCOMPARE(counted.first().first().toInt(), 6);
}

void TestHostileStick::restore_backupNotAPlainFile_refusedAtOnce_data()
{
    QTest::addColumn<QString>("backup");
    QTest::newRow("a dangling link") << "dangling link";
    QTest::newRow("a link to an instrument file") << "instrument link";
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("a 32 MB file") << "huge";
}

void TestHostileStick::restore_backupNotAPlainFile_refusedAtOnce()
{
    QFETCH(QString, backup);
    SandboxRoot sandbox;
    sandbox.write(kIni, kSettings);
    const QByteArray forged = "[drawer]\nsafety_threshold=3000\n[production]\nid=90\n";
    if (backup == "dangling link") {
        makeLink(sandbox, kBackup, kData + "/resources/gone.ini");
    } else if (backup == "instrument link") {
        sandbox.write(kData + "/resources/old.ini", forged);
        makeLink(sandbox, kBackup, kData + "/resources/old.ini");
    } else if (backup == "fifo") {
        QDir().mkpath(sandbox.file(kStick));
        QCOMPARE(::mkfifo(QFile::encodeName(sandbox.file(kBackup)).constData(), 0644), 0);
    } else {
        sandbox.write(kBackup, forged + QByteArray(32 * 1024 * 1024, '\n'));
    }
    // A reader left waiting on the FIFO is let go after a while, so that the test ends.
    std::atomic<bool> done {false};
    std::thread release([&] {
        for (int waited = 0; waited < 3 * kPromptMs && !done; waited += 10)
            QThread::msleep(10);
        if (!done) {
            const int fd = ::open(QFile::encodeName(sandbox.file(kBackup)).constData(),
                                  O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    });
    LogCapture log;
    QElapsedTimer clock;
    clock.start();
    const int result = AppSettings().restoreSettings(kStick);
    const qint64 elapsed = clock.elapsed();
    done = true;
    release.join();

    QCOMPARE(result, -1);
    QVERIFY(log.contains("Failed to restore settings backup: not a plain backup file"));
    QVERIFY2(elapsed < kPromptMs, qPrintable(QString("%1 ms").arg(elapsed)));
    QCOMPARE(sandbox.read(kIni), kSettings);
}

QTEST_GUILESS_MAIN(TestHostileStick)
#include "tst_hostilestick.moc"
