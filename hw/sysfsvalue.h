#pragma once

// Reads a sysfs attribute that holds a decimal number (a GPIO value, an IIO raw count).
// strtol stops at the newline sysfs appends; a file that cannot be opened reads as 0.
int readSysfsValue(const char *path);
