#pragma once

#include <cstdint>
#include <string>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QDateTime;

// The acceptance tests of the service menu, apart from the window: what each test runs, how
// long, how a step is judged and what the results file says.
namespace initialtest {

enum InitialTestType {
    CLOSE_RUN_TEST = 0,
    OPEN_RUN_TEST = 1,
    BLOCKED_CARTRIDGE_TEST = 2,
    DRAWER_TEST = 3,
    PUMP_TEST = 4,
};

constexpr int kLaneCount = 8;
// The lane index of the all-lanes run, and of the one step of the tests without lanes.
constexpr int kAllLanes = 8;
// Lanes 1 to 8 and the all-lanes step: the rows of the results page.
constexpr int kRowCount = 9;
// A blocked cartridge holds the vessel: only this much may seep away in one lane run.
constexpr int kBlockedMaxLossMbar = 500;
// A sound pump fills the vented vessel within two minutes.
constexpr qint64 kPumpTestMaxMs = 120000;

constexpr const char kLogDirectory[] = "/usr/share/vemla/logs/init_testing";

// "CLOSE_RUN_TEST" ... for logs and file names, "UNDEFINED_TEST" for any other value.
QString typeName(int type);
// "Close Run Test" ... as the operator reads it, "Undefined Test" for any other value.
QString displayName(int type);
// First line of the confirmation question; empty for an unknown type.
QString confirmationText(int type);

// The three tests that are production runs with a fixed valve pattern.
bool isRunTest(int type);
// Lane index of the first step: lane 1 for the tests that go lane by lane.
int firstLane(int type);
// Duration of one lane run; 0 for the tests that are not timed.
int laneDurationMs(int type);

// The valve pattern of a lane run as the expander's port reads it, lane 8 first: a 0 opens
// that lane. A single lane opens alone; the all-lanes step opens every lane, except in the
// close run test, which holds them all shut.
QString laneMaskText(int type, int lane);
uint8_t laneMask(int type, int lane);

// What one step saw.
struct StepMeasurement
{
    int pumpOnCount = 0;
    int startVesselMbar = 0;
    int endVesselMbar = 0;
    qint64 pumpTestMs = 0;
};
bool stepPassed(int type, const StepMeasurement &step);

// The names of the nine rows of the results page.
QStringList rowNames(int type);
// The rows (1 to 9) a test marks.
QList<int> markedRows(int type);
// The colour rule of the test's button: green only when every row the test marks passed
// (`results`: one per step, in the order of markedRows(); a missing step has not passed).
bool allMarkedRowsOk(int type, const QList<bool> &results);

// "/usr/share/vemla/logs/init_testing/57_20240131_142501_OPEN_RUN_TEST_lane_3.log"
std::string laneLogPath(int type, int lane, int productionId, const QDateTime &start);
QString resultsFilePath(int type);
// The results file of a completed test, the flags taken in order; a missing flag counts as
// failed.
QByteArray resultsText(int type, const QList<bool> &flags);

} // namespace initialtest
