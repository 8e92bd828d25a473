#pragma once

#include <string>

// The record writers report on standard output, one flushed line per message, so that their
// progress is visible on the console even when the Qt log goes elsewhere.
void printLine(const std::string &message);
