// The simulated platform tools and the stick, as the program's commands meet them: the attach
// and remove scripts, the update script, unmount and power-off. The journal is powercut.scn's.
#include "sim/models/usbstick.h"
#include "sim/sandbox.h"

#include <cstdlib>
#include <memory>

#include <QtTest>

class TestPlatformTools : public QObject
{
    Q_OBJECT

private:
    // A command line as the program's shell runs it, with the sandbox's tools on the path.
    int run(const QString &command) const
    {
        const QString line = "PATH='" + sandbox->toolsDir() + "':\"$PATH\"; " + command;
        const int status = std::system(line.toLocal8Bit().constData());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    QString at(const QString &absolutePath) const { return sandbox->file(absolutePath); }
    bool exists(const QString &absolutePath) const { return QFileInfo::exists(at(absolutePath)); }
    void write(const QString &absolutePath, const QByteArray &content) const
    {
        QDir().mkpath(QFileInfo(at(absolutePath)).path());
        QFile file(at(absolutePath));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    int attach() const { return run(". " + at("/usr/bin/usb_attached.sh")); }

    QTemporaryDir dir;
    std::unique_ptr<Sandbox> sandbox;

private slots:
    void init();
    void stick_mountOfferUnmountRemoveAndPowerOff();
    void update_marksStickRestartsAndIsNotOfferedAgain();
    void hostileStick_unmountableAndForgedContents();
};

void TestPlatformTools::init()
{
    sandbox = std::make_unique<Sandbox>(dir.filePath("root"));
    QString error;
    QVERIFY2(sandbox->lay(true, 1, &error), qPrintable(error));
}

void TestPlatformTools::stick_mountOfferUnmountRemoveAndPowerOff()
{
    UsbStick stick(sandbox->root(), false);
    QCOMPARE(attach(), 0); // no stick: nothing mounted
    QVERIFY(stick.mountedVolumes().isEmpty());
    stick.insert(false);
    QCOMPARE(attach(), 0);
    QCOMPARE(stick.mountedVolumes(), QStringList {at("/media/sda1")});
    QVERIFY(!exists("/tmp/vemla_sw_update.txt"));
    QCOMPARE(run("sync; umount " + at("/media/sda1")), 0);
    QVERIFY(stick.mountedVolumes().isEmpty());

    stick.insert(true);
    QCOMPARE(attach(), 0);
    QVERIFY(QFileInfo(at("/tmp/vemla_sw_update.txt")).isFile());
    // The remove script acts only once the node is gone, and undoes mount and offer.
    QCOMPARE(run(". " + at("/usr/bin/usb_removed.sh")), 0);
    QVERIFY(exists("/media/sda1"));
    stick.remove();
    QCOMPARE(run(". " + at("/usr/bin/usb_removed.sh")), 0);
    QVERIFY(!exists("/media/sda1") && !exists("/tmp/vemla_sw_update.txt"));

    QCOMPARE(run("poweroff"), 0);
    QVERIFY(QFileInfo::exists(sandbox->powerOffMarker()));
}

void TestPlatformTools::update_marksStickRestartsAndIsNotOfferedAgain()
{
    QVERIFY(run("sysupgrade.sh 2>/dev/null") != 0); // nothing mounted to install
    QVERIFY(!QFileInfo::exists(sandbox->restartMarker()));
    {
        UsbStick stick(sandbox->root(), false);
        stick.insert(true);
        QCOMPARE(attach(), 0);
        write("/usr/share/vemla/vemla.ini", "[production]\nid=4\n");
        QCOMPARE(run("sysupgrade.sh"), 0);
        QVERIFY(QFileInfo::exists(sandbox->restartMarker()));
        // The new image comes without the old settings file.
        QVERIFY(!exists("/usr/share/vemla/vemla.ini"));
    }
    // The restarted board: /tmp is empty, the stick is in the port but not yet mounted.
    QString error;
    QVERIFY(sandbox->lay(false, 1, &error));
    QVERIFY(!QFileInfo::exists(sandbox->restartMarker()) && !exists("/tmp/vemla_sw_update.txt"));
    UsbStick stick(sandbox->root(), true);
    QVERIFY(exists("/dev/sda1") && !exists("/media/sda1"));
    QCOMPARE(attach(), 0);
    QVERIFY(exists("/media/sda1/.swupgraded"));
    // The installed version is not offered again; a stick with a newer one is.
    QVERIFY(!exists("/tmp/vemla_sw_update.txt"));
    stick.remove();
    QTest::qWait(2);
    stick.insert(true);
    QCOMPARE(attach(), 0);
    QVERIFY(exists("/tmp/vemla_sw_update.txt"));
}

void TestPlatformTools::hostileStick_unmountableAndForgedContents()
{
    UsbStick stick(sandbox->root(), false);
    // A file system the board cannot read: the node, no mount, the folder stays the disk's.
    stick.insert(true, false);
    QCOMPARE(attach(), 0);
    QVERIFY(exists("/dev/sda1"));
    QVERIFY(stick.mountedVolumes().isEmpty());
    const QFileInfo mountPoint(at("/media/sda1"));
    QVERIFY(mountPoint.isDir() && !mountPoint.isSymLink());
    QVERIFY(!exists("/tmp/vemla_sw_update.txt"));
    QCOMPARE(stick.readings().first().second, QString("inserted"));
    // A readable stick after it mounts over the empty folder.
    stick.remove();
    QCOMPARE(run(". " + at("/usr/bin/usb_removed.sh")), 0);
    stick.insert(false);
    QCOMPARE(attach(), 0);
    QCOMPARE(stick.mountedVolumes(), QStringList {at("/media/sda1")});

    // Contents put on it: a plain file, links to instrument paths (dangling or not) replacing
    // what was there, and nothing outside the stick.
    QString reason;
    QVERIFY(stick.putFile("logs/diagnostics.log", "old\n", &reason));
    QVERIFY(stick.putLink("logs/diagnostics.log", "/usr/share/vemla/vemla.ini", &reason));
    const QFileInfo link(at("/media/sda1/logs/diagnostics.log"));
    QVERIFY(link.isSymLink());
    QCOMPARE(link.symLinkTarget(), at("/usr/share/vemla/vemla.ini"));
    QVERIFY(stick.putLink("logs", "/usr/share/vemla", &reason));
    QVERIFY(QFileInfo(at("/media/sda1/logs")).isSymLink());
    QVERIFY(stick.putFile("logs", "a file now\n", &reason));
    QCOMPARE(QFileInfo(at("/media/sda1/logs")).isSymLink(), false);
    QVERIFY(exists("/usr/share/vemla/resources")); // the link's target untouched
    QVERIFY(!stick.putFile("../escape", "x", &reason));
    QVERIFY(!stick.putLink("/media/x", "/tmp", &reason));
    QVERIFY(!QFileInfo::exists(sandbox->file("/sim/escape")));
}

QTEST_GUILESS_MAIN(TestPlatformTools)
#include "tst_platformtools.moc"
