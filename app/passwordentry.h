#pragma once

#include <QString>

// The password screen's keypad apart from its widgets: which entry the digits go to in each
// mode, whether it is shown masked, and what "enter" leads to. The window shows the entry and
// acts on the outcome.
class PasswordEntry
{
public:
    enum class Mode {
        // The admin password or one of the fixed codes opens its menu.
        Check,
        // The admin password again, before a new one may be chosen.
        CheckForNewPassword,
        NewPasswordOne,
        // The new password a second time, to catch a slip of the finger.
        NewPasswordTwo,
    };
    enum class Outcome {
        OpenSettingsMenu,
        OpenCalibrationMenu,
        OpenServiceMenu,
        WrongPassword,
        AskNewPassword,
        ForbiddenPassword,
        AskNewPasswordAgain,
        AskToSave,
    };
    struct Passwords
    {
        QString admin;
        QString calibration;
        QString service;
    };

    // A new mode starts with an empty entry to check; a new password keeps what was typed of it
    // until it is dropped.
    void start(Mode newMode);
    Mode mode() const { return currentMode; }

    void addDigit(int digit);
    void removeLastDigit();
    // The entry being typed in the current mode.
    const QString &entry() const;
    // A new password is shown in clear so that it can be checked before it is confirmed.
    bool masked() const;

    // "enter": judges the entry against the passwords and moves on to the mode that follows.
    // A rejected entry is emptied for the next try.
    Outcome enter(const Passwords &passwords);

    // Both typings of a new password agree, in the mode that asks to save it.
    bool newPasswordConfirmed() const;
    const QString &newPassword() const { return newPasswordOne; }
    void dropNewPassword();

private:
    // The member the digits go to in the current mode.
    QString PasswordEntry::*typedMember() const;

    Mode currentMode = Mode::Check;
    QString entered;
    QString newPasswordOne;
    QString newPasswordTwo;
};
