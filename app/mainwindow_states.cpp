#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "platform/commands.h"
#include "pressure/epccontrol.h"
#include "records/appsettings.h"
#include "service/initialtest.h"
#include "softwareversion.h"

#include <QDebug>
#include <QLabel>
#include <QTimer>

#include <utility>

namespace {
constexpr int kTemperaturePeriodMs = 10000;
constexpr int kPressurizingCheckMs = 1000;
constexpr int kProductionTickMs = 1000;
// Fan duty while the instrument is up: enough for the electronics, quiet on the bench.
constexpr int kIdleFanDuty = 10;
// Time the pump's release valve needs to vent the vessel.
constexpr int kPumpTestVentMs = 2000;
// Steps of the calibration pages' indicator.
constexpr int kCalibrationSteps = 9;

const char *const kRunModeStyle
        = "font-size: 18pt; color: rgb(255,255,255); background-color:rgba(0,0,0,0);";
const char *const kNoLaneStyle
        = "font-size: 28pt; color: rgb(255,255,255); background-color:rgba(0,0,0,0);";
} // namespace

void MainWindow::showButton(QPushButton *button, bool shown)
{
    button->setEnabled(shown);
    button->setVisible(shown);
}

void MainWindow::setState(int newState)
{
    // The shutdown is final: a drawer that ends its move, a pressure check or a stick event
    // arriving during the countdown must neither bring a menu back nor start it again.
    if (shuttingDown()) {
        qDebug() << "Shutting down: state" << newState << "ignored";
        return;
    }
    state = newState;
    if (stateObserver)
        stateObserver(state);

    switch (newState) {
    case MenuState::InitialPressurizing:
        versionLabel->setText(QString("Version ") + kSoftwareVersion);
        temperatureTimer->start(kTemperaturePeriodMs);
        emit fanStart(kIdleFanDuty);
        showButton(ui->pushButton_vesselPress_back, false);
        ui->stackedWidget->setCurrentWidget(ui->vesselPressureScreen);
        setSystemMode("idle");
        pressurizingTimer->start(kPressurizingCheckMs);
        // Magenta tells the operator the instrument is still coming up.
        emit ledOutput(startingUp ? I2C_LedControl::LED_MAGENTA : I2C_LedControl::LED_GREEN);
        break;
    case MenuState::Home:
        if (errorActive) {
            setState(MenuState::Error);
            return;
        }
        emit ledOutput(I2C_LedControl::LED_GREEN);
        ui->stackedWidget->setCurrentWidget(ui->HomeScreen);
        break;
    case MenuState::OpenDrawer:
        drawerToggleOpens = true;
        drawerClosedSeen = false;
        drawerMidway = true;
        ui->label_title_drawer_menu->setText("Opening cartridge drawer...");
        showButton(ui->pushButton_close, false);
        showButton(ui->pushButton_drawer_stop, true);
        ui->stackedWidget->setCurrentWidget(ui->OpenScreen);
        emit ledOutput(I2C_LedControl::LED_YELLOW);
        emit drawerMove(1);
        break;
    case MenuState::CloseDrawer:
        ui->stackedWidget->setCurrentWidget(ui->OpenScreen);
        ui->label_title_drawer_menu->setText(drawerToggleOpens ? "Closing cartridge drawer..."
                                                               : "Opening cartridge drawer...");
        if (drawerMidway)
            abortDrawerMove();
        toggleDrawer();
        break;
    case MenuState::StopRunQuestion:
        emit ledOutput(I2C_LedControl::LED_RED);
        ui->stackedWidget->setCurrentWidget(ui->StopScreen);
        break;
    case MenuState::ModeSelection:
        ui->stackedWidget->setCurrentWidget(ui->ModeSelectionScreen);
        break;
    case MenuState::LaneSelection:
        ui->stackedWidget->setCurrentWidget(ui->LaneSelectionScreen);
        ui->label_run_mode->setText("Run mode: " + runMode);
        ui->label_run_mode->setStyleSheet(kRunModeStyle);
        ui->label_noLaneSelected->setText(tr("No channels selected"));
        ui->label_noLaneSelected->setStyleSheet(kNoLaneStyle);
        break;
    case MenuState::RampUp:
        startRun();
        break;
    case MenuState::Running:
        emit ledOutput(I2C_LedControl::LED_BLUE);
        ui->stackedWidget->setCurrentWidget(ui->RunningScreen);
        productionTimer->start(kProductionTickMs);
        emit playAnimation();
        break;
    case MenuState::DropletsReady:
        emit ledOutput(I2C_LedControl::LED_GREEN);
        ui->stackedWidget->setCurrentWidget(ui->DropletsReadyScreen);
        ui->label_dropletReady->setText("Production ID: " + QString::number(productionId));
        finishRun();
        break;
    case MenuState::Pressurizing:
        if (!pumpEnabled)
            emit enablePump();
        if (!initialTestActive) {
            runAfterPressurizing = true;
            showButton(ui->pushButton_vesselPress_back, true);
        } else {
            showButton(ui->pushButton_vesselPress_back, false);
        }
        ui->progressBar_vesselPress->setValue(vesselPercent);
        ui->progressBar_vesselPress->setStyleSheet(progressBlueStyle);
        ui->stackedWidget->setCurrentWidget(ui->vesselPressureScreen);
        pressurizingTimer->start(kPressurizingCheckMs);
        break;
    case MenuState::Settings:
        emit ledOutput(I2C_LedControl::LED_GREEN);
        ui->stackedWidget->setCurrentWidget(ui->SettingsScreen);
        break;
    case MenuState::ServiceMenu:
        ui->stackedWidget->setCurrentWidget(ui->serviceMenu);
        break;
    case MenuState::Error:
        enterErrorMenu();
        break;
    case MenuState::Shutdown:
        enterShutdownMenu();
        break;
    case MenuState::CalibrationStart:
        emit ledOutput(I2C_LedControl::LED_CYAN);
        showCalibrationPage(ui->CalibrationStartScreen, ui->progressBar_CalibrationStartScreen, 1);
        break;
    case MenuState::CalibrationOpen:
        ui->label_CalibrationOpenScreen_title->setText("Opening cartridge drawer...");
        ui->pushButton_CalibrationOpenScreen_stop_open->setText("Stop");
        showCalibrationPage(ui->CalibrationOpenScreen, ui->progressBar_CalibrationOpenScreen, 2);
        drawerToggleOpens = true;
        drawerMidway = true;
        drawerClosedSeen = false;
        emit drawerMove(1);
        break;
    case MenuState::CalibrationInsert:
        ui->label_CalibrationInsertScreen_title->setText("Cartridge drawer opened");
        ui->label_CalibrationInsertScreen_text->setText("Please insert unused cartridge");
        ui->pushButton_CalibrationInsertScreen_ready->setText("Ready");
        showCalibrationPage(ui->CalibrationInsertScreen, ui->progressBar_CalibrationInsertScreen,
                            3);
        break;
    case MenuState::CalibrationCaution:
        ui->label_CalibrationInsertScreen_title->setText("Caution");
        ui->label_CalibrationInsertScreen_text->setText(
                "Do not touch the instrument during calibration!\n\n"
                "Cartridge drawer will close and open several times");
        ui->pushButton_CalibrationInsertScreen_ready->setText("Start");
        showCalibrationPage(ui->CalibrationInsertScreen, ui->progressBar_CalibrationInsertScreen,
                            4);
        prepareCalibration();
        break;
    case MenuState::CalibrationInProgress:
        showCalibrationPage(ui->CalibrationInProgressScreen,
                            ui->progressBar_CalibrationInProgressScreen, calibrationCycle + 5);
        toggleDrawer();
        break;
    case MenuState::CalibrationReady:
        showCalibrationPage(ui->CalibrationReadyScreen, ui->progressBar_CalibrationReadyScreen, 8);
        evaluateCalibration();
        break;
    case MenuState::CalibrationFinished:
        showCalibrationPage(ui->CalibrationFinishedScreen,
                            ui->progressBar_CalibrationFinishedScreen, 9);
        clearCalibrationResult();
        emit drawerUpdateSettings();
        break;
    case MenuState::CalibrationCancel:
        showCalibrationPage(ui->CalibrationCancelScreen, ui->progressBar_CalibrationCancelScreen,
                            8);
        clearCalibrationResult();
        break;
    default:
        qDebug() << "State management: Undefined state";
        break;
    }
}

void MainWindow::showCalibrationPage(QWidget *page, QProgressBar *steps, int step)
{
    steps->setMaximum(kCalibrationSteps);
    steps->setValue(step);
    steps->setStyleSheet(progressStepStyle);
    ui->stackedWidget->setCurrentWidget(page);
}

void MainWindow::setSystemMode(const QString &mode)
{
    // "initialized", "inactive" and "active" are accepted and need nothing.
    if (mode != "idle")
        return;
    emit valveOutput(0);
    stopReading = true;
    emit initEpc();
    setPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    runPressure.clearSetPoints();
    emit setPressure(0, 0, 0);
    emit enablePump();
}

void MainWindow::leavePressurizingScreen()
{
    ui->stackedWidget->setCurrentWidget(ui->LaneSelectionScreen);
    pressurizingTimer->stop();
    pressurizingHistory.clear();
    pumpStopRequested = true;
    runAfterPressurizing = false;
    emit disablePump();
}

void MainWindow::releasePressureQuestion()
{
    askQuestion("This will release the system pressure.", "Do you want to proceed?",
                [this] { checkAndReleasePressure(); });
}

void MainWindow::runPendingDrawerAction()
{
    const int action = std::exchange(pendingDrawerAction, NoDrawerAction);
    if (action == OpenDrawerAction)
        setState(MenuState::OpenDrawer);
    else if (action == CloseDrawerAction)
        setState(MenuState::CloseDrawer);
}

void MainWindow::startConfirmedInitialTest()
{
    switch (initialTestType) {
    case initialtest::CLOSE_RUN_TEST:
    case initialtest::OPEN_RUN_TEST:
    case initialtest::BLOCKED_CARTRIDGE_TEST:
    case initialtest::DRAWER_TEST:
        // Every test starts with the drawer out, to check or place the cartridge.
        setState(MenuState::OpenDrawer);
        break;
    case initialtest::PUMP_TEST:
        // The vent belongs to the test: no way back to the lane selection from its page, and
        // the test's stop (an error, the service menu, the shutdown) ends it.
        showButton(ui->pushButton_vesselPress_back, false);
        ui->stackedWidget->setCurrentWidget(ui->vesselPressureScreen);
        emit stopPumpAutoStart();
        emit pressureRelease();
        // The pump test times the filling of an empty vessel: let the vent finish first.
        pumpTestVentTimer->start(kPumpTestVentMs);
        break;
    default:
        qDebug() << "onPopUpYesPressed(): undefined initial test type";
        break;
    }
}

void MainWindow::resetProductionId()
{
    productionId = 0;
    AppSettings().saveProductionSetting(AppSettings::PRODUCTION_ID, 0);
    platform::sync();
}
