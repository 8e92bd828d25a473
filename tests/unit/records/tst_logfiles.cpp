// Journal capture and the removal of all log files: the exact commands and the results.
#include "records/logremoval.h"
#include "records/systemlog.h"
#include "support/commandrecorder.h"
#include "support/logcapture.h"
#include "support/sandboxroot.h"

#include <QtTest>

namespace {
const QString kLogs = "/usr/share/vemla/logs";

std::vector<std::string> commandsIn(const QStringList &list, const SandboxRoot &sandbox)
{
    std::vector<std::string> commands;
    for (QString command : list)
        commands.push_back(command.replace("<root>", sandbox.root()).toStdString());
    return commands;
}
} // namespace

class TestLogFiles : public QObject
{
    Q_OBJECT

private slots:
    void save_commandsAndResult_data();
    void save_commandsAndResult();
    void remove_resultsAndCommands_data();
    void remove_resultsAndCommands();
    void remove_linkedFolder_targetKept();
};

void TestLogFiles::save_commandsAndResult_data()
{
    QTest::addColumn<int>("selector");
    QTest::addColumn<bool>("dirExists");
    QTest::addColumn<int>("failing"); // 1: mkdir fails, 2: journalctl exits 1, 3: shell fails
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("lastMessage");
    const QString dir = "<root>/usr/share/vemla/logs/system";
    const QString current = "journalctl -b 0 > " + dir + "/system_log_20240131_142501.log";
    const QString previous
            = "journalctl -b -1 > " + dir + "/system_log_20240131_142501_PREVIOUS_BOOT.log";
    const QString mkdir = "mkdir " + dir;
    QTest::newRow("current boot") << 1 << true << 0 << true << QStringList {current}
                                  << "System log saved";
    QTest::newRow("previous boot, first capture")
            << 0 << false << 0 << true << QStringList {mkdir, previous} << "System log saved";
    QTest::newRow("no previous boot recorded") << 0 << true << 2 << false << QStringList {previous}
                                               << "Error while writting system log";
    QTest::newRow("shell cannot run") << 1 << true << 3 << false << QStringList {current}
                                      << "Error while writting system log";
    QTest::newRow("folder cannot be made") << 1 << false << 1 << false << QStringList {mkdir}
                                           << "System logging denied: unable to create directory";
    QTest::newRow("other selector: folder only")
            << 2 << false << 0 << true << QStringList {mkdir}
            << "Directory /usr/share/vemla/logs/system created";
}

void TestLogFiles::save_commandsAndResult()
{
    QFETCH(int, selector);
    QFETCH(bool, dirExists);
    QFETCH(int, failing);
    QFETCH(bool, saved);
    QFETCH(QStringList, commands);
    QFETCH(QString, lastMessage);
    SandboxRoot sandbox;
    if (dirExists)
        QDir().mkpath(sandbox.file(kLogs + "/system"));
    CommandRecorder recorder;
    recorder.setResultFor("mkdir", failing == 1 ? 1 : 0);
    recorder.setResultFor("journalctl", failing == 2 ? 256 : failing == 3 ? -1 : 0);
    LogCapture log;
    QCOMPARE(systemlog::save(selector, QDateTime(QDate(2024, 1, 31), QTime(14, 25, 1))), saved);
    QCOMPARE(recorder.commands(), commandsIn(commands, sandbox));
    QCOMPARE(log.lines().last(), lastMessage);
}

void TestLogFiles::remove_resultsAndCommands_data()
{
    QTest::addColumn<QStringList>("files"); // under the log root; "dir/" is an empty folder
    QTest::addColumn<QString>("failing"); // folder whose removal fails
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("commands");
    const QString rm = "rm -rf <root>" + kLogs;
    QTest::newRow("no log root") << QStringList {} << QString() << 2 << QStringList {};
    QTest::newRow("only the error log")
            << QStringList {"errors.log"} << QString() << 2 << QStringList {};
    QTest::newRow("empty or hidden-only folders")
            << QStringList {"drawer/", "system/.keep"} << QString() << 2 << QStringList {};
    QTest::newRow("all removed") << QStringList {"errors.log", "drawer/d.log", "production/p.csv",
                                                 "system/"}
                                 << QString() << 0
                                 << QStringList {rm + "/drawer/*", rm + "/production/*"};
    QTest::newRow("failure then success")
            << QStringList {"drawer/d.log", "production/p.csv"} << "drawer" << 1
            << QStringList {rm + "/drawer/*", rm + "/production/*"};
    QTest::newRow("success then failure")
            << QStringList {"drawer/d.log", "production/p.csv"} << "production" << 1
            << QStringList {rm + "/drawer/*", rm + "/production/*"};
    QTest::newRow("odd folder name stays one word")
            << QStringList {"x; touch pwned/a.log"} << QString() << 0
            << QStringList {"rm -rf '<root>" + kLogs + "/x; touch pwned'/*"};
}

void TestLogFiles::remove_resultsAndCommands()
{
    QFETCH(QStringList, files);
    QFETCH(QString, failing);
    QFETCH(int, result);
    QFETCH(QStringList, commands);
    SandboxRoot sandbox;
    for (const QString &file : files) {
        if (file.endsWith('/'))
            QDir().mkpath(sandbox.file(kLogs + "/" + file));
        else
            sandbox.write(kLogs + "/" + file, "log\n");
    }
    CommandRecorder recorder;
    recorder.setResultFor("/" + failing.toStdString() + "/*", failing.isEmpty() ? 0 : 256);
    recorder.setPassThrough(true); // the others really run: folders emptied, not removed
    LogCapture log;
    QCOMPARE(removeLogFiles(), result);
    QCOMPARE(recorder.commands(), commandsIn(commands, sandbox));
    if (files.contains("errors.log"))
        QVERIFY(log.contains("Invalid directory: " + kLogs + "/errors.log"));
    if (!failing.isEmpty())
        QVERIFY(log.contains("Failed to delete log files in: " + kLogs + "/" + failing));
    for (const QString &file : files) {
        const QString path = sandbox.file(kLogs + "/" + file);
        const bool kept = file == "errors.log" || file.startsWith(failing + "/")
                || file.endsWith('/') || file.contains("/.");
        QCOMPARE(QFileInfo::exists(path), kept);
        QVERIFY(QFileInfo(QFileInfo(path).path()).isDir());
    }
}

void TestLogFiles::remove_linkedFolder_targetKept()
{
    SandboxRoot sandbox;
    sandbox.write("/home/data/keep.txt", "keep\n");
    sandbox.write(kLogs + "/drawer/d.log", "log\n");
    QVERIFY(QFile::link(sandbox.file("/home/data"), sandbox.file(kLogs + "/linked")));
    CommandRecorder recorder;
    recorder.setPassThrough(true);
    QCOMPARE(removeLogFiles(), 0);
    QCOMPARE(recorder.commands(), commandsIn({"rm -rf <root>" + kLogs + "/drawer/*"}, sandbox));
    QVERIFY(sandbox.exists("/home/data/keep.txt"));
}

QTEST_GUILESS_MAIN(TestLogFiles)
#include "tst_logfiles.moc"
