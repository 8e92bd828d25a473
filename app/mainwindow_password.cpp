// The password screen: one keypad for the admin password, the service and calibration codes,
// and the change of the admin password.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "platform/commands.h"
#include "records/appsettings.h"

#include <QDebug>

namespace {
const QString kPasswordCheck = "passwordCheck";
const QString kCheckForNewPassword = "passwordCheckForNewPassword";
const QString kNewPasswordOne = "setNewPasswordOne";
const QString kNewPasswordTwo = "setNewPasswordTwo";
} // namespace

void MainWindow::enterSettings()
{
    setState(MenuState::Settings);
    ui->label_settings_password->setText("Enter your password");
    passwordMode = kPasswordCheck;
    enteredPassword.clear();
    ui->lineEdit_settings_password->clear();
}

void MainWindow::onPasswordChangePressed()
{
    ui->stackedWidget->setCurrentWidget(ui->SettingsScreen);
    ui->label_settings_password->setText("Enter your current password");
    passwordMode = kCheckForNewPassword;
    enteredPassword.clear();
    ui->lineEdit_settings_password->clear();
}

// The entry being typed in the current mode.
QString &MainWindow::currentPasswordEntry()
{
    if (passwordMode == kNewPasswordOne)
        return newPasswordOne;
    if (passwordMode == kNewPasswordTwo)
        return newPasswordTwo;
    return enteredPassword;
}

void MainWindow::showPasswordEntry()
{
    // A new password is shown in clear so that it can be checked before it is confirmed.
    const bool masked = passwordMode == kPasswordCheck || passwordMode == kCheckForNewPassword;
    ui->lineEdit_settings_password->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    ui->lineEdit_settings_password->setText(currentPasswordEntry());
}

void MainWindow::onPasswordDigit(int digit)
{
    currentPasswordEntry() += QString::number(digit);
    showPasswordEntry();
}

void MainWindow::onPasswordKey(const QString &key)
{
    passwordMode = handlePasswordKey(key, passwordMode);
}

QString MainWindow::handlePasswordKey(const QString &key, const QString &mode)
{
    if (key == "clear") {
        currentPasswordEntry().chop(1);
        showPasswordEntry();
        return mode;
    }
    if (key == "back") {
        if (mode == kPasswordCheck) {
            enteredPassword.clear();
            ui->lineEdit_settings_password->clear();
            setState(MenuState::Home);
        } else {
            newPasswordTwo.clear();
            newPasswordOne.clear();
            ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen);
        }
        return mode;
    }
    if (key != "enter")
        return mode;

    AppSettings settings;
    QString next = mode;
    if (mode == kPasswordCheck) {
        const QString entry = enteredPassword;
        enteredPassword.clear();
        ui->lineEdit_settings_password->clear();
        if (entry == settings.getPassword("admin")) {
            qDebug() << "Settings menu entered";
            ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen);
            openPressureEditor();
        } else if (entry == settings.getPassword("calibration")) {
            qDebug() << "Calibration menu entered";
            setState(MenuState::CalibrationStart);
        } else if (entry == settings.getPassword("service")) {
            qDebug() << "Service menu entered";
            setState(MenuState::ServiceMenu);
            prepareServiceMenu();
        } else {
            showMessage("Wrong Password", "Please enter the correct password");
            qDebug() << "Wrong password";
        }
    } else if (mode == kCheckForNewPassword) {
        if (enteredPassword == settings.getPassword("admin")) {
            ui->label_settings_password->setText("Enter your new password");
            next = kNewPasswordOne;
        } else {
            showMessage("Wrong Password", "Please enter the correct password");
        }
        enteredPassword.clear();
        ui->lineEdit_settings_password->clear();
    } else if (mode == kNewPasswordOne) {
        // The fixed codes open other menus: as the admin password they would be shadowed. An
        // empty password would open the settings to a bare press of "enter".
        if (newPasswordOne.isEmpty() || newPasswordOne == settings.getPassword("service")
            || newPasswordOne == settings.getPassword("calibration")) {
            newPasswordOne.clear();
            showMessage("Forbidden Password", "Please enter some other password");
        } else {
            ui->label_settings_password->setText("Enter your new password again");
            next = kNewPasswordTwo;
        }
        ui->lineEdit_settings_password->clear();
    } else if (mode == kNewPasswordTwo) {
        if (newPasswordOne == newPasswordTwo) {
            askQuestion(
                    "New Password", "Do you want to save the new password?",
                    [this] { saveNewPassword(); },
                    [this] {
                        newPasswordOne.clear();
                        newPasswordTwo.clear();
                        ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen);
                    });
        } else {
            newPasswordTwo.clear();
            showMessage("Wrong Password", "Please enter the correct password");
        }
        ui->lineEdit_settings_password->clear();
    }
    return next;
}

void MainWindow::saveNewPassword()
{
    // The entries may have changed since the question was asked.
    if (passwordMode != kNewPasswordTwo || newPasswordOne != newPasswordTwo) {
        closePopUp();
        return;
    }
    // "Password changed" is a promise: the new file's name must be on the medium before the
    // operator reads it, or a power cut brings the old password back. The flash's flushes
    // take the disk thread; the question stays on the screen until they are done.
    const QString password = newPasswordOne;
    diskQueue.write(
            [password] {
                AppSettings().setAdminPassword(password);
                platform::sync();
            },
            this,
            [this] {
                newPasswordOne.clear();
                newPasswordTwo.clear();
                showMessage("Password changed", "");
                ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen);
            });
}

void MainWindow::setUpSettingsPasswordButtons()
{
    connectButton(ui->pushButton_settings, [this] { enterSettings(); });
    const QList<QPushButton *> digits
            = {ui->pushButton_password_0, ui->pushButton_password_1, ui->pushButton_password_2,
               ui->pushButton_password_3, ui->pushButton_password_4, ui->pushButton_password_5,
               ui->pushButton_password_6, ui->pushButton_password_7, ui->pushButton_password_8,
               ui->pushButton_password_9};
    for (int digit = 0; digit < digits.size(); ++digit)
        connectButton(digits[digit], [this, digit] { onPasswordDigit(digit); });
    connectButton(ui->pushButton_settings_back, [this] { onPasswordKey("back"); });
    connectButton(ui->pushButton_password_clear, [this] { onPasswordKey("clear"); });
    connectButton(ui->pushButton_password_enter, [this] { onPasswordKey("enter"); });
    connectButton(ui->pushButton_settingsMenu_password, [this] { onPasswordChangePressed(); });
    connectButton(ui->pushButton_settingsMenu_releasePressure,
                  [this] { releasePressureQuestion(); });
}
