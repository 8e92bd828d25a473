#pragma once

#include "errorlogentry.h"

#include <string>
#include <vector>

// The first line of a new error log, "\n" included.
extern const char kErrorLogHeader[];

// One error-log line and the console messages that describe it.
struct ErrorRecord
{
    std::string line; // "\n" included
    std::vector<std::string> messages;
};

// Builds the record of `entry` written at `time` into the log at `logPath`.
ErrorRecord formatErrorRecord(const ErrorLogEntry &entry, const std::string &logPath,
                              const std::string &time, const MenuNameLookup &menuName);

// True for the column-title line of the log, wherever it stands.
bool isErrorLogHeader(const std::string &line);
