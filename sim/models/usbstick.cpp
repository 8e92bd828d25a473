#include "usbstick.h"

#include "sim/lossyfs/lossycontrol.h"
#include "sim/simfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

UsbStick::UsbStick(const QString &root, bool insertedAtPowerOn) : rootDir(root)
{
    // Mounts do not survive a power cycle; the node does only if the stick is still plugged in.
    QFile::remove(rootDir + "/media/sda1");
    clearFaults();
    if (insertedAtPowerOn)
        simfiles::writeAtomically(rootDir + "/dev/sda1", {});
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
    // The stick comes from a computer that wrote and synced it.
    lossycontrol::sync(QFile::encodeName(stick).toStdString());
    simfiles::writeAtomically(rootDir + "/dev/sda1", {});
}

void UsbStick::remove()
{
    QFile::remove(rootDir + "/dev/sda1");
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
    // From the files, not from a flag: a pulled stick vanishes behind the model's back.
    const bool inserted = QFileInfo::exists(rootDir + "/dev/sda1");
    const bool mounted = QFileInfo(rootDir + "/media/sda1").isDir();
    QFile fault(rootDir + kFaultFile);
    const QString faultText
            = fault.open(QIODevice::ReadOnly) ? QString::fromLatin1(fault.readAll()).trimmed() : "";
    const QString text = inserted ? (mounted ? "mounted" : "inserted") : "none";
    return {{"USB stick", faultText.isEmpty() ? text : text + ", " + faultText}};
}

QStringList UsbStick::faultNames() const
{
    return {"usb-full", "usb-pulled-during-copy", "usb-slow"};
}

bool UsbStick::setFault(const QString &name, const QStringList &arguments, QString *reason)
{
    if (!faultNames().contains(name)) {
        *reason = "unknown fault";
        return false;
    }
    if (!arguments.isEmpty()) {
        *reason = name + " takes no arguments";
        return false;
    }
    if (!simfiles::writeAtomically(rootDir + kFaultFile, name.toLatin1() + "\n")) {
        *reason = "cannot write " + rootDir + kFaultFile;
        return false;
    }
    return true;
}

void UsbStick::clearFaults()
{
    QFile::remove(rootDir + kFaultFile);
}
