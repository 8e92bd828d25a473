#include "drawersamplelog.h"

#include "drawermath.h"
#include "platform/commands.h"
#include "platform/platform.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>

namespace {

const char *const kLogsDir = "/usr/share/vemla/logs";
const char *const kDrawerLogsDir = "/usr/share/vemla/logs/drawer";

void logLine(const QString &text)
{
    qDebug().noquote() << text;
}

} // namespace

int DrawerSampleLog::enable(int hwVersion)
{
    enabled = false;
    if (hwVersion == 0) {
        logLine(QString("Drawer logging denied, invalid HW version: %1").arg(hwVersion));
        return -1;
    }
    if (!QDir(platform::path(QString(kLogsDir))).exists()) {
        logLine("Drawer logging denied: logs directory missing");
        return -1;
    }
    if (!QDir(platform::path(QString(kDrawerLogsDir))).exists()) {
        if (platform::makeDirectory(platform::path(std::string(kDrawerLogsDir))) != 0) {
            logLine("Drawer logging denied: unable to create directory");
            return -1;
        }
        logLine(QString("Directory %1 created").arg(kDrawerLogsDir));
    }
    enabled = true;
    logLine("Drawer logging: ENABLED");
    return 0;
}

void DrawerSampleLog::disable()
{
    enabled = false;
    logLine("Drawer logging: DISABLED");
}

void DrawerSampleLog::startCalibration()
{
    calibration = true;
    logLine("Drawer: Calibration data logging: ENABLED");
}

void DrawerSampleLog::record(int sample)
{
    if (recording())
        samples.push_back(sample);
}

std::optional<uint16_t> DrawerSampleLog::finishMove(const std::string &move)
{
    std::optional<uint16_t> threshold;
    if (calibration)
        threshold = samples.empty() ? 0 : drawermath::calibrationThreshold(samples);
    if (!samples.empty())
        writeSamples(move);
    samples.clear();
    if (calibration) {
        logLine("Drawer: Calibration data logging: DISABLED");
        calibration = false;
    }
    return threshold;
}

void DrawerSampleLog::writeSamples(const std::string &move) const
{
    const QString path = QString(kDrawerLogsDir) + '/'
            + drawermath::drawerLogFileName(calibration, move, QDateTime::currentDateTime());
    QFile file(platform::path(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        logLine("Unable to open: " + path);
        return;
    }
    QByteArray text;
    for (int sample : samples)
        text += QByteArray::number(sample) + '\n';
    if (file.write(text) != text.size())
        logLine("Unable to write: " + path);
    else
        logLine(QString("Wrote %1 values to log: %2").arg(samples.size()).arg(path));
}
