#include "timetext.h"

#include <ctime>

namespace {
// Room for the longest pattern in use; a longer result yields an empty text, as strftime does.
constexpr size_t kTimeTextBytes = 80;
} // namespace

std::string localTimeText(const char *pattern)
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char buffer[kTimeTextBytes];
    const size_t length = std::strftime(buffer, sizeof buffer, pattern, &local);
    return std::string(buffer, length);
}
