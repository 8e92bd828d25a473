#include "runcounters.h"

#include "platform/platform.h"

namespace {

AppSettings::ProductionSetting counterOfMode(const QString &runMode)
{
    if (runMode == "dPCR")
        return AppSettings::PRODUCTION_DPCR_RUN;
    if (runMode == "dMDA")
        return AppSettings::PRODUCTION_DMDA_RUN;
    return AppSettings::PRODUCTION_UNDEFINED;
}

} // namespace

RunCounters::RunCounters()
{
    connect(this, &RunCounters::countRequested, this, &RunCounters::count, Qt::QueuedConnection);
}

void RunCounters::requestCount(const QString &runMode)
{
    // Only the counter's selector crosses to the worker, not the caller's string.
    emit countRequested(counterOfMode(runMode));
}

void RunCounters::count(AppSettings::ProductionSetting modeCounter)
{
    AppSettings settings;
    const int productionId = settings.loadProductionSetting(AppSettings::PRODUCTION_ID) + 1;
    settings.saveProductionSetting(AppSettings::PRODUCTION_ID, productionId);
    if (modeCounter != AppSettings::PRODUCTION_UNDEFINED)
        settings.saveProductionSetting(modeCounter,
                                       settings.loadProductionSetting(modeCounter) + 1);
    platform::run("sync");
    emit runCounted(productionId);
}
