// The drawer's decisions on scripted motor-current samples: a clock that advances on every
// sleep writes the next sample into the sandbox's ADC file, so moves run without real time.
#include "hw/drawer.h"
#include "hw/drawerclock.h"
#include "hw/drawermath.h"
#include "support/commandrecorder.h"
#include "support/logcapture.h"
#include "support/sandboxroot.h"

#include <functional>

#include <QtTest>

namespace {

const QString kOpenPwm = "/sys/class/leds/PWM<B>/brightness";
const QString kClosePwm = "/sys/class/leds/PWM<C>/brightness";
const QString kCurrent = "/sys/bus/iio/devices/iio:device0/in_voltage4_raw";
const QString kIni = "/usr/share/vemla/vemla.ini";
const QString kDrawerLogs = "/usr/share/vemla/logs/drawer/";
constexpr int kSamplePeriodMs = 25;

class ScriptedClock : public DrawerClock
{
public:
    explicit ScriptedClock(const SandboxRoot &sandbox) : sandbox(sandbox) { }

    void script(const QList<int> &samples)
    {
        pending = samples;
        taken = 0;
    }
    void sleepMs(int ms) override
    {
        now += ms;
        if (ms != kSamplePeriodMs)
            return;
        // The value the ADC holds when the drawer reads after this sleep; the last scripted
        // sample stays.
        if (!pending.isEmpty())
            last = pending.takeFirst();
        sandbox.write(kCurrent, QByteArray::number(last) + '\n');
        ++taken;
        if (onSample)
            onSample(taken);
    }
    qint64 nowMs() const override { return now; }
    int timerIntervalMs(int) const override { return 10; }

    int taken = 0;
    std::function<void(int)> onSample;

private:
    const SandboxRoot &sandbox;
    QList<int> pending;
    int last = 0;
    qint64 now = 1000000;
};

// A run of `count` samples of a drawer moving freely, then the end stop.
QList<int> travel(int count)
{
    QList<int> samples;
    for (int i = 0; i < count - 2; ++i)
        samples << 350;
    return samples << 10 << 5;
}

int storedPosition(const SandboxRoot &sandbox)
{
    QSettings ini(sandbox.file(kIni), QSettings::IniFormat);
    return ini.value("drawer/drawer_position", -1).toInt();
}

// The lines of the one drawer log matching `pattern`; empty when there is not exactly one.
QList<QByteArray> drawerLog(const SandboxRoot &sandbox, const QString &pattern)
{
    const QStringList logs = QDir(sandbox.file(kDrawerLogs)).entryList({pattern});
    return logs.size() == 1 ? sandbox.read(kDrawerLogs + logs.first()).split('\n')
                            : QList<QByteArray>();
}

// Last duty field the drawer appended to a PWM file ("" when never written).
QByteArray lastDuty(const SandboxRoot &sandbox, const QString &file)
{
    QByteArray field = sandbox.read(file).right(3);
    return field.left(field.indexOf('\0') < 0 ? field.size() : field.indexOf('\0'));
}

// The sysfs files of the motor and its current, and the drawer's settings.
struct DrawerFiles
{
    DrawerFiles(const SandboxRoot &sandbox, int threshold = 1500, int openingTime = 5500)
    {
        sandbox.write(kOpenPwm, "0\n");
        sandbox.write(kClosePwm, "0\n");
        sandbox.write(kCurrent, "0\n");
        sandbox.write(kIni,
                      QString("[drawer]\nsafety_threshold=%1\nopening_time=%2\n"
                              "drawer_position=2\n")
                              .arg(threshold)
                              .arg(openingTime)
                              .toLatin1());
    }
};

// A drawer on a sandbox with its sysfs files and settings, driven by the scripted clock, its
// settings read; supervised by the motor current unless timed.
struct DrawerBench
{
    explicit DrawerBench(int threshold = 1500, int openingTime = 5500, bool supervised = true)
        : files(sandbox, threshold, openingTime), clock(sandbox), drawer(&clock)
    {
        drawer.setSafetyEnabled(supervised);
        drawer.updateDrawerSettings();
    }

    SandboxRoot sandbox;
    DrawerFiles files;
    CommandRecorder commands;
    ScriptedClock clock;
    Drawer drawer;
};

} // namespace

Q_DECLARE_METATYPE(QList<int>)

class TestDrawer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void supervisedOpening_endsOnTwoSampleDecision_data();
    void supervisedOpening_endsOnTwoSampleDecision();
    void closing_safetyZoneFromOpeningTime_data();
    void closing_safetyZoneFromOpeningTime();
    void closing_neverSeeingCurrentCease_isCutOffAtEightSeconds();
    void abort_endsMoveAndSpoilsNextOpeningTime();
    void abort_fromAnotherThreadEndsRunningMove();
    void calibrationThreshold_fromProfile_data();
    void calibrationThreshold_fromProfile();
    void drawerLog_namesAndCalibrationSample();
    void unopenablePwm_neverDrivesAndEndsMove();
    void init_recordedClosed_forcesClosingOnce();
    void timedMode_travelEndsWithTheMotorOff();
};

void TestDrawer::init()
{
    qRegisterMetaType<ErrorCode>("ErrorCode");
    qRegisterMetaType<uint16_t>("uint16_t");
}

void TestDrawer::supervisedOpening_endsOnTwoSampleDecision_data()
{
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<bool>("highThreshold");
    QTest::addColumn<int>("samplesTaken");
    QTest::addColumn<bool>("obstacle");
    QTest::newRow("12, 8: current ceased") << QList<int> {12, 8} << false << 2 << false;
    QTest::newRow("12, 45: not yet") << QList<int> {12, 45, 10, 5} << false << 4 << false;
    QTest::newRow("29, 29 is no current") << QList<int> {29, 29} << false << 2 << false;
    QTest::newRow("30, 12 is current") << QList<int> {30, 12, 3} << false << 3 << false;
    QTest::newRow("1600, 1700 over 1500") << QList<int> {1600, 1700} << false << 2 << true;
    QTest::newRow("1400, 1700, 1800") << QList<int> {1400, 1700, 1800} << false << 3 << true;
    QTest::newRow("1500 is not above") << QList<int> {1500, 1501, 20, 2} << false << 4 << false;
    QTest::newRow("1300 breaks the pair")
            << QList<int> {1400, 1700, 1300, 1600, 20, 2} << false << 6 << false;
    QTest::newRow("high threshold ignores 1800")
            << QList<int> {1600, 1700, 1800, 10, 5} << true << 5 << false;
    QTest::newRow("high threshold: 3300, 3300") << QList<int> {3300, 3300} << true << 2 << true;
}

void TestDrawer::supervisedOpening_endsOnTwoSampleDecision()
{
    QFETCH(QList<int>, samples);
    QFETCH(bool, highThreshold);
    QFETCH(int, samplesTaken);
    QFETCH(bool, obstacle);
    DrawerBench bench;
    if (highThreshold)
        bench.drawer.enableHighThreshold();
    QSignalSpy opened(&bench.drawer, &Drawer::drawerIsOpened);
    QSignalSpy stopped(&bench.drawer, &Drawer::drawerIsStopped);
    QSignalSpy errors(&bench.drawer, &Drawer::drawerError);

    bench.clock.script(samples);
    bench.drawer.moveDrawer(1);

    QCOMPARE(bench.clock.taken, samplesTaken);
    QCOMPARE(opened.count(), obstacle ? 0 : 1);
    QCOMPARE(stopped.count(), obstacle ? 1 : 0);
    QCOMPARE(errors.count(), obstacle ? 1 : 0);
    if (obstacle)
        QCOMPARE(errors.first().first().value<ErrorCode>(), ERROR_DRAWER_OBSTACLE);
    QCOMPARE(storedPosition(bench.sandbox), obstacle ? 1 : 2);
    // The motor is off and each position change went to the medium.
    QCOMPARE(lastDuty(bench.sandbox, kOpenPwm), QByteArray("0"));
    QCOMPARE(lastDuty(bench.sandbox, kClosePwm), QByteArray("0"));
    QCOMPARE(bench.commands.commands(),
             (std::vector<std::string>(obstacle ? 1 : 2, std::string("sync"))));

    // The high threshold lasts one move: the same samples now stop at 1500.
    if (highThreshold && !obstacle) {
        bench.clock.script({1600, 1700});
        bench.drawer.moveDrawer(1);
        QCOMPARE(stopped.count(), 1);
    }
}

void TestDrawer::closing_safetyZoneFromOpeningTime_data()
{
    QTest::addColumn<int>("measuredOpeningSamples"); // 0: no opening before the closing
    QTest::addColumn<int>("storedOpeningTime");
    QTest::addColumn<bool>("positionUnknown");
    QTest::addColumn<int>("safetyZone");
    QTest::addColumn<QString>("note");
    // 500 ms inrush delay + 200 samples of 25 ms.
    QTest::newRow("measured 5500") << 200 << 9000 << false << 4500 << QString();
    QTest::newRow("none measured, stored 5500")
            << 0 << 5500 << false << 4500
            << "Drawer: Opening time unknown, loaded from settings instead";
    QTest::newRow("stored 1000: no zone")
            << 0 << 1000 << false << 0 << "Drawer: Unable to determine proper safety zone";
    QTest::newRow("position unknown ignores measured")
            << 200 << 7000 << true << 6000
            << "Drawer: Opening time unknown after error, loaded from settings instead";
}

void TestDrawer::closing_safetyZoneFromOpeningTime()
{
    QFETCH(int, measuredOpeningSamples);
    QFETCH(int, storedOpeningTime);
    QFETCH(bool, positionUnknown);
    QFETCH(int, safetyZone);
    QFETCH(QString, note);
    DrawerBench bench(1500, storedOpeningTime);
    bench.sandbox.write(kDrawerLogs + ".keep", {});
    QCOMPARE(bench.drawer.enableLogging(1), 0);
    if (measuredOpeningSamples > 0) {
        bench.clock.script(travel(measuredOpeningSamples));
        bench.drawer.moveDrawer(1);
    }
    bench.drawer.setPositionUnknown(positionUnknown);
    QSignalSpy closed(&bench.drawer, &Drawer::drawerIsClosed);
    QSignalSpy errors(&bench.drawer, &Drawer::drawerError);
    LogCapture log;

    // Over-current all the way: it stops the closing only inside the zone.
    QList<int> samples;
    for (int i = 0; i < 400; ++i)
        samples << 1600;
    bench.clock.script(samples << 10 << 5);
    bench.drawer.moveDrawer(-1);

    QVERIFY(log.contains(QString("Drawer closing time: %1").arg(safetyZone)));
    if (!note.isEmpty())
        QVERIFY2(log.contains(note), qPrintable(log.lines().join('\n')));
    const QList<QByteArray> lines = drawerLog(bench.sandbox, "drawer_move_in_*");
    QVERIFY(!lines.isEmpty());
    if (safetyZone > 0) {
        // Obstacle at the second sample inside the zone; no marker, drawer stays between.
        QCOMPARE(errors.count(), 1);
        QCOMPARE(closed.count(), 0);
        QCOMPARE(storedPosition(bench.sandbox), 1);
        QCOMPARE(bench.clock.taken, 2);
    } else {
        QCOMPARE(errors.count(), 0);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(storedPosition(bench.sandbox), 0);
        QVERIFY(!lines.contains("-1"));
    }
}

void TestDrawer::closing_neverSeeingCurrentCease_isCutOffAtEightSeconds()
{
    DrawerBench bench(1500, 4000);
    bench.sandbox.write(kDrawerLogs + ".keep", {});
    bench.drawer.enableLogging(1);
    QSignalSpy closed(&bench.drawer, &Drawer::drawerIsClosed);
    LogCapture log;

    bench.clock.script({350}); // the drawer never reaches its end stop
    bench.drawer.moveDrawer(-1);

    // Zone 3000 ms: supervised until 500 + 25 * 101 ms; cut off at the first sample past
    // 8000 ms, 500 + 25 * 301.
    QCOMPARE(bench.clock.taken, 301);
    QVERIFY(log.contains("Drawer error: motor active for too long, abort"));
    QCOMPARE(closed.count(), 1);
    QCOMPARE(storedPosition(bench.sandbox), 0);
    QCOMPARE(lastDuty(bench.sandbox, kClosePwm), QByteArray("0"));
    const QList<QByteArray> lines = drawerLog(bench.sandbox, "drawer_move_in_*");
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.indexOf("-1"), 101); // the end of the zone, after sample 101
    QCOMPARE(lines.size(), 301 + 1 + 1); // samples, the marker, the final newline
}

void TestDrawer::abort_endsMoveAndSpoilsNextOpeningTime()
{
    DrawerBench bench;
    QSignalSpy opened(&bench.drawer, &Drawer::drawerIsOpened);
    QSignalSpy stopped(&bench.drawer, &Drawer::drawerIsStopped);
    QSignalSpy errors(&bench.drawer, &Drawer::drawerError);
    LogCapture log;

    bench.clock.script(travel(200)); // a complete opening: 5500 ms
    bench.drawer.moveDrawer(1);
    QVERIFY(log.contains("Drawer opening time: 5500"));

    bench.clock.script({350});
    bench.clock.onSample = [&](int taken) {
        if (taken == 10)
            bench.drawer.requestAbort(1);
    };
    bench.drawer.moveDrawer(1);
    bench.clock.onSample = nullptr;
    QCOMPARE(bench.clock.taken, 10); // ends at the sample that saw the request
    QCOMPARE(opened.count(), 1);
    QCOMPARE(stopped.count(), 0); // the user's stop is no obstacle
    QCOMPARE(errors.count(), 0);
    QCOMPARE(storedPosition(bench.sandbox), 1);
    QCOMPARE(lastDuty(bench.sandbox, kOpenPwm), QByteArray("0"));

    log.clear();
    bench.clock.script(travel(100));
    bench.drawer.moveDrawer(1);
    QVERIFY(log.contains("Drawer: Opening was interrupted, opening time not saved"));
    QVERIFY(log.contains("Drawer opening time: 5500"));
    QCOMPARE(storedPosition(bench.sandbox), 2);

    // A request between moves is forgotten when the next move starts.
    bench.drawer.requestAbort(1);
    log.clear();
    bench.clock.script(travel(120));
    bench.drawer.moveDrawer(1);
    QCOMPARE(bench.clock.taken, 120);
    QVERIFY(log.contains("Drawer: Complete opening, opening time saved"));
    QVERIFY(log.contains("Drawer opening time: 3500"));
}

void TestDrawer::abort_fromAnotherThreadEndsRunningMove()
{
    SandboxRoot sandbox;
    const DrawerFiles files(sandbox);
    sandbox.write(kCurrent, "350\n"); // the drawer never reaches an end by itself
    CommandRecorder commands;
    auto *drawer = new Drawer; // the instrument's clock: real sleeps
    drawer->setSafetyEnabled(true);
    QThread thread;
    drawer->moveToThread(&thread);
    connect(&thread, &QThread::finished, drawer, &QObject::deleteLater);
    thread.start();
    QMetaObject::invokeMethod(drawer, "updateDrawerSettings");
    QMetaObject::invokeMethod(drawer, "moveDrawer", Q_ARG(int, 1));

    QTRY_COMPARE_WITH_TIMEOUT(QString(lastDuty(sandbox, kOpenPwm)), QString("255"), 5000);
    QTest::qWait(700); // past the inrush delay: the loop samples now
    QElapsedTimer sinceAbort;
    sinceAbort.start();
    drawer->requestAbort(1);
    QTRY_COMPARE_WITH_TIMEOUT(QString(lastDuty(sandbox, kOpenPwm)), QString("0"), 5000);
    // One sample period and the settings write, not the rest of a travel.
    QVERIFY2(sinceAbort.elapsed() < 1000, qPrintable(QString::number(sinceAbort.elapsed())));
    thread.quit();
    QVERIFY(thread.wait(5000));
    QCOMPARE(storedPosition(sandbox), 1);
}

void TestDrawer::calibrationThreshold_fromProfile_data()
{
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<int>("threshold");
    QTest::newRow("raised to the floor") << QList<int> {900, 1100, -1, 2000} << 1500;
    QTest::newRow("max plus 300") << QList<int> {1900, 2100} << 2400;
    QTest::newRow("marker ends the opening") << QList<int> {1900, -1, 3000} << 2200;
    QTest::newRow("capped at full scale") << QList<int> {3900} << 4095;
    QTest::newRow("marker first") << QList<int> {-1, 3000} << 1500;
}

void TestDrawer::calibrationThreshold_fromProfile()
{
    QFETCH(QList<int>, samples);
    QFETCH(int, threshold);
    QCOMPARE(
            int(drawermath::calibrationThreshold(std::vector<int>(samples.begin(), samples.end()))),
            threshold);
}

void TestDrawer::drawerLog_namesAndCalibrationSample()
{
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 15, 2));
    QCOMPARE(drawermath::drawerLogFileName(false, "move_in", when),
             QString("drawer_move_in_20240305_141502.log"));
    QCOMPARE(drawermath::drawerLogFileName(true, "move_out", when),
             QString("calibration_move_out_20240305_141502.log"));

    // A calibration opening: high threshold, a calibration log and one sample to the window.
    DrawerBench bench;
    bench.sandbox.write(kDrawerLogs + ".keep", {});
    QSignalSpy calibration(&bench.drawer, &Drawer::setNewCalibrationSample);
    QSignalSpy stopped(&bench.drawer, &Drawer::drawerIsStopped);
    bench.drawer.enableCalibration();
    QList<int> samples = travel(120);
    samples[50] = 2000;
    samples[51] = 2100; // above 1500, below the high threshold
    bench.clock.script(samples);
    bench.drawer.moveDrawer(1);
    QCOMPARE(stopped.count(), 0);
    QCOMPARE(calibration.count(), 1);
    QCOMPARE(calibration.first().at(0).value<uint16_t>(), uint16_t(2400));
    QCOMPARE(calibration.first().at(1).value<uint16_t>(), uint16_t(500 + 120 * 25));
    QCOMPARE(drawerLog(bench.sandbox, "calibration_move_out_*.log").size(), 120 + 1);
    // Logging itself was never switched on.
    QVERIFY(QDir(bench.sandbox.file(kDrawerLogs)).entryList({"drawer_*"}).isEmpty());

    // One-shot: the next opening records nothing and is supervised at 1500 again.
    bench.clock.script(samples);
    bench.drawer.moveDrawer(1);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(calibration.count(), 1);
}

void TestDrawer::unopenablePwm_neverDrivesAndEndsMove()
{
    DrawerBench bench;
    // The open channel's LED device is missing: nothing can be written there.
    QDir(bench.sandbox.file("/sys/class/leds/PWM<B>")).removeRecursively();
    QSignalSpy opened(&bench.drawer, &Drawer::drawerIsOpened);
    QSignalSpy closed(&bench.drawer, &Drawer::drawerIsClosed);
    QSignalSpy errors(&bench.drawer, &Drawer::drawerError);
    LogCapture log;

    bench.drawer.moveDrawer(1);
    QVERIFY(log.contains("Drawer: Invalid parameter: 1\n"));
    QCOMPARE(bench.clock.taken, 0);
    QCOMPARE(storedPosition(bench.sandbox), 2); // untouched
    QVERIFY(bench.commands.commands().empty());

    // A forced closing drives PWM<C> first; with PWM<B> unwritable it must not stay driven.
    bench.drawer.forceDrawer(-1);
    QCOMPARE(lastDuty(bench.sandbox, kClosePwm), QByteArray("0"));
    QVERIFY(log.contains("Drawer: Invalid parameter: -1\n"));
    QCOMPARE(bench.clock.taken, 0);
    QCOMPARE(opened.count() + closed.count() + errors.count(), 0);
}

void TestDrawer::init_recordedClosed_forcesClosingOnce()
{
    DrawerBench bench;
    bench.sandbox.write(kIni, "[drawer]\ndrawer_position=0\n");
    QSignalSpy closed(&bench.drawer, &Drawer::drawerIsClosed);
    QSignalSpy errors(&bench.drawer, &Drawer::drawerError);
    bench.clock.script({1600, 1700, 2500, 8, 3}); // over-current does not count when forced
    bench.drawer.init();
    QCOMPARE(bench.clock.taken, 5);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(errors.count(), 0);
    QVERIFY(bench.commands.commands().empty()); // a forced move saves no position

    // Stuck: the forced closing never sees the current cease and gives up after 8 s.
    bench.clock.script({2500});
    bench.drawer.init();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().first().value<ErrorCode>(), ERROR_DRAWER_STUCK_INSIDE);
    QCOMPARE(bench.clock.taken, 8000 / 25 + 1);
    QCOMPARE(lastDuty(bench.sandbox, kClosePwm), QByteArray("0"));
}

void TestDrawer::timedMode_travelEndsWithTheMotorOff()
{
    DrawerBench bench(1500, 5500, false);
    bench.drawer.init();
    QSignalSpy opened(&bench.drawer, &Drawer::drawerIsOpened);
    QSignalSpy closed(&bench.drawer, &Drawer::drawerIsClosed);
    LogCapture log;

    bench.drawer.moveDrawer(-1);
    QVERIFY(closed.wait(2000));
    QCOMPARE(lastDuty(bench.sandbox, kClosePwm), QByteArray("0"));
    QCOMPARE(lastDuty(bench.sandbox, kOpenPwm), QByteArray("0"));
    QVERIFY(log.contains("moveInTimer Stopped"));
    bench.drawer.moveDrawer(1);
    QVERIFY(opened.wait(2000));
    QCOMPARE(lastDuty(bench.sandbox, kOpenPwm), QByteArray("0"));
    QCOMPARE(closed.count(), 1);
    QVERIFY(bench.commands.commands().empty()); // timed mode saves no position
    QCOMPARE(bench.clock.taken, 0); // and never samples the current
}

QTEST_GUILESS_MAIN(TestDrawer)
#include "tst_drawer.moc"
