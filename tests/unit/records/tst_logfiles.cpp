// Journal capture and the removal of all log files: the exact commands and the results.
#include "records/logremoval.h"
#include "records/systemlog.h"
#include "support/commandrecorder.h"
#include "support/logcapture.h"
#include "support/sandboxroot.h"

#include <QtTest>

namespace {
const QString kLogs = "/usr/share/vemla/logs";
const QString kSystem = "/usr/share/vemla/logs/system";
const QDateTime kAt(QDate(2024, 1, 31), QTime(14, 25, 1));

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
    void remove_emptiesFoldersButKeepsThemAndTheErrorLog();
};

void TestLogFiles::save_commandsAndResult_data()
{
    QTest::addColumn<int>("selector");
    QTest::addColumn<bool>("dirExists");
    QTest::addColumn<int>("mkdirStatus");
    QTest::addColumn<int>("journalStatus");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("lastMessage");
    const QString current
            = "journalctl -b 0 > <root>" + kSystem + "/system_log_20240131_142501.log";
    const QString previous = "journalctl -b -1 > <root>" + kSystem
            + "/system_log_20240131_142501_PREVIOUS_BOOT.log";
    const QString mkdir = "mkdir <root>" + kSystem;
    QTest::newRow("current boot") << 1 << true << 0 << 0 << true << QStringList {current}
                                  << "System log saved";
    QTest::newRow("previous boot")
            << 0 << true << 0 << 0 << true << QStringList {previous} << "System log saved";
    QTest::newRow("no previous boot recorded")
            << 0 << true << 0 << 256 << false << QStringList {previous}
            << "Error while writting system log";
    QTest::newRow("journal cannot run") << 1 << true << 0 << -1 << false << QStringList {current}
                                        << "Error while writting system log";
    QTest::newRow("first capture creates the folder")
            << 1 << false << 0 << 0 << true << QStringList {mkdir, current} << "System log saved";
    QTest::newRow("folder cannot be made") << 1 << false << 1 << 0 << false << QStringList {mkdir}
                                           << "System logging denied: unable to create directory";
    QTest::newRow("other selector: folder only")
            << 2 << false << 0 << 0 << true << QStringList {mkdir}
            << "Directory /usr/share/vemla/logs/system created";
    QTest::newRow("other selector, negative")
            << -1 << true << 0 << 0 << true << QStringList {} << QString();
}

void TestLogFiles::save_commandsAndResult()
{
    QFETCH(int, selector);
    QFETCH(bool, dirExists);
    QFETCH(int, mkdirStatus);
    QFETCH(int, journalStatus);
    QFETCH(bool, saved);
    QFETCH(QStringList, commands);
    QFETCH(QString, lastMessage);
    SandboxRoot sandbox;
    if (dirExists)
        QDir().mkpath(sandbox.file(kSystem));
    CommandRecorder recorder;
    recorder.setResultFor("mkdir", mkdirStatus);
    recorder.setResultFor("journalctl", journalStatus);
    LogCapture log;
    QCOMPARE(systemlog::save(selector, kAt), saved);
    QCOMPARE(recorder.commands(), commandsIn(commands, sandbox));
    QCOMPARE(log.lines().isEmpty() ? QString() : log.lines().last(), lastMessage);
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
    QTest::newRow("empty folders") << QStringList {"drawer/", "production/", "system/"} << QString()
                                   << 2 << QStringList {};
    QTest::newRow("hidden files only")
            << QStringList {"system/.keep"} << QString() << 2 << QStringList {};
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
    if (!failing.isEmpty())
        recorder.setResultFor("/" + failing.toStdString() + "/*", 256);
    LogCapture log;
    QCOMPARE(removeLogFiles(), result);
    QCOMPARE(recorder.commands(), commandsIn(commands, sandbox));
    if (files.contains("errors.log"))
        QVERIFY(log.contains("Invalid directory: " + kLogs + "/errors.log"));
    if (!failing.isEmpty())
        QVERIFY(log.contains("Failed to delete log files in: " + kLogs + "/" + failing));
}

void TestLogFiles::remove_emptiesFoldersButKeepsThemAndTheErrorLog()
{
    SandboxRoot sandbox;
    sandbox.write(kLogs + "/errors.log", "error\n");
    sandbox.write(kLogs + "/production/run_1.csv", "row\n");
    sandbox.write(kLogs + "/production/old/run_0.csv", "row\n");
    sandbox.write(kLogs + "/my logs/a.log", "a\n");
    sandbox.write("/usr/share/vemla/vemla.ini", "[system]\n");
    CommandRecorder recorder;
    recorder.setPassThrough(true);
    LogCapture log;
    QCOMPARE(removeLogFiles(), 0);
    QVERIFY(log.contains("Checking Dir:  " + kLogs + "/production"));
    QVERIFY(log.contains("Deleting log files from:   " + kLogs + "/production"));
    QVERIFY(sandbox.exists(kLogs + "/errors.log"));
    QVERIFY(QFileInfo(sandbox.file(kLogs + "/production")).isDir());
    QVERIFY(QDir(sandbox.file(kLogs + "/production")).isEmpty());
    QVERIFY(QDir(sandbox.file(kLogs + "/my logs")).isEmpty());
    QVERIFY(sandbox.exists("/usr/share/vemla/vemla.ini"));
    // Nothing left to remove now.
    QCOMPARE(removeLogFiles(), 2);
}

QTEST_GUILESS_MAIN(TestLogFiles)
#include "tst_logfiles.moc"
