// The drawer's sample log: when it may record, what a move's file holds, the calibration
// profile's one threshold, and a folder it cannot write.
#include "hw/drawermath.h"
#include "hw/drawersamplelog.h"
#include "support/commandrecorder.h"
#include "support/logcapture.h"
#include "support/sandboxroot.h"

#include <QtTest>

namespace {

const QString kDrawerLogs = "/usr/share/vemla/logs/drawer/";

// The one file matching `pattern` in the drawer logs folder, its lines; empty when there is
// not exactly one.
QList<QByteArray> logFile(const SandboxRoot &sandbox, const QString &pattern)
{
    const QStringList logs = QDir(sandbox.file(kDrawerLogs)).entryList({pattern}, QDir::Files);
    return logs.size() == 1 ? sandbox.read(kDrawerLogs + logs.first()).split('\n')
                            : QList<QByteArray>();
}

int logFiles(const SandboxRoot &sandbox)
{
    return QDir(sandbox.file(kDrawerLogs)).entryList(QDir::Files).size();
}

void record(DrawerSampleLog &log, const QList<int> &samples)
{
    for (int sample : samples)
        log.record(sample);
}

// A sample log on a sandbox with the drawer logs folder, the program's log captured.
struct SampleLogBench
{
    explicit SampleLogBench(bool logging)
    {
        sandbox.write(kDrawerLogs + ".keep", {});
        if (logging)
            enabled = samples.enable(1) == 0;
    }

    SandboxRoot sandbox;
    LogCapture log;
    DrawerSampleLog samples;
    bool enabled = false;
};

} // namespace

class TestDrawerSampleLog : public QObject
{
    Q_OBJECT

private slots:
    void enable_refusalsAndDirectory();
    void finishMove_logging_writesTheMoveOnceInItsOrder();
    void finishMove_calibration_givesOneThresholdAndFile();
    void finishMove_unwritableFolder_logsAndForgets();
};

void TestDrawerSampleLog::enable_refusalsAndDirectory()
{
    SandboxRoot sandbox;
    CommandRecorder commands;
    LogCapture log;
    DrawerSampleLog samples;
    QCOMPARE(samples.enable(0), -1);
    QVERIFY(log.contains("Drawer logging denied, invalid HW version: 0"));
    QCOMPARE(samples.enable(1), -1); // no logs directory
    QVERIFY(log.contains("Drawer logging denied: logs directory missing"));
    QVERIFY(commands.commands().empty());

    sandbox.write("/usr/share/vemla/logs/errors.log", {});
    commands.setResult(256); // mkdir failed
    QCOMPARE(samples.enable(1), -1);
    const std::string mkdir = "mkdir " + sandbox.file("/usr/share/vemla/logs/drawer").toStdString();
    QCOMPARE(commands.commands(), std::vector<std::string> {mkdir});
    // Refused: a move records nothing.
    record(samples, {350, 360});
    QVERIFY(!samples.finishMove("move_out"));

    commands.setResult(0);
    QCOMPARE(samples.enable(3), 0);
    QVERIFY(log.contains("Drawer logging: ENABLED"));
    sandbox.write(kDrawerLogs + ".keep", {});
    commands.clear();
    QCOMPARE(samples.enable(3), 0); // the directory is there: nothing to run
    QVERIFY(commands.commands().empty());
}

void TestDrawerSampleLog::finishMove_logging_writesTheMoveOnceInItsOrder()
{
    SampleLogBench bench(true);
    QVERIFY(bench.enabled);

    record(bench.samples, {350, 1600});
    bench.samples.markZoneEnd();
    record(bench.samples, {10, 5});
    QVERIFY(!bench.samples.finishMove("move_in"));
    QCOMPARE(logFile(bench.sandbox, "drawer_move_in_*.log"),
             QList<QByteArray>({"350", "1600", "-1", "10", "5", ""}));
    QVERIFY(bench.log.lines()
                    .filter(QRegularExpression("^Wrote 5 values to log: "
                                               "/usr/share/vemla/logs/drawer/drawer_move_in_"))
                    .size()
            == 1);

    // A move that sampled nothing (it could not start) leaves no file; the next move's file
    // holds its own samples only.
    QVERIFY(!bench.samples.finishMove("move_out"));
    QCOMPARE(logFiles(bench.sandbox), 1);
    record(bench.samples, {20, 8});
    bench.samples.finishMove("move_out");
    QCOMPARE(logFile(bench.sandbox, "drawer_move_out_*.log"), QList<QByteArray>({"20", "8", ""}));

    // Switched off: moves record nothing.
    bench.samples.disable();
    record(bench.samples, {30, 9});
    bench.samples.finishMove("move_in");
    QCOMPARE(logFiles(bench.sandbox), 2);
}

void TestDrawerSampleLog::finishMove_calibration_givesOneThresholdAndFile()
{
    SampleLogBench bench(false);

    // Logging off: the calibration records its one opening all the same.
    bench.samples.startCalibration();
    const QList<int> profile = {900, 2100, 1700, 10, 5};
    record(bench.samples, profile);
    const std::optional<uint16_t> threshold = bench.samples.finishMove("move_out");
    QVERIFY(threshold);
    QCOMPARE(*threshold,
             drawermath::calibrationThreshold(std::vector<int>(profile.begin(), profile.end())));
    QCOMPARE(logFile(bench.sandbox, "calibration_move_out_*.log").size(), profile.size() + 1);
    QVERIFY(bench.log.contains("Drawer: Calibration data logging: DISABLED"));
    // Once: the next move is no calibration and, logging off, leaves nothing.
    record(bench.samples, profile);
    QVERIFY(!bench.samples.finishMove("move_in"));
    QCOMPARE(logFiles(bench.sandbox), 1);

    // A calibration move without samples still ends the calibration, with threshold 0.
    bench.samples.startCalibration();
    QCOMPARE(bench.samples.finishMove("move_out"), std::optional<uint16_t>(0));
    QVERIFY(!bench.samples.finishMove("move_out"));

    // Logging on: the calibration opening is a calibration file, the moves after it logs again.
    QCOMPARE(bench.samples.enable(1), 0);
    bench.samples.startCalibration();
    record(bench.samples, {1900, 10, 5});
    QVERIFY(bench.samples.finishMove("move_in"));
    record(bench.samples, {350, 10, 5});
    QVERIFY(!bench.samples.finishMove("move_in"));
    QCOMPARE(logFile(bench.sandbox, "calibration_move_in_*.log"),
             QList<QByteArray>({"1900", "10", "5", ""}));
    QCOMPARE(logFile(bench.sandbox, "drawer_move_in_*.log"),
             QList<QByteArray>({"350", "10", "5", ""}));
}

void TestDrawerSampleLog::finishMove_unwritableFolder_logsAndForgets()
{
    SampleLogBench bench(true);
    QVERIFY(bench.enabled);
    // The folder went missing after logging was switched on.
    QDir(bench.sandbox.file(kDrawerLogs)).removeRecursively();

    record(bench.samples, {350, 10, 5});
    QVERIFY(!bench.samples.finishMove("move_out"));
    QCOMPARE(bench.log.lines()
                     .filter(QRegularExpression(
                             "^Unable to open: /usr/share/vemla/logs/drawer/drawer_move_out_"))
                     .size(),
             1);

    bench.sandbox.write(kDrawerLogs + ".keep", {});
    record(bench.samples, {20, 8});
    bench.samples.finishMove("move_out");
    QCOMPARE(logFile(bench.sandbox, "drawer_move_out_*.log"), QList<QByteArray>({"20", "8", ""}));
}

QTEST_GUILESS_MAIN(TestDrawerSampleLog)
#include "tst_drawersamplelog.moc"
