// The menu state machine driven through the window, on a sandbox root.
#include "hw/drawer.h"
#include "records/appsettings.h"
#include "support/instrument.h"
#include "support/logcapture.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

using namespace testwindow;

namespace {
QList<int> ledColors(const QSignalSpy &spy)
{
    QList<int> colors;
    for (const QList<QVariant> &call : spy)
        colors << call.at(0).value<Led>();
    return colors;
}

// The password screen's keys: the digits of `entry`, then enter.
void typePassword(const Instrument &instrument, const QString &entry)
{
    for (QChar digit : entry)
        instrument.click(QString("pushButton_password_") + digit);
    instrument.click("pushButton_password_enter");
}

QString errorRecord(int code)
{
    return QString("06-12-2026 10:00:00|Running "
                   "menu|%1|%2|/usr/share/vemla/logs/errors.log|1.3.0\n")
            .arg(code)
            .arg(errorDescription(code));
}
} // namespace

class TestMainWindowStates : public QObject
{
    Q_OBJECT

private slots:
    void metaObject_exactlyTheSignalsAndSlotsInOrder();
    void startUp_decision_data();
    void startUp_decision();
    void firstPressurizing_isMagentaLaterGreen();
    void entryActions_pageAndLight_data();
    void entryActions_pageAndLight();
    void undefinedState_logsAndKeepsPage();
    void errorPending_homeBecomesErrorMenu_andDrawerButtonsAskFirst();
    void popUpAnswers_landOnlyOnTheQuestionOnScreen();
    void vesselBoundary_runAndErrorDrawerButtons_data();
    void vesselBoundary_runAndErrorDrawerButtons();
    void closeWhileOpening_abortsBeforeTheNewMove();
    void laneSelection_labelAndBackButton();
    void run_belowPressureLimit_pressurizesFirst_backReturnsToLanes();
    void runStart_allocatesProductionIdAndCountsMode();
    void runStart_setPointsOnlyAfterCountersAndForTheLastStart();
    void runStart_beforeCountersAnswer_errorAndPowerButtonBelongToTheNewRun();
    void stopQuestion_noReturnsToStage_yesGoesHome();
    void serviceReset_productionIdQuestion();
    void password_usersAndChange_data();
    void password_usersAndChange();
};

void TestMainWindowStates::metaObject_exactlyTheSignalsAndSlotsInOrder()
{
    // Declaration order; the first 30 are the signals.
    const QStringList expected
            = QString("setPressure(int,int,int) readPressure(bool) initEpc() initPump() "
                      "disablePumpAutoStart() enablePump() disablePump() pressureRelease() "
                      "stopPumpAutoStart() startPumpAutoStart() ledReset() ledInit() "
                      "ledOutput(I2C_LedControl::LedColor) temperatureInit() fanStart(int) "
                      "fanStop() valveInit() valveOutput(uint8_t) drawerInit() drawerMove(int) "
                      "drawerForce(int) drawerLogEnabled(int) drawerLogDisabled() "
                      "drawerUpdateSettings() enableDrawerCalibration() "
                      "enableTemporaryHighThreshold() logExportRun() playAnimation() "
                      "stopAnimation() systemError(ErrorCode) saveTemperature(int8_t) "
                      "channel_1_value(uint16_t) channel_2_value(uint16_t) "
                      "channel_3_value(uint16_t) onSetPressureDone() onReadPressureDone() "
                      "updateCurrentPressure(uint16_t,int) dropletProduction() onPopUpOkPressed() "
                      "onPopUpYesPressed() onPopUpNoPressed() onErrorPopUpBackPressed() "
                      "onPbSettingsGenInfoPressed() onPbSettingsTdPressed() "
                      "onPbSettingsLanguagePressed() onPbSettingsAdvancedPressed() "
                      "onPbSettingsAboutPressed() onShowDateAndTimeTimeout() "
                      "onLicensePopUpOkPressed() onChangeStatusLabel(QString) "
                      "checkAndReleasePressure()")
                      .split(' ');
    const QMetaObject &meta = MainWindow::staticMetaObject;
    QStringList found;
    int signalCount = 0;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        found << QString::fromLatin1(method.methodSignature());
        signalCount += method.methodType() == QMetaMethod::Signal;
    }
    QCOMPARE(found, expected);
    QCOMPARE(signalCount, 30);
}

void TestMainWindowStates::startUp_decision_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QByteArray>("errorLog");
    QTest::addColumn<MenuState>("state");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("errorFlag");
    QTest::addColumn<bool>("openShown");
    QTest::addColumn<bool>("closeShown");
    QTest::addColumn<int>("records"); // error-log records after the start

    QTest::newRow("pending error is shown again")
            << QByteArray("[system]\nerror=1\n")
            << (kErrorLogHeader + errorRecord(3).toUtf8() + errorRecord(7).toUtf8())
            << MenuState::Error << "errorScreen"
            << "7" << 1 << true << false << 2;
    // A pending error whose record does not name it stays pending as a previous error.
    QTest::newRow("pending error not blocking: previous error")
            << QByteArray("[system]\nerror=1\n") << (kErrorLogHeader + errorRecord(3).toUtf8())
            << MenuState::Error << "errorScreen"
            << "1000" << 1 << true << true << 1;
    QTest::newRow("power lost with drawer moving, no error pending")
            << QByteArray("[drawer]\ndrawer_position=1\n[system]\nerror=0\n") << QByteArray()
            << MenuState::Error << "errorScreen"
            << "5" << 1 << true << false << 1;
}

void TestMainWindowStates::startUp_decision()
{
    QFETCH(QByteArray, ini);
    QFETCH(QByteArray, errorLog);
    QFETCH(MenuState, state);
    QFETCH(QString, page);
    QFETCH(QString, code);
    QFETCH(bool, openShown);
    QFETCH(bool, closeShown);

    Instrument instrument(ini, errorLog);
    QCOMPARE(instrument.window->menuState(), state);
    QCOMPARE(instrument.pageName(), page);
    QCOMPARE(instrument.text("label_err_code_input"), code);
    if (!code.isEmpty()) {
        QCOMPARE(instrument.text("label_err_description_input"), errorDescription(code.toInt()));
        QCOMPARE(instrument.text("label_err_reference_input"), kErrorLog);
    }
    // A new error's record and flag are written in the disk thread.
    QFETCH(int, errorFlag);
    QFETCH(int, records);
    QTRY_COMPARE(instrument.stored("system/error"), errorFlag);
    QCOMPARE(instrument.shown("button_err_open"), openShown);
    QCOMPARE(instrument.shown("button_err_close"), closeShown);
    // A reloaded error is shown again without a second record; a new one is appended.
    QTRY_COMPARE(instrument.errorRecords(), records);
    if (code == "5")
        QVERIFY(instrument.root.read(kErrorLog).trimmed().split('\n').last().contains(
                "|Unexpected shutdown|"));
}

void TestMainWindowStates::firstPressurizing_isMagentaLaterGreen()
{
    Instrument instrument;
    QSignalSpy led(instrument.window.get(), &MainWindow::ledOutput);
    QSignalSpy fan(instrument.window.get(), &MainWindow::fanStart);
    QSignalSpy setPressure(instrument.window.get(), &MainWindow::setPressure);
    QSignalSpy valves(instrument.window.get(), &MainWindow::valveOutput);
    instrument.window->setStartingUp(true);
    instrument.window->setState(MenuState::InitialPressurizing);
    instrument.window->setStartingUp(false);
    instrument.window->setState(MenuState::InitialPressurizing);
    QCOMPARE(ledColors(led), (QList<int> {I2C_LedControl::LED_MAGENTA, I2C_LedControl::LED_GREEN}));
    // Idle mode on every entry: valves shut, set-points zero, fan on.
    QCOMPARE(fan.size(), 2);
    QCOMPARE(fan.first().at(0).toInt(), 10);
    QCOMPARE(setPressure.first(), (QList<QVariant> {0, 0, 0}));
    QCOMPARE(valves.first().at(0).value<uint8_t>(), uint8_t(0));
    QVERIFY(instrument.widget<QPushButton>("pushButton_vesselPress_back")->isHidden());
}

void TestMainWindowStates::entryActions_pageAndLight_data()
{
    QTest::addColumn<MenuState>("state");
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("led"); // -1: the light is left as it was

    QTest::newRow("home") << MenuState::Home << "HomeScreen" << int(I2C_LedControl::LED_GREEN);
    QTest::newRow("open") << MenuState::OpenDrawer << "OpenScreen"
                          << int(I2C_LedControl::LED_YELLOW);
    QTest::newRow("stop question")
            << MenuState::StopRunQuestion << "StopScreen" << int(I2C_LedControl::LED_RED);
    QTest::newRow("mode") << MenuState::ModeSelection << "ModeSelectionScreen" << -1;
    QTest::newRow("lanes") << MenuState::LaneSelection << "LaneSelectionScreen" << -1;
    QTest::newRow("running") << MenuState::Running << "RunningScreen"
                             << int(I2C_LedControl::LED_BLUE);
    QTest::newRow("ready") << MenuState::DropletsReady << "DropletsReadyScreen"
                           << int(I2C_LedControl::LED_GREEN);
    QTest::newRow("pressurizing") << MenuState::Pressurizing << "vesselPressureScreen" << -1;
    QTest::newRow("settings") << MenuState::Settings << "SettingsScreen"
                              << int(I2C_LedControl::LED_GREEN);
    QTest::newRow("service") << MenuState::ServiceMenu << "serviceMenu" << -1;
    QTest::newRow("error") << MenuState::Error << "errorScreen" << int(I2C_LedControl::LED_RED);
    QTest::newRow("shutdown") << MenuState::Shutdown << "shutDown_Screen"
                              << int(I2C_LedControl::LED_MAGENTA);
    QTest::newRow("calibration start") << MenuState::CalibrationStart << "CalibrationStartScreen"
                                       << int(I2C_LedControl::LED_CYAN);
    QTest::newRow("calibration open")
            << MenuState::CalibrationOpen << "CalibrationOpenScreen" << -1;
    QTest::newRow("calibration insert")
            << MenuState::CalibrationInsert << "CalibrationInsertScreen" << -1;
    QTest::newRow("calibration caution")
            << MenuState::CalibrationCaution << "CalibrationInsertScreen" << -1;
    QTest::newRow("calibration ready")
            << MenuState::CalibrationReady << "CalibrationReadyScreen" << -1;
    QTest::newRow("calibration finished")
            << MenuState::CalibrationFinished << "CalibrationFinishedScreen" << -1;
    QTest::newRow("calibration cancel")
            << MenuState::CalibrationCancel << "CalibrationCancelScreen" << -1;
}

void TestMainWindowStates::entryActions_pageAndLight()
{
    QFETCH(MenuState, state);
    QFETCH(int, led);
    Instrument instrument;
    QSignalSpy spy(instrument.window.get(), &MainWindow::ledOutput);
    instrument.window->setState(state);
    QCOMPARE(instrument.window->menuState(), state);
    QTEST(instrument.pageName(), "page");
    QCOMPARE(ledColors(spy), led < 0 ? QList<int>() : QList<int> {led});
}

void TestMainWindowStates::undefinedState_logsAndKeepsPage()
{
    Instrument instrument;
    const int undefinedStates[]
            = {MenuState::Undefined, MenuState::Initializing, MenuState::Test, 99, -1};
    for (int undefined : undefinedStates) {
        LogCapture log;
        instrument.window->setState(undefined);
        QVERIFY(log.contains("State management: Undefined state"));
        QCOMPARE(instrument.window->menuState(), undefined);
        QCOMPARE(instrument.pageName(), QString("vesselPressureScreen"));
    }
}

void TestMainWindowStates::errorPending_homeBecomesErrorMenu_andDrawerButtonsAskFirst()
{
    Instrument instrument("[drawer]\ndrawer_position=1\n");
    QCOMPARE(instrument.window->menuState(), MenuState::Error);
    instrument.window->setState(MenuState::Home);
    QCOMPARE(instrument.window->menuState(), MenuState::Error);
    QCOMPARE(instrument.pageName(), QString("errorScreen"));

    // The vessel is empty: the open button recommends pressurizing first.
    QSignalSpy move(instrument.window.get(), &MainWindow::drawerMove);
    instrument.click("button_err_open");
    QTRY_COMPARE(instrument.stored("system/error"), 0);
    QVERIFY(Instrument::popUpShown());
    QCOMPARE(Instrument::popUpLine(1),
             QString("It is recommended to pressurize the system first."));
    // Yes pressurizes; the drawer waits for the OK that follows the full vessel.
    Instrument::answer("yes");
    QCOMPARE(instrument.window->menuState(), MenuState::InitialPressurizing);
    QVERIFY(move.isEmpty());
    instrument.setVessel(5300, true);
    QTRY_VERIFY_WITH_TIMEOUT(Instrument::popUpShown(), kAnswerMs);
    QCOMPARE(Instrument::popUpLine(1), QString("Pressurizing system completed"));
    QCOMPARE(instrument.window->menuState(), MenuState::InitialPressurizing);
    QVERIFY(move.isEmpty());
    Instrument::answer("ok");
    QCOMPARE(instrument.window->menuState(), MenuState::OpenDrawer);
    QCOMPARE(move.size(), 1);
    QCOMPARE(move.first().at(0).toInt(), 1);
    QVERIFY(!Instrument::popUpShown());

    // The error is cleared: home is home again.
    instrument.window->setState(MenuState::Home);
    QCOMPARE(instrument.pageName(), QString("HomeScreen"));

    // "No" moves the drawer at once.
    instrument.window->setState(MenuState::Error);
    move.clear();
    instrument.click("button_err_open");
    Instrument::answer("no");
    QCOMPARE(instrument.window->menuState(), MenuState::OpenDrawer);
    QCOMPARE(move.size(), 1);
}

void TestMainWindowStates::popUpAnswers_landOnlyOnTheQuestionOnScreen()
{
    // A power cut with the drawer out: error 5, and Close recommends pressurizing first.
    Instrument instrument("[drawer]\ndrawer_position=2\n[production]\nid=17\n");
    instrument.click("button_err_close");
    QCOMPARE(Instrument::popUpLine(1),
             QString("It is recommended to pressurize the system first."));
    Instrument::answer("yes");
    QCOMPARE(instrument.window->menuState(), MenuState::InitialPressurizing);
    // The vessel leaks while it fills; from the error screen the admin changes the password.
    emit instrument.window->systemError(ERROR_PRESSURE_LEAKAGE);
    QCOMPARE(instrument.window->menuState(), MenuState::Error);
    instrument.click("button_err_settings");
    typePassword(instrument, kAdminPassword);
    instrument.click("pushButton_settingsMenu_password");
    typePassword(instrument, kAdminPassword);
    typePassword(instrument, "1357");
    typePassword(instrument, "1357");
    QCOMPARE(Instrument::popUpLine(1), QString("New Password"));
    Instrument::answer("yes");
    // "Password changed" comes once the disk thread has the new password on the medium.
    QTRY_VERIFY(Instrument::popUpShown());
    QCOMPARE(Instrument::popUpLine(1), QString("Password changed"));
    Instrument::answer("ok");
    QCOMPARE(AppSettings().getPassword("admin"), QString("1357"));
    QCOMPARE(instrument.window->menuState(), MenuState::Settings);
    QCOMPARE(instrument.pageName(), QString("SettingsMenuScreen"));
    // The pressurizing the old question asked for was ended by the error: a full vessel
    // finds no drawer move waiting for it, and the pending error screen comes back.
    instrument.window->setState(MenuState::InitialPressurizing);
    instrument.setVessel(5300, true);
    QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Error, kAnswerMs);
    QVERIFY(!Instrument::popUpShown());

    // A question on screen when an error takes over goes with its pop-up: the error screen
    // shows, and no late answer acts on the question.
    instrument.window->setState(MenuState::ServiceMenu);
    instrument.click("pushButton_reset");
    instrument.click("pushButton_settings_reset_prod_id");
    QCOMPARE(Instrument::popUpLine(1), QString("Do you want to reset production ID?"));
    emit instrument.window->systemError(ERROR_UNDEFINED);
    QVERIFY(!Instrument::popUpShown());
    QVERIFY(!instrument.widget("stackedWidget")->isHidden());
    QCOMPARE(instrument.pageName(), QString("errorScreen"));
    for (const char *answer : {"onPopUpYesPressed", "onPopUpNoPressed", "onPopUpOkPressed"})
        QMetaObject::invokeMethod(instrument.window.get(), answer);
    QCOMPARE(instrument.stored("production/id"), 17);
    QCOMPARE(instrument.window->menuState(), MenuState::Error);
}

void TestMainWindowStates::vesselBoundary_runAndErrorDrawerButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mbar");
    QTest::addColumn<MenuState>("state"); // afterwards
    QTest::addColumn<bool>("asksFirst"); // the pressurize-first question is shown
    // Below 3000 mbar a run's lines would drop during the ramp: the vessel is filled first.
    QTest::newRow("run at 2999") << "pushButton_run" << 2999 << MenuState::Pressurizing << false;
    QTest::newRow("run at 3000") << "pushButton_run" << 3000 << MenuState::RampUp << false;
    QTest::newRow("error open at 2999") << "button_err_open" << 2999 << MenuState::Error << true;
    QTest::newRow("error open at 3000")
            << "button_err_open" << 3000 << MenuState::OpenDrawer << false;
    QTest::newRow("error close at 2999") << "button_err_close" << 2999 << MenuState::Error << true;
    QTest::newRow("error close at 3000")
            << "button_err_close" << 3000 << MenuState::CloseDrawer << false;
}

void TestMainWindowStates::vesselBoundary_runAndErrorDrawerButtons()
{
    QFETCH(QString, button);
    QFETCH(int, mbar);
    QFETCH(MenuState, state);
    QFETCH(bool, asksFirst);
    Instrument instrument;
    if (button == "pushButton_run") {
        instrument.window->setState(MenuState::ModeSelection);
        instrument.click("pushButton_dpcr");
    } else {
        // Code 0 offers both drawer buttons.
        emit instrument.window->systemError(ERROR_UNDEFINED);
    }
    instrument.reportVessel(mbar);
    instrument.click(button);
    QCOMPARE(Instrument::popUpShown(), asksFirst);
    if (asksFirst)
        QCOMPARE(Instrument::popUpLine(1),
                 QString("It is recommended to pressurize the system first."));
    QCOMPARE(instrument.window->menuState(), state);
}

void TestMainWindowStates::closeWhileOpening_abortsBeforeTheNewMove()
{
    Instrument instrument;
    LogCapture log;
    Drawer *drawer = instrument.window->drawerDevice();
    QVERIFY(drawer);
    const auto drawerThreadIdle = [drawer] {
        QMetaObject::invokeMethod(
                drawer, [] {}, Qt::BlockingQueuedConnection);
    };
    // Each move's direction, and whether the abort was already requested when it was asked for.
    QList<QPair<int, bool>> moves;
    connect(
            instrument.window.get(), &MainWindow::drawerMove, this,
            [&](int direction) { moves << qMakePair(direction, log.contains("Drawer: ABORTED")); },
            Qt::DirectConnection);

    instrument.window->setState(MenuState::Home);
    instrument.click("pushButton_open");
    // While the drawer moves, only Stop is offered.
    QVERIFY(instrument.shown("pushButton_drawer_stop"));
    QVERIFY(!instrument.shown("pushButton_close"));
    drawerThreadIdle();
    instrument.window->setState(MenuState::CloseDrawer);
    drawerThreadIdle();

    QCOMPARE(moves, (QList<QPair<int, bool>> {{1, false}, {-1, true}}));
    QCOMPARE(instrument.text("label_title_drawer_menu"), QString("Closing cartridge drawer..."));
}

void TestMainWindowStates::laneSelection_labelAndBackButton()
{
    Instrument instrument;
    instrument.window->setState(MenuState::ModeSelection);
    instrument.click("pushButton_dmda");
    QCOMPARE(instrument.window->menuState(), MenuState::LaneSelection);
    QCOMPARE(instrument.text("label_run_mode"), QString("Run mode: dMDA"));
    QCOMPARE(instrument.text("label_noLaneSelected"), QString("No channels selected"));
    instrument.click("pushButton_lane_3");
    QCOMPARE(instrument.text("label_noLaneSelected"), QString(" "));
    QVERIFY(instrument.widget<QPushButton>("pushButton_lane_3")
                    ->styleSheet()
                    .contains("underline"));
    instrument.click("pushButton_lane_8");
    instrument.click("pushButton_lane_3");
    QCOMPARE(instrument.text("label_noLaneSelected"), QString(" "));
    instrument.click("pushButton_lane_8");
    QCOMPARE(instrument.text("label_noLaneSelected"), QString("No channels selected"));

    instrument.click("pushButton_lane_5");
    instrument.click("pushButton_lane_back");
    QCOMPARE(instrument.pageName(), QString("ModeSelectionScreen"));
    QCOMPARE(instrument.window->menuState(), MenuState::LaneSelection);
    QVERIFY(!instrument.widget<QPushButton>("pushButton_lane_5")
                     ->styleSheet()
                     .contains("underline"));
    instrument.click("pushButton_mode_back");
    QCOMPARE(instrument.window->menuState(), MenuState::Home);
}

void TestMainWindowStates::run_belowPressureLimit_pressurizesFirst_backReturnsToLanes()
{
    Instrument instrument;
    QSignalSpy enable(instrument.window.get(), &MainWindow::enablePump);
    QSignalSpy disable(instrument.window.get(), &MainWindow::disablePump);
    instrument.window->setState(MenuState::ModeSelection);
    instrument.click("pushButton_dpcr");
    instrument.click("pushButton_run");
    QCOMPARE(instrument.window->menuState(), MenuState::Pressurizing);
    QCOMPARE(instrument.pageName(), QString("vesselPressureScreen"));
    QCOMPARE(enable.size(), 1);
    QVERIFY(instrument.shown("pushButton_vesselPress_back"));
    QCOMPARE(instrument.stored("production/id"), 0); // no run has started

    instrument.click("pushButton_vesselPress_back");
    QCOMPARE(instrument.pageName(), QString("LaneSelectionScreen"));
    QCOMPARE(instrument.window->menuState(), MenuState::Pressurizing);
    QCOMPARE(disable.size(), 1);
}

void TestMainWindowStates::runStart_allocatesProductionIdAndCountsMode()
{
    Instrument instrument("[production]\nid=41\ndpcr_run=4\n");
    QSignalSpy led(instrument.window.get(), &MainWindow::ledOutput);
    QSignalSpy autoStart(instrument.window.get(), &MainWindow::startPumpAutoStart);
    instrument.window->setState(MenuState::ModeSelection);
    instrument.click("pushButton_dpcr");
    instrument.commands.clear();
    QVERIFY(instrument.startRun());
    QCOMPARE(instrument.pageName(), QString("PreRampScreen"));
    QCOMPARE(ledColors(led), QList<int> {I2C_LedControl::LED_BLUE});
    QCOMPARE(autoStart.size(), 1);
    QCOMPARE(instrument.stored("production/id"), 42);
    QCOMPARE(instrument.stored("production/dpcr_run"), 5);
    QCOMPARE(instrument.commands.commands(), std::vector<std::string> {"sync"});
    for (const char *bar : {"progressBar_pressureRamp_line_1", "progressBar_pressureRamp_line_3"})
        QCOMPARE(instrument.widget<QProgressBar>(bar)->value(), 0);
}

void TestMainWindowStates::runStart_setPointsOnlyAfterCountersAndForTheLastStart()
{
    Instrument instrument("[production]\nid=41\n");
    // The ID on the medium at the moment each set-point goes out.
    QList<int> idOnMediumAtSetPoint;
    QObject::connect(
            instrument.window.get(), &MainWindow::setPressure, instrument.window.get(),
            [&] { idOnMediumAtSetPoint << instrument.stored("production/id"); },
            Qt::DirectConnection);
    auto answered = [&](int id) {
        QTRY_COMPARE_WITH_TIMEOUT(instrument.stored("production/id"), id, kAnswerMs);
        QTest::qWait(100); // the answer's way back from the export thread
    };
    instrument.window->setState(MenuState::ModeSelection);
    instrument.click("pushButton_dpcr");

    // Left before the answer: the ID was given out, the lines get no pressure.
    instrument.window->setState(MenuState::RampUp);
    instrument.window->setState(MenuState::Home);
    answered(42);
    QVERIFY(idOnMediumAtSetPoint.isEmpty());

    // Asked again before the first answer: one pre-ramp, after both counts are stored.
    instrument.window->setState(MenuState::RampUp);
    instrument.window->setState(MenuState::RampUp);
    answered(44);
    QCOMPARE(idOnMediumAtSetPoint, QList<int> {44});
    instrument.window->setState(MenuState::DropletsReady);
    QCOMPARE(instrument.text("label_dropletReady"), QString("Production ID: 44"));
}

void TestMainWindowStates::runStart_beforeCountersAnswer_errorAndPowerButtonBelongToTheNewRun()
{
    Instrument instrument("[production]\nid=41\n");
    QDir().mkpath(instrument.root.file("/usr/share/vemla/logs/production"));
    // The export thread is held in the counters' sync, as a slow flash holds it for 10-30 ms.
    instrument.commands.hold("sync");
    struct Release
    {
        CommandRecorder &commands;
        ~Release() { commands.release(); }
    } release {instrument.commands};
    QSignalSpy setPressure(instrument.window.get(), &MainWindow::setPressure);
    instrument.window->setState(MenuState::ModeSelection);
    instrument.click("pushButton_dpcr");
    instrument.commands.clear();
    instrument.window->setState(MenuState::RampUp);
    const auto countHeld = [&instrument] {
        const std::vector<std::string> ran = instrument.commands.commands();
        return std::find(ran.begin(), ran.end(), "sync") != ran.end();
    };
    QTRY_VERIFY_WITH_TIMEOUT(countHeld(), kAnswerMs);

    // An error of this moment is recorded against the run being started (by the disk thread,
    // which writes the record before its own sync is held too).
    emit instrument.window->systemError(ERROR_TEST);
    const auto lastRecord = [&instrument] {
        return instrument.root.read(kErrorLog).trimmed().split('\n').last().split('|');
    };
    QTRY_COMPARE_WITH_TIMEOUT(lastRecord().value(2), QByteArray("65535"), kAnswerMs);
    const QList<QByteArray> fields = lastRecord();
    QCOMPARE(fields.value(6), QByteArray("42"));
    QVERIFY2(fields.value(7).startsWith("/usr/share/vemla/logs/production/42_"),
             fields.value(7).constData());

    // So is the power button: the run ends with its log, and its count still lands.
    instrument.root.write("/sys/class/gpio/gpio160/value", "1\n");
    QTRY_COMPARE_WITH_TIMEOUT(instrument.window->menuState(), MenuState::Shutdown, 3000);
    // The run log waits in the disk thread behind the error record's held sync.
    instrument.commands.release();
    const auto runLogs = [&instrument] {
        return QDir(instrument.root.file("/usr/share/vemla/logs/production"))
                .entryList(QDir::Files);
    };
    QTRY_COMPARE_WITH_TIMEOUT(runLogs().size(), 1, kAnswerMs);
    QCOMPARE("/usr/share/vemla/logs/production/" + runLogs().first(), QString(fields.value(7)));
    QTRY_COMPARE_WITH_TIMEOUT(instrument.stored("production/id"), 42, kAnswerMs);
    QTest::qWait(100); // the answer's way back
    for (const QList<QVariant> &setPoints : setPressure)
        QCOMPARE(setPoints, (QList<QVariant> {0, 0, 0}));
}

void TestMainWindowStates::stopQuestion_noReturnsToStage_yesGoesHome()
{
    Instrument instrument;
    QSignalSpy led(instrument.window.get(), &MainWindow::ledOutput);
    QSignalSpy stopAnimation(instrument.window.get(), &MainWindow::stopAnimation);
    QSignalSpy setPressure(instrument.window.get(), &MainWindow::setPressure);
    instrument.window->setState(MenuState::Running);
    instrument.click("pushButton_running_stop");
    QCOMPARE(instrument.window->menuState(), MenuState::StopRunQuestion);
    instrument.click("pushButton_running_stop_no");
    QCOMPARE(instrument.pageName(), QString("RunningScreen"));
    QCOMPARE(instrument.window->menuState(), MenuState::StopRunQuestion);
    QCOMPARE(ledColors(led).last(), int(I2C_LedControl::LED_BLUE));

    instrument.window->setState(MenuState::RampUp);
    setPressure.clear();
    instrument.click("pushButton_pressureramp_stop");
    instrument.click("pushButton_running_stop_yes");
    QCOMPARE(instrument.window->menuState(), MenuState::Home);
    QCOMPARE(stopAnimation.size(), 1);
    QCOMPARE(setPressure.size(), 1);
    QCOMPARE(setPressure.first(), (QList<QVariant> {0, 0, 0}));
}

void TestMainWindowStates::serviceReset_productionIdQuestion()
{
    Instrument instrument("[production]\nid=17\n");
    instrument.window->setState(MenuState::ServiceMenu);
    instrument.click("pushButton_reset");
    QVERIFY(instrument.shown("pushButton_settings_reset_prod_id"));
    QVERIFY(!instrument.shown("pushButton_initial_tests"));
    instrument.click("pushButton_settings_reset_prod_id");
    QCOMPARE(Instrument::popUpLine(1), QString("Do you want to reset production ID?"));
    Instrument::answer("no");
    QCOMPARE(instrument.stored("production/id"), 17);

    instrument.commands.clear();
    instrument.click("pushButton_settings_reset_prod_id");
    Instrument::answer("yes");
    QCOMPARE(instrument.stored("production/id"), 0);
    QCOMPARE(instrument.commands.commands(), std::vector<std::string> {"sync"});
    QVERIFY(Instrument::popUpShown()); // the result stays until OK
    QCOMPARE(Instrument::popUpLine(1), QString("Production ID is 0"));
    Instrument::answer("ok");
    QVERIFY(!Instrument::popUpShown());

    // Back climbs the levels, then leaves for home.
    instrument.click("pushButton_serviceMenu_back");
    QCOMPARE(instrument.window->menuState(), MenuState::ServiceMenu);
    QVERIFY(instrument.shown("pushButton_initial_tests"));
    instrument.click("pushButton_serviceMenu_back");
    QCOMPARE(instrument.window->menuState(), MenuState::Home);
}

void TestMainWindowStates::password_usersAndChange_data()
{
    QTest::addColumn<QString>("keys"); // pressed in turn
    QTest::addColumn<MenuState>("state");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("popUpLine1");

    // Logged in as admin, the current password confirmed: the new one is asked for.
    const QString changing = "2 4 6 8 0 enter change 2 4 6 8 0 enter ";
    QTest::newRow("clear removes the last digit")
            << "2 4 6 8 0 9 clear enter" << MenuState::Settings << "SettingsMenuScreen"
            << "";
    QTest::newRow("empty entry is wrong")
            << "clear enter" << MenuState::Settings << "SettingsScreen"
            << "Wrong Password";
    QTest::newRow("back goes home") << "1 back" << MenuState::Home << "HomeScreen"
                                    << "";
    QTest::newRow("empty new password is forbidden")
            << changing + "enter" << MenuState::Settings << "SettingsScreen"
            << "Forbidden Password";
    QTest::newRow("declined new password keeps the old one")
            << changing + "1 3 enter 1 3 enter no" << MenuState::Settings << "SettingsMenuScreen"
            << "";
}

void TestMainWindowStates::password_usersAndChange()
{
    QFETCH(QString, keys);
    QFETCH(MenuState, state);
    QFETCH(QString, popUpLine1);
    Instrument instrument;
    instrument.window->setState(MenuState::Home);
    instrument.click("pushButton_settings");
    for (const QString &key : keys.split(' ')) {
        if (key == "yes" || key == "no" || key == "ok") {
            Instrument::answer(key);
        } else if (Instrument::popUpShown()) {
            QFAIL(qPrintable("pop-up in the way of key " + key + ": " + Instrument::popUpLine(1)));
        } else if (key == "change") {
            instrument.click("pushButton_settingsMenu_password");
        } else if (key == "back") {
            instrument.click("pushButton_settings_back");
        } else {
            instrument.click("pushButton_password_" + key);
        }
    }
    QCOMPARE(instrument.window->menuState(), state);
    QTEST(instrument.pageName(), "page");
    QCOMPARE(Instrument::popUpShown(), !popUpLine1.isEmpty());
    if (!popUpLine1.isEmpty()) {
        QCOMPARE(Instrument::popUpLine(1), popUpLine1);
        Instrument::answer("ok");
    }
    QCOMPARE(AppSettings().getPassword("admin"), kAdminPassword);
}

QTEST_MAIN(TestMainWindowStates)
#include "tst_mainwindowstates.moc"
