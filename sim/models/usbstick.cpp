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
    clearFaults();
    if (insertedAtPowerOn)
        simfiles::writeAtomically(rootDir + "/dev/sda1", {});
    else
        QFile::remove(rootDir + "/dev/sda1");
}

void UsbStick::insert(bool withUpdate, bool mounts)
{
    const QString stick = rootDir + kContentDir;
    QDir().mkpath(stick);
    const QString package = stick + "/" + kUpdatePackage;
    if (withUpdate)
        simfiles::writeAtomically(package,
                                  "simulated update package, version "
                                          + QByteArray::number(QDateTime::currentMSecsSinceEpoch())
                                          + "\n");
    else
        QFile::remove(package);
    if (mounts)
        QFile::remove(rootDir + kNoMountFile);
    else
        simfiles::writeAtomically(rootDir + kNoMountFile, {});
    simfiles::writeAtomically(rootDir + "/dev/sda1", {});
}

void UsbStick::remove()
{
    QFile::remove(rootDir + "/dev/sda1");
    QFile::remove(rootDir + kNoMountFile);
}

// Mounted is the attach script's link to the stick's contents; a plain folder at the mount
// point is the instrument's own disk.
bool UsbStick::mounted() const
{
    const QFileInfo mountPoint(rootDir + "/media/sda1");
    return mountPoint.isSymLink()
            && QFileInfo(mountPoint.symLinkTarget()).canonicalFilePath()
            == QFileInfo(rootDir + kContentDir).canonicalFilePath();
}

QStringList UsbStick::mountedVolumes() const
{
    if (mounted())
        return {rootDir + "/media/sda1"};
    return {};
}

QString UsbStick::placeOnStick(const QString &stickPath, QString *reason) const
{
    const QString clean = QDir::cleanPath(stickPath);
    if (clean.isEmpty() || clean == "." || clean.startsWith('/') || clean.startsWith("..")) {
        *reason = "not a path inside the stick: " + stickPath;
        return {};
    }
    const QString file = rootDir + kContentDir + "/" + clean;
    if (!QDir().mkpath(QFileInfo(file).path())) {
        *reason = "cannot make the folders of " + stickPath;
        return {};
    }
    // Whatever was there before makes room: a file or link, or a folder with its contents
    // (links inside it are removed, not followed).
    const QFileInfo before(file);
    if (before.isDir() && !before.isSymLink())
        QDir(file).removeRecursively();
    else
        QFile::remove(file);
    return file;
}

bool UsbStick::putFile(const QString &stickPath, const QByteArray &content, QString *reason)
{
    const QString file = placeOnStick(stickPath, reason);
    if (file.isEmpty())
        return false;
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size()) {
        *reason = "cannot write " + file;
        return false;
    }
    return true;
}

bool UsbStick::putLink(const QString &stickPath, const QString &target, QString *reason)
{
    const QString file = placeOnStick(stickPath, reason);
    if (file.isEmpty())
        return false;
    const QString resolved = target.startsWith('/') ? rootDir + target : target;
    if (!QFile::link(resolved, file)) {
        *reason = "cannot link " + file + " to " + resolved;
        return false;
    }
    return true;
}

QList<Model::Reading> UsbStick::readings() const
{
    // From the files, not from a flag: a pulled stick vanishes behind the model's back.
    const bool inserted = QFileInfo::exists(rootDir + "/dev/sda1");
    QFile fault(rootDir + kFaultFile);
    const QString faultText
            = fault.open(QIODevice::ReadOnly) ? QString::fromLatin1(fault.readAll()).trimmed() : "";
    const QString text = inserted ? (mounted() ? "mounted" : "inserted") : "none";
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
