#pragma once

#include <sstream>
#include <streambuf>
#include <string>

// Collects what is written to std::cout while it lives (the record writers and the RS485 driver
// report there).
class ConsoleCapture
{
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture &) = delete;
    ConsoleCapture &operator=(const ConsoleCapture &) = delete;

    std::string text() const { return captured.str(); }
    bool contains(const std::string &line) const;

private:
    std::ostringstream captured;
    std::streambuf *previous;
};
