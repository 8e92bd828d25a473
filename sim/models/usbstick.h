#pragma once

#include "sim/model.h"

// The USB port. Inserting a stick makes the kernel node /dev/sda1 appear; the installed attach
// script then mounts the stick's contents (<root>/sim/usb-stick) at /media/sda1. A stick
// inserted with an update carries the update package the attach script looks for; each
// insertion brings a new version of it. A board restarted with the stick in the port (after a
// software update) finds the node again but nothing mounted.
class UsbStick : public Model
{
public:
    static constexpr const char *kUpdatePackage = "vemla8-update.swu";

    UsbStick(const QString &root, bool insertedAtPowerOn);

    QString name() const override { return "USB stick"; }
    void tick(int) override { }
    QList<Reading> readings() const override;

    void insert(bool withUpdate);
    void remove();
    // Mount points, as the platform layer reports them.
    QStringList mountedVolumes() const;

private:
    QString rootDir;
    bool inserted = false;
};
