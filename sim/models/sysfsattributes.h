#pragma once

#include "sim/model.h"

#include <QMap>

// The sysfs attributes as a whole, for the faults that belong to no single device: a driver
// that is unbound, a GPIO line that is unexported or an overlay that is unloaded takes the
// device's attribute directory with it. Opening any attribute of it then fails, for reading
// and for writing alike: sysfs never creates an attribute a program opens for appending.
//
// Fault:
//   sysfs-gone PATH   the device of the attribute at the instrument path PATH (/sys/...) goes:
//                     the attribute's directory is removed with every attribute in it (for
//                     in_voltage7_raw the whole ADC, the drawer current's channel too), and the
//                     models that feed them can no longer write them. Cleared with the other
//                     faults, the device comes back with the contents it had.
class SysfsAttributes : public Model
{
public:
    explicit SysfsAttributes(const QString &root);

    QString name() const override { return "Sysfs"; }
    void tick(int) override { }
    QStringList faultNames() const override { return {"sysfs-gone"}; }
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;
    QList<Reading> readings() const override;

private:
    QString rootDir;
    // Resolved device directory -> its attribute files and their contents before it went.
    QMap<QString, QMap<QString, QByteArray>> gone;
};
