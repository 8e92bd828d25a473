#include "runcounters.h"

#include "appsettings.h"
#include "platform/platform.h"

RunCounters::RunCounters()
{
    connect(this, &RunCounters::countRequested, this, &RunCounters::count, Qt::QueuedConnection);
}

void RunCounters::requestCount(const QString &runMode)
{
    emit countRequested(runMode);
}

void RunCounters::count(const QString &runMode)
{
    AppSettings settings;
    const int productionId = settings.loadProductionSetting(AppSettings::PRODUCTION_ID) + 1;
    settings.saveProductionSetting(AppSettings::PRODUCTION_ID, productionId);
    AppSettings::ProductionSetting counter = AppSettings::PRODUCTION_UNDEFINED;
    if (runMode == "dPCR")
        counter = AppSettings::PRODUCTION_DPCR_RUN;
    else if (runMode == "dMDA")
        counter = AppSettings::PRODUCTION_DMDA_RUN;
    if (counter != AppSettings::PRODUCTION_UNDEFINED)
        settings.saveProductionSetting(counter, settings.loadProductionSetting(counter) + 1);
    platform::run("sync");
    emit runCounted(productionId);
}
