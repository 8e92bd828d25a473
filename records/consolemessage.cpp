#include "consolemessage.h"

#include <iostream>

void printLine(const std::string &message)
{
    std::cout << message << std::endl;
}
