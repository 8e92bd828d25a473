#pragma once

#include <QMap>
#include <QtGlobal>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The pressure stages of a run: the pre-ramp, the ramp towards the targets and the regulation
// at target. It is told the readings, the confirmations and the time (milliseconds of one
// steady clock) and answers with the set-points to send, whether to ask for the next reading
// and whether the regulation has failed. Timers, signals and screens stay with its caller.
class RunPressure
{
public:
    enum class Phase { PreRamp, Ramping, AtTarget };
    enum class PreRampVerdict { Reached, Waiting, Failed };

    static constexpr int kLines = 3;
    struct LineSettings
    {
        int preRampMbar = 0;
        int targetMbar = 0;
        int rampUpSeconds = 0;
    };
    using Lines = std::array<LineSettings, kLines>;
    using SetPoints = std::array<int, kLines>;

    // The three lines' settings of a run mode (pressuresettingkeys::Mode); missing keys are 0.
    static Lines linesOf(const QMap<std::string, int> &settings, int mode);
    // The run mode's active time in seconds (0 when missing).
    static int activeSecondsOf(const QMap<std::string, int> &settings, int mode);

    // Starts a run: everything of the previous one is forgotten. Returns the pre-ramp
    // set-points to send.
    const SetPoints &startPreRamp(const Lines &lines, qint64 nowMs);
    // One check of the pre-ramp, once a second: reached when every line is close enough, failed
    // when it has not been for too many checks.
    PreRampVerdict checkPreRamp();
    int deviation(int line) const;

    // The ramp's length in steps (seconds): the longest line's. With none, the caller goes on
    // to target at once.
    int startRamp(const Lines &lines, qint64 nowMs);
    // One step of the ramp: the set-points to send. The ramp is through when no step is left.
    const SetPoints &rampStep(qint64 nowMs);
    int stepsLeft() const { return ticksLeft; }
    // The targets to send: the run is regulated from now on.
    const SetPoints &enterTarget();
    // The run (or the instrument) sends 0 to every line.
    void clearSetPoints() { setPoints.fill(0); }

    // The confirmations of the link. Each one proves the controllers answer; the result says
    // whether the read cycle goes on with the next reading.
    bool setConfirmed(qint64 nowMs);
    bool readConfirmed(qint64 nowMs);
    // A request the watchdog had to repeat. `runSupervised` is the caller's part of the
    // judgement (a run is on and nothing else judges the lines); true means the controllers
    // have been silent for so long that the lines count as unregulated.
    bool confirmationLost(bool runSupervised);

    // The milliseconds spent in the current stage, as a new row of readings opens.
    uint32_t stageTimeAt(qint64 nowMs);
    // A line's reading; `judged` is false where something else judges the lines. True means the
    // line has been out of range for too long: a regulation error.
    bool lineReading(int line, uint16_t value, bool judged);

    Phase phase() const { return currentPhase; }
    const SetPoints &currentSetPoints() const { return setPoints; }
    uint16_t measured(int line) const { return measuredMbar[line]; }

    // The pre-ramp set-points get about this many seconds (one check each) to be reached.
    static constexpr int kPreRampAttempts = 16;
    // At target, a line may be out of range for this many readings in a row.
    static constexpr int kOutOfRangeReadings = 50;
    // Watchdog expiries in a row, with no confirmation from the controllers, after which a
    // run's lines count as unregulated: 26 x 500 ms is the time the 51 readings out of range
    // take.
    static constexpr int kLostConfirmationsBeforeError = 26;
    // During the ramp, reads stop this long after a step so the next step's set-points do not
    // queue behind them in the link's thread.
    static constexpr qint64 kRampReadWindowMs = 900;

private:
    bool readsGoOn(qint64 nowMs) const;

    Phase currentPhase = Phase::PreRamp;
    Lines settings {};
    SetPoints setPoints {};
    SetPoints rampPressure {};
    int ticksLeft = 0;
    std::array<uint16_t, kLines> measuredMbar {};
    std::array<int, kLines> outOfRangeCount {};
    int lostConfirmations = 0;
    int preRampChecks = 0;
    // A ramp step's set-points are not yet confirmed: no read may queue before them.
    bool rampSetPending = false;
    qint64 stepStartMs = 0;
    // When the last row of readings opened; none before the first run.
    std::optional<qint64> lastRowMs;
    // Milliseconds spent in each stage: 32 bits, as a 120 s ramp overflows 16.
    std::array<uint32_t, 3> stageTime {};
};
