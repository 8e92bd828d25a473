#include "menunames.h"

#include <QMap>

QString menuName(int state)
{
    static const QMap<int, QString> names = {
            {MenuState::Undefined, "Undefined menu"},
            {MenuState::Initializing, "Initializing menu"},
            {MenuState::InitialPressurizing, "Initial pressurizing menu"},
            {MenuState::Home, "Home menu"},
            {MenuState::OpenDrawer, "Open drawer menu"},
            {MenuState::CloseDrawer, "Close drawer menu"},
            {MenuState::StopRunQuestion, "Stop drawer menu"},
            {MenuState::ModeSelection, "Mode selection menu"},
            {MenuState::LaneSelection, "Lane selection menu"},
            {MenuState::RampUp, "Ramp-up menu"},
            {MenuState::Running, "Running menu"},
            {MenuState::DropletsReady, "Droplets ready menu"},
            {MenuState::Pressurizing, "Pressurizing menu"},
            {MenuState::Settings, "Settings menu"},
            {MenuState::Error, "Error menu"},
            {MenuState::Shutdown, "Shutdown menu"},
            {MenuState::CalibrationStart, "Calibration start menu"},
            {MenuState::CalibrationOpen, "Calibration open menu"},
            {MenuState::CalibrationInsert, "Calibration insert menu"},
            {MenuState::CalibrationCaution, "Calibration caution menu"},
            {MenuState::CalibrationInProgress, "Calibration in progress menu"},
            {MenuState::CalibrationReady, "Calibration ready menu"},
            {MenuState::CalibrationFinished, "Calibration finished menu"},
            {MenuState::CalibrationCancel, "Calibration cancel menu"},
            {MenuState::Test, "Test menu"},
    };
    return names.value(state);
}
