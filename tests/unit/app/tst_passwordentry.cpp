// The password keypad's modes without a window: which entry the digits reach, what is masked,
// and what each "enter" leads to.
#include "app/passwordentry.h"

#include <QtTest>

using Mode = PasswordEntry::Mode;
using Outcome = PasswordEntry::Outcome;

Q_DECLARE_METATYPE(PasswordEntry::Mode)
Q_DECLARE_METATYPE(PasswordEntry::Outcome)

namespace {

const PasswordEntry::Passwords kPasswords {"24680", "1111", "5830"};

// Presses digits, "clear" and "enter" in turn; returns the outcome of each "enter".
QList<Outcome> press(PasswordEntry &entry, const QString &keys)
{
    QList<Outcome> outcomes;
    for (const QString &key : keys.split(' ', Qt::SkipEmptyParts)) {
        if (key == "enter")
            outcomes << entry.enter(kPasswords);
        else if (key == "clear")
            entry.removeLastDigit();
        else
            for (QChar digit : key)
                entry.addDigit(digit.digitValue());
    }
    return outcomes;
}

} // namespace

class TestPasswordEntry : public QObject
{
    Q_OBJECT

private slots:
    void enter_judgesTheEntryOfEachMode_data();
    void enter_judgesTheEntryOfEachMode();
    void newPassword_confirmedOnlyWhileBothTypingsAgree();
};

void TestPasswordEntry::enter_judgesTheEntryOfEachMode_data()
{
    QTest::addColumn<Mode>("start");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<Outcome>>("outcomes");
    QTest::addColumn<Mode>("mode"); // afterwards
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("masked");
    QTest::newRow("admin") << Mode::Check << "24680 enter"
                           << QList<Outcome> {Outcome::OpenSettingsMenu} << Mode::Check << ""
                           << true;
    QTest::newRow("calibration code")
            << Mode::Check << "1111 enter" << QList<Outcome> {Outcome::OpenCalibrationMenu}
            << Mode::Check << "" << true;
    QTest::newRow("service code") << Mode::Check << "5830 enter"
                                  << QList<Outcome> {Outcome::OpenServiceMenu} << Mode::Check << ""
                                  << true;
    QTest::newRow("a wrong entry is emptied for the next try")
            << Mode::Check << "2468 enter 24680 enter"
            << QList<Outcome> {Outcome::WrongPassword, Outcome::OpenSettingsMenu} << Mode::Check
            << "" << true;
    QTest::newRow("typing in progress is masked")
            << Mode::Check << "123" << QList<Outcome> {} << Mode::Check << "123" << true;
    QTest::newRow("a change needs the admin password, not a code")
            << Mode::CheckForNewPassword << "5830 enter" << QList<Outcome> {Outcome::WrongPassword}
            << Mode::CheckForNewPassword << "" << true;
    QTest::newRow("the new password is typed in clear")
            << Mode::CheckForNewPassword << "24680 enter 13"
            << QList<Outcome> {Outcome::AskNewPassword} << Mode::NewPasswordOne << "13" << false;
    QTest::newRow("empty new password is forbidden")
            << Mode::CheckForNewPassword << "24680 enter enter"
            << QList<Outcome> {Outcome::AskNewPassword, Outcome::ForbiddenPassword}
            << Mode::NewPasswordOne << "" << false;
    QTest::newRow("the service code is forbidden and emptied")
            << Mode::CheckForNewPassword << "24680 enter 5830 enter"
            << QList<Outcome> {Outcome::AskNewPassword, Outcome::ForbiddenPassword}
            << Mode::NewPasswordOne << "" << false;
    QTest::newRow("the second typing starts empty")
            << Mode::CheckForNewPassword << "24680 enter 13 enter"
            << QList<Outcome> {Outcome::AskNewPassword, Outcome::AskNewPasswordAgain}
            << Mode::NewPasswordTwo << "" << false;
    QTest::newRow("a second typing that differs is emptied, the first kept")
            << Mode::CheckForNewPassword << "24680 enter 13 enter 14 enter 13 enter"
            << QList<Outcome> {Outcome::AskNewPassword, Outcome::AskNewPasswordAgain,
                               Outcome::WrongPassword, Outcome::AskToSave}
            << Mode::NewPasswordTwo << "13" << false;
}

void TestPasswordEntry::enter_judgesTheEntryOfEachMode()
{
    QFETCH(Mode, start);
    QFETCH(QString, keys);
    QFETCH(QList<Outcome>, outcomes);
    QFETCH(Mode, mode);
    QFETCH(QString, shown);
    QFETCH(bool, masked);
    PasswordEntry entry;
    entry.start(start);
    QCOMPARE(press(entry, keys), outcomes);
    QCOMPARE(entry.mode(), mode);
    QCOMPARE(entry.entry(), shown);
    QCOMPARE(entry.masked(), masked);
}

void TestPasswordEntry::newPassword_confirmedOnlyWhileBothTypingsAgree()
{
    PasswordEntry entry;
    entry.start(Mode::CheckForNewPassword);
    press(entry, "24680 enter 13 enter 13");
    QVERIFY(entry.newPasswordConfirmed());
    QCOMPARE(entry.newPassword(), QString("13"));
    // A digit typed while the question waits makes the typings differ.
    press(entry, "5");
    QVERIFY(!entry.newPasswordConfirmed());
    press(entry, "clear");
    QVERIFY(entry.newPasswordConfirmed());
    // Declined, or the screen left: nothing of it is kept for the next change.
    entry.dropNewPassword();
    QVERIFY(!entry.newPasswordConfirmed());
    entry.start(Mode::CheckForNewPassword);
    press(entry, "24680 enter");
    QCOMPARE(entry.entry(), QString());
    // Only the mode that asked to save may save.
    entry.start(Mode::Check);
    QVERIFY(!entry.newPasswordConfirmed());
}

QTEST_GUILESS_MAIN(TestPasswordEntry)
#include "tst_passwordentry.moc"
