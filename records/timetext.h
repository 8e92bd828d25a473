#pragma once

#include <string>

// The current local time formatted with a strftime pattern.
std::string localTimeText(const char *pattern);
