// The droplet production run: mode and lane selection, start, countdown, stop and finish.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "countdowntext.h"
#include "records/runcounters.h"
#include "records/runmode.h"
#include "windowstyles.h"

#include <algorithm>

#include <QDateTime>
#include <QDebug>
#include <QTimer>

namespace {
constexpr int kLaneCount = 8;
// Below this vessel pressure a run would lose its lines during the ramp: pressurize first.
constexpr uint16_t kRunMinimumVesselMbar = 3000;
// Below half of a full vessel the lines can no longer be held during the active time.
constexpr int kRunMinimumVesselPercent = 50;

const char *const kNoLaneStyle
        = "font-size: 28pt; color: rgb(255,255,255); background-color:rgba(0,0,0,0);";

QString laneKey(int lane)
{
    return QString("lane_%1").arg(lane);
}

} // namespace

void MainWindow::selectRunMode(const QString &mode)
{
    runMode = mode;
    setState(MenuState::LaneSelection);
}

void MainWindow::toggleLane(int lane)
{
    const QList<QPushButton *> buttons
            = {ui->pushButton_lane_1, ui->pushButton_lane_2, ui->pushButton_lane_3,
               ui->pushButton_lane_4, ui->pushButton_lane_5, ui->pushButton_lane_6,
               ui->pushButton_lane_7, ui->pushButton_lane_8};
    if (lane >= 1 && lane <= kLaneCount) {
        const bool selected = !laneSelection.value(laneKey(lane));
        laneSelection[laneKey(lane)] = selected;
        buttons[lane - 1]->setStyleSheet(selected ? windowstyles::laneSelected()
                                                  : windowstyles::laneUnselected());
    } else if (lane == 0) {
        for (int i = 1; i <= kLaneCount; ++i) {
            laneSelection[laneKey(i)] = false;
            buttons[i - 1]->setStyleSheet(windowstyles::laneUnselected());
        }
    }
    const bool anySelected = laneSelection.values().contains(true);
    ui->label_noLaneSelected->setText(anySelected ? " " : tr("No channels selected"));
    ui->label_noLaneSelected->setStyleSheet(kNoLaneStyle);
}

uint8_t MainWindow::laneMask()
{
    // Lane 8 first: the text reads as the binary number of the valve expander's port, where a
    // 0 opens the lane.
    QString bits;
    for (int lane = kLaneCount; lane >= 1; --lane)
        bits += laneSelection.value(laneKey(lane)) ? '0' : '1';
    qDebug().noquote() << bits;
    const auto mask = static_cast<uint8_t>(bits.toUInt(nullptr, 2) & 0xFF);
    qDebug() << mask;
    return mask;
}

void MainWindow::startRunOrPressurize()
{
    if (vesselPressure < kRunMinimumVesselMbar)
        setState(MenuState::Pressurizing);
    else
        setState(MenuState::RampUp);
}

void MainWindow::startRun()
{
    // The previous run's log is written: the rows are the GUI thread's again.
    diskQueue.drain();
    runAfterPressurizing = false;
    emit ledOutput(I2C_LedControl::LED_BLUE);
    pumpStopRequested = false;
    emit startPumpAutoStart();
    ui->stackedWidget->setCurrentWidget(ui->PreRampScreen);

    // The run has its ID from this moment: an error or the power button before its counters
    // reach the medium is recorded against it, and its log is written. (The stored ID lags
    // behind a start whose count is on its way; it is ahead of ours after a restore.)
    runInProgress = true;
    productionId = RunCounters::nextProductionId(productionId);
    const QDateTime now = QDateTime::currentDateTime();
    if (initialTestActive)
        setTestRunLogPath(now);
    else
        runLogPath = "/usr/share/vemla/logs/production/" + std::to_string(productionId) + "_"
                + now.toString("yyyyMMdd").toStdString() + "_"
                + now.toString("hhmmss").toStdString() + ".log";
    writer.setTemperature(currentTemperature, false);

    // The counters are on the medium before the first set-point: the rest of the start waits
    // for their answer, off the GUI thread, with the pre-ramp page up.
    ++runCountsPending;
    runCounters->requestCount(productionId, runMode);
}

void MainWindow::continueRunStart()
{
    // A run ended by an error or the power button while it was being counted sends no
    // pressure; a start asked for again waits for its own count.
    if (--runCountsPending > 0 || state != MenuState::RampUp)
        return;

    qDebug().noquote() << runMode;
    for (QProgressBar *bar :
         {ui->progressBar_pressureRamp_line_1, ui->progressBar_pressureRamp_line_2,
          ui->progressBar_pressureRamp_line_3}) {
        bar->setStyleSheet(progressBlueStyle);
        bar->setValue(0);
    }
    stopReading = false;
    setPreRampPressure(runMode);
}

void MainWindow::dropletProduction()
{
    // An active time of 0 (or a settings file without one) starts the countdown at 0: it
    // ends at the first tick instead of counting below zero for ever.
    remainingSeconds = std::max(remainingSeconds - 1, 0);
    ui->label_time_remaining_value->setText(remainingTimeText(remainingSeconds));
    // A lane run of the initial tests is ended by the test's own timer, not by the countdown.
    if (remainingSeconds == 0 && !initialTestActive) {
        productionTimer->stop();
        setState(MenuState::DropletsReady);
    } else if (vesselPercent < kRunMinimumVesselPercent) {
        // Raised every second until the error screen has taken over and finished the run.
        emit systemError(ERROR_INSUFFICIENT_PRESSURE);
    }
}

void MainWindow::askStopRun(const QString &stage)
{
    runStage = stage;
    setState(MenuState::StopRunQuestion);
}

void MainWindow::onStopRunNo()
{
    // The run went on behind the question, which stays the state until the run moves on itself.
    emit ledOutput(I2C_LedControl::LED_BLUE);
    if (runStage == "PressureRampUp")
        ui->stackedWidget->setCurrentWidget(ui->PressureRampScreen);
    else if (runStage == "Running")
        ui->stackedWidget->setCurrentWidget(ui->RunningScreen);
}

void MainWindow::onStopRunYes()
{
    if (initialTestActive) {
        // A stopped test has no result: back to the test buttons, no marks, no file.
        setState(MenuState::ServiceMenu);
        clearTestResults();
        emit ledOutput(I2C_LedControl::LED_GREEN);
    } else {
        setState(MenuState::Home);
    }
    if (runStage == "Running") {
        productionTimer->stop();
    } else if (runStage == "PressureRampUp") {
        if (runMode == runmode::kDmda)
            dmdaRampTimer->stop();
        else if (runMode == runmode::kDpcr)
            dpcrRampTimer->stop();
    }
    finishRun();
}

void MainWindow::finishRun()
{
    runInProgress = false;
    productionTimer->stop();
    if (pumpEnabled) {
        pumpStopRequested = true;
        emit disablePump();
    } else {
        emit stopPumpAutoStart();
    }
    emit stopAnimation();
    runPressure.clearSetPoints();
    emit setPressure(0, 0, 0);
    toggleLane(0);
    emit valveOutput(0);
    stopReading = true;
    emit readPressure(true);
    readPressureWatchdog->stop();
    writer.setTemperature(currentTemperature, true);
    // A pending error 6 or 8 reloaded at start-up finishes a run that this boot never began.
    if (!runLogPath.empty()) {
        qDebug() << "Creating log file";
        // Written and synced in the disk thread: the rows and the writer are its own until
        // then (the next run's start waits for it).
        diskQueue.write([this, path = runLogPath] {
            writer.createLogFile(path, storage);
            storage.clear();
        });
    } else {
        storage.clear();
    }
}

void MainWindow::setUpModeAndLaneButtons()
{
    connectButton(ui->pushButton_dpcr, [this] { selectRunMode(runmode::kDpcr); });
    connectButton(ui->pushButton_dmda, [this] { selectRunMode(runmode::kDmda); });
    connectButton(ui->pushButton_mode_back, [this] { setState(MenuState::Home); });
    connectButton(ui->pushButton_lane_back, [this] {
        toggleLane(0);
        ui->stackedWidget->setCurrentWidget(ui->ModeSelectionScreen);
    });
    const QList<QPushButton *> lanes
            = {ui->pushButton_lane_1, ui->pushButton_lane_2, ui->pushButton_lane_3,
               ui->pushButton_lane_4, ui->pushButton_lane_5, ui->pushButton_lane_6,
               ui->pushButton_lane_7, ui->pushButton_lane_8};
    for (int lane = 1; lane <= kLaneCount; ++lane)
        connectButton(lanes[lane - 1], [this, lane] { toggleLane(lane); });
}

void MainWindow::setUpRunStartButtons()
{
    connectButton(ui->pushButton_run, [this] { startRunOrPressurize(); });
    connectButton(ui->pushButton_vesselPress_back, [this] { leavePressurizingScreen(); });
}

void MainWindow::setUpRunEndButtons()
{
    connectButton(ui->pushButton_pressureramp_stop, [this] { askStopRun("PressureRampUp"); });
    connectButton(ui->pushButton_running_stop, [this] { askStopRun("Running"); });
    connectButton(ui->pushButton_running_stop_yes, [this] { onStopRunYes(); });
    connectButton(ui->pushButton_running_stop_no, [this] { onStopRunNo(); });
    connectButton(ui->pushButton_dropletsReady_finish, [this] { setState(MenuState::Home); });
}
