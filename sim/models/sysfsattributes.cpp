#include "sysfsattributes.h"

#include "sim/simfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

SysfsAttributes::SysfsAttributes(const QString &root) : rootDir(root) { }

bool SysfsAttributes::setFault(const QString &name, const QStringList &arguments, QString *reason)
{
    if (name != "sysfs-gone") {
        *reason = "unknown fault";
        return false;
    }
    if (arguments.size() != 1 || !arguments[0].startsWith("/sys/")) {
        *reason = "needs the attribute's path under /sys/";
        return false;
    }
    const QString file = rootDir + arguments[0];
    if (!QFileInfo(file).isFile()) {
        *reason = "no attribute at " + arguments[0];
        return false;
    }
    const QString device = QFileInfo(file).path();
    if (gone.contains(device))
        return true;
    QMap<QString, QByteArray> attributes;
    const QStringList names = QDir(device).entryList(QDir::Files | QDir::Hidden);
    for (const QString &attribute : names) {
        QFile in(device + "/" + attribute);
        if (in.open(QIODevice::ReadOnly))
            attributes.insert(attribute, in.readAll());
    }
    simfiles::setGone(device, true);
    if (!QDir(device).removeRecursively()) {
        simfiles::setGone(device, false);
        *reason = "cannot remove " + device;
        return false;
    }
    gone.insert(device, attributes);
    return true;
}

void SysfsAttributes::clearFaults()
{
    for (auto device = gone.cbegin(); device != gone.cend(); ++device) {
        simfiles::setGone(device.key(), false);
        QDir().mkpath(device.key());
        for (auto it = device.value().cbegin(); it != device.value().cend(); ++it)
            simfiles::writeAtomically(device.key() + "/" + it.key(), it.value());
    }
    gone.clear();
}

QList<Model::Reading> SysfsAttributes::readings() const
{
    QStringList paths;
    for (const QString &device : gone.keys())
        paths << device.mid(rootDir.size());
    return {{"devices gone", paths.isEmpty() ? QString("none") : paths.join(", ")}};
}
