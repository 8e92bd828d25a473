// The guided drawer calibration: its pages and buttons, the measured closings, the evaluation
// and the save; and the drawer rows of the service menu with their save.
#include "app/mainwindow.h"
#include "hw/drawer.h"
#include "platform/commands.h"
#include "platform/platform.h"
#include "records/appsettings.h"
#include "service/calibrationmath.h"

#include "ui_mainwindow.h"

#include <QDebug>
#include <QDir>

namespace {
const char *const kDrawerLogDirectory = "/usr/share/vemla/logs/drawer";
} // namespace

void MainWindow::setUpCalibration()
{
    connectButton(ui->pushButton_CalibrationStartScreen_open,
                  [this] { setState(MenuState::CalibrationOpen); });
    connectButton(ui->pushButton_CalibrationStartScreen_cancel,
                  [this] { setState(MenuState::Home); });
    connectButton(ui->pushButton_CalibrationOpenScreen_stop_open, [this] {
        if (!drawerToggleOpens) {
            setState(MenuState::CalibrationOpen);
            return;
        }
        abortDrawerMove();
        ui->label_CalibrationOpenScreen_title->setText("Please open cartridge drawer");
        ui->pushButton_CalibrationOpenScreen_stop_open->setText("Open");
        drawerToggleOpens = false;
        drawerMidway = true;
    });
    connectButton(ui->pushButton_CalibrationInsertScreen_ready, [this] {
        setState(state == MenuState::CalibrationInsert ? MenuState::CalibrationCaution
                                                       : MenuState::CalibrationInProgress);
    });
    connectButton(ui->pushButton_CalibrationReadyScreen_save, [this] { saveCalibration(); });
    connectButton(ui->pushButton_CalibrationReadyScreen_cancel,
                  [this] { setState(MenuState::CalibrationCancel); });
    connectButton(ui->pushButton_CalibrationCancelScreen_yes,
                  [this] { setState(MenuState::CalibrationInsert); });
    connectButton(ui->pushButton_CalibrationCancelScreen_no,
                  [this] { setState(MenuState::CalibrationFinished); });
    connectButton(ui->pushButton_CalibrationFinishedScreen_close,
                  [this] { setState(MenuState::CloseDrawer); });
    connectButton(ui->pushButton_serviceMenu_save, [this] { saveServiceDrawerRows(); });
    if (drawer)
        connect(drawer, &Drawer::setNewCalibrationSample, this,
                &MainWindow::onNewCalibrationSample);
}

void MainWindow::onNewCalibrationSample(uint16_t threshold, uint16_t openingTime)
{
    thresholdSamples.append(threshold);
    if (calibrationmath::acceptedOpeningTime(openingTime))
        openingTimeSamples.append(openingTime);
}

// Entering the caution page: a fresh set of samples, and the drawer log directory the
// calibration samples are written to.
void MainWindow::prepareCalibration()
{
    calibrationCycle = 0;
    if (!QDir(QString::fromStdString(platform::path(kDrawerLogDirectory))).exists()) {
        if (platform::makeDirectory(platform::path(kDrawerLogDirectory)) == 0)
            qDebug().noquote() << "Directory" << kDrawerLogDirectory << "created";
        else
            qDebug() << "Drawer logging denied: unable to create directory";
    }
    thresholdSamples.clear();
    openingTimeSamples.clear();
    emit enableDrawerCalibration();
}

void MainWindow::evaluateCalibration()
{
    newThreshold = 0;
    newOpeningTime = 0;
    qDebug() << "Threshold samples:";
    for (uint16_t sample : thresholdSamples)
        qDebug() << sample;
    newThreshold = calibrationmath::largestThreshold(thresholdSamples);
    qDebug() << "Opening time samples:";
    for (uint16_t sample : openingTimeSamples)
        qDebug() << sample;
    newOpeningTime = calibrationmath::meanOpeningTime(openingTimeSamples);

    AppSettings settings;
    const uint16_t storedThreshold
            = settings.loadDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD);
    const uint16_t storedOpeningTime = settings.loadDrawerSetting(AppSettings::DRAWER_OPENING_TIME);
    ui->label_CalibrationReadyScreen_threshold_value->setText(
            QString("%1  (old: %2)").arg(newThreshold).arg(storedThreshold));
    ui->label_CalibrationReadyScreen_opening_time_value->setText(
            QString("%1  (old: %2)").arg(newOpeningTime).arg(storedOpeningTime));
    qDebug().noquote() << "New unsaved threshold: " + QString::number(newThreshold);
    qDebug().noquote() << "New unsaved opening time: " + QString::number(newOpeningTime);
}

void MainWindow::saveCalibration()
{
    if (newThreshold == 0) {
        qDebug() << "Error: Failed to save calibration";
        setState(MenuState::CalibrationFinished);
        return;
    }
    // Saved and synced in the disk thread; the finished page, which has the drawer read the
    // new values, follows once they are on the medium.
    const uint16_t threshold = newThreshold;
    const uint16_t openingTime = newOpeningTime;
    diskQueue.write(
            [threshold, openingTime] {
                {
                    AppSettings settings;
                    settings.saveDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD, threshold);
                    settings.saveDrawerSetting(AppSettings::DRAWER_OPENING_TIME, openingTime);
                }
                platform::sync();
            },
            this, [this] { setState(MenuState::CalibrationFinished); });
}

void MainWindow::clearCalibrationResult()
{
    newThreshold = 0;
    newOpeningTime = 0;
}

void MainWindow::saveServiceDrawerRows()
{
    qDebug() << "*****************Current Threshold*****************";
    qDebug().noquote() << QString::number(serviceThreshold);
    const auto value = static_cast<uint16_t>(serviceThreshold);
    QString thresholdLine = "Drawer safety threshold is unchanged";
    {
        AppSettings settings;
        if (value != settings.loadDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD)) {
            settings.saveDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD, value);
            thresholdLine = "Drawer safety threshold is changed";
        }
    }
    // Like a calibration, a new threshold must survive a power cut; the settings object is
    // gone by now, so the file is complete.
    if (thresholdLine.endsWith("is changed"))
        platform::sync();
    emit drawerUpdateSettings();
    QString loggingLine;
    if (serviceDrawerLogging) {
        emit drawerLogEnabled(hardwareVersion);
        loggingLine = "Drawer logging is enabled";
        drawerLoggingEnabled = true;
    } else {
        emit drawerLogDisabled();
        loggingLine = "Drawer logging is disabled";
        drawerLoggingEnabled = false;
    }
    showMessage(thresholdLine, loggingLine);
}
