#pragma once

#include "errorlogentry.h"
#include "storage.h"

#include <fstream>
#include <string>
#include <vector>

// Writes the run logs and keeps the error log. All paths are instrument paths
// ("/usr/share/vemla/..."); they are resolved through the platform layer here, and the files
// show them as given. Messages go to standard output. The run-log operations are used from the
// GUI thread only; the error-log operations are serialised by one process-wide lock.
class Writer
{
public:
    explicit Writer(MenuNameLookup menuName);
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // --- run log
    // Instrument temperature (degrees Celsius) at the start (isFinal false) or end of a run.
    void setTemperature(int value, bool isFinal);
    // Writes the header and the rows of `storage` into a new file at `path`. An existing file
    // is never touched.
    void createLogFile(const std::string &path, const Storage &storage);
    void writeHeader(std::ofstream &file, std::string path);
    void writeRows(std::ofstream &file, std::vector<std::vector<uint32_t>> rows);
    // True if something exists at the instrument path.
    bool fileExists(const std::string &path);

    // --- error log
    // Appends the record of `entry` to the error log at `path`.
    void writeErrorLog(const std::string &path, const ErrorLogEntry &entry);
    // Appends up to `count` newest records to *lines, newest first. 0 on success, 1 if the log
    // cannot be read.
    int readLatestErrors(const std::string &path, std::vector<std::string> *lines, unsigned count);

private:
    MenuNameLookup menuName;
    // Unknown until the window sets them at the start and end of a run; the implausible value
    // makes a missing call visible in the file.
    static constexpr int kTemperatureUnset = -273;
    int initialTemperature = kTemperatureUnset;
    int finalTemperature = kTemperatureUnset;
};
