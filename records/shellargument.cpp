#include "shellargument.h"

#include <algorithm>
#include <cctype>

namespace {

bool isPlain(unsigned char c)
{
    return std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c == ':'
            || c == ',' || c == '@' || c == '%';
}

} // namespace

std::string shellArgument(const std::string &path)
{
    if (!path.empty() && std::all_of(path.begin(), path.end(), isPlain))
        return path;
    std::string quoted = "'";
    for (char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}
