// Raised errors: the error screen, the pending-error flag and its reload after a restart.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "platform/commands.h"
#include "records/appsettings.h"
#include "service/initialtest.h"
#include "softwareversion.h"
#include "ui/errorpopup.h"

#include <QDebug>
#include <QTimer>

namespace {
constexpr int kBlockingClass = 2;
// Field of an error-log record that holds the code ("time|last menu|code|...").
constexpr int kRecordCodeField = 2;
constexpr uint16_t kVesselRecommendedMbar = 3000;
// Records the error list pop-up shows.
constexpr int kErrorListLength = 8;

} // namespace

void MainWindow::handleSystemError(ErrorCode err)
{
    if (shuttingDown())
        return;
    // An obstacle met while the calibration drives the drawer spoils the calibration.
    if (err == ERROR_DRAWER_OBSTACLE && state == MenuState::CalibrationInProgress)
        err = ERROR_DRAWER_CALIBRATION;
    if (err == ERROR_PREVIOUS) {
        // Raised only at start-up, to show the pending error again.
        reloadPendingError();
        return;
    }
    ErrorLogEntry entry;
    if (logError(err, entry) != kBlockingClass)
        return;
    restoreActualPressureSettings();
    showErrorOnScreen(err);
    // After the record, in the disk thread; the error screen and its safe state do not wait.
    diskQueue.write([] {
        AppSettings().saveSystemSetting(AppSettings::SYSTEM_ERROR, 1);
        platform::sync();
    });
    setState(MenuState::Error);
}

int MainWindow::logError(int code, ErrorLogEntry &entry)
{
    entry.lastMenu = state;
    entry.errorCode = code;
    entry.software = kSoftwareVersion;
    entry.runId = static_cast<uint16_t>(
            productionId != 0 ? productionId
                              : AppSettings().loadProductionSetting(AppSettings::PRODUCTION_ID));
    entry.runLog = runLogPath.empty() ? "<NOT FOUND>" : runLogPath;
    entry.vesselPressure = vesselPressure;
    for (int line = 0; line < 3; ++line)
        entry.linePressure[line] = runPressure.measured(line);
    // Appended and synced in the disk thread, with the lanes as they are now: a copy of its
    // own, not one sharing the window's map, which the power button's end of a run clears
    // while the record is being written.
    QMap<QString, bool> lanes = laneSelection;
    lanes.detach();
    diskQueue.write([this, entry, path = errorLogPath, lanes = std::move(lanes)]() mutable {
        entry.activeLanes = &lanes;
        writer.writeErrorLog(path, entry);
    });
    return errorClass(code);
}

void MainWindow::reloadPendingError()
{
    std::vector<std::string> records;
    const bool read = writer.readLatestErrors(errorLogPath, &records, 1) == 0;
    bool ok = false;
    int code = records.empty()
            ? 0
            : QString::fromStdString(records.front()).split('|').value(kRecordCodeField).toInt(&ok);
    if (!read || !ok || errorClass(code) != kBlockingClass) {
        // The flag says a blocking error was never acknowledged (a stuck drawer, a leaking
        // vessel); only its record is lost (a cleared or damaged logs volume). It stays
        // pending under the table's own code for that, until the operator acknowledges it.
        qDebug() << "Error: Unable to load previous uncleared error";
        code = ERROR_PREVIOUS;
    } else {
        qDebug() << "Error: Uncleared error retriggered";
    }
    showErrorOnScreen(code);
    setState(MenuState::Error);
}

void MainWindow::showErrorOnScreen(int code)
{
    ui->label_err_description_input->setText(errorDescription(code));
    ui->label_err_code_input->setText(QString::number(code));
    ui->label_err_reference_input->setText(QString::fromStdString(errorLogPath));
    updateErrorButtons(code);
}

void MainWindow::updateErrorButtons(int code)
{
    switch (code) {
    case ERROR_DRAWER_STUCK_INSIDE:
    case ERROR_DRAWER_CALIBRATION:
    case ERROR_PRESSURE_LEAKAGE:
        showButton(ui->button_err_open, true);
        showButton(ui->button_err_close, false);
        break;
    case ERROR_INSUFFICIENT_PRESSURE:
    case ERROR_PRESSURE_REGULATION:
        // These end a run: its log is written before the screen changes.
        finishRun();
        showButton(ui->button_err_open, true);
        showButton(ui->button_err_close, false);
        break;
    case ERROR_DRAWER_STUCK_OUTSIDE:
        showButton(ui->button_err_open, false);
        showButton(ui->button_err_close, true);
        break;
    case ERROR_UNEXPECTED_SHUTDOWN: {
        // Offer the move that brings the drawer to a known end position.
        const uint16_t position = AppSettings().loadDrawerSetting(AppSettings::DRAWER_STATE);
        if (position == 1) {
            showButton(ui->button_err_open, true);
            showButton(ui->button_err_close, false);
        } else if (position == 2) {
            showButton(ui->button_err_open, false);
            showButton(ui->button_err_close, true);
        }
        break;
    }
    default:
        showButton(ui->button_err_open, true);
        showButton(ui->button_err_close, true);
        break;
    }
}

void MainWindow::enterErrorMenu()
{
    errorActive = true;
    pendingDrawerAction = NoDrawerAction;
    // A question still on screen belongs to what the error interrupted: it is dropped with
    // its pop-up, so that no later answer is taken for it.
    closePopUp();
    emit ledOutput(I2C_LedControl::LED_RED);
    ui->stackedWidget->setCurrentWidget(ui->errorScreen);
    if (pumpEnabled)
        emit disablePump();
    emit stopPumpAutoStart();
    std::vector<std::string> recent;
    if (writer.readLatestErrors(errorLogPath, &recent, kErrorListLength) == 0)
        errorPopUp->setErrors(recent);
    if (pressurizingTimer->isActive()) {
        pressurizingTimer->stop();
        pressurizingHistory.clear();
    }
    if (initialTestActive) {
        if (initialTestType == initialtest::DRAWER_TEST)
            ui->pushButton_drawer_test->setStyleSheet(rectRedStyle);
        stopInitialTest();
    }
    // The error screen leaves the service menu: later runs go back to the operator's settings.
    restoreActualPressureSettings();
}

void MainWindow::onErrorDrawerButton(int drawerAction)
{
    diskQueue.write([] {
        AppSettings().saveSystemSetting(AppSettings::SYSTEM_ERROR, 0);
        platform::sync();
    });
    errorActive = false;
    if (vesselPressure < kVesselRecommendedMbar) {
        // Yes: pressurize, and move the drawer on the OK of the full vessel; No: move now.
        askQuestion(
                "It is recommended to pressurize the system first.", "Do you want to proceed?",
                [this, drawerAction] {
                    pendingDrawerAction = drawerAction;
                    setState(MenuState::InitialPressurizing);
                },
                [this, drawerAction] {
                    setState(drawerAction == OpenDrawerAction ? MenuState::OpenDrawer
                                                              : MenuState::CloseDrawer);
                });
    } else {
        setState(drawerAction == OpenDrawerAction ? MenuState::OpenDrawer : MenuState::CloseDrawer);
    }
}

void MainWindow::setUpErrorScreen()
{
    connectButton(ui->button_err_open, [this] { onErrorDrawerButton(OpenDrawerAction); });
    connectButton(ui->button_err_close, [this] { onErrorDrawerButton(CloseDrawerAction); });
    connectButton(ui->button_err_settings, [this] { enterSettings(); });
}
