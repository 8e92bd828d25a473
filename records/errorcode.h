#pragma once

#include <QMetaType>
#include <QString>

// The instrument's numbered faults. Class 2 errors block (error screen, pending flag); class 1
// errors are only logged. Codes travel through queued connections as the meta type "ErrorCode".
enum ErrorCode : int {
    ERROR_UNDEFINED = 0,
    ERROR_DRAWER_STUCK_INSIDE = 1,
    ERROR_DRAWER_STUCK_OUTSIDE = 2,
    ERROR_DRAWER_OBSTACLE = 3,
    ERROR_DRAWER_CALIBRATION = 4,
    ERROR_UNEXPECTED_SHUTDOWN = 5,
    ERROR_INSUFFICIENT_PRESSURE = 6,
    ERROR_PRESSURE_LEAKAGE = 7,
    ERROR_PRESSURE_REGULATION = 8,
    ERROR_PREVIOUS = 1000,
    ERROR_TEST = 65535
};
Q_DECLARE_METATYPE(ErrorCode)

// Empty for a code that is not in the table.
QString errorDescription(int code);
// 2 blocking, 1 logged only, 0 for a code that is not in the table.
int errorClass(int code);
