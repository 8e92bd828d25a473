#include "consolecapture.h"

#include <iostream>

ConsoleCapture::ConsoleCapture() : previous(std::cout.rdbuf(captured.rdbuf())) { }

ConsoleCapture::~ConsoleCapture()
{
    std::cout.rdbuf(previous);
}

bool ConsoleCapture::contains(const std::string &line) const
{
    return ("\n" + captured.str()).find("\n" + line + "\n") != std::string::npos;
}
