// The window's side of the pressure control: set-points, the read cycle, the run's pre-ramp,
// ramp and target stages, and the supervision of the lines.
#include "app/countdowntext.h"
#include "app/mainwindow.h"
#include "pressure/confighandler.h"
#include "pressure/epccontrol.h"
#include "pressure/pressureramp.h"
#include "records/runmode.h"
#include "service/initialtest.h"

#include "ui_mainwindow.h"

#include <algorithm>
#include <cstdlib>

#include <QDebug>
#include <QTimer>

namespace {

const char *const kPressureSettingsPath = "/usr/share/vemla/resources/pressure_settings.inc";
const char *const kDefaultPressureSettingsPath
        = "/usr/share/vemla/resources/default_pressure_settings.inc";
constexpr int kPreRampCheckMs = 1000;
constexpr int kRampStepMs = 1000;
// The pre-ramp set-points get about this many seconds (one check each) to be reached.
constexpr int kPreRampAttempts = 16;
// At target, a line may be out of range for this many readings in a row.
constexpr int kOutOfRangeReadings = 50;
// During the ramp, reads stop this long after a step so the next step's set-points do not
// queue behind them in the link's thread.
constexpr qint64 kRampReadWindowMs = 900;
constexpr uint8_t kAllValvesOpen = 255;
// Watchdog expiries in a row, with no confirmation from the controllers, after which a run's
// lines count as unregulated: 26 x 500 ms is the time the 51 readings out of range take.
constexpr int kLostConfirmationsBeforeError = 26;
// A ramp bar gains one percent per hundredth of its line's ramp time.
constexpr int kProgressMsPerRampSecond = 10;
constexpr int kFullBar = 100;

QString modePrefix(const QString &mode)
{
    if (mode == runmode::kDpcr)
        return "dpcr_";
    if (mode == runmode::kDmda)
        return "dmda_";
    return {};
}

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
    QProgressBar *bars[3]
            = {ui->progressBar_pressureRamp_line_1, ui->progressBar_pressureRamp_line_2,
               ui->progressBar_pressureRamp_line_3};
    QTimer *timers[3] = {rampProgressTimer1, rampProgressTimer2, rampProgressTimer3};
    for (int line = 0; line < 3; ++line) {
        QProgressBar *bar = bars[line];
        connect(timers[line], &QTimer::timeout, this, [bar] { bar->setValue(bar->value() + 1); });
    }
}

int MainWindow::pressureSetting(const QString &mode, const char *key, int line) const
{
    QString name = modePrefix(mode) + key;
    if (line > 0)
        name = name.arg(line);
    return pressureSettings.value(name.toStdString(), 0);
}

void MainWindow::setPreRampPressure(const QString &mode)
{
    qDebug() << "From:      setPreRampPressure";
    emit valveOutput(kAllValvesOpen);
    emit initEpc();

    pressurePhase = 0;
    std::fill(std::begin(measuredPressure), std::end(measuredPressure), 0);
    std::fill(std::begin(outOfRangeCount), std::end(outOfRangeCount), 0);
    lostConfirmations = 0;
    preRampTime = rampTime = targetTime = 0;
    phaseClock.start();
    runRow.clear();
    storage.clear();
    if (!modePrefix(mode).isEmpty()) {
        for (int line = 0; line < 3; ++line)
            setPoints[line] = pressureSetting(mode, "line_%1_preRamp", line + 1);
    }
    emit setPressure(setPoints[0], setPoints[1], setPoints[2]);
    setPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    preRampTimer->start(kPreRampCheckMs);
    preRampChecks = 0;
}

void MainWindow::checkPreRamp()
{
    int deviation[3];
    bool failed = false;
    for (int line = 0; line < 3; ++line) {
        deviation[line] = std::abs(measuredPressure[line] - setPoints[line]);
        failed = pressureramp::preRampLineFails(measuredPressure[line], setPoints[line]) || failed;
    }
    qDebug().noquote() << QString("Pre-Ramp:  %1    %2    %3    Diff:  %4   %5   %6")
                                  .arg(measuredPressure[0])
                                  .arg(measuredPressure[1])
                                  .arg(measuredPressure[2])
                                  .arg(deviation[0])
                                  .arg(deviation[1])
                                  .arg(deviation[2]);
    if (!failed) {
        preRampTimer->stop();
        pressureRampUp(runMode);
        return;
    }
    if (++preRampChecks >= kPreRampAttempts) {
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
    if (modePrefix(mode).isEmpty())
        return;
    for (int line = 0; line < 3; ++line) {
        rampSteps[line] = pressureSetting(mode, "line_%1_rampUpTime", line + 1);
        rampPressure[line] = pressureSetting(mode, "line_%1_preRamp", line + 1);
    }
    rampTicksLeft = *std::max_element(std::begin(rampSteps), std::end(rampSteps));
    qDebug() << "Ramp ticks:" << rampTicksLeft;
    pressurePhase = 1;
    // The stage starts like a step: the reads of the pre-ramp go on until the first step.
    rampStepClock.start();

    if (rampTicksLeft > 0) {
        (mode == runmode::kDpcr ? dpcrRampTimer : dmdaRampTimer)->start(kRampStepMs);
    } else {
        pressurePhase = 2;
        setPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
        for (int line = 0; line < 3; ++line)
            setPoints[line] = pressureSetting(mode, "line_%1_target", line + 1);
        emit setPressure(setPoints[0], setPoints[1], setPoints[2]);
        prepareRun(mode);
    }
    QTimer *timers[3] = {rampProgressTimer1, rampProgressTimer2, rampProgressTimer3};
    for (int line = 0; line < 3; ++line) {
        if (rampSteps[line] > 0)
            timers[line]->start(rampSteps[line] * kProgressMsPerRampSecond);
    }
}

void MainWindow::rampStep(const QString &mode)
{
    qDebug() << "EpcControl: RAMPING UP";
    if (rampTicksLeft > 0) {
        for (int line = 0; line < 3; ++line) {
            if (rampSteps[line] > 0)
                rampPressure[line] = pressureramp::nextRampPressure(
                        rampPressure[line], pressureSetting(mode, "line_%1_preRamp", line + 1),
                        pressureSetting(mode, "line_%1_target", line + 1), rampSteps[line]);
        }
        qDebug() << "Ramp pressure:" << rampPressure[0] << rampPressure[1] << rampPressure[2];
    }
    qDebug() << "Ramp ticks left:" << rampTicksLeft;
    --rampTicksLeft;
    qDebug() << "Ramp ticks left:" << rampTicksLeft;

    readPressureWatchdog->stop();
    setPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    rampStepClock.start();
    rampSetPending = true;
    std::copy(std::begin(rampPressure), std::end(rampPressure), std::begin(setPoints));
    emit setPressure(setPoints[0], setPoints[1], setPoints[2]);

    if (rampTicksLeft != 0)
        return;
    (mode == runmode::kDpcr ? dpcrRampTimer : dmdaRampTimer)->stop();
    for (QTimer *timer : {rampProgressTimer1, rampProgressTimer2, rampProgressTimer3})
        timer->stop();
    pressurePhase = 2;
    readPressureWatchdog->stop();
    setPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    for (int line = 0; line < 3; ++line)
        setPoints[line] = pressureSetting(mode, "line_%1_target", line + 1);
    emit setPressure(setPoints[0], setPoints[1], setPoints[2]);
    for (QProgressBar *bar :
         {ui->progressBar_pressureRamp_line_1, ui->progressBar_pressureRamp_line_2,
          ui->progressBar_pressureRamp_line_3})
        bar->setValue(kFullBar);
    prepareRun(runMode);
}

void MainWindow::prepareRun(const QString &mode)
{
    if (!modePrefix(mode).isEmpty())
        activeTime = pressureSetting(mode, "active_time");
    remainingSeconds = activeTime;
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
    const bool supervised = (pressurePhase == 1 || pressurePhase == 2) && !stopReading
            && !initialTestActive
            && (state == MenuState::RampUp || state == MenuState::Running
                || state == MenuState::StopRunQuestion);
    if (!supervised || ++lostConfirmations < kLostConfirmationsBeforeError)
        return;
    qDebug() << "Pressure controllers not answering:" << lostConfirmations << "requests lost";
    lostConfirmations = 0;
    emit systemError(ERROR_PRESSURE_REGULATION);
}

void MainWindow::onSetPressureDone()
{
    setPressureWatchdog->stop();
    lostConfirmations = 0;
    if (stopReading)
        return;
    if (pressurePhase == 1) {
        rampSetPending = false;
        if (rampStepClock.elapsed() >= kRampReadWindowMs)
            return;
    } else if (pressurePhase != 0 && pressurePhase != 2) {
        return;
    }
    readPressureWatchdog->start(EpcControl::kConfirmationTimeoutMs);
    emit readPressure(stopReading);
}

void MainWindow::onReadPressureDone()
{
    // The read was confirmed: its watchdog has nothing left to repeat.
    readPressureWatchdog->stop();
    lostConfirmations = 0;
    if (!stopReading)
        storage.addRow(&runRow);
    runRow.clear();
    if (stopReading)
        return;
    if (pressurePhase == 1) {
        if (rampStepClock.elapsed() >= kRampReadWindowMs || rampSetPending)
            return;
    } else if (pressurePhase != 0 && pressurePhase != 2) {
        return;
    }
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
        const uint32_t elapsed
                = phaseClock.isValid() ? static_cast<uint32_t>(phaseClock.restart()) : 0;
        if (!phaseClock.isValid())
            phaseClock.start();
        uint32_t *stageTime = pressurePhase == 0 ? &preRampTime
                : pressurePhase == 1             ? &rampTime
                : pressurePhase == 2             ? &targetTime
                                                 : nullptr;
        if (stageTime) {
            *stageTime += elapsed;
            runRow.push_back(*stageTime);
        }
        runRow.push_back(vesselPressure);
    }
    runRow.push_back(value);
    measuredPressure[line] = value;

    // The lane tests of the service menu judge the lines themselves.
    if (initialTestActive
        && (initialTestType == initialtest::OPEN_RUN_TEST
            || initialTestType == initialtest::BLOCKED_CARTRIDGE_TEST))
        return;
    if (pressurePhase != 2 || !pressureramp::isSupervised(setPoints[line]))
        return;
    if (pressureramp::outOfRange(value, setPoints[line]))
        ++outOfRangeCount[line];
    else
        outOfRangeCount[line] = 0;
    if (outOfRangeCount[line] > kOutOfRangeReadings) {
        qDebug() << QString("Pressure line %1 out of range:").arg(line + 1).toLatin1().constData()
                 << value << "mbar (set:" << setPoints[line] << "mbar)";
        std::fill(std::begin(outOfRangeCount), std::end(outOfRangeCount), 0);
        emit systemError(ERROR_PRESSURE_REGULATION);
    }
}
