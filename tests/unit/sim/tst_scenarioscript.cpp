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
    // The plain verbs (click, power-button, expect-shown ...) are what every scenario uses;
    // these are the forms with something to get wrong.
    const ScenarioScript script = ScenarioScript::parse("# comment\n"
                                                        "\n"
                                                        "wait-state 2\n"
                                                        "wait-state 15 90\n"
                                                        "click-text  Ok \n"
                                                        "wait-text label_countdown \n"
                                                        "screenshot shots/home screen.png\n"
                                                        "usb-insert update\n"
                                                        "fault i2c-absent 2 0x48\n"
                                                        "fault clear\r\n"
                                                        "wait-reading LED_colour red #ff\n"
                                                        "measure /sim/resources.txt\n"
                                                        "power-cut-in 2.5\n"
                                                        "usb-insert no-mount update\n"
                                                        "stick-file a/b.ini [x]\\nk=1 2\\n\n"
                                                        "stick-link logs /usr/share/vemla\n"
                                                        "power-cut-in 0.5 12345\n"
                                                        "power-cut 0\n"
                                                        "mark begin run end\n"
                                                        "power-cut\n"
                                                        "wait-control 90\n"
                                                        "wait-poweroff\n");
    QCOMPARE(script.error, QString());
    QCOMPARE(script.steps.size(), 20);
    const auto &s = script.steps;
    QCOMPARE(s[0].line, 3);
    QCOMPARE(s[0].number, 2);
    QCOMPARE(s[0].seconds, ScenarioScript::kDefaultWaitSeconds);
    QCOMPARE(s[1].seconds, 90.0);
    // TEXT runs to the end of the line, blanks included.
    QCOMPARE(s[2].kind, ScenarioStep::ClickText);
    QCOMPARE(s[2].text, QString(" Ok "));
    QCOMPARE(s[3].kind, ScenarioStep::WaitText);
    QCOMPARE(s[3].text, QString(""));
    QCOMPARE(s[4].text, QString("shots/home screen.png"));
    QCOMPARE(s[5].update, true);
    QCOMPARE(s[6].text, QString("i2c-absent"));
    QCOMPARE(s[6].args, (QStringList {"2", "0x48"}));
    QCOMPARE(s[7].kind, ScenarioStep::FaultClear);
    QCOMPARE(s[7].line, 10);
    // A reading's label is written with '_' for its blanks.
    QCOMPARE(s[8].object, QString("LED colour"));
    QCOMPARE(s[8].text, QString("red #ff"));
    QCOMPARE(s[9].kind, ScenarioStep::Measure);
    QCOMPARE(s[9].object, QString("/sim/resources.txt"));
    QCOMPARE(s[10].kind, ScenarioStep::PowerCutIn);
    QCOMPARE(s[10].seconds, 2.5);
    QCOMPARE(s[11].update, true);
    QCOMPARE(s[11].mounts, false);
    QCOMPARE(s[5].mounts, true);
    // A stick file's text with its line breaks written as \n.
    QCOMPARE(s[12].kind, ScenarioStep::StickFile);
    QCOMPARE(s[12].object, QString("a/b.ini"));
    QCOMPARE(s[12].text, QString("[x]\nk=1 2\n"));
    QCOMPARE(s[13].kind, ScenarioStep::StickLink);
    QCOMPARE(s[13].text, QString("/usr/share/vemla"));
    // A cut's disk seed: none given is -1 (the simulator's), 0 keeps nothing unsynced.
    QCOMPARE(s[10].seed, -1);
    QCOMPARE(s[14].seed, 12345);
    QCOMPARE(s[15].kind, ScenarioStep::PowerCut);
    QCOMPARE(s[15].seed, 0);
    QCOMPARE(s[16].kind, ScenarioStep::Mark);
    QCOMPARE(s[16].text, QString("begin run end"));
    QCOMPARE(s[17].seed, -1);
    QCOMPARE(s[18].kind, ScenarioStep::WaitControl);
    QCOMPARE(s[18].seconds, 90.0);
    QCOMPARE(s[19].kind, ScenarioStep::WaitPowerOff);
    QCOMPARE(s[19].seconds, ScenarioScript::kDefaultWaitSeconds);
}

void TestScenarioScript::parse_badLines_nameTheLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("state not a number") << "wait-state two"
                                        << "line 1: not a state number";
    QTest::newRow("negative time") << "\n\nsleep -1"
                                   << "line 3: sleep takes a time";
    QTest::newRow("seconds where none stand") << "click a b"
                                              << "line 1: click takes one";
    QTest::newRow("usb-insert word") << "usb-insert stick"
                                     << "line 1: usb-insert takes";
    QTest::newRow("usb-insert twice update") << "usb-insert update update"
                                             << "line 1: usb-insert takes";
    QTest::newRow("stick-link without target") << "stick-link logs"
                                               << "line 1: stick-link takes";
    QTest::newRow("stick-file without path") << "stick-file"
                                             << "line 1: stick-file needs";
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
    QTest::newRow("power-cut seed not a number") << "power-cut soon"
                                                 << "line 1: power-cut takes nothing or a seed";
    QTest::newRow("power-cut-in negative seed") << "power-cut-in 1 -3"
                                                << "line 1: power-cut-in takes";
    QTest::newRow("mark without text") << "mark"
                                       << "line 1: mark needs a text";
    QTest::newRow("wait-poweroff time") << "wait-poweroff soon"
                                        << "line 1: wait-poweroff takes an optional time";
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
