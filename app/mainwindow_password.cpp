// The password screen: one keypad for the admin password, the service and calibration codes,
// and the change of the admin password.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "platform/commands.h"
#include "records/appsettings.h"

#include <QDebug>

using Outcome = PasswordEntry::Outcome;

void MainWindow::enterSettings()
{
    setState(MenuState::Settings);
    ui->label_settings_password->setText("Enter your password");
    passwordEntry.start(PasswordEntry::Mode::Check);
    ui->lineEdit_settings_password->clear();
}

void MainWindow::onPasswordChangePressed()
{
    ui->stackedWidget->setCurrentWidget(ui->SettingsScreen);
    ui->label_settings_password->setText("Enter your current password");
    passwordEntry.start(PasswordEntry::Mode::CheckForNewPassword);
    ui->lineEdit_settings_password->clear();
}

void MainWindow::showPasswordEntry()
{
    ui->lineEdit_settings_password->setEchoMode(passwordEntry.masked() ? QLineEdit::Password
                                                                       : QLineEdit::Normal);
    ui->lineEdit_settings_password->setText(passwordEntry.entry());
}

void MainWindow::onPasswordDigit(int digit)
{
    passwordEntry.addDigit(digit);
    showPasswordEntry();
}

void MainWindow::onPasswordClear()
{
    passwordEntry.removeLastDigit();
    showPasswordEntry();
}

void MainWindow::onPasswordBack()
{
    if (passwordEntry.mode() == PasswordEntry::Mode::Check) {
        passwordEntry.start(PasswordEntry::Mode::Check);
        ui->lineEdit_settings_password->clear();
        setState(MenuState::Home);
    } else {
        passwordEntry.dropNewPassword();
        ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen);
    }
}

void MainWindow::onPasswordEnter()
{
    AppSettings settings;
    const Outcome outcome = passwordEntry.enter({settings.getPassword("admin"),
                                                 settings.getPassword("calibration"),
                                                 settings.getPassword("service")});
    ui->lineEdit_settings_password->clear();
    switch (outcome) {
    case Outcome::OpenSettingsMenu:
        qDebug() << "Settings menu entered";
        ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen);
        openPressureEditor();
        break;
    case Outcome::OpenCalibrationMenu:
        qDebug() << "Calibration menu entered";
        setState(MenuState::CalibrationStart);
        break;
    case Outcome::OpenServiceMenu:
        qDebug() << "Service menu entered";
        setState(MenuState::ServiceMenu);
        prepareServiceMenu();
        break;
    case Outcome::WrongPassword:
        showMessage("Wrong Password", "Please enter the correct password");
        if (passwordEntry.mode() == PasswordEntry::Mode::Check)
            qDebug() << "Wrong password";
        break;
    case Outcome::AskNewPassword:
        ui->label_settings_password->setText("Enter your new password");
        break;
    case Outcome::ForbiddenPassword:
        showMessage("Forbidden Password", "Please enter some other password");
        break;
    case Outcome::AskNewPasswordAgain:
        ui->label_settings_password->setText("Enter your new password again");
        break;
    case Outcome::AskToSave:
        askQuestion(
                "New Password", "Do you want to save the new password?",
                [this] { saveNewPassword(); },
                [this] {
                    passwordEntry.dropNewPassword();
                    ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen);
                });
        break;
    }
}

void MainWindow::saveNewPassword()
{
    // The entries may have changed since the question was asked.
    if (!passwordEntry.newPasswordConfirmed()) {
        closePopUp();
        return;
    }
    // "Password changed" is a promise: the new file's name must be on the medium before the
    // operator reads it, or a power cut brings the old password back. The flash's flushes
    // take the disk thread; the question stays on the screen until they are done.
    const QString password = passwordEntry.newPassword();
    diskQueue.write(
            [password] {
                AppSettings().setAdminPassword(password);
                platform::sync();
            },
            this,
            [this] {
                passwordEntry.dropNewPassword();
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
    connectButton(ui->pushButton_settings_back, [this] { onPasswordBack(); });
    connectButton(ui->pushButton_password_clear, [this] { onPasswordClear(); });
    connectButton(ui->pushButton_password_enter, [this] { onPasswordEnter(); });
    connectButton(ui->pushButton_settingsMenu_password, [this] { onPasswordChangePressed(); });
    connectButton(ui->pushButton_settingsMenu_releasePressure,
                  [this] { releasePressureQuestion(); });
}
