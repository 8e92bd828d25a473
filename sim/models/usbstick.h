#pragma once

#include "sim/model.h"

// The USB port. Inserting a stick makes the kernel node /dev/sda1 appear; the installed attach
// script then mounts the stick's contents (<root>/sim/usb-stick) at /media/sda1. A stick
// inserted with an update carries the update package the attach script looks for; each
// insertion brings a new version of it. A board restarted with the stick in the port (after a
// software update) finds the node again but nothing mounted.
//
// Faults (they act on copies onto the stick, which the sandbox's cp asks about):
//   usb-full                the stick has no room left: a copy onto it fails with nothing
//                           written (files the program writes itself still succeed)
//   usb-pulled-during-copy  the stick is pulled out as a copy onto it begins: the node and the
//                           mount vanish and the copy fails
//   usb-slow                a cheap stick: every copy onto it takes 3 s longer
class UsbStick : public Model
{
public:
    static constexpr const char *kUpdatePackage = "vemla8-update.swu";
    // Where the fault in force is left for the sandbox's tools.
    static constexpr const char *kFaultFile = "/sim/usb-stick.fault";

    UsbStick(const QString &root, bool insertedAtPowerOn);

    QString name() const override { return "USB stick"; }
    void tick(int) override { }
    QList<Reading> readings() const override;
    QStringList faultNames() const override;
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;

    void insert(bool withUpdate);
    void remove();
    // Mount points, as the platform layer reports them.
    QStringList mountedVolumes() const;

private:
    QString rootDir;
};
