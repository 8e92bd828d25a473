#include "systemlog.h"

#include "durablefile.h"
#include "platform/commands.h"

#include "platform/platform.h"

#include <QDebug>
#include <QFileInfo>

namespace {
const char *const kSystemLogDir = "/usr/share/vemla/logs/system";
} // namespace

QString systemlog::fileName(const QDateTime &at, int bootSelector)
{
    return QString::fromLatin1(kSystemLogDir) + "/system_log_" + at.toString("yyyyMMdd") + "_"
            + at.toString("hhmmss")
            + (bootSelector == kPreviousBoot ? "_PREVIOUS_BOOT.log" : ".log");
}

bool systemlog::save(int bootSelector, const QDateTime &at)
{
    const std::string dir = platform::path(kSystemLogDir);
    if (!QFileInfo(QString::fromStdString(dir)).isDir()) {
        if (platform::makeDirectory(dir) != 0) {
            qDebug("System logging denied: unable to create directory");
            return false;
        }
        qDebug("Directory %s created", kSystemLogDir);
        syncDirectoryOf(QString::fromStdString(dir));
    }
    const char *journal = nullptr;
    if (bootSelector == kCurrentBoot)
        journal = "journalctl -b 0";
    else if (bootSelector == kPreviousBoot)
        journal = "journalctl -b -1";
    else
        return true;
    const std::string target = platform::path(fileName(at, bootSelector).toStdString());
    if (platform::saveOutput(journal, target) != 0) {
        qDebug("Error while writting system log");
        return false;
    }
    // The journal of a boot that ended in a power loss exists nowhere else any more.
    syncDurably(QString::fromStdString(target), true);
    qDebug("System log saved");
    return true;
}

bool saveSystemLog(int bootSelector)
{
    return systemlog::save(bootSelector, QDateTime::currentDateTime());
}
