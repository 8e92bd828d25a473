// The service menu's navigation: three groups (initial tests, drawer, reset), the drawer rows
// and the two reset questions.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "records/appsettings.h"

namespace {
// Limits of the drawer motor's current threshold in raw ADC counts: below 1200 the drawer
// stops on its own friction, above 4000 it would crush a finger before it stops.
constexpr int kThresholdMin = 1200;
constexpr int kThresholdMax = 4000;
} // namespace

void MainWindow::setUpServiceMenu()
{
    for (QPushButton *group :
         {ui->pushButton_initial_tests, ui->pushButton_drawer_prop, ui->pushButton_reset})
        connectButton(group, [this, group] { onServiceGroupPressed(group); });
    for (QPushButton *row : {ui->pushButton_drawer_opening_time, ui->pushButton_safety_threshold,
                             ui->pushButton_drawer_log})
        connectButton(row, [this, row] { onServiceRowPressed(row); });
    connectButton(ui->pushButton_serviceMenu_back, [this] { onServiceBackPressed(); });
    connectButton(ui->pushButton_dl_change, [this] {
        serviceDrawerLogging = !serviceDrawerLogging;
        showServiceDrawerValues();
    });
    connectButton(ui->pushButton_ds_threshold_p, [this] { stepSafetyThreshold(10); });
    connectButton(ui->pushButton_ds_threshold_pp, [this] { stepSafetyThreshold(100); });
    connectButton(ui->pushButton_ds_threshold_m, [this] { stepSafetyThreshold(-10); });
    connectButton(ui->pushButton_ds_threshold_mm, [this] { stepSafetyThreshold(-100); });
    connectButton(ui->pushButton_settings_rm_log, [this] {
        askQuestion("Do you want to remove log files?", "", [this] { removeLogsConfirmed(); });
    });
    connectButton(ui->pushButton_settings_reset_prod_id, [this] {
        askQuestion("Do you want to reset production ID?", "", [this] {
            resetProductionId();
            showMessage("Production ID is 0", "");
        });
    });
    serviceLevel = 1;
    showServiceLevel();
}

void MainWindow::prepareServiceMenu()
{
    AppSettings settings;
    serviceThreshold = settings.loadDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD);
    ui->label_drawer_opening_time_value->setText(
            QString::number(settings.loadDrawerSetting(AppSettings::DRAWER_OPENING_TIME)) + " ms");
    // Saved without its row opened, the drawer log keeps what it is.
    serviceDrawerLogging = drawerLoggingEnabled;
    showServiceDrawerValues();
    serviceLevel = 1;
    showServiceLevel();
}

void MainWindow::stepSafetyThreshold(int step)
{
    // A step clamps in its own direction only: a calibrated threshold above 4000 may still be
    // lowered in steps of 10 or 100.
    const int value = serviceThreshold + step;
    serviceThreshold = step > 0 ? qMin(value, kThresholdMax) : qMax(value, kThresholdMin);
    showServiceDrawerValues();
}

void MainWindow::showServiceDrawerValues()
{
    ui->label_ds_threshold->setText(QString::number(serviceThreshold));
    ui->label_dl->setText(serviceDrawerLogging ? "Enabled" : "Disabled");
}

void MainWindow::showServiceLevel()
{
    const QList<QPushButton *> groups
            = {ui->pushButton_initial_tests, ui->pushButton_drawer_prop, ui->pushButton_reset};
    const QList<QWidget *> tests = {ui->pushButton_close_run_test, ui->pushButton_open_run_test,
                                    ui->pushButton_blocked_cartridge_test,
                                    ui->pushButton_drawer_test, ui->pushButton_pump_test};
    const QList<QPushButton *> rows = {ui->pushButton_drawer_opening_time,
                                       ui->pushButton_safety_threshold, ui->pushButton_drawer_log};
    const QList<QWidget *> resets
            = {ui->pushButton_settings_rm_log, ui->pushButton_settings_reset_prod_id};
    const QList<QWidget *> openingTime = {ui->label_drawer_opening_time_value};
    const QList<QWidget *> threshold = {
            ui->label_ds_threshold, ui->pushButton_ds_threshold_mm, ui->pushButton_ds_threshold_m,
            ui->pushButton_ds_threshold_p, ui->pushButton_ds_threshold_pp};
    const QList<QWidget *> drawerLog = {ui->label_dl, ui->pushButton_dl_change};

    if (serviceLevel < 2)
        serviceGroup = nullptr;
    if (serviceLevel < 3)
        serviceRow = nullptr;

    for (QPushButton *group : groups) {
        const bool open = group == serviceGroup;
        group->setEnabled(serviceGroup == nullptr || open);
        group->setStyleSheet(open ? rectGreenStyle : serviceGroup ? rectGreyStyle : rectBlueStyle);
    }
    showSettingsSubPage(tests, serviceGroup == ui->pushButton_initial_tests);
    showSettingsSubPage(resets, serviceGroup == ui->pushButton_reset);
    const bool drawerGroup = serviceGroup == ui->pushButton_drawer_prop;
    for (QPushButton *row : rows) {
        row->setVisible(drawerGroup);
        row->setEnabled(drawerGroup && (serviceRow == nullptr || row == serviceRow));
        row->setStyleSheet(row == serviceRow    ? rectGreenStyle
                                   : serviceRow ? rectGreyStyle
                                                : rectBlueStyle);
    }
    showSettingsSubPage(openingTime, serviceRow == ui->pushButton_drawer_opening_time);
    showSettingsSubPage(threshold, serviceRow == ui->pushButton_safety_threshold);
    showSettingsSubPage(drawerLog, serviceRow == ui->pushButton_drawer_log);
}

void MainWindow::onServiceGroupPressed(QPushButton *group)
{
    if (serviceLevel == 1) {
        serviceGroup = group;
        serviceLevel = 2;
        if (group == ui->pushButton_initial_tests)
            loadDefaultPressureSettings();
    } else if (group == ui->pushButton_drawer_prop && serviceLevel == 3) {
        serviceLevel = 2;
    } else {
        serviceLevel = 1;
    }
    showServiceLevel();
}

void MainWindow::onServiceRowPressed(QPushButton *row)
{
    if (serviceLevel == 3 && row == serviceRow) {
        serviceLevel = 2;
    } else {
        serviceLevel = 3;
        serviceRow = row;
        if (row == ui->pushButton_drawer_log) {
            serviceDrawerLogging = drawerLoggingEnabled;
            showServiceDrawerValues();
        }
    }
    showServiceLevel();
}

void MainWindow::onServiceBackPressed()
{
    if (serviceLevel > 1) {
        --serviceLevel;
        showServiceLevel();
        return;
    }
    stopInitialTest();
    restoreActualPressureSettings();
    setState(MenuState::Home);
}
