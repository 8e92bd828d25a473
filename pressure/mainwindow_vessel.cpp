// The vessel pressure reported by the pump and the check that pressurizing makes progress.
#include "app/mainwindow.h"

#include "pressure/vesselpressure.h"
#include "service/initialtest.h"
#include "ui_mainwindow.h"

#include <QLabel>
#include <QTimer>

namespace {
// The pump reports every 500 ms; the display and the decisions take one report in three.
constexpr uint8_t kReportsPerUpdate = 3;
// From here on the bar turns green: the vessel is nearly full.
constexpr int kNearlyFullPercent = 90;
constexpr int kFullPercent = 100;
} // namespace

void MainWindow::updateCurrentPressure(uint16_t pressureVal, int pressureMax)
{
    vesselPressureMax = pressureMax;
    if (++vesselReportCount < kReportsPerUpdate)
        return;
    vesselReportCount = 0;
    if (pressureVal > vesselpressure::kLargestValidMbar) {
        // Not a pressure the sensor can give: counted as an empty vessel, the percentage too,
        // so the bar and the leakage check do not go on with a stale value.
        vesselPressure = 0;
        vesselPercent = 0;
    } else {
        vesselPressure = pressureVal;
        vesselPercent = vesselpressure::percentOf(pressureVal);
    }
    pressureValueLabel->setText(displayPressure ? QString("%1 %").arg(vesselPercent) : QString());
}

void MainWindow::checkPressurizing()
{
    ui->progressBar_vesselPress->setValue(vesselPercent);
    ui->progressBar_vesselPress->setStyleSheet(
            vesselPercent < kNearlyFullPercent ? progressBlueStyle : progressGreenStyle);
    if (vesselpressure::appendAndDetectLeak(&pressurizingHistory, vesselPercent)) {
        // No rise over the kept history: the leak wins even if the switch closed meanwhile.
        pressurizingTimer->stop();
        pressurizingHistory.clear();
        emit systemError(ERROR_PRESSURE_LEAKAGE);
        return;
    }
    if (vesselPressureMax != 1)
        return;

    ui->progressBar_vesselPress->setValue(kFullPercent);
    pressurizingTimer->stop();
    pressurizingHistory.clear();
    if (pendingDrawerAction != NoDrawerAction) {
        // The OK of this message carries out the drawer move that was waiting.
        showMessage("Pressurizing system completed", "", [this] { runPendingDrawerAction(); });
    } else if (runAfterPressurizing) {
        setState(MenuState::RampUp);
    } else if (!initialTestActive) {
        emit stopPumpAutoStart();
        setState(MenuState::Home);
    } else if (initialTestType == initialtest::PUMP_TEST) {
        testResults();
    } else {
        startLaneTest();
    }
}
