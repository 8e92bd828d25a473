#pragma once

#include "sim/model.h"

// The USB port. Inserting a stick makes the kernel node /dev/sda1 appear; the installed attach
// script then mounts the stick's contents (<root>/sim/usb-stick) at /media/sda1 (a link there
// stands for the mount). A stick inserted with an update carries the update package the attach
// script looks for; each insertion brings a new version of it. A stick whose file system the
// board cannot read makes the node appear but mounts nothing: /media/sda1 stays a plain folder
// of the instrument's disk, as mount points often are. A board restarted with the stick in the
// port (after a software update) finds the node again but nothing mounted.
//
// A stick comes from outside: files and symbolic links can be put on it as a PC would leave
// them (a forged settings backup, a log file linked to the instrument's settings file), whether
// it is plugged in or not.
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
    // Present while the stick in the port cannot be mounted; the attach script looks at it.
    static constexpr const char *kNoMountFile = "/sim/usb-stick.nomount";
    static constexpr const char *kContentDir = "/sim/usb-stick";

    UsbStick(const QString &root, bool insertedAtPowerOn);

    QString name() const override { return "USB stick"; }
    void tick(int) override { }
    QList<Reading> readings() const override;
    QStringList faultNames() const override;
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;

    void insert(bool withUpdate, bool mounts = true);
    void remove();
    // Mount points, as the platform layer reports them.
    QStringList mountedVolumes() const;

    // A plain file at `stickPath` (relative to the stick's top folder), folders made as needed;
    // whatever was at the path before is replaced.
    bool putFile(const QString &stickPath, const QByteArray &content, QString *reason);
    // A symbolic link at `stickPath` to `target`: an absolute target is an instrument path, as
    // the board resolves it; it need not exist (a dangling link).
    bool putLink(const QString &stickPath, const QString &target, QString *reason);

private:
    bool mounted() const;
    // The stick's file for `stickPath`, its folders made; empty (with the reason) for a path
    // that is not inside the stick.
    QString placeOnStick(const QString &stickPath, QString *reason) const;

    QString rootDir;
};
