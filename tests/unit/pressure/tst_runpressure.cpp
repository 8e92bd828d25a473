// The run's pressure stages without a window: what is sent, when the read cycle goes on and
// when the regulation fails, from scripted readings, confirmations and times.
#include "pressure/pressuresettingkeys.h"
#include "pressure/runpressure.h"

#include <QtTest>

using Verdict = RunPressure::PreRampVerdict;
using Phase = RunPressure::Phase;
using Cycle = QList<int>; // one reading of each line

namespace {

RunPressure::Lines lines(const QList<int> &preRamp, const QList<int> &target = {0, 0, 0},
                         const QList<int> &rampUp = {0, 0, 0})
{
    RunPressure::Lines result;
    for (int line = 0; line < RunPressure::kLines; ++line)
        result[line] = {preRamp[line], target[line], rampUp[line]};
    return result;
}

QList<int> asList(const RunPressure::SetPoints &setPoints)
{
    return {setPoints[0], setPoints[1], setPoints[2]};
}

QList<Cycle> repeat(int times, const Cycle &cycle)
{
    QList<Cycle> cycles;
    for (int time = 0; time < times; ++time)
        cycles << cycle;
    return cycles;
}

// Brings a run to the phase asked for, at time 0; the ramp gets one step to go.
void enter(RunPressure &run, Phase phase, const RunPressure::Lines &settings)
{
    run.startPreRamp(settings, 0);
    if (phase == Phase::PreRamp)
        return;
    RunPressure::Lines ramped = settings;
    ramped[0].rampUpSeconds = std::max(ramped[0].rampUpSeconds, 1);
    run.startRamp(ramped, 0);
    if (phase == Phase::AtTarget)
        run.enterTarget();
}

} // namespace

Q_DECLARE_METATYPE(RunPressure::Lines)
Q_DECLARE_METATYPE(RunPressure::Phase)
Q_DECLARE_METATYPE(RunPressure::PreRampVerdict)

class TestRunPressure : public QObject
{
    Q_OBJECT

private slots:
    void settings_readPerModeAndLine();
    void preRamp_reachedOrFailedAfter16Checks_data();
    void preRamp_reachedOrFailedAfter16Checks();
    void ramp_stepsEachLineToItsTarget_data();
    void ramp_stepsEachLineToItsTarget();
    void readCycle_goesOnOutsideTheRampsReadWindow_data();
    void readCycle_goesOnOutsideTheRampsReadWindow();
    void atTarget_outOfRangeFor51Readings_raisesError_data();
    void atTarget_outOfRangeFor51Readings_raisesError();
    void lostConfirmations_26InARowDuringRegulation_raiseError_data();
    void lostConfirmations_26InARowDuringRegulation_raiseError();
    void stageTime_accumulatesPerStage();
    void newRun_forgetsThePreviousRun();
};

void TestRunPressure::settings_readPerModeAndLine()
{
    const QMap<std::string, int> settings
            = {{"dpcr_line_1_preRamp", 110},   {"dpcr_line_2_target", 1500},
               {"dpcr_line_3_rampUpTime", 30}, {"dpcr_active_time", 600},
               {"dmda_line_1_preRamp", 210},   {"dmda_line_3_target", 900},
               {"dmda_active_time", 900}};
    const RunPressure::Lines dpcr = RunPressure::linesOf(settings, pressuresettingkeys::MODE_DPCR);
    const RunPressure::Lines dmda = RunPressure::linesOf(settings, pressuresettingkeys::MODE_DMDA);
    QCOMPARE(dpcr[0].preRampMbar, 110);
    QCOMPARE(dpcr[1].targetMbar, 1500);
    QCOMPARE(dpcr[2].rampUpSeconds, 30);
    // Missing keys are 0, and one mode never reads the other's.
    QCOMPARE(dpcr[0].targetMbar, 0);
    QCOMPARE(dpcr[2].targetMbar, 0);
    QCOMPARE(dmda[0].preRampMbar, 210);
    QCOMPARE(dmda[2].targetMbar, 900);
    QCOMPARE(dmda[2].rampUpSeconds, 0);
    QCOMPARE(RunPressure::activeSecondsOf(settings, pressuresettingkeys::MODE_DPCR), 600);
    QCOMPARE(RunPressure::activeSecondsOf(settings, pressuresettingkeys::MODE_DMDA), 900);

    QCOMPARE(pressuresettingkeys::modeNamed("dPCR"), pressuresettingkeys::MODE_DPCR);
    QCOMPARE(pressuresettingkeys::modeNamed("dMDA"), pressuresettingkeys::MODE_DMDA);
    QVERIFY(!pressuresettingkeys::modeNamed("dpcr"));
    QVERIFY(!pressuresettingkeys::modeNamed(""));
}

void TestRunPressure::preRamp_reachedOrFailedAfter16Checks_data()
{
    QTest::addColumn<QList<int>>("preRamp");
    QTest::addColumn<Cycle>("reading");
    QTest::addColumn<int>("checks");
    QTest::addColumn<Verdict>("last"); // every check before it waits
    QTest::newRow("every line within 10 mbar at once")
            << QList<int> {1000, 500, 40} << Cycle {1010, 490, 0} << 1 << Verdict::Reached;
    QTest::newRow("11 mbar off waits the 15th check")
            << QList<int> {1000, 0, 0} << Cycle {1011, 0, 0} << 15 << Verdict::Waiting;
    QTest::newRow("11 mbar off fails the 16th check")
            << QList<int> {1000, 0, 0} << Cycle {1011, 0, 0} << 16 << Verdict::Failed;
    QTest::newRow("the third line alone fails")
            << QList<int> {0, 0, 300} << Cycle {0, 0, 0} << 16 << Verdict::Failed;
}

void TestRunPressure::preRamp_reachedOrFailedAfter16Checks()
{
    QFETCH(QList<int>, preRamp);
    QFETCH(Cycle, reading);
    QFETCH(int, checks);
    QFETCH(Verdict, last);
    RunPressure run;
    QCOMPARE(asList(run.startPreRamp(lines(preRamp), 0)), preRamp);
    for (int line = 0; line < RunPressure::kLines; ++line)
        QVERIFY(!run.lineReading(line, reading[line], true));
    for (int check = 1; check < checks; ++check)
        QCOMPARE(run.checkPreRamp(), Verdict::Waiting);
    QCOMPARE(run.checkPreRamp(), last);
    QCOMPARE(run.deviation(0), std::abs(reading[0] - preRamp[0]));
}

void TestRunPressure::ramp_stepsEachLineToItsTarget_data()
{
    QTest::addColumn<RunPressure::Lines>("settings");
    QTest::addColumn<QList<Cycle>>("steps"); // the set-points of each step
    QTest::newRow("3 s and 6 s lines, a line without ramp held at its pre-ramp value")
            << lines({100, 100, 200}, {1000, 1100, 900}, {3, 6, 0})
            << QList<Cycle> {{400, 266, 200},  {700, 432, 200},  {1000, 598, 200},
                             {1000, 764, 200}, {1000, 930, 200}, {1000, 1096, 200}};
    QTest::newRow("a falling line is at its target from the first step")
            << lines({500, 0, 0}, {100, 0, 0}, {2, 0, 0})
            << QList<Cycle> {{100, 0, 0}, {100, 0, 0}};
}

void TestRunPressure::ramp_stepsEachLineToItsTarget()
{
    QFETCH(RunPressure::Lines, settings);
    QFETCH(QList<Cycle>, steps);
    RunPressure run;
    run.startPreRamp(settings, 0);
    QCOMPARE(run.startRamp(settings, 0), steps.size());
    QCOMPARE(run.phase(), Phase::Ramping);
    for (int step = 0; step < steps.size(); ++step) {
        QCOMPARE(asList(run.rampStep(step * 1000)), steps[step]);
        QCOMPARE(run.stepsLeft(), steps.size() - step - 1);
    }
    // The last step is followed by the targets themselves, truncation or not.
    QCOMPARE(asList(run.enterTarget()),
             (QList<int> {settings[0].targetMbar, settings[1].targetMbar, settings[2].targetMbar}));
    QCOMPARE(run.phase(), Phase::AtTarget);
}

void TestRunPressure::readCycle_goesOnOutsideTheRampsReadWindow_data()
{
    QTest::addColumn<Phase>("phase");
    QTest::addColumn<bool>("stepped"); // a ramp step at 0 whose set-points are unconfirmed
    QTest::addColumn<QString>("confirmed");
    QTest::addColumn<int>("atMs");
    QTest::addColumn<bool>("readOn");
    QTest::newRow("pre-ramp") << Phase::PreRamp << false << "read" << 5000 << true;
    QTest::newRow("ramp start: pre-ramp reads go on")
            << Phase::Ramping << false << "read" << 899 << true;
    QTest::newRow("ramp start: until the first step is near")
            << Phase::Ramping << false << "read" << 900 << false;
    QTest::newRow("step's set-points confirmed early")
            << Phase::Ramping << true << "set" << 899 << true;
    QTest::newRow("step's set-points confirmed late")
            << Phase::Ramping << true << "set" << 900 << false;
    QTest::newRow("a read may not overtake the step's set-points")
            << Phase::Ramping << true << "read" << 100 << false;
    QTest::newRow("reads follow the confirmed step")
            << Phase::Ramping << true << "set+read" << 100 << true;
}

void TestRunPressure::readCycle_goesOnOutsideTheRampsReadWindow()
{
    QFETCH(Phase, phase);
    QFETCH(bool, stepped);
    QFETCH(QString, confirmed);
    QFETCH(int, atMs);
    QFETCH(bool, readOn);
    RunPressure run;
    enter(run, phase, lines({100, 0, 0}, {1000, 0, 0}, {4, 0, 0}));
    if (stepped)
        run.rampStep(0);
    bool result = false;
    if (confirmed.startsWith("set"))
        result = run.setConfirmed(atMs);
    if (confirmed.endsWith("read"))
        result = run.readConfirmed(atMs);
    QCOMPARE(result, readOn);
}

void TestRunPressure::atTarget_outOfRangeFor51Readings_raisesError_data()
{
    QTest::addColumn<Phase>("phase");
    QTest::addColumn<bool>("judged");
    QTest::addColumn<QList<Cycle>>("cycles");
    QTest::addColumn<int>("errorAt"); // the cycle whose reading raises, -1 none
    // Line 2 holds its 2000 mbar throughout unless a row says otherwise.
    const Cycle out {899, 2000, 0};
    const Cycle in {1100, 2000, 0};
    QTest::newRow("51st reading 10 % off")
            << Phase::AtTarget << true << repeat(51, out) + repeat(2, in) << 50;
    QTest::newRow("exactly 10 % off is in range and restarts the count")
            << Phase::AtTarget << true
            << repeat(50, {1101, 2000, 0}) + repeat(1, in) + repeat(50, out) << -1;
    QTest::newRow("each line counts its own")
            << Phase::AtTarget << true << repeat(30, {899, 2501, 0}) << -1;
    QTest::newRow("the second line at 25 % off")
            << Phase::AtTarget << true << repeat(51, {1000, 2501, 0}) << 50;
    QTest::newRow("the lane tests judge the lines themselves")
            << Phase::AtTarget << false << repeat(60, out) << -1;
    QTest::newRow("the ramp is not judged by range")
            << Phase::Ramping << true << repeat(60, out) << -1;
    QTest::newRow("the count starts again after an error")
            << Phase::AtTarget << true << repeat(51, out) + repeat(50, out) << 50;
}

void TestRunPressure::atTarget_outOfRangeFor51Readings_raisesError()
{
    QFETCH(Phase, phase);
    QFETCH(bool, judged);
    QFETCH(QList<Cycle>, cycles);
    QFETCH(int, errorAt);
    RunPressure run;
    enter(run, phase, lines({0, 0, 0}, {1000, 2000, 150}));
    QList<int> raised;
    for (int cycle = 0; cycle < cycles.size(); ++cycle) {
        for (int line = 0; line < RunPressure::kLines; ++line) {
            if (run.lineReading(line, cycles[cycle][line], judged))
                raised << cycle;
        }
    }
    QCOMPARE(raised, errorAt < 0 ? QList<int>() : QList<int> {errorAt});
    QCOMPARE(run.measured(0), uint16_t(cycles.last()[0]));
}

void TestRunPressure::lostConfirmations_26InARowDuringRegulation_raiseError_data()
{
    QTest::addColumn<Phase>("phase");
    QTest::addColumn<bool>("supervised");
    QTest::addColumn<QList<int>>("losses"); // expiries in a row, a confirmation between
    QTest::addColumn<int>("errors");
    QTest::newRow("ramp: 26") << Phase::Ramping << true << QList<int> {26} << 1;
    QTest::newRow("target: 25") << Phase::AtTarget << true << QList<int> {25} << 0;
    QTest::newRow("target: a confirmation restarts the count")
            << Phase::AtTarget << true << QList<int> {25, 25} << 0;
    QTest::newRow("target: 52 raise twice") << Phase::AtTarget << true << QList<int> {52} << 2;
    QTest::newRow("pre-ramp: its own check judges")
            << Phase::PreRamp << true << QList<int> {60} << 0;
    QTest::newRow("target, run not supervised") << Phase::AtTarget << false << QList<int> {60} << 0;
}

void TestRunPressure::lostConfirmations_26InARowDuringRegulation_raiseError()
{
    QFETCH(Phase, phase);
    QFETCH(bool, supervised);
    QFETCH(QList<int>, losses);
    QFETCH(int, errors);
    RunPressure run;
    enter(run, phase, lines({0, 0, 0}, {1000, 0, 0}));
    int raised = 0;
    for (int inARow : losses) {
        for (int loss = 0; loss < inARow; ++loss)
            raised += run.confirmationLost(supervised) ? 1 : 0;
        run.readConfirmed(0);
    }
    QCOMPARE(raised, errors);
}

void TestRunPressure::stageTime_accumulatesPerStage()
{
    RunPressure run;
    // Rows before any run has started count from the first of them.
    QCOMPARE(run.stageTimeAt(5000), 0u);
    const RunPressure::Lines settings = lines({100, 0, 0}, {1000, 0, 0}, {2, 0, 0});
    run.startPreRamp(settings, 10000);
    QCOMPARE(run.stageTimeAt(10100), 100u);
    QCOMPARE(run.stageTimeAt(10350), 350u);
    run.startRamp(settings, 10400);
    QCOMPARE(run.stageTimeAt(10500), 150u);
    run.enterTarget();
    QCOMPARE(run.stageTimeAt(10600), 100u);
    // A 120 s stage does not wrap at 16 bits.
    QCOMPARE(run.stageTimeAt(130600), 120100u);
}

void TestRunPressure::newRun_forgetsThePreviousRun()
{
    const RunPressure::Lines settings = lines({1000, 0, 0}, {1000, 0, 0}, {2, 0, 0});
    RunPressure run;
    // A first run stopped during its ramp, with a step unconfirmed, lines out of range and
    // checks and losses counted.
    run.startPreRamp(settings, 0);
    for (int check = 0; check < 15; ++check)
        run.checkPreRamp();
    run.startRamp(settings, 0);
    run.rampStep(0);
    for (int loss = 0; loss < 25; ++loss)
        run.confirmationLost(true);
    run.enterTarget();
    for (int reading = 0; reading < 50; ++reading)
        run.lineReading(0, 0, true);
    run.stageTimeAt(60000);

    QCOMPARE(asList(run.startPreRamp(settings, 100000)), (QList<int> {1000, 0, 0}));
    QCOMPARE(run.phase(), Phase::PreRamp);
    QCOMPARE(run.measured(0), uint16_t(0));
    QCOMPARE(run.stageTimeAt(100250), 250u);
    for (int check = 0; check < 15; ++check)
        QCOMPARE(run.checkPreRamp(), Verdict::Waiting);
    // The old step's confirmation is not awaited: the pre-ramp's reads go on into the ramp.
    run.startRamp(settings, 101000);
    QVERIFY(run.readConfirmed(101100));
    QVERIFY(!run.confirmationLost(true));
    run.enterTarget();
    QVERIFY(!run.lineReading(0, 0, true));
}

QTEST_GUILESS_MAIN(TestRunPressure)
#include "tst_runpressure.moc"
