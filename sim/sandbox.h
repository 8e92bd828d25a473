#pragma once

#include <QString>

// Lays out the instrument's file system under a root directory: sysfs attributes as plain
// files, /dev nodes, the data directory with its resources, /media, /tmp, and the fake
// platform tools that record their calls in <root>/sim/commands.log.
// An existing root is reused (settings, logs and flags survive like on the instrument's disk);
// missing pieces are added and the tools are always rewritten for the current root.
class Sandbox
{
public:
    explicit Sandbox(const QString &root);

    bool lay(bool fresh, int hardwareVersion, QString *error);

    QString root() const { return rootDir; }
    QString file(const QString &absolutePath) const { return rootDir + absolutePath; }
    QString commandsLog() const { return file("/sim/commands.log"); }
    QString appLog() const { return file("/sim/app.log"); }
    QString toolsDir() const { return file("/sim/bin"); }
    QString usbStickDir() const { return file("/sim/usb-stick"); }
    QString powerOffMarker() const { return file("/sim/poweroff.request"); }
    // Left by the simulated update script: the board restarts into the new software.
    QString restartMarker() const { return file("/sim/restart.request"); }

private:
    bool laySysfs(int hardwareVersion);
    bool layDataDirectory();
    bool layTools();
    bool writeTool(const QString &absolutePath, const QString &body);
    bool touch(const QString &absolutePath, const QByteArray &content);

    QString rootDir;
};
