#include "errorcode.h"

#include <QMap>
#include <QPair>

namespace {

const QMap<int, QPair<QString, int>> &errorTable()
{
    static const QMap<int, QPair<QString, int>> table = {
            {ERROR_UNDEFINED, {"Undefined error", 2}},
            {ERROR_DRAWER_STUCK_INSIDE, {"Drawer is stuck inside", 2}},
            {ERROR_DRAWER_STUCK_OUTSIDE, {"Drawer is stuck outside", 2}},
            {ERROR_DRAWER_OBSTACLE, {"Drawer is stopped due to obstacle", 1}},
            {ERROR_DRAWER_CALIBRATION, {"Drawer calibration failure", 2}},
            {ERROR_UNEXPECTED_SHUTDOWN, {"Unexpected shutdown", 2}},
            {ERROR_INSUFFICIENT_PRESSURE, {"Insufficient system pressure", 2}},
            {ERROR_PRESSURE_LEAKAGE, {"System pressure leakage", 2}},
            {ERROR_PRESSURE_REGULATION, {"Pressure regulation failure", 2}},
            {ERROR_PREVIOUS, {"Previous error", 2}},
            {ERROR_TEST, {"Test error", 1}},
    };
    return table;
}

} // namespace

QString errorDescription(int code)
{
    return errorTable().value(code).first;
}

int errorClass(int code)
{
    return errorTable().value(code, {QString(), 0}).second;
}
