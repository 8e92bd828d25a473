#include "menunames.h"

#include <QMap>

QString menuName(int state)
{
    static const QMap<int, QString> names = {
            {0, "Undefined menu"},
            {1, "Initializing menu"},
            {2, "Initial pressurizing menu"},
            {3, "Home menu"},
            {4, "Open drawer menu"},
            {5, "Close drawer menu"},
            {6, "Stop drawer menu"},
            {7, "Mode selection menu"},
            {8, "Lane selection menu"},
            {9, "Ramp-up menu"},
            {10, "Running menu"},
            {11, "Droplets ready menu"},
            {12, "Pressurizing menu"},
            {13, "Settings menu"},
            {15, "Error menu"},
            {16, "Shutdown menu"},
            {17, "Calibration start menu"},
            {18, "Calibration open menu"},
            {19, "Calibration insert menu"},
            {20, "Calibration caution menu"},
            {21, "Calibration in progress menu"},
            {22, "Calibration ready menu"},
            {23, "Calibration finished menu"},
            {24, "Calibration cancel menu"},
            {255, "Test menu"},
    };
    return names.value(state);
}
