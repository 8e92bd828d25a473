#include "pressuresettingkeys.h"

#include "records/runmode.h"

namespace pressuresettingkeys {

namespace {
QString modeName(int mode)
{
    return mode == MODE_DMDA ? runmode::kDmda : runmode::kDpcr;
}
} // namespace

std::string settingKey(int mode, int line, int quantity)
{
    const QString prefix = modeName(mode).toLower() + "_";
    if (line == kActiveTimeLine)
        return (prefix + "active_time").toStdString();
    static const char *const suffixes[] = {"preRamp", "target", "rampUpTime"};
    return (prefix + QString("line_%1_").arg(line + 1) + suffixes[quantity]).toStdString();
}

QString settingTitle(int mode, int line, int quantity)
{
    if (line == kActiveTimeLine)
        return modeName(mode) + " Active time";
    static const char *const quantities[]
            = {"Pre-ramp pressure", "Active pressure", "Ramp-up time"};
    return modeName(mode) + QString(" Line %1 ").arg(line + 1) + quantities[quantity];
}

} // namespace pressuresettingkeys
