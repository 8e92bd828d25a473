#include "storage.h"

#include "consolemessage.h"

Storage::Storage()
{
    printLine("Creating Storage");
}

Storage::~Storage()
{
    printLine("Storage destructor");
}

void Storage::addRow(const Row *row)
{
    if (row)
        storedRows.push_back(*row);
}

void Storage::clear()
{
    storedRows.clear();
}
