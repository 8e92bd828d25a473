#include "usbstick.h"

#include "sim/simfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

UsbStick::UsbStick(const QString &root, bool insertedAtPowerOn) : rootDir(root)
{
    // Mounts do not survive a power cycle; the node does only if the stick is still plugged in.
    QFile::remove(rootDir + "/media/sda1");
    if (insertedAtPowerOn)
        inserted = simfiles::writeAtomically(rootDir + "/dev/sda1", {});
    else
        QFile::remove(rootDir + "/dev/sda1");
}

void UsbStick::insert(bool withUpdate)
{
    const QString stick = rootDir + "/sim/usb-stick";
    QDir().mkpath(stick);
    const QString package = stick + "/" + kUpdatePackage;
    if (withUpdate)
        simfiles::writeAtomically(package,
                                  "simulated update package, version "
                                          + QByteArray::number(QDateTime::currentMSecsSinceEpoch())
                                          + "\n");
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
