#include "passwordentry.h"

void PasswordEntry::start(Mode newMode)
{
    currentMode = newMode;
    entered.clear();
}

QString PasswordEntry::*PasswordEntry::typedMember() const
{
    if (currentMode == Mode::NewPasswordOne)
        return &PasswordEntry::newPasswordOne;
    if (currentMode == Mode::NewPasswordTwo)
        return &PasswordEntry::newPasswordTwo;
    return &PasswordEntry::entered;
}

const QString &PasswordEntry::entry() const
{
    return this->*typedMember();
}

void PasswordEntry::addDigit(int digit)
{
    (this->*typedMember()) += QString::number(digit);
}

void PasswordEntry::removeLastDigit()
{
    (this->*typedMember()).chop(1);
}

bool PasswordEntry::masked() const
{
    return currentMode == Mode::Check || currentMode == Mode::CheckForNewPassword;
}

PasswordEntry::Outcome PasswordEntry::enter(const Passwords &passwords)
{
    switch (currentMode) {
    case Mode::Check: {
        const QString tried = entered;
        entered.clear();
        if (tried == passwords.admin)
            return Outcome::OpenSettingsMenu;
        if (tried == passwords.calibration)
            return Outcome::OpenCalibrationMenu;
        if (tried == passwords.service)
            return Outcome::OpenServiceMenu;
        return Outcome::WrongPassword;
    }
    case Mode::CheckForNewPassword: {
        const bool admin = entered == passwords.admin;
        entered.clear();
        if (!admin)
            return Outcome::WrongPassword;
        currentMode = Mode::NewPasswordOne;
        return Outcome::AskNewPassword;
    }
    case Mode::NewPasswordOne:
        // The fixed codes open other menus: as the admin password they would be shadowed. An
        // empty password would open the settings to a bare press of "enter".
        if (newPasswordOne.isEmpty() || newPasswordOne == passwords.service
            || newPasswordOne == passwords.calibration) {
            newPasswordOne.clear();
            return Outcome::ForbiddenPassword;
        }
        currentMode = Mode::NewPasswordTwo;
        return Outcome::AskNewPasswordAgain;
    case Mode::NewPasswordTwo:
        if (newPasswordOne == newPasswordTwo)
            return Outcome::AskToSave;
        newPasswordTwo.clear();
        return Outcome::WrongPassword;
    }
    return Outcome::WrongPassword;
}

bool PasswordEntry::newPasswordConfirmed() const
{
    // Both typings dropped agree as well: an empty password is never one to save.
    return currentMode == Mode::NewPasswordTwo && !newPasswordOne.isEmpty()
            && newPasswordOne == newPasswordTwo;
}

void PasswordEntry::dropNewPassword()
{
    newPasswordOne.clear();
    newPasswordTwo.clear();
}
