#pragma once

#include "sim/model.h"

// The file system that holds /usr/share/vemla/logs. On the instrument it is a partition of its
// own, so that logs that grow without bound cannot starve the settings.
//
// Fault:
//   logs-full   the partition has no free block left: every write the program makes to a file
//               under logs/ fails with ENOSPC. Opening and creating files still works (there are
//               inodes to spare), as on a real full ext4 volume. Commands the program runs
//               through the shell are separate processes and are not affected.
class LogsVolume : public Model
{
public:
    static constexpr const char *kLogsDirectory = "/usr/share/vemla/logs/";

    explicit LogsVolume(const QString &root);
    ~LogsVolume() override;

    QString name() const override { return "Logs volume"; }
    void tick(int) override { }
    QStringList faultNames() const override { return {"logs-full"}; }
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;
    QList<Reading> readings() const override;
};
