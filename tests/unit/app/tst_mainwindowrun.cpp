// The production run and its errors driven through the window: lane masks, the countdown and
// its end, the run log the run leaves, and what each raised error does.
#include "support/instrument.h"
#include "support/logcapture.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

using namespace testwindow;

namespace {
const QString kProductionDir = "/usr/share/vemla/logs/production";

QByteArray lastRecord(const Instrument &instrument)
{
    const QList<QByteArray> lines = instrument.root.read(kErrorLog).trimmed().split('\n');
    return lines.last();
}

QStringList runLogs(const Instrument &instrument)
{
    return QDir(instrument.root.file(kProductionDir)).entryList(QDir::Files);
}

void chooseLanes(Instrument &instrument, const QList<int> &lanes)
{
    instrument.window->setState(MenuState::ModeSelection);
    instrument.click("pushButton_dpcr");
    for (int lane : lanes)
        instrument.click(QString("pushButton_lane_%1").arg(lane));
}

// Run start to the active time on a full vessel: the first pre-ramp check comes after a
// second.
void runToActiveTime(Instrument &instrument)
{
    instrument.reportVessel(5000);
    instrument.window->setState(MenuState::RampUp);
    QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Running, 3000);
}

void tick(Instrument &instrument)
{
    QMetaObject::invokeMethod(instrument.window.get(), "dropletProduction");
}
} // namespace

class TestMainWindowRun : public QObject
{
    Q_OBJECT

private slots:
    void laneMask_openLanesAtRampStart_data();
    void laneMask_openLanesAtRampStart();
    void countdown_endsAtZeroEvenWithoutActiveTime_data();
    void countdown_endsAtZeroEvenWithoutActiveTime();
    void runEnd_releasesHardwareAndWritesTemperatures();
    void stopQuestion_countdownGoesOnBehindIt();
    void insufficientPressure_endsRunBeforeTheScreen();
    void raisedError_recordScreenAndButtons_data();
    void raisedError_recordScreenAndButtons();
    void pendingError_unreadableRecord_staysPendingAsPreviousError_data();
    void pendingError_unreadableRecord_staysPendingAsPreviousError();
};

void TestMainWindowRun::laneMask_openLanesAtRampStart_data()
{
    QTest::addColumn<QList<int>>("lanes");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<int>("mask");
    QTest::newRow("none") << QList<int> {} << "11111111" << 255;
    QTest::newRow("all") << QList<int> {1, 2, 3, 4, 5, 6, 7, 8} << "00000000" << 0;
    QTest::newRow("lanes 1 and 2") << QList<int> {1, 2} << "11111100" << 252;
    QTest::newRow("lane 8 only") << QList<int> {8} << "01111111" << 127;
    // Selected twice is deselected again.
    QTest::newRow("lane 3 toggled off") << QList<int> {3, 5, 3} << "11101111" << 239;
}

void TestMainWindowRun::laneMask_openLanesAtRampStart()
{
    QFETCH(QList<int>, lanes);
    QFETCH(QString, bits);
    QFETCH(int, mask);
    Instrument instrument({}, {}, zeroPressureSettings("5"));
    chooseLanes(instrument, lanes);
    QSignalSpy valves(instrument.window.get(), &MainWindow::valveOutput);
    LogCapture log;
    instrument.window->setState(MenuState::RampUp);
    // All valves shut for the pre-ramp; the selected lanes open when the ramp starts.
    QTRY_COMPARE_WITH_TIMEOUT(valves.size(), 2, 3000);
    QCOMPARE(valves.at(0).at(0).value<uint8_t>(), uint8_t(255));
    QCOMPARE(int(valves.at(1).at(0).value<uint8_t>()), mask);
    QVERIFY2(log.contains(bits), qPrintable(log.lines().join('\n')));
    QVERIFY(log.contains(QString::number(mask)));
}

void TestMainWindowRun::countdown_endsAtZeroEvenWithoutActiveTime_data()
{
    QTest::addColumn<QByteArray>("activeTime"); // empty: the key is missing
    QTest::addColumn<QStringList>("texts"); // shown on entry, then after every tick
    QTest::newRow("two seconds") << QByteArray("2")
                                 << QStringList {"2 seconds", "1 second", "0 second"};
    QTest::newRow("two minutes") << QByteArray("121")
                                 << QStringList {"2 minutes", "2 minutes", "1 minute"};
    QTest::newRow("one minute") << QByteArray("61")
                                << QStringList {"1 minute", "1 minute", "59 seconds"};
    // Nothing to count: the first tick ends the run instead of counting below zero for ever.
    QTest::newRow("zero") << QByteArray("0") << QStringList {"0 second", "0 second"};
    QTest::newRow("key missing") << QByteArray() << QStringList {"0 second", "0 second"};
}

void TestMainWindowRun::countdown_endsAtZeroEvenWithoutActiveTime()
{
    QFETCH(QByteArray, activeTime);
    QFETCH(QStringList, texts);
    Instrument instrument({}, {}, zeroPressureSettings(activeTime));
    chooseLanes(instrument, {1});
    runToActiveTime(instrument);
    QCOMPARE(instrument.text("label_time_remaining_value"), texts.first());
    for (int step = 1; step < texts.size(); ++step) {
        QCOMPARE(instrument.window->menuState(), MenuState::Running);
        tick(instrument);
        QCOMPARE(instrument.text("label_time_remaining_value"), texts.at(step));
    }
    const bool ended = texts.last() == "0 second";
    QCOMPARE(instrument.window->menuState(), ended ? MenuState::DropletsReady : MenuState::Running);
    if (ended)
        QCOMPARE(instrument.pageName(), QString("DropletsReadyScreen"));
}

void TestMainWindowRun::runEnd_releasesHardwareAndWritesTemperatures()
{
    Instrument instrument("[production]\nid=6\n", {}, zeroPressureSettings("1"));
    QDir().mkpath(instrument.root.file(kProductionDir));
    QMetaObject::invokeMethod(instrument.window.get(), "saveTemperature", Q_ARG(int8_t, -3));
    chooseLanes(instrument, {2});
    runToActiveTime(instrument);
    QMetaObject::invokeMethod(instrument.window.get(), "saveTemperature", Q_ARG(int8_t, 27));
    QSignalSpy setPressure(instrument.window.get(), &MainWindow::setPressure);
    QSignalSpy valves(instrument.window.get(), &MainWindow::valveOutput);
    QSignalSpy read(instrument.window.get(), &MainWindow::readPressure);
    QSignalSpy animation(instrument.window.get(), &MainWindow::stopAnimation);
    tick(instrument);

    QCOMPARE(instrument.window->menuState(), MenuState::DropletsReady);
    QCOMPARE(instrument.text("label_dropletReady"), QString("Production ID: 7"));
    QCOMPARE(setPressure.last(), (QList<QVariant> {0, 0, 0}));
    QCOMPARE(valves.last().at(0).value<uint8_t>(), uint8_t(0));
    QCOMPARE(read.last().at(0).toBool(), true);
    QCOMPARE(animation.size(), 1);
    // The lanes are cleared for the next run.
    instrument.window->setState(MenuState::LaneSelection);
    QCOMPARE(instrument.text("label_noLaneSelected"), QString("No channels selected"));

    // A housing below freezing is logged with its sign (the log is written in the disk thread).
    QTRY_COMPARE(runLogs(instrument).size(), 1);
    const QStringList logs = runLogs(instrument);
    QVERIFY2(logs.first().startsWith("7_"), qPrintable(logs.first()));
    const QList<QByteArray> lines
            = instrument.root.read(kProductionDir + "/" + logs.first()).split('\n');
    QCOMPARE(lines.at(2), QByteArray("Initial temperature:\t-3 deg Celsius"));
    QCOMPARE(lines.at(3), QByteArray("Final temperature:\t27 deg Celsius"));

    instrument.click("pushButton_dropletsReady_finish");
    QCOMPARE(instrument.window->menuState(), MenuState::Home);
}

void TestMainWindowRun::stopQuestion_countdownGoesOnBehindIt()
{
    Instrument instrument({}, {}, zeroPressureSettings("2"));
    chooseLanes(instrument, {1});
    runToActiveTime(instrument);
    instrument.click("pushButton_running_stop");
    QCOMPARE(instrument.pageName(), QString("StopScreen"));
    tick(instrument);
    QCOMPARE(instrument.pageName(), QString("StopScreen"));
    QCOMPARE(instrument.text("label_time_remaining_value"), QString("1 second"));
    // The time ran out while the question was up: the run ends as it would have.
    tick(instrument);
    QCOMPARE(instrument.window->menuState(), MenuState::DropletsReady);
    QCOMPARE(instrument.pageName(), QString("DropletsReadyScreen"));
}

void TestMainWindowRun::insufficientPressure_endsRunBeforeTheScreen()
{
    Instrument instrument({}, {}, zeroPressureSettings("30"));
    QDir().mkpath(instrument.root.file(kProductionDir));
    chooseLanes(instrument, {1, 3});
    runToActiveTime(instrument);
    // Exactly half a vessel still holds the lines.
    instrument.reportVessel(2500);
    tick(instrument);
    QCOMPARE(instrument.window->menuState(), MenuState::Running);
    QCOMPARE(instrument.errorRecords(), 0);

    QSignalSpy valves(instrument.window.get(), &MainWindow::valveOutput);
    instrument.reportVessel(2499);
    tick(instrument);
    QCOMPARE(instrument.window->menuState(), MenuState::Error);
    QCOMPARE(instrument.text("label_err_code_input"), QString("6"));
    QVERIFY(instrument.shown("button_err_open"));
    QVERIFY(!instrument.shown("button_err_close"));
    // The run ended: valves shut, its log written; the one record holds the vessel it saw.
    QCOMPARE(valves.last().at(0).value<uint8_t>(), uint8_t(0));
    QTRY_COMPARE(runLogs(instrument).size(), 1);
    QTRY_COMPARE(instrument.errorRecords(), 1);
    QCOMPARE(lastRecord(instrument).split('|').value(8), QByteArray("2499"));
    QTRY_COMPARE(instrument.stored("system/error"), 1);
    // The screen has taken over: the countdown has stopped, no further records.
    QTest::qWait(1500);
    QCOMPARE(instrument.errorRecords(), 1);
}

void TestMainWindowRun::raisedError_recordScreenAndButtons_data()
{
    QTest::addColumn<MenuState>("state"); // where the error meets the instrument
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("logged"); // code of the record, -1 none
    QTest::addColumn<MenuState>("after"); // state afterwards
    QTest::addColumn<bool>("openShown");
    QTest::addColumn<bool>("closeShown");
    QTest::addColumn<QString>("description"); // in the record and on the screen

    QTest::newRow("obstacle: logged only")
            << MenuState::OpenDrawer << 3 << 3 << MenuState::OpenDrawer << true << true
            << "Drawer is stopped due to obstacle";
    QTest::newRow("obstacle during calibration")
            << MenuState::CalibrationInProgress << 3 << 4 << MenuState::Error << true << false
            << "Drawer calibration failure";
    QTest::newRow("stuck inside") << MenuState::CloseDrawer << 1 << 1 << MenuState::Error << true
                                  << false << "Drawer is stuck inside";
    QTest::newRow("stuck outside") << MenuState::OpenDrawer << 2 << 2 << MenuState::Error << false
                                   << true << "Drawer is stuck outside";
    QTest::newRow("undefined error blocks")
            << MenuState::Home << 0 << 0 << MenuState::Error << true << true << "Undefined error";
    // The drawer is recorded closed: neither button is changed from the form's.
    QTest::newRow("unexpected shutdown") << MenuState::Home << 5 << 5 << MenuState::Error << true
                                         << true << "Unexpected shutdown";
    QTest::newRow("insufficient pressure") << MenuState::Running << 6 << 6 << MenuState::Error
                                           << true << false << "Insufficient system pressure";
    QTest::newRow("leakage") << MenuState::Pressurizing << 7 << 7 << MenuState::Error << true
                             << false << "System pressure leakage";
    QTest::newRow("regulation") << MenuState::RampUp << 8 << 8 << MenuState::Error << true << false
                                << "Pressure regulation failure";
    QTest::newRow("test error: logged only")
            << MenuState::Home << 65535 << 65535 << MenuState::Home << true << true << "Test error";
    QTest::newRow("during shutdown: ignored")
            << MenuState::Shutdown << 7 << -1 << MenuState::Shutdown << true << true << "";
}

void TestMainWindowRun::raisedError_recordScreenAndButtons()
{
    QFETCH(MenuState, state);
    QFETCH(int, code);
    QFETCH(int, logged);
    QFETCH(MenuState, after);
    QFETCH(QString, description);
    Instrument instrument;
    instrument.window->setState(state);
    instrument.commands.clear();
    emit instrument.window->systemError(ErrorCode(code));

    QCOMPARE(instrument.window->menuState(), after);
    QTRY_COMPARE(instrument.errorRecords(), logged < 0 ? 0 : 1);
    if (logged >= 0) {
        const QList<QByteArray> fields = lastRecord(instrument).split('|');
        QCOMPARE(fields.at(2), QByteArray::number(logged));
        QCOMPARE(QString(fields.at(3)), description);
    }
    const bool blocking = after == MenuState::Error;
    // The flag and its sync follow the record in the disk thread.
    QTRY_COMPARE(instrument.stored("system/error"), blocking ? 1 : 0);
    if (!blocking)
        return;
    QCOMPARE(instrument.pageName(), QString("errorScreen"));
    QCOMPARE(instrument.text("label_err_code_input"), QString::number(logged));
    QCOMPARE(instrument.text("label_err_description_input"), description);
    QTEST(instrument.shown("button_err_open"), "openShown");
    QTEST(instrument.shown("button_err_close"), "closeShown");
    QTRY_VERIFY(instrument.commands.ran("sync"));
}

void TestMainWindowRun::pendingError_unreadableRecord_staysPendingAsPreviousError_data()
{
    QTest::addColumn<QByteArray>("errorLog");
    QTest::addColumn<QString>("code"); // shown again

    const QByteArray record7 = "20261206-100000|Initial pressurizing menu|7|System pressure "
                               "leakage|/usr/share/vemla/logs/errors.log|1.3.0\n";
    QTest::newRow("no header, good record") << record7 << "7";
    QTest::newRow("good record after a huge line")
            << kErrorLogHeader + QByteArray(300000, 'x') + "\n" + record7 << "7";
    // What the error was is lost; that one was never acknowledged is not.
    QTest::newRow("binary garbage") << QByteArray("\x00\x01\xff|\x7f|\xfe\n", 8) << "1000";
    QTest::newRow("code is no number")
            << kErrorLogHeader + "20261206-100000|Home menu|seven|x|y|1.3.0\n"
            << "1000";
    QTest::newRow("too few fields") << kErrorLogHeader + "20261206-100000|Home menu\n"
                                    << "1000";
    QTest::newRow("one huge line") << kErrorLogHeader + QByteArray(300000, '7') + "\n"
                                   << "1000";
    QTest::newRow("newest record not blocking") << kErrorLogHeader
                    + "20261206-100000|Home menu|3|Drawer is stopped due to "
                      "obstacle|/usr/share/vemla/logs/errors.log|1.3.0\n"
                                                << "1000";
    QTest::newRow("header only") << kErrorLogHeader << "1000";
    QTest::newRow("error log deleted") << QByteArray() << "1000";
}

void TestMainWindowRun::pendingError_unreadableRecord_staysPendingAsPreviousError()
{
    QFETCH(QByteArray, errorLog);
    QFETCH(QString, code);
    LogCapture log;
    Instrument instrument("[system]\nerror=1\n", errorLog);
    QCOMPARE(instrument.root.read(kErrorLog), errorLog); // nothing appended
    QCOMPARE(instrument.window->menuState(), MenuState::Error);
    QCOMPARE(instrument.pageName(), QString("errorScreen"));
    QCOMPARE(instrument.text("label_err_code_input"), code);
    QCOMPARE(instrument.text("label_err_description_input"),
             code == "7" ? QString("System pressure leakage") : QString("Previous error"));
    QCOMPARE(instrument.text("label_err_reference_input"), kErrorLog);
    QVERIFY(log.contains(code == "7" ? "Error: Uncleared error retriggered"
                                     : "Error: Unable to load previous uncleared error"));
    QCOMPARE(instrument.stored("system/error"), 1);
    // Acknowledged as any error: a drawer button clears it, and Home is Home again.
    instrument.reportVessel(3500);
    const QString button = code == "7" ? "button_err_open" : "button_err_close";
    QVERIFY(instrument.shown(button));
    instrument.click(button);
    // The acknowledgement is written by the disk thread.
    QTRY_COMPARE(instrument.stored("system/error"), 0);
    QCOMPARE(instrument.window->menuState(),
             code == "7" ? MenuState::OpenDrawer : MenuState::CloseDrawer);
    instrument.window->setState(MenuState::Home);
    QCOMPARE(instrument.pageName(), QString("HomeScreen"));
}

QTEST_MAIN(TestMainWindowRun)
#include "tst_mainwindowrun.moc"
