#pragma once

#include "runlog.h"

#include <QImage>
#include <QVector>

namespace runlogplot {

// Round axis ticks covering [0, maximum]: steps of 1, 2 or 5 times a power of ten, the last
// tick at or above the maximum.
QVector<double> ticks(double maximum, int wanted);

// Vessel pressure (upper panel) and the three line pressures (lower panel) over run time,
// under the header facts of the log. Needs a QGuiApplication for the fonts.
QImage render(const runlog::Log &log, const QString &fileName);

} // namespace runlogplot
