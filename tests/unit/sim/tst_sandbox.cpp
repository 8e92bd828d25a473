// The simulator's instrument root: laid with the board's version straps, and kept between runs
// unless asked to start fresh. Its files, tools and the models' reading of them are what every
// scenario runs on.
#include "sim/sandbox.h"
#include "sim/simfiles.h"

#include <QtTest>

class TestSandbox : public QObject
{
    Q_OBJECT

private slots:
    void lay_strapsVersionAndKeepsStateUnlessFresh();
};

void TestSandbox::lay_strapsVersionAndKeepsStateUnlessFresh()
{
    QTemporaryDir dir;
    Sandbox sandbox(dir.filePath("root"));
    QString error;
    QVERIFY2(sandbox.lay(false, 5, &error), qPrintable(error));
    // Version 5 = 101: lines 164 and 162 high.
    QCOMPARE(simfiles::lastFieldValue(sandbox.file("/sys/class/gpio/gpio164/value"), 4, -1), 1);
    QCOMPARE(simfiles::lastFieldValue(sandbox.file("/sys/class/gpio/gpio163/value"), 4, -1), 0);
    QCOMPARE(simfiles::lastFieldValue(sandbox.file("/sys/class/gpio/gpio162/value"), 4, -1), 1);

    const QString ini = sandbox.file("/usr/share/vemla/vemla.ini");
    QVERIFY(!QFileInfo::exists(ini));
    QVERIFY(simfiles::writeAtomically(ini, "[system]\nerror=1\n"));
    // The power went with the release valve venting and the drawer motor driven: the disk keeps
    // its files, the outputs come back low.
    const QString valve = sandbox.file("/sys/class/gpio/gpio150/value");
    const QString motor = sandbox.file("/sys/class/leds/PWM<C>/brightness");
    QVERIFY(simfiles::writeAtomically(valve, "1\n"));
    QVERIFY(simfiles::writeAtomically(motor, "255\n"));
    QVERIFY(sandbox.lay(false, 1, &error));
    QVERIFY(QFileInfo::exists(ini));
    QCOMPARE(simfiles::lastFieldValue(valve, 4, -1), 0);
    QCOMPARE(simfiles::lastFieldValue(motor, 3, -1), 0);
    QVERIFY(sandbox.lay(true, 1, &error));
    QVERIFY(!QFileInfo::exists(ini));
}

QTEST_GUILESS_MAIN(TestSandbox)
#include "tst_sandbox.moc"
