#include "lossycontrol.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace lossycontrol {

namespace {

bool request(const std::string &folder, const char *name, const std::string &value)
{
    return isLossy(folder) && ::setxattr(folder.c_str(), name, value.data(), value.size(), 0) == 0;
}

} // namespace

bool isLossy(const std::string &folder)
{
    char value[16];
    return ::getxattr(folder.c_str(), kVolume, value, sizeof value) > 0;
}

bool sync(const std::string &folder)
{
    return request(folder, kSync, "1");
}

bool finish(const std::string &folder, const std::string &how)
{
    return request(folder, kFinish, how);
}

bool setSlow(const std::string &folder, int milliseconds)
{
    return request(folder, kSlow, std::to_string(milliseconds));
}

bool usable(std::string *why)
{
    const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        *why = std::string("/dev/fuse: ") + std::strerror(errno);
        return false;
    }
    ::close(fd);
    // The simulator mounts and detaches the volumes itself, which takes root (CI and the
    // development machines run as root).
    if (::geteuid() != 0) {
        *why = "mounting a volume takes root";
        return false;
    }
    return true;
}

} // namespace lossycontrol
