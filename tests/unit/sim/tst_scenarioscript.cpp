// Reading scenario files: every step form, TEXT to the end of the line, and the line numbers
// that failures name.
#include "sim/scenarioscript.h"

#include <QtTest>

class TestScenarioScript : public QObject
{
    Q_OBJECT

private slots:
    void parse_everyStepForm();
    void parse_badLines_nameTheLine_data();
    void parse_badLines_nameTheLine();
};

void TestScenarioScript::parse_everyStepForm()
{
    const ScenarioScript script
            = ScenarioScript::parse("# comment\n"
                                    "\n"
                                    "wait-state 2\n"
                                    "wait-state 15 90\n"
                                    "click pushButton_open\n"
                                    "click-text  Ok \n"
                                    "expect-text label_title Please insert/remove cartridge\n"
                                    "wait-text label_countdown \n"
                                    "sleep 0.5\n"
                                    "screenshot shots/home screen.png\n"
                                    "power-button\n"
                                    "power-cut\n"
                                    "usb-insert\n"
                                    "usb-insert update\n"
                                    "usb-remove\n"
                                    "fault i2c-absent 2 0x48\n"
                                    "fault clear\r\n"
                                    "expect-shown button_err_close\n"
                                    "expect-hidden button_err_open\n"
                                    "wait-shown label_running_title 60\n"
                                    "wait-reading LED_colour red #ff\n"
                                    "measure /sim/resources.txt\n"
                                    "power-cut-in 2.5\n");
    QCOMPARE(script.error, QString());
    QCOMPARE(script.steps.size(), 21);
    const auto &s = script.steps;
    QCOMPARE(s[0].kind, ScenarioStep::WaitState);
    QCOMPARE(s[0].line, 3);
    QCOMPARE(s[0].number, 2);
    QCOMPARE(s[0].seconds, ScenarioScript::kDefaultWaitSeconds);
    QCOMPARE(s[1].seconds, 90.0);
    QCOMPARE(s[2].object, QString("pushButton_open"));
    // TEXT runs to the end of the line, blanks included.
    QCOMPARE(s[3].kind, ScenarioStep::ClickText);
    QCOMPARE(s[3].text, QString(" Ok "));
    QCOMPARE(s[4].object, QString("label_title"));
    QCOMPARE(s[4].text, QString("Please insert/remove cartridge"));
    QCOMPARE(s[5].kind, ScenarioStep::WaitText);
    QCOMPARE(s[5].text, QString(""));
    QCOMPARE(s[6].seconds, 0.5);
    QCOMPARE(s[7].text, QString("shots/home screen.png"));
    QCOMPARE(s[8].kind, ScenarioStep::PowerButton);
    QCOMPARE(s[9].kind, ScenarioStep::PowerCut);
    QCOMPARE(s[10].update, false);
    QCOMPARE(s[11].update, true);
    QCOMPARE(s[12].kind, ScenarioStep::UsbRemove);
    QCOMPARE(s[13].kind, ScenarioStep::Fault);
    QCOMPARE(s[13].text, QString("i2c-absent"));
    QCOMPARE(s[13].args, (QStringList {"2", "0x48"}));
    QCOMPARE(s[14].kind, ScenarioStep::FaultClear);
    QCOMPARE(s[14].line, 17);
    QCOMPARE(s[15].kind, ScenarioStep::ExpectShown);
    QCOMPARE(s[15].object, QString("button_err_close"));
    QCOMPARE(s[16].kind, ScenarioStep::ExpectHidden);
    QCOMPARE(s[17].kind, ScenarioStep::WaitShown);
    QCOMPARE(s[17].seconds, 60.0);
    // A reading's label is written with '_' for its blanks.
    QCOMPARE(s[18].kind, ScenarioStep::WaitReading);
    QCOMPARE(s[18].object, QString("LED colour"));
    QCOMPARE(s[18].text, QString("red #ff"));
    QCOMPARE(s[19].kind, ScenarioStep::Measure);
    QCOMPARE(s[19].object, QString("/sim/resources.txt"));
    QCOMPARE(s[20].kind, ScenarioStep::PowerCutIn);
    QCOMPARE(s[20].seconds, 2.5);
}

void TestScenarioScript::parse_badLines_nameTheLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown verb") << "wait-state 2\nwiggle x\n"
                                  << "line 2: unknown step: wiggle x";
    QTest::newRow("state not a number") << "wait-state two"
                                        << "line 1: not a state number";
    QTest::newRow("negative time") << "\n\nsleep -1"
                                   << "line 3: sleep takes a time";
    QTest::newRow("seconds where none stand") << "click a b"
                                              << "line 1: click takes one";
    QTest::newRow("usb-insert word") << "usb-insert stick"
                                     << "line 1: usb-insert takes";
    QTest::newRow("no text") << "click-text"
                             << "line 1: click-text needs a text";
    QTest::newRow("no fault name") << "fault"
                                   << "line 1: fault needs";
    QTest::newRow("wait-no-file text") << "wait-no-file /tmp/a gone"
                                       << "line 1: wait-no-file takes one";
    QTest::newRow("expect-hidden without object") << "expect-hidden"
                                                  << "line 1: expect-hidden takes one";
    QTest::newRow("wait-reading without text") << "wait-reading pump"
                                               << "line 1: wait-reading needs";
    QTest::newRow("power-cut-in without time") << "power-cut-in"
                                               << "line 1: power-cut-in takes";
    QTest::newRow("wait-state time") << "wait-state 3 soon"
                                     << "line 1: not a time";
}

void TestScenarioScript::parse_badLines_nameTheLine()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    const ScenarioScript script = ScenarioScript::parse(text);
    QVERIFY2(script.error.startsWith(error), qPrintable(script.error));
    QVERIFY(script.steps.isEmpty());
}

QTEST_GUILESS_MAIN(TestScenarioScript)
#include "tst_scenarioscript.moc"
