// Log export onto a stick folder of the sandbox: commands, status texts, files on the stick.
#include "support/commandrecorder.h"
#include "support/logcapture.h"
#include "support/sandboxroot.h"
#include "usb/logexporter.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QString kLogs = "/usr/share/vemla/logs";
const QString kStick = "/media/sda1";
const QString kIni = "/usr/share/vemla/vemla.ini";

QStringList statuses(const QSignalSpy &spy)
{
    QStringList texts;
    for (const QList<QVariant> &arguments : spy)
        texts << arguments.at(0).toString();
    return texts;
}

void layLogs(const SandboxRoot &sandbox)
{
    sandbox.write(kLogs + "/errors.log", "error 1\n");
    sandbox.write(kLogs + "/production/run_7.csv", "time;vessel\n");
    sandbox.write(kLogs + "/system/system_log_20240131_142501.log", "journal\n");
    QDir().mkpath(sandbox.file(kStick));
}
} // namespace

class TestLogExporter : public QObject
{
    Q_OBJECT

private slots:
    void construction_prunesRunLogsAndLogsOutcome_data();
    void construction_prunesRunLogsAndLogsOutcome();
    void export_copiesTreeAndRewritesDiagnostics();
    void export_failures_data();
    void export_failures();
};

void TestLogExporter::construction_prunesRunLogsAndLogsOutcome_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("pruned") << 0 << "LogExporter: removed old run logs: success";
    QTest::newRow("script failed") << 1 << "LogExporter: removed old run logs: failed";
    QTest::newRow("shell failed") << -1 << "LogExporter: removed old run logs: failed";
}

void TestLogExporter::construction_prunesRunLogsAndLogsOutcome()
{
    QFETCH(int, status);
    QFETCH(QString, outcome);
    SandboxRoot sandbox;
    CommandRecorder recorder(status);
    LogCapture log;
    LogExporter exporter;
    const std::string root = sandbox.root().toStdString();
    QCOMPARE(recorder.commands(),
             std::vector<std::string> {". " + root + "/usr/bin/logremove.sh " + root
                                       + "/usr/share/vemla/logs/production 200"});
    QCOMPARE(log.lines(), (QStringList {"LogExporter created!", outcome}));
}

void TestLogExporter::export_copiesTreeAndRewritesDiagnostics()
{
    SandboxRoot sandbox;
    layLogs(sandbox);
    sandbox.write(kStick + "/logs/mine.txt", "the user's own file\n");
    CommandRecorder recorder;
    recorder.setPassThrough(true);
    LogExporter exporter;
    QSignalSpy status(&exporter, &LogExporter::changeStatusLabel);

    // No runs ever made: both counters read 0.
    recorder.clear();
    exporter.exportAll();
    QCOMPARE(statuses(status), (QStringList {"Transferring...", "Logs are transferred"}));
    const std::string root = sandbox.root().toStdString();
    QCOMPARE(recorder.commands(),
             (std::vector<std::string> {"cp -r " + root + "/usr/share/vemla/logs/* " + root
                                                + "/media/sda1/logs/; sync",
                                        "sync"}));
    QCOMPARE(sandbox.read(kStick + "/logs/errors.log"), QByteArray("error 1\n"));
    QCOMPARE(sandbox.read(kStick + "/logs/production/run_7.csv"), QByteArray("time;vessel\n"));
    QCOMPARE(sandbox.read(kStick + "/logs/system/system_log_20240131_142501.log"),
             QByteArray("journal\n"));
    QCOMPARE(sandbox.read(kStick + "/logs/diagnostics.log"),
             QByteArray("dPCR runs:   0\ndMDA runs:   0\n"));
    QCOMPARE(sandbox.read(kStick + "/logs/mine.txt"), QByteArray("the user's own file\n"));

    // Again, with the counters moved on and the stick's folder gone: made anew, rewritten.
    QDir(sandbox.file(kStick + "/logs")).removeRecursively();
    sandbox.write(kIni, "[production]\ndpcr_run=12\ndmda_run=3\n");
    sandbox.write(kLogs + "/errors.log", "error 1\nerror 2\n");
    status.clear();
    recorder.clear();
    exporter.exportAll();
    QCOMPARE(statuses(status), (QStringList {"Transferring...", "Logs are transferred"}));
    QCOMPARE(recorder.commands().front(), "mkdir " + root + "/media/sda1/logs");
    QCOMPARE(sandbox.read(kStick + "/logs/errors.log"), QByteArray("error 1\nerror 2\n"));
    QCOMPARE(sandbox.read(kStick + "/logs/diagnostics.log"),
             QByteArray("dPCR runs:   12\ndMDA runs:   3\n"));
}

void TestLogExporter::export_failures_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty log root") << "no logs" << QStringList {"No log files available"};
    QTest::newRow("shell cannot run the copy")
            << "copy not run"
            << QStringList {"Transferring...", "Error while transferring the logs"};
    QTest::newRow("stick gone before the copy")
            << "no stick" << QStringList {"Transferring...", "Error while transferring the logs"};
    QTest::newRow("copy short of a file")
            << "short copy" << QStringList {"Transferring...", "Error while transferring the logs"};
    QTest::newRow("diagnostics not writable")
            << "diagnostics"
            << QStringList {"Transferring...", "Error while transferring diagnostics"};
}

void TestLogExporter::export_failures()
{
    QFETCH(QString, failure);
    QFETCH(QStringList, expected);
    SandboxRoot sandbox;
    if (failure == "no logs")
        QDir().mkpath(sandbox.file(kLogs));
    else
        layLogs(sandbox);
    CommandRecorder recorder;
    recorder.setPassThrough(true);
    LogExporter exporter;
    recorder.clear();
    if (failure == "copy not run")
        recorder.setResultFor("cp -r", -1);
    if (failure == "short copy")
        recorder.setResultFor("cp -r", 0); // exits well, but nothing arrived
    if (failure == "no stick")
        QDir(sandbox.file(kStick)).removeRecursively();
    if (failure == "diagnostics")
        QDir().mkpath(sandbox.file(kStick + "/logs/diagnostics.log"));
    QSignalSpy status(&exporter, &LogExporter::changeStatusLabel);
    exporter.exportAll();
    QCOMPARE(statuses(status), expected);
    if (failure == "no logs") {
        QVERIFY(recorder.commands().empty());
        QVERIFY(!sandbox.exists(kStick + "/logs"));
    }
    // No half diagnostics file is ever left behind.
    if (failure == "diagnostics")
        QVERIFY(QFileInfo(sandbox.file(kStick + "/logs/diagnostics.log")).isDir());
    else if (failure != "no logs" && failure != "no stick")
        QVERIFY(!sandbox.exists(kStick + "/logs/diagnostics.log"));
}

QTEST_GUILESS_MAIN(TestLogExporter)
#include "tst_logexporter.moc"
