// The numeric keypad: what each key sequence shows, what "Enter" reports, the date mask and the
// two date orders, and the reading of an entered date.
#include "ui/dateformat.h"
#include "ui/settingspopup.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

QPushButton *key(settingsPopUp &pad, QChar k)
{
    const QString name = k == 'C' ? "pushButton_keypad_clear"
            : k == 'E'            ? "pushButton_keypad_enter"
            : k == '<'            ? "pushButton_keypad_left"
            : k == '>'            ? "pushButton_keypad_right"
                                  : QString("pushButton_keypad_") + k;
    auto *button = pad.findChild<QPushButton *>(name);
    if (!button)
        qFatal("no key %s", qPrintable(name));
    return button;
}

// Digits, C (clear), E (enter), < and > (arrows), pressed as a finger would.
void press(settingsPopUp &pad, const QString &keys)
{
    for (QChar k : keys)
        key(pad, k)->click();
}

QString label(settingsPopUp &pad, const char *name)
{
    return pad.findChild<QLabel *>(name)->text();
}

void prepareNumber(settingsPopUp &pad, int kind, const QString &unit, const QString &current)
{
    pad.reset();
    pad.setTitle("dPCR Line 1 Pre-ramp pressure");
    pad.setUnit(unit);
    pad.setKind(kind);
    pad.setCurrentValue(current);
}

} // namespace

class TestKeypad : public QObject
{
    Q_OBJECT

private slots:
    void typing_showsDigitsWithinLimit_data();
    void typing_showsDigitsWithinLimit();
    void enter_reportsTypedOrCurrentValue_data();
    void enter_reportsTypedOrCurrentValue();
    void dateMode_arrowsSwitchOrderOnceAndKeepDigits();
    void reset_afterDateMode_returnsToNumberEntry();
    void enteredDateTime_isReadInItsOrder_data();
    void enteredDateTime_isReadInItsOrder();
};

void TestKeypad::typing_showsDigitsWithinLimit_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");

    QTest::newRow("pressure 2000 is the limit") << 0 << " mbar"
                                                << "2000"
                                                << "2000 mbar";
    QTest::newRow("pressure 20000 refused") << 0 << " mbar"
                                            << "20000"
                                            << "2000 mbar";
    QTest::newRow("pressure 2001 refused") << 0 << " mbar"
                                           << "2001"
                                           << "200 mbar";
    QTest::newRow("pressure refused digit, next fits") << 0 << " mbar"
                                                       << "2009"
                                                       << "200 mbar";
    QTest::newRow("ramp-up 120") << 1 << " s"
                                 << "120"
                                 << "120 s";
    QTest::newRow("ramp-up 121 stops at 12") << 1 << " s"
                                             << "121"
                                             << "12 s";
    QTest::newRow("ramp-up no fourth digit") << 1 << " s"
                                             << "1000"
                                             << "100 s";
    QTest::newRow("active 7200") << 2 << " s"
                                 << "7200"
                                 << "7200 s";
    QTest::newRow("active 7201 refused") << 2 << " s"
                                         << "7201"
                                         << "720 s";
    QTest::newRow("leading zero kept") << 0 << " mbar"
                                       << "05"
                                       << "05 mbar";
    QTest::newRow("zeros cannot grow the field") << 0 << " mbar"
                                                 << "000000"
                                                 << "0000 mbar";
    QTest::newRow("clear removes last digit") << 0 << " mbar"
                                              << "123C"
                                              << "12 mbar";
    QTest::newRow("clear to empty") << 0 << " mbar"
                                    << "1C"
                                    << "";
    QTest::newRow("clear on empty") << 2 << " s"
                                    << "C"
                                    << "";
    QTest::newRow("type after clearing") << 0 << " mbar"
                                         << "12CC3"
                                         << "3 mbar";
    QTest::newRow("date fills day and month") << 3 << ""
                                              << "1205"
                                              << "12-05-____ __:__:__";
    QTest::newRow("date clear undoes last digit") << 3 << ""
                                                  << "1205C"
                                                  << "12-0_-____ __:__:__";
    QTest::newRow("date clear steps over separator") << 3 << ""
                                                     << "123CC"
                                                     << "1_-__-____ __:__:__";
    QTest::newRow("date clear on empty mask") << 3 << ""
                                              << "C"
                                              << "__-__-____ __:__:__";
    QTest::newRow("date full, more digits ignored") << 3 << ""
                                                    << "311220252359599"
                                                    << "31-12-2025 23:59:59";
    QTest::newRow("date clear from the full text") << 3 << ""
                                                   << "31122025235959C"
                                                   << "31-12-2025 23:59:5_";
}

void TestKeypad::typing_showsDigitsWithinLimit()
{
    QFETCH(int, kind);
    QFETCH(QString, unit);
    QFETCH(QString, keys);
    QFETCH(QString, shown);

    settingsPopUp pad;
    if (kind == settingsPopUp::KIND_DATE_TIME) {
        pad.reset();
        pad.setDateTimeMode(DATEFORMAT_DAY_FIRST);
        pad.setKind(kind);
    } else {
        prepareNumber(pad, kind, unit, "0" + unit);
    }
    press(pad, keys);
    QCOMPARE(label(pad, "label_keypad_new_value"), shown);
}

void TestKeypad::enter_reportsTypedOrCurrentValue_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QVariantList>("emitted");

    QTest::newRow("typed value") << 0 << " mbar"
                                 << "1000 mbar"
                                 << "1500" << QVariantList {1500};
    QTest::newRow("nothing typed re-sends current") << 0 << " mbar"
                                                    << "1000 mbar"
                                                    << "" << QVariantList {1000};
    QTest::newRow("cleared to empty re-sends current") << 2 << " s"
                                                       << "600 s"
                                                       << "12CC" << QVariantList {600};
    QTest::newRow("leading zero converts") << 0 << " mbar"
                                           << "1000 mbar"
                                           << "05" << QVariantList {5};
    QTest::newRow("zero is a value") << 1 << " s"
                                     << "30 s"
                                     << "0" << QVariantList {0};
    QTest::newRow("unreadable current value sends nothing") << 0 << " mbar"
                                                            << ""
                                                            << "" << QVariantList {};
    QTest::newRow("enter twice sends twice") << 1 << " s"
                                             << "30 s"
                                             << "45E" << QVariantList {45, 45};
}

void TestKeypad::enter_reportsTypedOrCurrentValue()
{
    QFETCH(int, kind);
    QFETCH(QString, unit);
    QFETCH(QString, current);
    QFETCH(QString, keys);
    QFETCH(QVariantList, emitted);

    settingsPopUp pad;
    prepareNumber(pad, kind, unit, current);
    QSignalSpy values(&pad, &settingsPopUp::updatedSettVal);
    QSignalSpy dates(&pad, &settingsPopUp::updateDateAndTime);
    press(pad, keys + "E");

    QVariantList got;
    for (const QList<QVariant> &call : values)
        got << call.at(0);
    QCOMPARE(got, emitted);
    QCOMPARE(dates.count(), 0);
}

void TestKeypad::dateMode_arrowsSwitchOrderOnceAndKeepDigits()
{
    settingsPopUp pad;
    pad.reset();
    pad.setTitle("Date & Time");
    pad.setDateTimeMode(DATEFORMAT_DAY_FIRST);
    pad.setKind(settingsPopUp::KIND_DATE_TIME);
    pad.setCurrentValue("06-12-2026 20:40:00");
    QSignalSpy dates(&pad, &settingsPopUp::updateDateAndTime);

    QPushButton *left = key(pad, '<');
    QPushButton *right = key(pad, '>');
    auto *caption = pad.findChild<QLabel *>("label_keypad_date_format");
    QVERIFY(caption->isVisibleTo(&pad) && left->isVisibleTo(&pad) && right->isVisibleTo(&pad));
    QCOMPARE(caption->text(), "DD-MM-YYYY HH:MM:SS");
    QVERIFY(right->isEnabled());
    QVERIFY(!left->isEnabled());
    QCOMPARE(label(pad, "label_keypad_new_value"), "__-__-____ __:__:__");

    press(pad, "0612");
    press(pad, ">>");
    QCOMPARE(caption->text(), "MM-DD-YYYY HH:MM:SS");
    QVERIFY(!right->isEnabled());
    QVERIFY(left->isEnabled());
    const QDateTime shown = QDateTime::fromString(label(pad, "label_keypad_current_value"),
                                                  "MM-dd-yyyy hh:mm:ss");
    QVERIFY2(shown.isValid(), qPrintable(label(pad, "label_keypad_current_value")));
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime())) < 5);
    QCOMPARE(label(pad, "label_keypad_new_value"), "06-12-____ __:__:__");

    press(pad, "E");
    QCOMPARE(dates.count(), 1);
    QCOMPARE(dates.at(0).at(0).toString(), "06-12-____ __:__:__");
    QCOMPARE(dates.at(0).at(1).value<dateFormat>(), DATEFORMAT_MONTH_FIRST);

    press(pad, "<E");
    QCOMPARE(caption->text(), "DD-MM-YYYY HH:MM:SS");
    QVERIFY(right->isEnabled() && !left->isEnabled());
    QCOMPARE(dates.count(), 2);
    QCOMPARE(dates.at(1).at(1).value<dateFormat>(), DATEFORMAT_DAY_FIRST);

    // A stored format of any other value is shown day first.
    pad.setDateTimeMode(toDateFormat(7));
    QCOMPARE(caption->text(), "DD-MM-YYYY HH:MM:SS");
}

void TestKeypad::reset_afterDateMode_returnsToNumberEntry()
{
    settingsPopUp pad;
    pad.setDateTimeMode(DATEFORMAT_MONTH_FIRST);
    pad.setKind(settingsPopUp::KIND_DATE_TIME);
    press(pad, "12");

    prepareNumber(pad, settingsPopUp::KIND_PRESSURE, " mbar", "800 mbar");
    QCOMPARE(label(pad, "label_keypad_new_value"), "");
    QCOMPARE(label(pad, "label_keypad_title"), "dPCR Line 1 Pre-ramp pressure");
    for (const char *name : {"pushButton_keypad_left", "pushButton_keypad_right"}) {
        auto *arrow = pad.findChild<QPushButton *>(name);
        QVERIFY(!arrow->isVisibleTo(&pad));
        QVERIFY(!arrow->isEnabled());
    }
    QVERIFY(!pad.findChild<QLabel *>("label_keypad_date_format")->isVisibleTo(&pad));
    QSignalSpy values(&pad, &settingsPopUp::updatedSettVal);
    press(pad, "2500E");
    QCOMPARE(values.count(), 1);
    QCOMPARE(values.at(0).at(0).toInt(), 250);

    // An unknown kind leaves the last one in force.
    pad.setKind(9);
    pad.reset();
    press(pad, "2001");
    QCOMPARE(label(pad, "label_keypad_new_value"), "200 mbar");
}

void TestKeypad::enteredDateTime_isReadInItsOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("format");
    QTest::addColumn<QDateTime>("expected");

    const QDateTime newYearsEve(QDate(2025, 12, 31), QTime(23, 59, 59));
    QTest::newRow("day first") << "31-12-2025 23:59:59" << 0 << newYearsEve;
    QTest::newRow("month first") << "12-31-2025 23:59:59" << 1 << newYearsEve;
    QTest::newRow("day first read month first") << "31-12-2025 23:59:59" << 1 << QDateTime();
    QTest::newRow("leap day") << "29-02-2024 00:00:00" << 0
                              << QDateTime(QDate(2024, 2, 29), QTime(0, 0));
    QTest::newRow("no leap day") << "29-02-2025 00:00:00" << 0 << QDateTime();
    QTest::newRow("hour 24") << "01-01-2025 24:00:00" << 0 << QDateTime();
    QTest::newRow("partly filled") << "12-05-____ __:__:__" << 0 << QDateTime();
    QTest::newRow("empty mask") << kEmptyDateTimeMask << 1 << QDateTime();
}

void TestKeypad::enteredDateTime_isReadInItsOrder()
{
    QFETCH(QString, text);
    QFETCH(int, format);
    QFETCH(QDateTime, expected);

    const QDateTime read = parseEnteredDateTime(text, toDateFormat(format));
    QCOMPARE(read.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(read, expected);
}

QTEST_MAIN(TestKeypad)
#include "tst_keypad.moc"
