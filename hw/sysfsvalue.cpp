#include "sysfsvalue.h"

#include "gpio.h"
#include "platform/platform.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int readSysfsValue(const char *path)
{
    char buffer[10] = {};
    GPIO::readValue(buffer, path);
    return static_cast<int>(std::strtol(buffer, nullptr, 10));
}

bool appendToAttribute(const char *path, const char *bytes, std::size_t count)
{
    const int file = ::open(platform::path(path).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (file < 0)
        return false;
    // Like the stdio writes it replaces, the outcome of the write itself is not checked: the
    // kernel takes an attribute write whole or answers with an error the callers have no use
    // for; only the opening tells them whether the output exists.
    [[maybe_unused]] const ssize_t written = ::write(file, bytes, count);
    ::close(file);
    return true;
}
