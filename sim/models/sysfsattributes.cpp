#include "sysfsattributes.h"

#include "sim/simfiles.h"

#include <QFile>

SysfsAttributes::SysfsAttributes(const QString &root) : rootDir(root) { }

void SysfsAttributes::tick(int)
{
    for (auto it = gone.cbegin(); it != gone.cend(); ++it) {
        if (QFile::exists(it.key()))
            QFile::remove(it.key());
    }
}

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
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        *reason = "no attribute at " + arguments[0];
        return false;
    }
    gone.insert(file, in.readAll());
    in.close();
    simfiles::setGone(file, true);
    QFile::remove(file);
    return true;
}

void SysfsAttributes::clearFaults()
{
    for (auto it = gone.cbegin(); it != gone.cend(); ++it) {
        simfiles::setGone(it.key(), false);
        simfiles::writeAtomically(it.key(), it.value());
    }
    gone.clear();
}

QList<Model::Reading> SysfsAttributes::readings() const
{
    QStringList paths;
    for (const QString &file : gone.keys())
        paths << file.mid(rootDir.size());
    return {{"attributes gone", paths.isEmpty() ? QString("none") : paths.join(", ")}};
}
