#include "initialtest.h"

#include <QDateTime>

namespace initialtest {

namespace {
struct TestKind
{
    const char *name;
    const char *display;
    const char *confirmation;
    int laneDurationMs;
};

// Indexed by InitialTestType.
const TestKind kKinds[] = {
        {"CLOSE_RUN_TEST", "Close Run Test", "Close run test will take 30 minutes.", 1800000},
        {"OPEN_RUN_TEST", "Open Run Test", "Open run test will take 36 minutes.", 180000},
        {"BLOCKED_CARTRIDGE_TEST", "Blocked Cartridge Test",
         "Blocked cartridge test will take 41 minutes.", 240000},
        {"DRAWER_TEST", "Drawer Test", "Drawer test will take less than 1 minute.", 0},
        {"PUMP_TEST", "Pump Test", "Pump test will take 2 minutes.", 0},
};
constexpr int kKindCount = int(sizeof(kKinds) / sizeof(kKinds[0]));

const TestKind *kind(int type)
{
    return type >= 0 && type < kKindCount ? &kKinds[type] : nullptr;
}

bool goesLaneByLane(int type)
{
    return type == OPEN_RUN_TEST || type == BLOCKED_CARTRIDGE_TEST;
}

const char *verdict(bool passed)
{
    return passed ? "PASSED\n" : "FAILED\n";
}
} // namespace

QString typeName(int type)
{
    return kind(type) ? kind(type)->name : "UNDEFINED_TEST";
}

QString displayName(int type)
{
    return kind(type) ? kind(type)->display : "Undefined Test";
}

QString confirmationText(int type)
{
    return kind(type) ? kind(type)->confirmation : QString();
}

bool isRunTest(int type)
{
    return type == CLOSE_RUN_TEST || goesLaneByLane(type);
}

int firstLane(int type)
{
    return goesLaneByLane(type) ? 0 : kAllLanes;
}

int laneDurationMs(int type)
{
    return kind(type) ? kind(type)->laneDurationMs : 0;
}

QString laneMaskText(int type, int lane)
{
    if (lane >= 0 && lane < kLaneCount) {
        QString bits(kLaneCount, '1');
        bits[kLaneCount - 1 - lane] = '0';
        return bits;
    }
    return QString(kLaneCount, type == CLOSE_RUN_TEST ? '1' : '0');
}

uint8_t laneMask(int type, int lane)
{
    return static_cast<uint8_t>(laneMaskText(type, lane).toUInt(nullptr, 2));
}

bool stepPassed(int type, const StepMeasurement &step)
{
    switch (type) {
    case CLOSE_RUN_TEST:
        // Closed lanes hold the vessel: one refill in half an hour is the natural leak.
        return step.pumpOnCount < 2;
    case OPEN_RUN_TEST:
        // An open lane must draw enough air to make the pump start.
        return step.pumpOnCount >= 1;
    case BLOCKED_CARTRIDGE_TEST:
        // Signed: a vessel that gained pressure lost none.
        return step.startVesselMbar - step.endVesselMbar <= kBlockedMaxLossMbar
                && step.pumpOnCount == 0;
    case DRAWER_TEST:
        // Judged by reaching the step at all: the drawer reported closed.
        return true;
    case PUMP_TEST:
        return step.pumpTestMs <= kPumpTestMaxMs;
    default:
        return false;
    }
}

QStringList rowNames(int type)
{
    QStringList names;
    for (int lane = 1; lane <= kLaneCount; ++lane)
        names << (goesLaneByLane(type) ? QString("Lane %1").arg(lane) : QString());
    switch (type) {
    case CLOSE_RUN_TEST:
    case OPEN_RUN_TEST:
    case BLOCKED_CARTRIDGE_TEST:
        names << "All Lanes";
        break;
    case DRAWER_TEST:
        names << "Drawer";
        break;
    case PUMP_TEST:
        names << "Pump";
        break;
    default:
        names << QString();
        break;
    }
    return names;
}

QList<int> markedRows(int type)
{
    QList<int> rows;
    for (int row = goesLaneByLane(type) ? 1 : kRowCount; row <= kRowCount; ++row)
        rows << row;
    return rows;
}

bool allMarkedRowsOk(int type, const QList<bool> &results)
{
    const int steps = markedRows(type).size();
    for (int step = 0; step < steps; ++step) {
        if (step >= results.size() || !results[step])
            return false;
    }
    return true;
}

std::string laneLogPath(int type, int lane, int productionId, const QDateTime &start)
{
    QString path
            = QString("%1/%2_%3_%4_%5")
                      .arg(kLogDirectory)
                      .arg(productionId)
                      .arg(start.toString("yyyyMMdd"), start.toString("hhmmss"), typeName(type));
    if (lane >= 0 && lane < kLaneCount)
        path += QString("_lane_%1.log").arg(lane + 1);
    else
        path += "_all_lanes.log";
    return path.toStdString();
}

QString resultsFilePath(int type)
{
    return QString("%1/%2_Results.log").arg(kLogDirectory, typeName(type));
}

QByteArray resultsText(int type, const QList<bool> &flags)
{
    QByteArray text = typeName(type).toLatin1() + "\n\n";
    const auto flag = [&flags](int index) {
        return index < flags.size() && flags[index];
    };
    if (!goesLaneByLane(type))
        return text + verdict(flag(0));
    for (int line = 1; line <= kLaneCount; ++line)
        text += " Line " + QByteArray::number(line) + ":\t " + verdict(flag(line - 1));
    return text + " All lines :\t " + verdict(flag(kLaneCount));
}

} // namespace initialtest
