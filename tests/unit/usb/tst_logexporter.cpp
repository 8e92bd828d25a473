// Log export onto a stick folder of the sandbox: commands, status texts, files on the stick.
#include "support/commandrecorder.h"
#include "support/logcapture.h"
#include "support/mountedvolumes.h"
#include "support/sandboxroot.h"
#include "usb/logexporter.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QString kLogs = "/usr/share/vemla/logs";
const QString kStickLogs = "/media/sda1/logs";

QStringList exportStatuses(LogExporter &exporter)
{
    QSignalSpy spy(&exporter, &LogExporter::changeStatusLabel);
    exporter.exportAll();
    QStringList texts;
    for (const QList<QVariant> &arguments : spy)
        texts << arguments.at(0).toString();
    return texts;
}
} // namespace

class TestLogExporter : public QObject
{
    Q_OBJECT

private slots:
    void construction_prunesRunLogs();
    void export_copiesTreeAndRewritesDiagnostics();
    void export_failures_data();
    void export_failures();
};

void TestLogExporter::construction_prunesRunLogs()
{
    SandboxRoot sandbox;
    const std::string root = sandbox.root().toStdString();
    for (int status : {0, 1, -1}) {
        CommandRecorder recorder(status);
        LogCapture log;
        LogExporter exporter;
        QCOMPARE(recorder.commands(),
                 std::vector<std::string> {". " + root + "/usr/bin/logremove.sh " + root
                                           + "/usr/share/vemla/logs/production 200"});
        QCOMPARE(log.lines().value(1),
                 QString("LogExporter: removed old run logs: ")
                         + (status == 0 ? "success" : "failed"));
    }
}

void TestLogExporter::export_copiesTreeAndRewritesDiagnostics()
{
    SandboxRoot sandbox;
    sandbox.write(kLogs + "/errors.log", "error 1\n");
    sandbox.write(kLogs + "/production/run_7.csv", "time;vessel\n");
    sandbox.write(kStickLogs + "/mine.txt", "the user's own file\n");
    MountedVolumes stick({"/media/sda1"});
    CommandRecorder recorder;
    recorder.setPassThrough(true);
    LogExporter exporter;
    const std::string root = sandbox.root().toStdString();
    const std::string copy
            = "cp -r " + root + "/usr/share/vemla/logs/* " + root + "/media/sda1/logs/; sync";

    // No runs ever made: both counters read 0.
    recorder.clear();
    QCOMPARE(exportStatuses(exporter), (QStringList {"Transferring...", "Logs are transferred"}));
    QCOMPARE(recorder.commands(), (std::vector<std::string> {copy, "sync"}));
    QCOMPARE(sandbox.read(kStickLogs + "/production/run_7.csv"), QByteArray("time;vessel\n"));
    QCOMPARE(sandbox.read(kStickLogs + "/diagnostics.log"),
             QByteArray("dPCR runs:   0\ndMDA runs:   0\n"));
    QCOMPARE(sandbox.read(kStickLogs + "/mine.txt"), QByteArray("the user's own file\n"));

    // Again, with the counters moved on and the stick's folder gone: made anew, rewritten.
    QDir(sandbox.file(kStickLogs)).removeRecursively();
    sandbox.write("/usr/share/vemla/vemla.ini", "[production]\ndpcr_run=12\ndmda_run=3\n");
    sandbox.write(kLogs + "/errors.log", "error 1\nerror 2\n");
    recorder.clear();
    QCOMPARE(exportStatuses(exporter), (QStringList {"Transferring...", "Logs are transferred"}));
    QCOMPARE(recorder.commands(),
             (std::vector<std::string> {"mkdir " + root + "/media/sda1/logs", copy, "sync"}));
    QCOMPARE(sandbox.read(kStickLogs + "/errors.log"), QByteArray("error 1\nerror 2\n"));
    QCOMPARE(sandbox.read(kStickLogs + "/diagnostics.log"),
             QByteArray("dPCR runs:   12\ndMDA runs:   3\n"));
}

void TestLogExporter::export_failures_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("status");
    QTest::newRow("empty log root") << "no logs"
                                    << "No log files available";
    QTest::newRow("shell cannot run the copy") << "copy not run"
                                               << "Error while transferring the logs";
    // Still listed as mounted, its folder gone: pulled between the check and the copy.
    QTest::newRow("stick gone before the copy") << "no stick"
                                                << "Error while transferring the logs";
    QTest::newRow("diagnostics not writable") << "diagnostics"
                                              << "Error while transferring diagnostics";
}

void TestLogExporter::export_failures()
{
    QFETCH(QString, failure);
    QFETCH(QString, status);
    SandboxRoot sandbox;
    QDir().mkpath(sandbox.file(kLogs));
    if (failure != "no logs")
        sandbox.write(kLogs + "/production/run_7.csv", "time;vessel\n");
    if (failure != "no stick")
        QDir().mkpath(sandbox.file("/media/sda1"));
    if (failure == "diagnostics")
        QDir().mkpath(sandbox.file(kStickLogs + "/diagnostics.log"));
    MountedVolumes stick({"/media/sda1"});
    CommandRecorder recorder;
    recorder.setPassThrough(true);
    if (failure == "copy not run")
        recorder.setResultFor("cp -r", -1);
    LogExporter exporter;
    recorder.clear();
    const QStringList statuses = exportStatuses(exporter);
    QCOMPARE(statuses.last(), status);
    QCOMPARE(statuses.size(), failure == "no logs" ? 1 : 2);
    if (failure == "no logs")
        QVERIFY(recorder.commands().empty());
    // Never a half diagnostics file: none at all, or (a folder in the way) the old one.
    if (failure != "diagnostics")
        QVERIFY(!sandbox.exists(kStickLogs + "/diagnostics.log"));
}

QTEST_GUILESS_MAIN(TestLogExporter)
#include "tst_logexporter.moc"
