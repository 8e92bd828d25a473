// The simulator's view of the instrument's files: inputs appear whole, outputs are read as the
// last field written, and a laid root is kept between runs unless asked to start fresh.
#include "sim/sandbox.h"
#include "sim/simfiles.h"

#include <QtTest>

class TestSandbox : public QObject
{
    Q_OBJECT

private slots:
    void lastField_isTheNewestFixedWidthField();
    void writeAtomically_replacesWholeContent();
    void lay_createsTheInstrumentsFiles();
    void lay_keepsStateUnlessFresh();
};

void TestSandbox::lastField_isTheNewestFixedWidthField()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("brightness");
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QByteArray("255"
                         "0\0\0"
                         "10\0",
                         9));
    out.close();
    QCOMPARE(simfiles::lastField(file, 3), QByteArray("10"));
    QCOMPARE(simfiles::lastFieldValue(file, 3, -1), 10);
    QCOMPARE(simfiles::lastFieldValue(dir.filePath("missing"), 3, -1), -1);

    simfiles::writeAtomically(file,
                              QByteArray("out\0"
                                         "1\0\0\0",
                                         8));
    QCOMPARE(simfiles::lastField(file, 4), QByteArray("1"));
    // A file shorter than one field (the sandbox's initial "0\n").
    simfiles::writeAtomically(file, "0\n");
    QCOMPARE(simfiles::lastFieldValue(file, 4, -1), 0);
}

void TestSandbox::writeAtomically_replacesWholeContent()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("sub/in_voltage4_raw");
    QVERIFY(simfiles::writeAtomically(file, "4095\n"));
    QVERIFY(simfiles::writeAtomically(file, "7\n"));
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), QByteArray("7\n"));
    QVERIFY(!QFile::exists(file + ".sim-tmp"));
}

void TestSandbox::lay_createsTheInstrumentsFiles()
{
    QTemporaryDir dir;
    Sandbox sandbox(dir.filePath("root"));
    QString error;
    QVERIFY2(sandbox.lay(false, 5, &error), qPrintable(error));
    for (const char *path :
         {"/sys/class/gpio/export", "/sys/class/gpio/gpio160/edge", "/sys/class/gpio/gpio89/value",
          "/sys/class/leds/PWM<B>/brightness", "/sys/bus/iio/devices/iio:device0/in_voltage7_raw",
          "/dev/i2c-2", "/dev/i2c-4", "/usr/share/vemla/logs/production",
          "/usr/share/vemla/resources/Korvand_Licenses.txt", "/media", "/tmp", "/sim/bin/poweroff",
          "/usr/bin/logremove.sh"})
        QVERIFY2(QFileInfo::exists(sandbox.file(path)), path);
    QVERIFY(!QFileInfo::exists(sandbox.file("/usr/share/vemla/vemla.ini")));
    // Version 5 = 101: lines 164 and 162 high.
    QCOMPARE(simfiles::lastFieldValue(sandbox.file("/sys/class/gpio/gpio164/value"), 4, -1), 1);
    QCOMPARE(simfiles::lastFieldValue(sandbox.file("/sys/class/gpio/gpio163/value"), 4, -1), 0);
    QCOMPARE(simfiles::lastFieldValue(sandbox.file("/sys/class/gpio/gpio162/value"), 4, -1), 1);

    // The fake tools record their calls.
    const QString command = sandbox.file("/sim/bin/timedatectl") + " set-ntp false";
    QCOMPARE(std::system(command.toLocal8Bit().constData()), 0);
    QFile log(sandbox.commandsLog());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("timedatectl set-ntp false\n"));
}

void TestSandbox::lay_keepsStateUnlessFresh()
{
    QTemporaryDir dir;
    Sandbox sandbox(dir.filePath("root"));
    QString error;
    QVERIFY(sandbox.lay(false, 1, &error));
    const QString ini = sandbox.file("/usr/share/vemla/vemla.ini");
    QVERIFY(simfiles::writeAtomically(ini, "[system]\nerror=1\n"));
    QVERIFY(sandbox.lay(false, 1, &error));
    QVERIFY(QFileInfo::exists(ini));
    QVERIFY(sandbox.lay(true, 1, &error));
    QVERIFY(!QFileInfo::exists(ini));
}

QTEST_GUILESS_MAIN(TestSandbox)
#include "tst_sandbox.moc"
