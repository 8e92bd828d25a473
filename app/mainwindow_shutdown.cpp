// The power button's shutdown: end what runs, release the pressure, power off.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "hw/buttonhandler.h"
#include "platform/commands.h"
#include "platform/platform.h"
#include "records/appsettings.h"
#include "records/systemlog.h"

#include <QDebug>
#include <QTimer>

namespace {
constexpr int kShutdownTickMs = 1000;
// Time the pump thread needs to report that the pump is off before the valve opens.
constexpr int kPumpStopMs = 100;
constexpr int kPoweroffDelayMs = 100;
// Vessel readings outside (0, 10000) mbar mean there is nothing to release.
constexpr uint16_t kNoPressureLimitMbar = 10000;
// Countdown ticks: five seconds of warning and release, then two to power off.
constexpr int kCountdownWithRelease = 7;
constexpr int kCountdownWithoutRelease = 2;
constexpr int kReleaseTick = 2;
} // namespace

void MainWindow::onPowerButtonPressed()
{
    if (state == MenuState::InitialPressurizing || state == MenuState::Pressurizing)
        pressurizingTimer->stop();
    // A started run ends with its log whatever page it shows: its ramp-up and running pages and
    // also its stop question, behind which it goes on.
    if (runInProgress) {
        for (QTimer *timer :
             {preRampTimer, dmdaRampTimer, dpcrRampTimer, rampProgressTimer1, rampProgressTimer2,
              rampProgressTimer3, setPressureWatchdog, readPressureWatchdog})
            timer->stop();
        finishRun();
    }
    setState(MenuState::Shutdown);
}

void MainWindow::enterShutdownMenu()
{
    emit ledOutput(I2C_LedControl::LED_MAGENTA);
    ui->statusBar->setEnabled(false);
    ui->statusBar->hide();
    ui->stackedWidget->setCurrentWidget(ui->shutDown_Screen);
    hideOverlays();
    // A test's timers would bring its pages and messages back over the shutdown page.
    stopInitialTest();
    emit stopPumpAutoStart();
    if (pumpEnabled)
        emit disablePump();
    shutdownTimer->start(kShutdownTickMs);
    if (vesselPressure == 0 || vesselPressure >= kNoPressureLimitMbar) {
        shutdownCountdown = kCountdownWithoutRelease;
        QTimer::singleShot(kPumpStopMs, this,
                           [this] { ui->label_shutDown->setText("Shutting down..."); });
    } else {
        shutdownCountdown = kCountdownWithRelease;
        ui->label_shutDown->setText("Releasing pressure in " + QString::number(5) + " seconds");
    }
}

void MainWindow::shutdownStep()
{
    if (shutdownCountdown > 0)
        --shutdownCountdown;
    qDebug() << "***********Release Pressure****************";
    const int c = shutdownCountdown;
    if (c >= 4) {
        ui->label_shutDown->setText("Releasing pressure in " + QString::number(c - kReleaseTick)
                                    + " seconds");
    } else if (c == 3) {
        ui->label_shutDown->setText("Releasing pressure in " + QString::number(1) + " second");
    } else if (c == kReleaseTick) {
        checkAndReleasePressure();
        ui->label_shutDown->setText("Shutting down...");
    } else if (c == 0) {
        shutdownTimer->stop();
        ui->stackedWidget->setCurrentWidget(ui->shutDown_Screen);
        ui->label_shutDown->setText("Shutting down...");
        ui->label_shutDown->setEnabled(false);
        saveCurrentBootJournal();
        // Whatever the disk thread still holds (the run log of a run the shutdown ended) is
        // written before the last sync.
        diskQueue.drain();
        platform::syncAndUnmount(platform::path("/media/sda1"));
        qDebug() << "Powering Off";
        QTimer::singleShot(kPoweroffDelayMs, this, [] { platform::run("poweroff"); });
    }
    qDebug() << c;
}

void MainWindow::checkAndReleasePressure()
{
    emit stopPumpAutoStart();
    if (!pumpEnabled) {
        emit pressureRelease();
        return;
    }
    emit disablePump();
    // Venting against a running pump would only fill the vessel again.
    QTimer::singleShot(kPumpStopMs, this, [this] {
        if (!pumpEnabled)
            emit pressureRelease();
    });
}

void MainWindow::connectPowerButton()
{
    // Stays in the GUI thread: it only polls a sysfs file once a second.
    buttonHandler = new ButtonHandler;
    connect(buttonHandler, &ButtonHandler::powerButtonPressed, this,
            [this] { onPowerButtonPressed(); });
}

void MainWindow::saveCurrentBootJournal()
{
    if (saveSystemLog(systemlog::kCurrentBoot)) {
        qDebug("Writing system log from current boot: Successful");
        AppSettings settings;
        settings.saveSystemSetting(AppSettings::SYSTEM_LOG, 1);
    } else {
        qDebug("Writing system log from current boot: Failed");
    }
}
