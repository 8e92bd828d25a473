// The window's side of the pressure control: set-points, the read cycle, the run's pre-ramp,
// ramp and target stages, and the supervision of the lines.
#include "app/countdowntext.h"
#include "app/mainwindow.h"
#include "pressure/confighandler.h"
#include "pressure/epccontrol.h"
#include "pressure/pressuresettingkeys.h"
#include "pressure/runpressure.h"
#include "records/runmode.h"
#include "service/initialtest.h"

#include "ui_mainwindow.h"

#include <algorithm>
#include <optional>

#include <QDebug>
#include <QTimer>

namespace {

const char *const kPressureSettingsPath = "/usr/share/vemla/resources/pressure_settings.inc";
const char *const kDefaultPressureSettingsPath
        = "/usr/share/vemla/resources/default_pressure_settings.inc";
constexpr int kPreRampCheckMs = 1000;
constexpr int kRampStepMs = 1000;
constexpr uint8_t kAllValvesOpen = 255;
// A ramp bar gains one percent per hundredth of its line's ramp time.
constexpr int kProgressMsPerRampSecond = 10;
constexpr int kFullBar = 100;

} // namespace

void MainWindow::loadPressureSettings()
{
    if (!configHandler)
        configHandler = new ConfigHandler(this);
    pressureSettings = configHandler->readSettings(kPressureSettingsPath);
}

// The service menu's initial tests run on the default settings until it is left (or an error
// ends the test).
void MainWindow::loadDefaultPressureSettings()
{
    pressureSettings = configHandler->readSettings(kDefaultPressureSettingsPath);
    defaultPressureActive = true;
    qDebug() << "Settings:  Default";
}

void MainWindow::restoreActualPressureSettings()
{
    if (!defaultPressureActive)
        return;
    loadPressureSettings();
    defaultPressureActive = false;
    qDebug() << "Settings:  Actual";
}

void MainWindow::setUpPressureTimers()
{
    // The watchdogs repeat a lost request for as long as it takes; the run must not go on
    // unsupervised meanwhile.
    for (QTimer *watchdog : {setPressureWatchdog, readPressureWatchdog})
        connect(watchdog, &QTimer::timeout, this, [this] { onConfirmationLost(); });
    connect(dpcrRampTimer, &QTimer::timeout, this, [this] { rampStep(runmode::kDpcr); });
    connect(dmdaRampTimer, &QTimer::timeout, this, [this] { rampStep(runmode::kDmda); });
    connect(preRampTimer, &QTimer::timeout, this, &MainWindow::checkPreRamp);
    // The one clock the run's pressure stages are timed by.
    pressureClock.start();
    QProgressBar *bars[3]
            = {ui->progressBar_pressureRamp_line_1, ui->progressBar_pressureRamp_line_2,
               ui->progressBar_pressureRamp_line_3};
    QTimer *timers[3] = {rampProgressTimer1, rampProgressTimer2, rampProgressTimer3};
    for (int line = 0; line < 3; ++line) {
        QProgressBar *bar = bars[line];
        connect(timers[line], &QTimer::timeout, this, [bar] { bar->setValue(bar->value() + 1); });
    }
}

void MainWindow::sendSetPoints(const RunPressure::SetPoints &setPoints)
{
    emit setPressure(setPoints[0], setPoints[1], setPoints[2]);
}

void MainWindow::setPreRampPressure(const QString &mode)
{
    qDebug() << "From:      setPreRampPressure";
    emit valveOutput(kAllValvesOpen);
    emit initEpc();

    runRow.clear();
    storage.clear();
    const std::optional<pressuresettingkeys::Mode> settingsMode
            = pressuresettingkeys::modeNamed(mode);
    sendSetPoints(runPressure.startPreRamp(
            settingsMode ? RunPressure::linesOf(pressureSettings, *settingsMode)
                         : RunPressure::Lines {},
            pressureClock.elapsed()));
    setPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    preRampTimer->start(kPreRampCheckMs);
}

void MainWindow::checkPreRamp()
{
    const RunPressure::PreRampVerdict verdict = runPressure.checkPreRamp();
    qDebug().noquote() << QString("Pre-Ramp:  %1    %2    %3    Diff:  %4   %5   %6")
                                  .arg(runPressure.measured(0))
                                  .arg(runPressure.measured(1))
                                  .arg(runPressure.measured(2))
                                  .arg(runPressure.deviation(0))
                                  .arg(runPressure.deviation(1))
                                  .arg(runPressure.deviation(2));
    if (verdict == RunPressure::PreRampVerdict::Reached) {
        preRampTimer->stop();
        pressureRampUp(runMode);
    } else if (verdict == RunPressure::PreRampVerdict::Failed) {
        preRampTimer->stop();
        emit systemError(ERROR_PRESSURE_REGULATION);
    }
}

void MainWindow::pressureRampUp(const QString &mode)
{
    if (initialTestActive) {
        qDebug() << testLaneMask;
        emit valveOutput(testLaneMask);
    } else {
        emit valveOutput(laneMask());
    }
    ui->stackedWidget->setCurrentWidget(ui->PressureRampScreen);
    qDebug() << "From:      pressureRampUp";
    const std::optional<pressuresettingkeys::Mode> settingsMode
            = pressuresettingkeys::modeNamed(mode);
    if (!settingsMode)
        return;
    const RunPressure::Lines lines = RunPressure::linesOf(pressureSettings, *settingsMode);
    const int steps = runPressure.startRamp(lines, pressureClock.elapsed());
    qDebug() << "Ramp ticks:" << steps;

    if (steps > 0)
        (mode == runmode::kDpcr ? dpcrRampTimer : dmdaRampTimer)->start(kRampStepMs);
    else
        enterTarget(mode);
    QTimer *timers[3] = {rampProgressTimer1, rampProgressTimer2, rampProgressTimer3};
    for (int line = 0; line < 3; ++line) {
        if (lines[line].rampUpSeconds > 0)
            timers[line]->start(lines[line].rampUpSeconds * kProgressMsPerRampSecond);
    }
}

void MainWindow::rampStep(const QString &mode)
{
    qDebug() << "EpcControl: RAMPING UP";
    const int stepsBefore = runPressure.stepsLeft();
    const RunPressure::SetPoints &step = runPressure.rampStep(pressureClock.elapsed());
    if (stepsBefore > 0)
        qDebug() << "Ramp pressure:" << step[0] << step[1] << step[2];
    qDebug() << "Ramp ticks left:" << stepsBefore;
    qDebug() << "Ramp ticks left:" << runPressure.stepsLeft();
    readPressureWatchdog->stop();
    setPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    sendSetPoints(step);

    if (runPressure.stepsLeft() != 0)
        return;
    (mode == runmode::kDpcr ? dpcrRampTimer : dmdaRampTimer)->stop();
    for (QTimer *timer : {rampProgressTimer1, rampProgressTimer2, rampProgressTimer3})
        timer->stop();
    readPressureWatchdog->stop();
    enterTarget(runMode);
    for (QProgressBar *bar :
         {ui->progressBar_pressureRamp_line_1, ui->progressBar_pressureRamp_line_2,
          ui->progressBar_pressureRamp_line_3})
        bar->setValue(kFullBar);
}

void MainWindow::enterTarget(const QString &mode)
{
    setPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    sendSetPoints(runPressure.enterTarget());
    prepareRun(mode);
}

void MainWindow::prepareRun(const QString &mode)
{
    const std::optional<pressuresettingkeys::Mode> settingsMode
            = pressuresettingkeys::modeNamed(mode);
    remainingSeconds
            = settingsMode ? RunPressure::activeSecondsOf(pressureSettings, *settingsMode) : 0;
    if (initialTestActive) {
        ui->label_run_id_value->setText(QString("%1 (%2)")
                                                .arg(productionId)
                                                .arg(initialtest::displayName(initialTestType)));
        testStartVesselPressure = vesselPressure;
        // The countdown shows what is left of the lane run, which the test's timer ends.
        remainingSeconds = std::max((testTimer->remainingTime() + 999) / 1000, 0);
    } else {
        ui->label_run_id_value->setText(QString::number(productionId));
    }
    ui->label_time_remaining_value->setText(remainingTimeText(remainingSeconds));
    setState(MenuState::Running);
}

// A controller that no longer answers (or answers what the link rejects) leaves its line
// unregulated as far as the instrument can tell, while no reading comes that could be out of
// range: during the ramp and at target that ends the run like a line out of range.
void MainWindow::onConfirmationLost()
{
    const bool runSupervised = !stopReading && !initialTestActive
            && (state == MenuState::RampUp || state == MenuState::Running
                || state == MenuState::StopRunQuestion);
    if (!runPressure.confirmationLost(runSupervised))
        return;
    qDebug() << "Pressure controllers not answering:" << RunPressure::kLostConfirmationsBeforeError
             << "requests lost";
    emit systemError(ERROR_PRESSURE_REGULATION);
}

void MainWindow::onSetPressureDone()
{
    setPressureWatchdog->stop();
    const bool readOn = runPressure.setConfirmed(pressureClock.elapsed());
    if (stopReading || !readOn)
        return;
    readPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    emit readPressure(stopReading);
}

void MainWindow::onReadPressureDone()
{
    // The read was confirmed: its watchdog has nothing left to repeat.
    readPressureWatchdog->stop();
    const bool readOn = runPressure.readConfirmed(pressureClock.elapsed());
    if (!stopReading)
        storage.addRow(&runRow);
    runRow.clear();
    if (stopReading || !readOn)
        return;
    readPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    emit readPressure(stopReading);
}

void MainWindow::channel_1_value(uint16_t value)
{
    onLineValue(0, value);
}

void MainWindow::channel_2_value(uint16_t value)
{
    onLineValue(1, value);
}

void MainWindow::channel_3_value(uint16_t value)
{
    onLineValue(2, value);
}

void MainWindow::onLineValue(int line, uint16_t value)
{
    if (line == 0) {
        // A row opens with the time into the current stage and the vessel pressure.
        runRow.push_back(runPressure.stageTimeAt(pressureClock.elapsed()));
        runRow.push_back(vesselPressure);
    }
    runRow.push_back(value);
    // The lane tests of the service menu judge the lines themselves.
    const bool judged = !(initialTestActive
                          && (initialTestType == initialtest::OPEN_RUN_TEST
                              || initialTestType == initialtest::BLOCKED_CARTRIDGE_TEST));
    if (!runPressure.lineReading(line, value, judged))
        return;
    qDebug() << QString("Pressure line %1 out of range:").arg(line + 1).toLatin1().constData()
             << value << "mbar (set:" << runPressure.currentSetPoints()[line] << "mbar)";
    emit systemError(ERROR_PRESSURE_REGULATION);
}
