// The initial tests driven through the window. The test stands in for the drawer's answers
// and the pump's starts, sets the vessel through the pump's sensor files, and fires the
// lane runs' timer and the pause between steps instead of waiting half an hour.
#include "app/windowstyles.h"
#include "hw/drawer.h"
#include "hw/pump.h"
#include "service/initialtest.h"
#include "support/instrument.h"
#include "support/logcapture.h"

#include <QDir>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace testwindow;

namespace {
const QString kTestDir = "/usr/share/vemla/logs/init_testing";
const QString kDefaultSettings = "/usr/share/vemla/resources/default_pressure_settings.inc";

void fire(const Instrument &instrument, const char *timerName)
{
    auto *timer = instrument.window->findChild<QTimer *>(timerName);
    QVERIFY(timer && timer->isActive());
    timer->start(0);
    QTRY_VERIFY(!timer->isActive());
}

// From Home, which the window enters by itself once the first pressurizing has seen the
// vessel full.
void openTestGroup(const Instrument &instrument)
{
    QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Home, 5000);
    instrument.logIn(kServiceCode);
    QCOMPARE(instrument.window->menuState(), MenuState::ServiceMenu);
    instrument.click("pushButton_initial_tests");
}

// Confirm the test and cycle the drawer as the operator does before the first lane.
void confirmAndCycleDrawer(const Instrument &instrument, const QString &title)
{
    Instrument::answer("yes");
    QCOMPARE(instrument.window->menuState(), MenuState::OpenDrawer);
    emit instrument.window->drawerDevice()->drawerIsOpened();
    QCOMPARE(instrument.text("label_title_drawer_menu"), title);
    instrument.click("pushButton_close");
    emit instrument.window->drawerDevice()->drawerIsClosed();
}

QString mark(const Instrument &instrument, int row)
{
    const QString base = QString("label_task_%1_").arg(row);
    return instrument.text(base + "ok") + "|" + instrument.text(base + "nok");
}

QStringList testLogs(const Instrument &instrument)
{
    return QDir(instrument.root.file(kTestDir)).entryList(QDir::Files, QDir::Name);
}

QString buttonStyle(const Instrument &instrument, const QString &button)
{
    return instrument.widget<QPushButton>(button)->styleSheet();
}

int lastMask(const QSignalSpy &valves)
{
    return valves.isEmpty() ? -1 : valves.last().at(0).toInt();
}
} // namespace

class TestMainWindowInitialTests : public QObject
{
    Q_OBJECT

private slots:
    void openRun_nineLaneRuns_masksPumpCountsResultsAndRedButton();
    void blockedCartridge_lossAndPump_stopEndsTestWithoutResults();
    void closeRun_unusableDefaults_timerEndsRunAndButtonTurnsGreen();
    void drawerTest_errorEndsTestAndRestoresSettings();
    void pumpTest_ventStep_noBackAndEndedByAnError();
    void logDirectory_rootWithShellCharacters_createdAsOneWord();
};

void TestMainWindowInitialTests::openRun_nineLaneRuns_masksPumpCountsResultsAndRedButton()
{
    Instrument instrument;
    instrument.root.write(kDefaultSettings, zeroPressureSettings("0"));
    QDir().mkpath(instrument.root.file(kTestDir));
    instrument.setVessel(5300, true);
    openTestGroup(instrument);
    instrument.click("pushButton_open_run_test");
    QCOMPARE(Instrument::popUpLine(1), QString("Open run test will take 36 minutes."));
    QCOMPARE(Instrument::popUpLine(2), QString("Do you want to proceed?"));
    QCOMPARE(instrument.text("label_task_1"), QString("Lane 1"));
    QCOMPARE(instrument.text("label_task_9"), QString("All Lanes"));
    QSignalSpy valves(instrument.window.get(), &MainWindow::valveOutput);
    QSignalSpy leds(instrument.window.get(), &MainWindow::ledOutput);
    confirmAndCycleDrawer(instrument, "Please remove cartridge");

    // Lane 5 draws too little air to start the pump.
    const int failingLane = 4;
    QList<bool> flags;
    for (int lane = 0; lane < initialtest::kRowCount; ++lane) {
        QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Running, 5000);
        QCOMPARE(lastMask(valves), int(initialtest::laneMask(initialtest::OPEN_RUN_TEST, lane)));
        QCOMPARE(instrument.text("label_run_id_value"),
                 QString("%1 (Open Run Test)").arg(lane + 1));
        // Counted from the lane's start: the starts of the lane before do not carry over.
        const int starts = lane == failingLane ? 0 : lane == 0 ? 2 : 1;
        for (int start = 0; start < starts; ++start)
            emit instrument.window->pumpDevice()->pumpIsEnabled();
        flags << (starts >= 1);
        fire(instrument, "testTimer");
        QCOMPARE(instrument.pageName(), QString("testResults_screen"));
        QCOMPARE(instrument.text("label_test_results"), QString("Test Results for Open Run Test"));
        QCOMPARE(mark(instrument, lane + 1), QString(starts >= 1 ? "X|" : "|X"));
        if (lane + 1 < initialtest::kRowCount) {
            QVERIFY(!instrument.shown("pushButton_testResults_back"));
            fire(instrument, "nextLaneTimer");
        }
    }

    QCOMPARE(Instrument::popUpLine(1), QString("Open Run Test completed"));
    Instrument::answer("ok");
    QVERIFY(instrument.shown("pushButton_testResults_back"));
    QCOMPARE(buttonStyle(instrument, "pushButton_open_run_test"), windowstyles::rectRed());
    QCOMPARE(leds.last().at(0).value<Led>(), I2C_LedControl::LED_GREEN);
    QCOMPARE(instrument.root.read(kTestDir + "/OPEN_RUN_TEST_Results.log"),
             initialtest::resultsText(initialtest::OPEN_RUN_TEST, flags));
    // One run log per lane run, each under its own production ID (the last one written in the
    // disk thread).
    QTRY_COMPARE(testLogs(instrument).size(), 10);
    const QStringList logs = testLogs(instrument);
    for (int lane = 0; lane < initialtest::kLaneCount; ++lane)
        QVERIFY2(QRegularExpression(QString("^%1_\\d{8}_\\d{6}_OPEN_RUN_TEST_lane_%2\\.log$")
                                            .arg(lane + 1)
                                            .arg(lane + 1))
                         .match(logs[lane])
                         .hasMatch(),
                 qPrintable(logs[lane]));
    QVERIFY(logs[8].endsWith("_OPEN_RUN_TEST_all_lanes.log"));
    QCOMPARE(logs[9], QString("OPEN_RUN_TEST_Results.log"));

    instrument.click("pushButton_testResults_back");
    QCOMPARE(instrument.window->menuState(), MenuState::ServiceMenu);
    QCOMPARE(mark(instrument, 1), QString("|"));
}

void TestMainWindowInitialTests::blockedCartridge_lossAndPump_stopEndsTestWithoutResults()
{
    Instrument instrument;
    instrument.root.write(kDefaultSettings, zeroPressureSettings("0"));
    QDir().mkpath(instrument.root.file(kTestDir));
    instrument.setVessel(5300, true);
    openTestGroup(instrument);
    const QString untested = buttonStyle(instrument, "pushButton_blocked_cartridge_test");
    instrument.click("pushButton_blocked_cartridge_test");
    QCOMPARE(Instrument::popUpLine(1), QString("Blocked cartridge test will take 41 minutes."));
    confirmAndCycleDrawer(instrument, "Please insert blocked cartridge");

    // Lane 1 loses exactly the allowed 500 mbar.
    QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Running, 5000);
    instrument.setVessel(4800, true);
    fire(instrument, "testTimer");
    QCOMPARE(mark(instrument, 1), QString("X|"));

    // From lane 2 on the drawer opens and closes again by itself around the cartridge.
    for (int lane = 1; lane <= 2; ++lane) {
        instrument.setVessel(5300, true);
        fire(instrument, "nextLaneTimer");
        QCOMPARE(instrument.window->menuState(), MenuState::OpenDrawer);
        emit instrument.window->drawerDevice()->drawerIsOpened();
        QCOMPARE(instrument.window->menuState(), MenuState::CloseDrawer);
        emit instrument.window->drawerDevice()->drawerIsClosed();
        QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Running, 5000);
        if (lane == 1) {
            // A pump start during a blocked lane is a leak, whatever the pressure says.
            emit instrument.window->pumpDevice()->pumpIsEnabled();
            fire(instrument, "testTimer");
            QCOMPARE(mark(instrument, 2), QString("|X"));
        }
    }

    // Stopped during lane 3: back to the buttons, no marks, no results, no test any more.
    instrument.click("pushButton_running_stop");
    QCOMPARE(instrument.window->menuState(), MenuState::StopRunQuestion);
    instrument.click("pushButton_running_stop_yes");
    QCOMPARE(instrument.window->menuState(), MenuState::ServiceMenu);
    QCOMPARE(instrument.pageName(), QString("serviceMenu"));
    QCOMPARE(mark(instrument, 1), QString("|"));
    QCOMPARE(mark(instrument, 2), QString("|"));
    QVERIFY(!instrument.window->findChild<QTimer *>("testTimer")->isActive());
    QVERIFY(!instrument.root.exists(kTestDir + "/BLOCKED_CARTRIDGE_TEST_Results.log"));
    QTRY_COMPARE(testLogs(instrument).size(), 3);
    QCOMPARE(buttonStyle(instrument, "pushButton_blocked_cartridge_test"), untested);
}

void TestMainWindowInitialTests::closeRun_unusableDefaults_timerEndsRunAndButtonTurnsGreen()
{
    Instrument instrument;
    // Not a settings file at all: every pressure and time reads as 0.
    instrument.root.write(kDefaultSettings, QByteArray("\x01\x7f=\"\n:::\ndpcr_active_time\n"));
    QDir().mkpath(instrument.root.file(kTestDir));
    instrument.setVessel(5300, true);
    openTestGroup(instrument);

    // A declined test leaves none behind: the next Yes answers its own question.
    instrument.click("pushButton_drawer_test");
    Instrument::answer("no");
    instrument.click("pushButton_initial_tests");
    instrument.click("pushButton_reset");
    instrument.click("pushButton_settings_reset_prod_id");
    Instrument::answer("yes");
    QCOMPARE(Instrument::popUpLine(1), QString("Production ID is 0"));
    Instrument::answer("ok");
    QCOMPARE(instrument.window->menuState(), MenuState::ServiceMenu);
    instrument.click("pushButton_reset");
    instrument.click("pushButton_initial_tests");

    QSignalSpy valves(instrument.window.get(), &MainWindow::valveOutput);
    instrument.click("pushButton_close_run_test");
    QCOMPARE(instrument.text("label_task_1"), QString());
    QCOMPARE(instrument.text("label_task_9"), QString("All Lanes"));
    confirmAndCycleDrawer(instrument, "Please remove cartridge");
    QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Running, 5000);
    QCOMPARE(lastMask(valves), 0xFF);
    // An active time of 0 does not end the lane run: the countdown shows the test's time.
    QMetaObject::invokeMethod(instrument.window.get(), "dropletProduction");
    QCOMPARE(instrument.window->menuState(), MenuState::Running);
    QCOMPARE(instrument.text("label_time_remaining_value"), QString("29 minutes"));

    // One pump start in half an hour is the natural leak of a sound vessel.
    emit instrument.window->pumpDevice()->pumpIsEnabled();
    fire(instrument, "testTimer");
    QCOMPARE(mark(instrument, 9), QString("X|"));
    QCOMPARE(Instrument::popUpLine(1), QString("Close Run Test completed"));
    Instrument::answer("ok");
    QCOMPARE(instrument.root.read(kTestDir + "/CLOSE_RUN_TEST_Results.log"),
             QByteArray("CLOSE_RUN_TEST\n\nPASSED\n"));
    QCOMPARE(buttonStyle(instrument, "pushButton_close_run_test"), windowstyles::rectGreen());
    QTRY_COMPARE(testLogs(instrument).size(), 2);
    const QStringList logs = testLogs(instrument);
    QVERIFY(logs[0].endsWith("_CLOSE_RUN_TEST_all_lanes.log"));
    QVERIFY(instrument.root.read(kTestDir + "/" + logs[0]).startsWith("File:"));
}

void TestMainWindowInitialTests::drawerTest_errorEndsTestAndRestoresSettings()
{
    Instrument instrument;
    LogCapture log;
    instrument.setVessel(5300, true);
    openTestGroup(instrument);
    instrument.click("pushButton_drawer_test");
    QSignalSpy forced(instrument.window.get(), &MainWindow::drawerForce);
    Instrument::answer("yes");
    emit instrument.window->drawerDevice()->drawerIsOpened();
    instrument.click("pushButton_close");
    QCOMPARE(forced.count(), 1);
    QCOMPARE(forced.first().at(0).toInt(), -1);

    emit instrument.window->drawerDevice()->drawerError(ERROR_DRAWER_STUCK_INSIDE);
    QCOMPARE(instrument.window->menuState(), MenuState::Error);
    QCOMPARE(buttonStyle(instrument, "pushButton_drawer_test"), windowstyles::rectRed());
    QVERIFY(log.contains("Settings:  Actual"));
    // A late closed report finds no test to judge.
    emit instrument.window->drawerDevice()->drawerIsClosed();
    QCOMPARE(instrument.text("label_task_9_ok"), QString());
    QVERIFY(!instrument.root.exists(kTestDir + "/DRAWER_TEST_Results.log"));
}

void TestMainWindowInitialTests::pumpTest_ventStep_noBackAndEndedByAnError()
{
    Instrument instrument;
    // A run pressurized earlier: the pressurizing page's Back was shown then.
    instrument.window->setState(MenuState::Pressurizing);
    QVERIFY(instrument.shown("pushButton_vesselPress_back"));
    instrument.window->setState(MenuState::ServiceMenu);
    instrument.click("pushButton_initial_tests");
    QSignalSpy release(instrument.window.get(), &MainWindow::pressureRelease);
    for (bool errorDuringVent : {false, true}) {
        instrument.click("pushButton_pump_test");
        Instrument::answer("yes");
        QCOMPARE(release.count(), 1);
        release.clear();
        // The vent is the test's: its page offers no way to the lane selection.
        QCOMPARE(instrument.pageName(), QString("vesselPressureScreen"));
        QVERIFY(!instrument.shown("pushButton_vesselPress_back"));
        if (!errorDuringVent) {
            fire(instrument, "pumpTestVentTimer");
            QCOMPARE(instrument.window->menuState(), MenuState::Pressurizing);
            QVERIFY(!instrument.shown("pushButton_vesselPress_back"));
            emit instrument.window->systemError(ERROR_PRESSURE_LEAKAGE);
            instrument.window->setState(MenuState::ServiceMenu);
            continue;
        }
        // An error during the vent ends the test: the vent's end does not pull the error
        // screen back to pressurizing.
        emit instrument.window->systemError(ERROR_UNDEFINED);
        QCOMPARE(instrument.window->menuState(), MenuState::Error);
        QTest::qWait(2500);
        QCOMPARE(instrument.window->menuState(), MenuState::Error);
        QCOMPARE(instrument.pageName(), QString("errorScreen"));
    }
}

void TestMainWindowInitialTests::logDirectory_rootWithShellCharacters_createdAsOneWord()
{
    Instrument instrument(Instrument::RootNamed {"vemla root $(touch injected); x-XXXXXX"});
    instrument.root.write(kDefaultSettings, zeroPressureSettings("0"));
    instrument.setVessel(5300, true);
    openTestGroup(instrument);
    instrument.click("pushButton_open_run_test");
    confirmAndCycleDrawer(instrument, "Please remove cartridge");
    const std::string wanted = "mkdir '" + instrument.root.file(kTestDir).toStdString() + "'";
    QTRY_VERIFY_WITH_TIMEOUT(instrument.commands.ran(wanted), 5000);
}

QTEST_MAIN(TestMainWindowInitialTests)
#include "tst_mainwindowinitialtests.moc"
