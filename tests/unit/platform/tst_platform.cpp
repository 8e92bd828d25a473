// The platform seam: root prefixing, the command runner and the device-I/O backend switch.
#include "platform/deviceio.h"
#include "platform/platform.h"
#include "support/commandrecorder.h"
#include "support/fakedeviceio.h"
#include "support/sandboxroot.h"

#include <fcntl.h>

#include <QtTest>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void path_prefixesRootInEveryForm();
    void run_goesToInstalledRunnerThenBackToShell();
    void deviceIo_installedBackendThenSystemCallsAgain();
    void mountedVolumes_comeFromInstalledQuery();
};

void TestPlatform::path_prefixesRootInEveryForm()
{
    QCOMPARE(platform::path("/dev/i2c-2"), std::string("/dev/i2c-2"));
    platform::setRoot("/tmp/sandbox/");
    QCOMPARE(platform::root(), std::string("/tmp/sandbox"));
    QCOMPARE(platform::path("/sys/class/gpio/export"),
             std::string("/tmp/sandbox/sys/class/gpio/export"));
    QCOMPARE(platform::path(std::string("/media/sda1")), std::string("/tmp/sandbox/media/sda1"));
    QCOMPARE(platform::path(QString("/usr/share/vemla")), QString("/tmp/sandbox/usr/share/vemla"));
    platform::setRoot("");
    QCOMPARE(platform::path("/usr/bin/logremove.sh"), std::string("/usr/bin/logremove.sh"));
}

void TestPlatform::run_goesToInstalledRunnerThenBackToShell()
{
    {
        CommandRecorder recorder(7);
        QCOMPARE(platform::run("sync"), 7);
        QCOMPARE(platform::run("poweroff"), 7);
        QCOMPARE(recorder.commands(), (std::vector<std::string> {"sync", "poweroff"}));
    }
    // The real shell again: its exit status comes back as system() reports it.
    QCOMPARE(platform::run("exit 0"), 0);
    QVERIFY(platform::run("exit 3") != 0);
}

void TestPlatform::deviceIo_installedBackendThenSystemCallsAgain()
{
    SandboxRoot sandbox;
    sandbox.write("/dev/plain", "abc");
    const std::string node = platform::path("/dev/plain");
    {
        FakeDeviceIo fake;
        fake.queueRead(node, "xyz");
        const int fd = platform::deviceIo().open(node.c_str(), O_RDWR);
        QVERIFY(fd >= 0);
        char buffer[8] = {};
        QCOMPARE(platform::deviceIo().read(fd, buffer, sizeof buffer), ssize_t(3));
        QCOMPARE(QByteArray(buffer), QByteArray("xyz"));
        QCOMPARE(platform::deviceIo().write(fd, "\x01\x02", 2), ssize_t(2));
        QCOMPARE(fake.written(node), QByteArray("\x01\x02"));
        QCOMPARE(platform::deviceIo().close(fd), 0);
        QCOMPARE(fake.openDescriptors(), 0);
    }
    const int fd = platform::deviceIo().open(node.c_str(), O_RDONLY);
    QVERIFY(fd >= 0);
    char buffer[8] = {};
    QCOMPARE(platform::deviceIo().read(fd, buffer, sizeof buffer), ssize_t(3));
    QCOMPARE(QByteArray(buffer), QByteArray("abc"));
    platform::deviceIo().close(fd);
    QCOMPARE(platform::deviceIo().open(platform::path("/dev/absent").c_str(), O_RDONLY), -1);
}

void TestPlatform::mountedVolumes_comeFromInstalledQuery()
{
    platform::setVolumeQuery([] { return QStringList {"/tmp/x/media/sda1"}; });
    QCOMPARE(platform::mountedVolumes(), QStringList {"/tmp/x/media/sda1"});
    platform::setVolumeQuery({});
    QVERIFY(platform::mountedVolumes().contains("/"));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
