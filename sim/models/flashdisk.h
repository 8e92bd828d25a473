#pragma once

#include "sim/model.h"

class LossyDisk;

// The board's eMMC behind the data directory and the stick (LossyDisk).
//
// Fault:
//   disk-slow MS   every fsync and sync takes MS milliseconds, as a worn or busy eMMC does
//                  (this machine's disk takes about one); needs the lossy disk mounted.
class FlashDisk : public Model
{
public:
    explicit FlashDisk(LossyDisk &disk) : disk(disk) { }

    QString name() const override { return "Flash disk"; }
    void tick(int) override { }
    QStringList faultNames() const override { return {"disk-slow"}; }
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;
    QList<Reading> readings() const override;

private:
    LossyDisk &disk;
    int flushMs = 0;
};
