#include "laneflow.h"

#include <bitset>

namespace laneflow {

double openLanes(uint8_t valveLevels, bool driven)
{
    if (!driven)
        return 0;
    return kLanes - static_cast<int>(std::bitset<kLanes>(valveLevels).count());
}

double draw(uint8_t valveLevels, bool driven, const std::array<double, kLines> &lineMbar)
{
    double lines = 0;
    for (double mbar : lineMbar)
        lines += mbar > 0 ? mbar : 0;
    return openLanes(valveLevels, driven) * lines / kRunLinesMbar;
}

} // namespace laneflow
