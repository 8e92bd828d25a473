#include "logsvolume.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

// The program writes its logs through Qt, the C++ streams and the C library, all of which end
// in write(). The simulator is the same process, so it answers that call itself: the one place
// where a full volume shows, whichever way the program writes.
namespace {

std::atomic<bool> volumeFull {false};
std::string logsPrefix; // set before volumeFull turns true, read only while it is true

bool onLogsVolume(int fd)
{
    char link[64];
    char target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return false;
    return static_cast<size_t>(length) > logsPrefix.size()
            && std::strncmp(target, logsPrefix.c_str(), logsPrefix.size()) == 0;
}

using WriteCall = ssize_t (*)(int, const void *, size_t);

WriteCall realWrite()
{
    static const WriteCall next = reinterpret_cast<WriteCall>(dlsym(RTLD_NEXT, "write"));
    return next;
}

} // namespace

extern "C" ssize_t write(int fd, const void *buffer, size_t count)
{
    // Descriptors 0 to 2 are the console: never on the volume, and the hottest path.
    if (fd > STDERR_FILENO && volumeFull.load(std::memory_order_acquire) && onLogsVolume(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return realWrite()(fd, buffer, count);
}

LogsVolume::LogsVolume(const QString &root)
{
    // The descriptors name canonical paths; the root may be given through a link.
    const QString canonical = QFileInfo(root).canonicalFilePath();
    logsPrefix = QFile::encodeName((canonical.isEmpty() ? root : canonical) + kLogsDirectory)
                         .toStdString();
}

LogsVolume::~LogsVolume()
{
    volumeFull = false;
}

bool LogsVolume::setFault(const QString &name, const QStringList &arguments, QString *reason)
{
    if (name != "logs-full" || !arguments.isEmpty()) {
        *reason = "logs-full takes no arguments";
        return false;
    }
    volumeFull.store(true, std::memory_order_release);
    return true;
}

void LogsVolume::clearFaults()
{
    volumeFull = false;
}

QList<Model::Reading> LogsVolume::readings() const
{
    return {{"logs volume", volumeFull ? "full" : "free space"}};
}
