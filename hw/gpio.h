#pragma once

// Sysfs GPIO lines. Every value goes out as one 4-byte field (text, then NUL padding) so the
// kernel sees the same bytes whatever the text length; each call opens and closes its file.
// Paths are the instrument's absolute sysfs paths; the platform layer resolves them.
class GPIO
{
public:
    static constexpr int kFieldSize = 4;

    static void exportPin(const char *pin);
    static void unexportPin(const char *pin);
    static void setDirection(const char *direction, const char *path);
    static void setEdge(const char *edge, const char *path);
    static void writeValue(const char *value, const char *path);
    // Reads at most kFieldSize bytes and adds no terminator: callers pass a zeroed buffer of
    // at least kFieldSize + 1 bytes (they use 10).
    static void readValue(char *buffer, const char *path);
};
