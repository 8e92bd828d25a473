// The simulated platform tools and the stick, as the program's commands meet them: journals,
// the attach and remove scripts, the update script, unmount, power-off and run-log pruning.
#include "sim/models/usbstick.h"
#include "sim/sandbox.h"

#include <cstdlib>

#include <QtTest>

class TestPlatformTools : public QObject
{
    Q_OBJECT

private:
    // Runs a command line as the program's shell would, with the sandbox's tools on the path.
    int run(const QString &command) const
    {
        const QString line = "PATH='" + sandbox->toolsDir() + "':\"$PATH\"; " + command;
        const int status = std::system(line.toLocal8Bit().constData());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    QString at(const QString &absolutePath) const { return sandbox->file(absolutePath); }
    QByteArray read(const QString &absolutePath) const
    {
        QFile file(at(absolutePath));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString &absolutePath, const QByteArray &content) const
    {
        QDir().mkpath(QFileInfo(at(absolutePath)).path());
        QFile file(at(absolutePath));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir dir;
    std::unique_ptr<Sandbox> sandbox;

private slots:
    void init();
    void journal_currentBootIsTheAppLogAndFreshRootHasNoPrevious();
    void stick_attachMountsAndOffersUpdateRemoveUndoesIt();
    void update_marksStickRestartsAndIsNotOfferedAgain();
    void stickFaults_failCopiesOntoTheStickOnly_data();
    void stickFaults_failCopiesOntoTheStickOnly();
    void unmountAndPowerOff_recordAndAct();
    void logRemove_keepsTheNewestRunLogs();
};

void TestPlatformTools::init()
{
    sandbox = std::make_unique<Sandbox>(dir.filePath("root"));
    QString error;
    QVERIFY2(sandbox->lay(true, 1, &error), qPrintable(error));
}

void TestPlatformTools::journal_currentBootIsTheAppLogAndFreshRootHasNoPrevious()
{
    write("/sim/app.log", "Dec 06 21:00:00.000 vemla8: Powering Off\n");
    const QString file = at("/usr/share/vemla/logs/system/system_log_x.log");
    QDir().mkpath(QFileInfo(file).path());
    QCOMPARE(run("journalctl -b 0 > " + file), 0);
    QCOMPARE(read("/usr/share/vemla/logs/system/system_log_x.log"),
             QByteArray("Dec 06 21:00:00.000 vemla8: Powering Off\n"));

    // Never booted before: fails, and the redirection has left an empty file.
    const QString previous = at("/usr/share/vemla/logs/system/system_log_x_PREVIOUS_BOOT.log");
    QVERIFY(run("journalctl -b -1 > " + previous + " 2>/dev/null") != 0);
    QVERIFY(QFileInfo(previous).isFile());
    QCOMPARE(QFileInfo(previous).size(), 0);

    write("/sim/app.previous.log", "last boot\n");
    QCOMPARE(run("journalctl -b -1 > " + previous), 0);
    QCOMPARE(read("/usr/share/vemla/logs/system/system_log_x_PREVIOUS_BOOT.log"),
             QByteArray("last boot\n"));
    QVERIFY(read("/sim/commands.log").contains("journalctl -b -1\n"));
}

void TestPlatformTools::stick_attachMountsAndOffersUpdateRemoveUndoesIt()
{
    UsbStick stick(sandbox->root(), false);
    const QString attach = ". " + at("/usr/bin/usb_attached.sh");
    const QString removed = ". " + at("/usr/bin/usb_removed.sh");

    // No stick: the attach script mounts nothing.
    QCOMPARE(run(attach), 0);
    QVERIFY(!QFileInfo::exists(at("/media/sda1")));
    QVERIFY(stick.mountedVolumes().isEmpty());

    stick.insert(false);
    QVERIFY(QFileInfo::exists(at("/dev/sda1")));
    QCOMPARE(run(attach), 0);
    QVERIFY(QFileInfo(at("/media/sda1")).isDir());
    QCOMPARE(stick.mountedVolumes(), QStringList {at("/media/sda1")});
    QVERIFY(!QFileInfo::exists(at("/tmp/vemla_sw_update.txt")));

    // Removing the node is what the remove script reacts to.
    QCOMPARE(run(removed), 0);
    QVERIFY(QFileInfo(at("/media/sda1")).isDir());
    stick.remove();
    stick.insert(true);
    QCOMPARE(run(attach), 0);
    QVERIFY(QFileInfo(at("/tmp/vemla_sw_update.txt")).isFile());
    stick.remove();
    QCOMPARE(run(removed), 0);
    QVERIFY(!QFileInfo::exists(at("/media/sda1")));
    QVERIFY(!QFileInfo::exists(at("/tmp/vemla_sw_update.txt")));
    QVERIFY(stick.mountedVolumes().isEmpty());
    // What was written on the stick is still on it.
    QVERIFY(QFileInfo::exists(sandbox->usbStickDir() + "/" + UsbStick::kUpdatePackage));
}

void TestPlatformTools::update_marksStickRestartsAndIsNotOfferedAgain()
{
    // Without a mounted update there is nothing to install.
    QVERIFY(run("sysupgrade.sh 2>/dev/null") != 0);
    QVERIFY(!QFileInfo::exists(sandbox->restartMarker()));

    {
        UsbStick stick(sandbox->root(), false);
        stick.insert(true);
        QCOMPARE(run(". " + at("/usr/bin/usb_attached.sh")), 0);
        QCOMPARE(run("sysupgrade.sh"), 0);
        QVERIFY(QFileInfo::exists(sandbox->restartMarker()));
        QVERIFY(QFileInfo::exists(sandbox->usbStickDir() + "/.swupgraded"));
    }

    // The restarted board: /tmp is empty, the stick is in the port but not yet mounted.
    QString error;
    QVERIFY(sandbox->lay(false, 1, &error));
    QVERIFY(!QFileInfo::exists(sandbox->restartMarker()));
    QVERIFY(!QFileInfo::exists(at("/tmp/vemla_sw_update.txt")));
    UsbStick stick(sandbox->root(), true);
    QVERIFY(QFileInfo::exists(at("/dev/sda1")));
    QVERIFY(!QFileInfo::exists(at("/media/sda1")));
    QCOMPARE(run(". " + at("/usr/bin/usb_attached.sh")), 0);
    QVERIFY(QFileInfo::exists(at("/media/sda1/.swupgraded")));
    // The installed version is not offered again; a newer stick is.
    QVERIFY(!QFileInfo::exists(at("/tmp/vemla_sw_update.txt")));
    stick.remove();
    QTest::qWait(2);
    stick.insert(true);
    QCOMPARE(run(". " + at("/usr/bin/usb_attached.sh")), 0);
    QVERIFY(QFileInfo::exists(at("/tmp/vemla_sw_update.txt")));
}

void TestPlatformTools::stickFaults_failCopiesOntoTheStickOnly_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("copied");
    QTest::addColumn<bool>("stillThere");
    QTest::newRow("sound stick") << QString() << true << true;
    QTest::newRow("full") << "usb-full" << false << true;
    QTest::newRow("pulled during the copy") << "usb-pulled-during-copy" << false << false;
}

void TestPlatformTools::stickFaults_failCopiesOntoTheStickOnly()
{
    QFETCH(QString, fault);
    QFETCH(bool, copied);
    QFETCH(bool, stillThere);
    UsbStick stick(sandbox->root(), false);
    stick.insert(false);
    QCOMPARE(run(". " + at("/usr/bin/usb_attached.sh")), 0);
    QString reason;
    if (!fault.isEmpty())
        QVERIFY2(stick.setFault(fault, {}, &reason), qPrintable(reason));
    QVERIFY(!stick.setFault(fault.isEmpty() ? "usb-full" : fault, {"1"}, &reason));
    write("/usr/share/vemla/logs/errors.log", "error\n");
    write("/usr/share/vemla/logs/production/run.csv", "row\n");

    // The exporter's command line: its status is that of the final sync.
    QCOMPARE(run("mkdir " + at("/media/sda1/logs") + " 2>/dev/null; cp -r "
                 + at("/usr/share/vemla/logs") + "/* " + at("/media/sda1/logs")
                 + "/ 2>/dev/null; sync"),
             0);
    QCOMPARE(QFileInfo::exists(at("/media/sda1/logs/production/run.csv")), copied);
    QCOMPARE(QFileInfo::exists(at("/dev/sda1")), stillThere);
    QCOMPARE(stick.mountedVolumes().isEmpty(), !stillThere);
    // Copies elsewhere are never affected.
    QCOMPARE(run("cp " + at("/usr/share/vemla/logs/errors.log") + " " + at("/tmp/e.log")), 0);
    QVERIFY(QFileInfo::exists(at("/tmp/e.log")));

    stick.clearFaults();
    if (stillThere) {
        QCOMPARE(run("cp -r " + at("/usr/share/vemla/logs") + "/* " + at("/media/sda1/logs") + "/"),
                 0);
        QVERIFY(QFileInfo::exists(at("/media/sda1/logs/production/run.csv")));
    }
}

void TestPlatformTools::unmountAndPowerOff_recordAndAct()
{
    UsbStick stick(sandbox->root(), false);
    stick.insert(false);
    QCOMPARE(run(". " + at("/usr/bin/usb_attached.sh")), 0);
    QCOMPARE(run("sync; umount " + at("/media/sda1")), 0);
    QVERIFY(!QFileInfo::exists(at("/media/sda1")));
    QVERIFY(QFileInfo(sandbox->usbStickDir()).isDir());
    // An unmount outside the media folder is recorded only.
    QCOMPARE(run("umount " + at("/usr/share/vemla")), 0);
    QVERIFY(QFileInfo(at("/usr/share/vemla")).isDir());

    QVERIFY(!QFileInfo::exists(sandbox->powerOffMarker()));
    QCOMPARE(run("poweroff"), 0);
    QVERIFY(QFileInfo::exists(sandbox->powerOffMarker()));
    QVERIFY(read("/sim/commands.log")
                    .endsWith("umount " + at("/usr/share/vemla").toLocal8Bit() + "\npoweroff \n"));
}

void TestPlatformTools::logRemove_keepsTheNewestRunLogs()
{
    const QString production = "/usr/share/vemla/logs/production";
    constexpr int kKept = 200;
    const QDateTime start = QDateTime::currentDateTime().addDays(-1);
    for (int i = 0; i < kKept + 3; ++i) {
        const QString name = QString("%1/run_%2.csv").arg(production).arg(i, 3, 10, QChar('0'));
        write(name, "row\n");
        QFile file(at(name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(start.addSecs(i), QFileDevice::FileModificationTime));
    }
    const QString command = ". " + at("/usr/bin/logremove.sh") + " " + at(production) + " "
            + QString::number(kKept);
    QCOMPARE(run(command), 0);
    QCOMPARE(QDir(at(production)).entryList(QDir::Files).size(), kKept);
    for (const char *oldest : {"run_000.csv", "run_001.csv", "run_002.csv"})
        QVERIFY2(!QFileInfo::exists(at(production + "/" + oldest)), oldest);
    QVERIFY(QFileInfo::exists(at(production + "/run_003.csv")));
    // Fewer than the limit, or no folder at all: nothing to do, and still a success.
    QCOMPARE(run(command), 0);
    QCOMPARE(QDir(at(production)).entryList(QDir::Files).size(), kKept);
    QDir(at(production)).removeRecursively();
    QCOMPARE(run(command), 0);
}

QTEST_GUILESS_MAIN(TestPlatformTools)
#include "tst_platformtools.moc"
