#pragma once

#include <cstddef>

// Reads a sysfs attribute that holds a decimal number (a GPIO value, an IIO raw count).
// strtol stops at the newline sysfs appends; a file that cannot be opened reads as 0.
int readSysfsValue(const char *path);

// Writes `count` bytes to an existing attribute file at the end of what it holds, in one
// write, and closes it again. Sysfs never creates an attribute: an open that could create the
// file is refused there, and anywhere else it would leave a plain file that later writes
// "succeed" into. So an attribute that is missing (its driver unbound, the line not exported)
// is a failure: false, nothing created.
bool appendToAttribute(const char *path, const char *bytes, std::size_t count);
