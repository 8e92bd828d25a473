#pragma once

#include <QString>

// Menu states of the window's state machine. The numbers are what the window logs, what an
// error record stores as its last menu and what the simulator prints as `state N NAME`: they
// never change. The enumerators live in a namespace of their own so that names as common as
// `Home` or `Error` do not reach every file that includes the window; write `MenuState::Home`.
namespace menustate {

enum MenuState : int {
    Undefined = 0,
    // Set by the constructor before the first entry action; has none of its own.
    Initializing = 1,
    // The pressurizing at power-on, ended by a full vessel or the leakage error.
    InitialPressurizing = 2,
    Home = 3,
    OpenDrawer = 4,
    // The drawer page's toggle: closes, or opens again after a stop.
    CloseDrawer = 5,
    // Logged as "Stop drawer menu", but it asks whether to stop the run, which goes on behind it.
    StopRunQuestion = 6,
    ModeSelection = 7,
    LaneSelection = 8,
    // The run's start: pre-ramp and ramp of the pressure lines.
    RampUp = 9,
    Running = 10,
    DropletsReady = 11,
    // Filling the vessel before a run, a drawer move or an initial test.
    Pressurizing = 12,
    // The password entry in front of the settings pages.
    Settings = 13,
    // The service pages; the only state without a name in logs and error records.
    ServiceMenu = 14,
    Error = 15,
    Shutdown = 16,
    CalibrationStart = 17,
    CalibrationOpen = 18,
    CalibrationInsert = 19,
    CalibrationCaution = 20,
    CalibrationInProgress = 21,
    CalibrationReady = 22,
    CalibrationFinished = 23,
    CalibrationCancel = 24,
    // Named in the table but never entered.
    Test = 255,
};

} // namespace menustate

using menustate::MenuState;

// The name used in logs and error records; empty for a state without one.
QString menuName(int state);
