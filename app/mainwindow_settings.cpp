// The settings menu pages: the first page's menu buttons and the sub-pages of the second page
// (general information, date and time, language, advanced, licences).
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "platform/commands.h"
#include "platform/platform.h"
#include "records/appsettings.h"
#include "records/logremoval.h"
#include "softwareversion.h"
#include "ui/dateformat.h"
#include "ui/kineticscrolling.h"
#include "ui/licenselist.h"
#include "ui/settingspopup.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QTimer>

namespace {
constexpr int kClockTickMs = 1000;
// The language button has no page; its press only nudges the menu column's spacer.
constexpr int kLanguageSpacerWidth = 20;
constexpr int kLanguageSpacerInset = 11;

QString firstIpv4Address()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return "NA";
}
} // namespace

void MainWindow::setUpSettingsMenu()
{
    dateFormat = toDateFormat(AppSettings().loadSystemSetting(AppSettings::DATE_FORMAT));

    connectButton(ui->pushButton_settingsMenu_more, [this] {
        resetSettingsMenu2();
        ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen_2);
    });
    connectButton(ui->pushButton_settingsMenu_logFile, [this] { askLogTransfer(); });
    connectButton(ui->pushButton_settingsMenu_2_back, [this] {
        dateTimeTimer->stop();
        if (openSubPageButton)
            resetSettingsMenu2();
        else
            ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen);
    });
    connect(ui->pushButton_settings_gen_info, &QAbstractButton::clicked, this,
            &MainWindow::onPbSettingsGenInfoPressed);
    connect(ui->pushButton_settings_time_date, &QAbstractButton::clicked, this,
            &MainWindow::onPbSettingsTdPressed);
    connect(ui->pushButton_settings_language, &QAbstractButton::clicked, this,
            &MainWindow::onPbSettingsLanguagePressed);
    connect(ui->pushButton_settings_advanced, &QAbstractButton::clicked, this,
            &MainWindow::onPbSettingsAdvancedPressed);
    connect(ui->pushButton_settings_about, &QAbstractButton::clicked, this,
            &MainWindow::onPbSettingsAboutPressed);
    connectButton(ui->pushButton_display_pressure_left, [this] { setDisplayPressure(false); });
    connectButton(ui->pushButton_display_pressure_right, [this] { setDisplayPressure(true); });

    connectButton(ui->pushButton_change_date, [this] { onChangeDatePressed(); });
    resetSettingsMenu2();
}

void MainWindow::askLogTransfer()
{
    askQuestion("This will copy all log files to USB drive.", "Do you want to proceed?", [this] {
        if (usbAvailable)
            emit logExportRun();
        else
            showMessage("Invalid or missing USB device", "");
    });
}

void MainWindow::removeLogsConfirmed()
{
    const QString logRoot = QString::fromStdString(platform::path("/usr/share/vemla/logs"));
    if (QDir(logRoot).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
        return;
    switch (removeLogFiles()) {
    case LOGS_REMOVED:
        showMessage("All log files are removed", "");
        break;
    case LOGS_REMOVAL_FAILED:
        showMessage("Failed to remove log files", "Please try again");
        break;
    default:
        showMessage("No log files to remove", "");
        break;
    }
}

void MainWindow::showSettingsSubPage(const QList<QWidget *> &widgets, bool shown)
{
    for (QWidget *widget : widgets) {
        widget->setVisible(shown);
        widget->setEnabled(shown);
    }
}

void MainWindow::resetSettingsMenu2()
{
    showSettingsSubPage({ui->label_sw_ver, ui->label_sw_ver_value, ui->label_hw_ver,
                         ui->label_hw_ver_value, ui->label_ip_add, ui->label_ip_add_value,
                         ui->label_prod_id, ui->label_prod_id_value, ui->label_temp,
                         ui->label_temp_value, ui->label_date_time, ui->pushButton_change_date,
                         ui->label_display_pressure, ui->label_display_pressure_value,
                         ui->pushButton_display_pressure_left,
                         ui->pushButton_display_pressure_right, ui->tableWidget_licenses},
                        false);
    for (QPushButton *button : {ui->pushButton_settings_gen_info, ui->pushButton_settings_time_date,
                                ui->pushButton_settings_advanced, ui->pushButton_settings_about}) {
        button->setEnabled(true);
        button->setStyleSheet(rectBlueStyle);
    }
    ui->pushButton_settings_language->setEnabled(true);
    ui->pushButton_settings_language->setStyleSheet(rectGreyStyle);
    openSubPageButton = nullptr;
    infoPageOpen = false;
}

// Opens the sub-page of `owner` (true) or, when it is the open one, closes it (false).
bool MainWindow::toggleSettingsSubPage(QPushButton *owner)
{
    if (openSubPageButton == owner) {
        dateTimeTimer->stop();
        resetSettingsMenu2();
        return false;
    }
    for (QPushButton *button : {ui->pushButton_settings_gen_info, ui->pushButton_settings_time_date,
                                ui->pushButton_settings_language, ui->pushButton_settings_advanced,
                                ui->pushButton_settings_about}) {
        const bool own = button == owner;
        button->setEnabled(own);
        button->setStyleSheet(own ? rectGreenStyle : rectGreyStyle);
    }
    openSubPageButton = owner;
    infoPageOpen = true;
    return true;
}

void MainWindow::onPbSettingsGenInfoPressed()
{
    if (!toggleSettingsSubPage(ui->pushButton_settings_gen_info))
        return;
    ui->label_sw_ver_value->setText(kSoftwareVersion);
    ui->label_hw_ver_value->setText(QString::number(hardwareVersion));
    ui->label_ip_add_value->setText(firstIpv4Address());
    ui->label_prod_id_value->setText(QString::number(productionId));
    ui->label_temp_value->setText(QString::number(currentTemperature) + QString(" °") + "C");
    showSettingsSubPage({ui->label_sw_ver, ui->label_sw_ver_value, ui->label_hw_ver,
                         ui->label_hw_ver_value, ui->label_ip_add, ui->label_ip_add_value,
                         ui->label_prod_id, ui->label_prod_id_value, ui->label_temp,
                         ui->label_temp_value},
                        true);
}

QString MainWindow::currentDateTimeText() const
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toString(datePattern(toDateFormat(dateFormat))) + " " + now.toString("hh:mm:ss");
}

void MainWindow::onPbSettingsTdPressed()
{
    if (!toggleSettingsSubPage(ui->pushButton_settings_time_date))
        return;
    showSettingsSubPage({ui->label_date_time, ui->pushButton_change_date}, true);
    ui->label_date_time->setText(currentDateTimeText());
    dateTimeTimer->start(kClockTickMs);
}

void MainWindow::onShowDateAndTimeTimeout()
{
    ui->label_date_time->setText(currentDateTimeText());
}

void MainWindow::onPbSettingsLanguagePressed()
{
    ui->verticalSpacer_settingsMenu_2->changeSize(kLanguageSpacerWidth,
                                                  ui->pushButton_settings_language->height()
                                                          - kLanguageSpacerInset);
    ui->verticalLayout_settingsMenu_2->invalidate();
}

void MainWindow::onPbSettingsAdvancedPressed()
{
    if (!toggleSettingsSubPage(ui->pushButton_settings_advanced))
        return;
    showSettingsSubPage({ui->label_display_pressure, ui->label_display_pressure_value,
                         ui->pushButton_display_pressure_left,
                         ui->pushButton_display_pressure_right},
                        true);
    ui->label_display_pressure_value->setAlignment(Qt::AlignCenter);
    for (QPushButton *arrow :
         {ui->pushButton_display_pressure_left, ui->pushButton_display_pressure_right}) {
        arrow->setFixedSize(48, 48);
        arrow->setIconSize(QSize(48, 48));
    }
    setDisplayPressure(displayPressure);
}

void MainWindow::setDisplayPressure(bool on)
{
    displayPressure = on;
    if (on) {
        pressureTextLabel->setText("Pressure: ");
    } else {
        pressureTextLabel->clear();
        pressureValueLabel->clear();
    }
    ui->label_display_pressure_value->setText(on ? "On" : "Off");
    // The arrow that would change nothing is greyed out.
    ui->pushButton_display_pressure_left->setEnabled(on);
    ui->pushButton_display_pressure_right->setEnabled(!on);
    ui->pushButton_display_pressure_left->setIcon(QIcon(
            on ? ":/images/images/arrow-left-blue.png" : ":/images/images/arrow-left-grey.png"));
    ui->pushButton_display_pressure_right->setIcon(QIcon(
            on ? ":/images/images/arrow-right-grey.png" : ":/images/images/arrow-right-blue.png"));
}

void MainWindow::onPbSettingsAboutPressed()
{
    if (!toggleSettingsSubPage(ui->pushButton_settings_about))
        return;
    LicenseList list;
    loadLicenseList(&list);
    showLicenseList(ui->tableWidget_licenses, list);
    enableKineticScrolling(ui->tableWidget_licenses);
    showSettingsSubPage({ui->tableWidget_licenses}, true);
}

void MainWindow::onChangeDatePressed()
{
    keypadPopUp->reset();
    keypadPopUp->setTitle("Date & Time");
    keypadPopUp->setDateTimeMode(toDateFormat(dateFormat));
    keypadPopUp->setKind(settingsPopUp::KIND_DATE_TIME);
    keypadPopUp->setCurrentValue(currentDateTimeText());
    ui->stackedWidget->hide();
    keypadPopUp->show();
}

void MainWindow::onDateAndTimeEntered(QString dateAndTime, ::dateFormat currentFormat)
{
    if (currentFormat != dateFormat) {
        dateFormat = currentFormat;
        AppSettings().saveSystemSetting(AppSettings::DATE_FORMAT, uint16_t(dateFormat));
    }
    const QDateTime entered = parseEnteredDateTime(dateAndTime, currentFormat);
    keypadPopUp->hide();
    ui->stackedWidget->show();
    ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen_2);
    if (!entered.isValid()) {
        // The untouched mask means only the format was changed.
        if (dateAndTime != kEmptyDateTimeMask)
            showMessage("Invalid date & time", "");
        return;
    }
    platform::run("timedatectl set-ntp false");
    const QString text = entered.toString("yyyy-MM-dd hh:mm:ss");
    qDebug().noquote() << text;
    // The fixed format gives digits, '-', ':' and one blank only: the double quotes keep the
    // date and the time one word, and nothing in it can end them.
    platform::run("timedatectl set-time \"" + text.toStdString() + "\"");
    platform::run("hwclock -w");
    platform::sync();
    showMessage("Date & time changed", "");
    ui->label_date_time->setText(dateAndTime);
}
