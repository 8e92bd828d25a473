// The keypad under any sequence of digit, clear, enter, arrow and new-entry presses: a number
// entered never exceeds the limit of its kind, and a date and time entered either reads as
// invalid or as exactly the date shown, and then turns into the digits-only text that is
// handed to the shell.
#include "fuzzsupport.h"

#include "ui/settingspopup.h"

#include <QPushButton>
#include <QRegularExpression>

namespace {

// Largest value of each number kind: pressure in mbar, ramp-up time and active time in s.
constexpr int kLimits[] = {2000, 120, 7200};
const char *const kUnits[] = {" mbar", " s", " s"};

int currentKind = settingsPopUp::KIND_PRESSURE;

void press(settingsPopUp &keypad, const char *name)
{
    if (auto *button = keypad.findChild<QPushButton *>(name))
        button->click();
    else
        fuzzsupport::fail("a keypad button is missing");
}

void checkNumber(int value)
{
    if (currentKind == settingsPopUp::KIND_DATE_TIME)
        fuzzsupport::fail("a number entered in date mode");
    if (value < 0 || value > kLimits[currentKind])
        fuzzsupport::fail("a number beyond the limit of its kind entered");
}

void checkDateTime(const QString &text, dateFormat format)
{
    if (text.size() != QString(kEmptyDateTimeMask).size())
        fuzzsupport::fail("a date entry of the wrong length");
    const QDateTime entered = parseEnteredDateTime(text, format);
    if (!entered.isValid())
        return;
    if (entered.toString(dateTimePattern(format)) != text)
        fuzzsupport::fail("a date taken for another than the one shown");
    static const QRegularExpression shellSafe("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$");
    if (!shellSafe.match(entered.toString("yyyy-MM-dd hh:mm:ss")).hasMatch())
        fuzzsupport::fail("the date for the clock is not plain digits");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static settingsPopUp &keypad = *new settingsPopUp;
    static const bool connected = [] {
        QObject::connect(&keypad, &settingsPopUp::updatedSettVal, checkNumber);
        QObject::connect(&keypad, &settingsPopUp::updateDateAndTime, checkDateTime);
        return true;
    }();
    (void)connected;

    // Every input starts as the window opens the keypad for a pressure.
    currentKind = settingsPopUp::KIND_PRESSURE;
    keypad.reset();
    keypad.setKind(currentKind);
    keypad.setUnit(kUnits[currentKind]);
    keypad.setCurrentValue("1000 mbar");
    for (size_t i = 0; i < size; ++i) {
        const uint8_t key = data[i] % 16;
        if (key <= 9) {
            keypad.updateValue(QString::number(key));
        } else if (key == 10) {
            press(keypad, "pushButton_keypad_clear");
        } else if (key == 11) {
            press(keypad, "pushButton_keypad_enter");
        } else if (key == 12) {
            press(keypad, (data[i] & 16) ? "pushButton_keypad_left" : "pushButton_keypad_right");
        } else if (key == 13) {
            // The window opens the keypad for another number setting.
            currentKind = (data[i] >> 4) % 3;
            keypad.reset();
            keypad.setKind(currentKind);
            keypad.setUnit(kUnits[currentKind]);
            keypad.setCurrentValue(QString::number(kLimits[currentKind]) + kUnits[currentKind]);
        } else {
            // ... or for the date and time.
            currentKind = settingsPopUp::KIND_DATE_TIME;
            keypad.reset();
            keypad.setDateTimeMode(toDateFormat(data[i] >> 4 & 1));
            keypad.setKind(settingsPopUp::KIND_DATE_TIME);
        }
    }
    return 0;
}
