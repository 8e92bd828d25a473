#include "errorrecord.h"

#include "errorcode.h"

const char kErrorLogHeader[] = "time|last menu|code|error|filename|software|"
                               "run id|run log|vessel (mbar)|line 1 (mbar)|line 2 (mbar)|"
                               "line 3 (mbar)|active lanes\n";

namespace {
const std::string kNotFound = "<NOT FOUND>";
const std::string kSeparator = "|";
const std::string kHeaderStart = "time|";
} // namespace

ErrorRecord formatErrorRecord(const ErrorLogEntry &entry, const std::string &logPath,
                              const std::string &time, const MenuNameLookup &menuName)
{
    ErrorRecord record;
    std::string &line = record.line;
    line = time + kSeparator;

    const QString menu = menuName ? menuName(entry.lastMenu) : QString();
    if (menu.isEmpty()) {
        record.messages.push_back("Menu " + std::to_string(entry.lastMenu) + " NOT found");
        line += kNotFound + kSeparator;
    } else {
        line += menu.toStdString() + kSeparator;
    }

    const std::string description = errorDescription(entry.errorCode).toStdString();
    const std::string code = std::to_string(entry.errorCode);
    if (description.empty()) {
        record.messages.push_back("Error " + code + " NOT found");
        line += kNotFound + kSeparator + kNotFound + kSeparator;
    } else {
        line += code + kSeparator + description + kSeparator;
        record.messages.push_back("Logged error: " + description + " (code: " + code + ")");
    }

    line += logPath + kSeparator + entry.software;

    // Before the first run there is no run context worth recording.
    if (entry.runId != 0) {
        line += kSeparator + std::to_string(entry.runId) + kSeparator + entry.runLog + kSeparator
                + std::to_string(entry.vesselPressure) + kSeparator;
        for (const uint16_t pressure : entry.linePressure)
            line += std::to_string(pressure) + kSeparator;
        if (entry.activeLanes) {
            // QMap iterates in ascending key order: lane 1 first.
            for (const bool selected : *entry.activeLanes)
                line += selected ? '1' : '0';
        } else {
            line += kNotFound + kSeparator;
        }
    }
    line += '\n';
    return record;
}

bool isErrorLogHeader(const std::string &line)
{
    return line.compare(0, kHeaderStart.size(), kHeaderStart) == 0;
}
