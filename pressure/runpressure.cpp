#include "runpressure.h"

#include "pressure/pressureramp.h"
#include "pressure/pressuresettingkeys.h"

#include <algorithm>
#include <cstdlib>

using namespace pressuresettingkeys;

RunPressure::Lines RunPressure::linesOf(const QMap<std::string, int> &settings, int mode)
{
    Lines lines;
    for (int line = 0; line < kLines; ++line) {
        lines[line].preRampMbar = settings.value(settingKey(mode, line, QUANTITY_PRE_RAMP), 0);
        lines[line].targetMbar = settings.value(settingKey(mode, line, QUANTITY_TARGET), 0);
        lines[line].rampUpSeconds
                = settings.value(settingKey(mode, line, QUANTITY_RAMP_UP_TIME), 0);
    }
    return lines;
}

int RunPressure::activeSecondsOf(const QMap<std::string, int> &settings, int mode)
{
    return settings.value(settingKey(mode, kActiveTimeLine, QUANTITY_PRE_RAMP), 0);
}

const RunPressure::SetPoints &RunPressure::startPreRamp(const Lines &lines, qint64 nowMs)
{
    *this = RunPressure();
    settings = lines;
    lastRowMs = nowMs;
    for (int line = 0; line < kLines; ++line)
        setPoints[line] = lines[line].preRampMbar;
    return setPoints;
}

RunPressure::PreRampVerdict RunPressure::checkPreRamp()
{
    bool failed = false;
    for (int line = 0; line < kLines; ++line)
        failed = pressureramp::preRampLineFails(measuredMbar[line], setPoints[line]) || failed;
    if (!failed)
        return PreRampVerdict::Reached;
    return ++preRampChecks >= kPreRampAttempts ? PreRampVerdict::Failed : PreRampVerdict::Waiting;
}

int RunPressure::deviation(int line) const
{
    return std::abs(measuredMbar[line] - setPoints[line]);
}

int RunPressure::startRamp(const Lines &lines, qint64 nowMs)
{
    settings = lines;
    ticksLeft = 0;
    for (int line = 0; line < kLines; ++line) {
        rampPressure[line] = lines[line].preRampMbar;
        ticksLeft = std::max(ticksLeft, lines[line].rampUpSeconds);
    }
    currentPhase = Phase::Ramping;
    // The stage starts like a step: the reads of the pre-ramp go on until the first step.
    stepStartMs = nowMs;
    return ticksLeft;
}

const RunPressure::SetPoints &RunPressure::rampStep(qint64 nowMs)
{
    if (ticksLeft > 0) {
        for (int line = 0; line < kLines; ++line) {
            const LineSettings &set = settings[line];
            if (set.rampUpSeconds > 0)
                rampPressure[line] = pressureramp::nextRampPressure(
                        rampPressure[line], set.preRampMbar, set.targetMbar, set.rampUpSeconds);
        }
    }
    --ticksLeft;
    stepStartMs = nowMs;
    rampSetPending = true;
    setPoints = rampPressure;
    return setPoints;
}

const RunPressure::SetPoints &RunPressure::enterTarget()
{
    currentPhase = Phase::AtTarget;
    for (int line = 0; line < kLines; ++line)
        setPoints[line] = settings[line].targetMbar;
    return setPoints;
}

bool RunPressure::readsGoOn(qint64 nowMs) const
{
    return currentPhase != Phase::Ramping || nowMs - stepStartMs < kRampReadWindowMs;
}

bool RunPressure::setConfirmed(qint64 nowMs)
{
    lostConfirmations = 0;
    if (currentPhase == Phase::Ramping)
        rampSetPending = false;
    return readsGoOn(nowMs);
}

bool RunPressure::readConfirmed(qint64 nowMs)
{
    lostConfirmations = 0;
    return readsGoOn(nowMs) && !(currentPhase == Phase::Ramping && rampSetPending);
}

bool RunPressure::confirmationLost(bool runSupervised)
{
    const bool regulated = currentPhase == Phase::Ramping || currentPhase == Phase::AtTarget;
    if (!regulated || !runSupervised || ++lostConfirmations < kLostConfirmationsBeforeError)
        return false;
    lostConfirmations = 0;
    return true;
}

uint32_t RunPressure::stageTimeAt(qint64 nowMs)
{
    const uint32_t elapsed = lastRowMs ? static_cast<uint32_t>(nowMs - *lastRowMs) : 0;
    lastRowMs = nowMs;
    uint32_t &spent = stageTime[static_cast<int>(currentPhase)];
    spent += elapsed;
    return spent;
}

bool RunPressure::lineReading(int line, uint16_t value, bool judged)
{
    measuredMbar[line] = value;
    if (!judged || currentPhase != Phase::AtTarget || !pressureramp::isSupervised(setPoints[line]))
        return false;
    if (pressureramp::outOfRange(value, setPoints[line]))
        ++outOfRangeCount[line];
    else
        outOfRangeCount[line] = 0;
    if (outOfRangeCount[line] <= kOutOfRangeReadings)
        return false;
    outOfRangeCount.fill(0);
    return true;
}
