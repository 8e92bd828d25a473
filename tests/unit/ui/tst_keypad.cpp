// The numeric keypad: what key sequences show and report, the date mask and the two date
// orders, and the reading of an entered date.
#include "ui/settingspopup.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

// Digits, C (clear), E (enter), < and > (the arrows), pressed as a finger would.
void press(settingsPopUp &pad, const QString &keys)
{
    const QMap<QChar, QString> names {
            {'C', "clear"}, {'E', "enter"}, {'<', "left"}, {'>', "right"}};
    for (QChar k : keys)
        pad.findChild<QPushButton *>("pushButton_keypad_" + names.value(k, k))->click();
}

QString shown(settingsPopUp &pad, const char *label = "label_keypad_new_value")
{
    return pad.findChild<QLabel *>(label)->text();
}

void prepare(settingsPopUp &pad, int kind, const QString &current)
{
    pad.reset();
    if (kind == settingsPopUp::KIND_DATE_TIME)
        pad.setDateTimeMode(DATEFORMAT_DAY_FIRST);
    pad.setUnit(kind == settingsPopUp::KIND_PRESSURE ? " mbar" : " s");
    pad.setKind(kind);
    pad.setCurrentValue(current);
}

} // namespace

class TestKeypad : public QObject
{
    Q_OBJECT

private slots:
    void keys_showAndReportWithinLimit_data();
    void keys_showAndReportWithinLimit();
    void dateMode_arrowsSwitchOrderOnceAndKeepDigits();
    void enteredDateTime_isReadInItsOrder_data();
    void enteredDateTime_isReadInItsOrder();
};

void TestKeypad::keys_showAndReportWithinLimit_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariantList>("reported"); // by Enter after the keys

    QTest::newRow("pressure 2000 is the limit") << 0 << "1000 mbar"
                                                << "2000"
                                                << "2000 mbar" << QVariantList {2000};
    QTest::newRow("pressure 2001 refused, then 0 fits") << 0 << ""
                                                        << "20010"
                                                        << "2000 mbar" << QVariantList {2000};
    QTest::newRow("ramp-up 121 stops at 12") << 1 << ""
                                             << "121"
                                             << "12 s" << QVariantList {12};
    QTest::newRow("ramp-up 120") << 1 << ""
                                 << "120"
                                 << "120 s" << QVariantList {120};
    QTest::newRow("active 7201 refused") << 2 << ""
                                         << "7201"
                                         << "720 s" << QVariantList {720};
    QTest::newRow("active 7200") << 2 << ""
                                 << "7200"
                                 << "7200 s" << QVariantList {7200};
    QTest::newRow("leading zero kept, converts") << 0 << ""
                                                 << "05"
                                                 << "05 mbar" << QVariantList {5};
    QTest::newRow("zeros cannot outgrow the field") << 0 << ""
                                                    << "000000"
                                                    << "0000 mbar" << QVariantList {0};
    QTest::newRow("clear last digit") << 0 << ""
                                      << "123C"
                                      << "12 mbar" << QVariantList {12};
    QTest::newRow("cleared to empty re-sends current") << 2 << "600 s"
                                                       << "1CC"
                                                       << "" << QVariantList {600};
    QTest::newRow("unreadable current sends nothing") << 0 << ""
                                                      << ""
                                                      << "" << QVariantList {};
    QTest::newRow("date fills day and month")
            << 3 << ""
            << "1205"
            << "12-05-____ __:__:__" << QVariantList {"12-05-____ __:__:__"};
    QTest::newRow("date clear undoes last digit")
            << 3 << ""
            << "1205C"
            << "12-0_-____ __:__:__" << QVariantList {"12-0_-____ __:__:__"};
    QTest::newRow("date clear steps over separator")
            << 3 << ""
            << "123CC"
            << "1_-__-____ __:__:__" << QVariantList {"1_-__-____ __:__:__"};
    QTest::newRow("date clear on empty mask")
            << 3 << ""
            << "C"
            << "__-__-____ __:__:__" << QVariantList {"__-__-____ __:__:__"};
    QTest::newRow("date full, more digits ignored")
            << 3 << ""
            << "311220252359599"
            << "31-12-2025 23:59:59" << QVariantList {"31-12-2025 23:59:59"};
}

void TestKeypad::keys_showAndReportWithinLimit()
{
    QFETCH(int, kind);
    QFETCH(QString, current);
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(QVariantList, reported);

    settingsPopUp pad;
    prepare(pad, kind, current);
    QSignalSpy values(&pad, &settingsPopUp::updatedSettVal);
    QSignalSpy dates(&pad, &settingsPopUp::updateDateAndTime);
    press(pad, keys);
    QCOMPARE(shown(pad), text);
    if (reported.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no number to enter"));
    press(pad, "E");
    QVariantList got;
    for (const QList<QVariant> &call : values)
        got << call.at(0);
    for (const QList<QVariant> &call : dates) {
        got << call.at(0);
        QCOMPARE(call.at(1).value<dateFormat>(), DATEFORMAT_DAY_FIRST);
    }
    QCOMPARE(got, reported);
}

void TestKeypad::dateMode_arrowsSwitchOrderOnceAndKeepDigits()
{
    settingsPopUp pad;
    prepare(pad, settingsPopUp::KIND_DATE_TIME, "06-12-2026 20:40:00");
    auto *left = pad.findChild<QPushButton *>("pushButton_keypad_left");
    auto *right = pad.findChild<QPushButton *>("pushButton_keypad_right");
    QVERIFY(left->isVisibleTo(&pad) && right->isVisibleTo(&pad));
    QCOMPARE(shown(pad, "label_keypad_date_format"), "DD-MM-YYYY HH:MM:SS");
    QVERIFY(right->isEnabled() && !left->isEnabled());

    QSignalSpy dates(&pad, &settingsPopUp::updateDateAndTime);
    press(pad, "0612>>E");
    QCOMPARE(shown(pad, "label_keypad_date_format"), "MM-DD-YYYY HH:MM:SS");
    QVERIFY(!right->isEnabled() && left->isEnabled());
    const QDateTime now = QDateTime::fromString(shown(pad, "label_keypad_current_value"),
                                                "MM-dd-yyyy hh:mm:ss");
    QVERIFY(qAbs(now.secsTo(QDateTime::currentDateTime())) < 5);
    press(pad, "<E");
    QCOMPARE(shown(pad, "label_keypad_date_format"), "DD-MM-YYYY HH:MM:SS");
    QCOMPARE(dates.count(), 2);
    QCOMPARE(dates.at(0).at(0).toString(), "06-12-____ __:__:__");
    QCOMPARE(dates.at(0).at(1).value<dateFormat>(), DATEFORMAT_MONTH_FIRST);
    QCOMPARE(dates.at(1).at(1).value<dateFormat>(), DATEFORMAT_DAY_FIRST);

    // Back to number entry: the date widgets go, the limits of the new kind apply.
    prepare(pad, settingsPopUp::KIND_PRESSURE, "800 mbar");
    QVERIFY(!left->isVisibleTo(&pad) && !right->isVisibleTo(&pad) && !right->isEnabled());
    QVERIFY(!pad.findChild<QLabel *>("label_keypad_date_format")->isVisibleTo(&pad));
    press(pad, "2500");
    QCOMPARE(shown(pad), "250 mbar");
}

void TestKeypad::enteredDateTime_isReadInItsOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("format");
    QTest::addColumn<QDateTime>("expected");

    const QDateTime newYearsEve(QDate(2025, 12, 31), QTime(23, 59, 59));
    QTest::newRow("day first") << "31-12-2025 23:59:59" << 0 << newYearsEve;
    QTest::newRow("month first") << "12-31-2025 23:59:59" << 1 << newYearsEve;
    QTest::newRow("stored format 7 reads day first") << "31-12-2025 23:59:59" << 7 << newYearsEve;
    QTest::newRow("day first read month first") << "31-12-2025 23:59:59" << 1 << QDateTime();
    QTest::newRow("leap day") << "29-02-2024 00:00:00" << 0
                              << QDateTime(QDate(2024, 2, 29), QTime(0, 0));
    QTest::newRow("no leap day") << "29-02-2025 00:00:00" << 0 << QDateTime();
    QTest::newRow("hour 24") << "01-01-2025 24:00:00" << 0 << QDateTime();
    QTest::newRow("partly filled") << "12-05-____ __:__:__" << 0 << QDateTime();
}

void TestKeypad::enteredDateTime_isReadInItsOrder()
{
    QFETCH(QString, text);
    QFETCH(int, format);
    QFETCH(QDateTime, expected);
    QCOMPARE(parseEnteredDateTime(text, toDateFormat(format)), expected);
}

QTEST_MAIN(TestKeypad)
#include "tst_keypad.moc"
