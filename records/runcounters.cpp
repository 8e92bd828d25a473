#include "runcounters.h"

#include "platform/commands.h"
#include "records/runmode.h"

#include <algorithm>

namespace {

AppSettings::ProductionSetting counterOfMode(const QString &runMode)
{
    if (runMode == runmode::kDpcr)
        return AppSettings::PRODUCTION_DPCR_RUN;
    if (runMode == runmode::kDmda)
        return AppSettings::PRODUCTION_DMDA_RUN;
    return AppSettings::PRODUCTION_UNDEFINED;
}

} // namespace

RunCounters::RunCounters()
{
    connect(this, &RunCounters::countRequested, this, &RunCounters::count, Qt::QueuedConnection);
}

int RunCounters::nextProductionId(int lastGiven)
{
    return std::max(lastGiven, AppSettings().loadProductionSetting(AppSettings::PRODUCTION_ID)) + 1;
}

void RunCounters::requestCount(int productionId, const QString &runMode)
{
    // Only the counter's selector crosses to the worker, not the caller's string.
    emit countRequested(productionId, counterOfMode(runMode));
}

void RunCounters::count(int productionId, AppSettings::ProductionSetting modeCounter)
{
    AppSettings settings;
    settings.saveProductionSetting(AppSettings::PRODUCTION_ID, productionId);
    if (modeCounter != AppSettings::PRODUCTION_UNDEFINED)
        settings.saveProductionSetting(modeCounter,
                                       settings.loadProductionSetting(modeCounter) + 1);
    platform::sync();
    emit runCounted(productionId);
}
