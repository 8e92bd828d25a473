#include "usbstick.h"

#include "sim/simfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

UsbStick::UsbStick(const QString &root) : rootDir(root)
{
    // A stick left in the node at the last power-off is gone at power-on: the sandbox starts
    // with an empty port.
    QFile::remove(rootDir + "/dev/sda1");
    QFile::remove(rootDir + "/media/sda1");
}

void UsbStick::insert(bool withUpdate)
{
    const QString stick = rootDir + "/sim/usb-stick";
    QDir().mkpath(stick);
    const QString package = stick + "/" + kUpdatePackage;
    if (withUpdate)
        simfiles::writeAtomically(package, "simulated update package\n");
    else
        QFile::remove(package);
    inserted = simfiles::writeAtomically(rootDir + "/dev/sda1", {});
}

void UsbStick::remove()
{
    QFile::remove(rootDir + "/dev/sda1");
    inserted = false;
}

QStringList UsbStick::mountedVolumes() const
{
    const QString mountPoint = rootDir + "/media/sda1";
    if (QFileInfo(mountPoint).isDir())
        return {mountPoint};
    return {};
}

QList<Model::Reading> UsbStick::readings() const
{
    const bool mounted = QFileInfo(rootDir + "/media/sda1").isDir();
    return {{"USB stick", inserted ? (mounted ? "mounted" : "inserted") : "none"}};
}
