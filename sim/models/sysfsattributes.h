#pragma once

#include "sim/model.h"

#include <QMap>

// The sysfs attributes as a whole, for the faults that belong to no single device: a driver
// that is unbound or an overlay that is unloaded takes its attribute files with it.
//
// Fault:
//   sysfs-gone PATH   the attribute at the instrument path PATH (/sys/...) disappears: the file
//                     is removed, the model that feeds it can no longer write it, and a file the
//                     program recreates by writing is removed again. Cleared with the other
//                     faults, the attribute comes back with the content it had.
class SysfsAttributes : public Model
{
public:
    explicit SysfsAttributes(const QString &root);

    QString name() const override { return "Sysfs"; }
    void tick(int elapsedMs) override;
    QStringList faultNames() const override { return {"sysfs-gone"}; }
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;
    QList<Reading> readings() const override;

private:
    QString rootDir;
    QMap<QString, QByteArray> gone; // resolved path -> content before it went
};
