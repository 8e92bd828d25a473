#include "flashdisk.h"

#include "sim/lossydisk.h"

bool FlashDisk::setFault(const QString &name, const QStringList &arguments, QString *reason)
{
    bool ok = false;
    const int ms = arguments.size() == 1 ? arguments.first().toInt(&ok) : 0;
    if (name != "disk-slow" || !ok || ms < 0) {
        *reason = "disk-slow takes a time in milliseconds";
        return false;
    }
    if (!disk.setSlow(ms)) {
        *reason = "the lossy disk is not mounted";
        return false;
    }
    flushMs = ms;
    return true;
}

void FlashDisk::clearFaults()
{
    if (flushMs > 0)
        disk.setSlow(0);
    flushMs = 0;
}

QList<Model::Reading> FlashDisk::readings() const
{
    if (!disk.mounted())
        return {{"disk", "plain"}};
    return {{"disk", flushMs > 0 ? QString("lossy, flush %1 ms").arg(flushMs) : "lossy"}};
}
