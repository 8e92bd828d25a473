#include "fanmodel.h"

#include "sim/simfiles.h"

namespace {
constexpr int kPwmFieldWidth = 3;
constexpr int kMaxDuty = 255;
} // namespace

FanModel::FanModel(const QString &root) : pwmFile(root + "/sys/class/leds/PWM<D>/brightness") { }

void FanModel::tick(int)
{
    dutyNow = simfiles::lastFieldValue(pwmFile, kPwmFieldWidth, 0);
}

QList<Model::Reading> FanModel::readings() const
{
    return {{"fan duty",
             QString("%1 / %2 (%3 %)").arg(dutyNow).arg(kMaxDuty).arg(dutyNow * 100 / kMaxDuty)}};
}
