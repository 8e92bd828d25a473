// The file-system faults: a sysfs attribute that disappears, a logs volume that is full.
#include "sim/models/logsvolume.h"
#include "sim/models/sysfsattributes.h"
#include "sim/simfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

class TestFileFaults : public QObject
{
    Q_OBJECT

private slots:
    void sysfsGone_removesAttributeUntilCleared();
    void logsFull_failsWritesUnderLogsOnly();
};

void TestFileFaults::sysfsGone_removesAttributeUntilCleared()
{
    QTemporaryDir root;
    const QString device = root.path() + "/sys/bus/iio/devices/iio:device0";
    const QString attribute = "/sys/bus/iio/devices/iio:device0/in_voltage7_raw";
    const QString file = root.path() + attribute;
    const QString sibling = device + "/in_voltage4_raw";
    QVERIFY(simfiles::writeAtomically(file, "3750\n"));
    QVERIFY(simfiles::writeAtomically(sibling, "8\n"));
    SysfsAttributes sysfs(root.path());
    QString reason;
    QVERIFY(!sysfs.setFault("sysfs-gone", {"/usr/share/vemla/vemla.ini"}, &reason));
    QVERIFY(!sysfs.setFault("sysfs-gone", {"/sys/class/gpio/gpio999/value"}, &reason));
    QVERIFY(sysfs.setFault("sysfs-gone", {attribute}, &reason));
    // The device goes with all its attributes: nothing can be opened, not even for appending
    // (which would create a plain file where sysfs creates none).
    QVERIFY(!QFileInfo::exists(device));
    QVERIFY(!simfiles::writeAtomically(file, "3800\n"));
    QVERIFY(!simfiles::writeAtomically(sibling, "9\n"));
    QVERIFY(!QFileInfo::exists(device));
    {
        QFile recreated(file);
        QVERIFY(!recreated.open(QIODevice::WriteOnly | QIODevice::Append));
    }
    sysfs.clearFaults();
    QCOMPARE(simfiles::lastField(file, 10), QByteArray("3750"));
    QCOMPARE(simfiles::lastField(sibling, 10), QByteArray("8"));
    QVERIFY(simfiles::writeAtomically(file, "3800\n"));
}

void TestFileFaults::logsFull_failsWritesUnderLogsOnly()
{
    QTemporaryDir root;
    const QString logs = root.path() + "/usr/share/vemla/logs";
    QVERIFY(QDir().mkpath(logs + "/production"));
    LogsVolume volume(root.path());
    QString reason;
    QVERIFY(!volume.setFault("logs-full", {"now"}, &reason));
    QVERIFY(volume.setFault("logs-full", {}, &reason));

    // Qt, the C++ streams: opening works, the bytes do not go.
    QFile record(logs + "/errors.log");
    QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(record.write("record\n"), qint64(-1));
    record.close();
    // A chunk larger than the stream's buffer goes out through writev().
    for (const std::string &rows : {std::string("rows\n"), std::string(64 * 1024, 'r')}) {
        std::ofstream run((logs + "/production/1.log").toStdString());
        QVERIFY(run.is_open());
        run.write(rows.data(), static_cast<std::streamsize>(rows.size()));
        run.close();
        QVERIFY(run.fail());
        QCOMPARE(QFileInfo(logs + "/production/1.log").size(), qint64(0));
    }
    // The settings beside the volume are on another one.
    QFile settings(root.path() + "/usr/share/vemla/vemla.ini");
    QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(settings.write("[system]\n"), qint64(9));

    volume.clearFaults();
    QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(record.write("record\n"), qint64(7));
}

QTEST_GUILESS_MAIN(TestFileFaults)
#include "tst_filefaults.moc"
