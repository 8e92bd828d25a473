#include "writer.h"

#include "consolemessage.h"
#include "durablefile.h"
#include "errorrecord.h"
#include "logtail.h"
#include "timetext.h"

#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QReadWriteLock>

#include <charconv>
#include <limits>

#include <sys/stat.h>

namespace {

// Guards the error log against concurrent appends and reads within the process.
QReadWriteLock errorLogLock;

const char kRunLogTimePattern[] = "%d.%m.%Y - %X";
const char kErrorTimePattern[] = "%Y%m%d-%H%M%S";
const char kRowSeparator[] = "\t\t\t";
// A run log being written: ".NAME.part" beside its final name.
const char kPartialSuffix[] = ".part";
// Five values of up to seven digits and their separators.
constexpr size_t kRowBytesEstimate = 5 * (7 + 3) + 1;
const char *const kColumnTitles[] = {"Run_Time \t", "Vessel_Pressure \t", "Channel_1_Pressure \t",
                                     "Channel_2_Pressure \t", "Channel_3_Pressure \t"};

QString resolved(const std::string &path)
{
    return QString::fromStdString(platform::path(path));
}

// The last byte of a non-empty file, or 0 if it cannot be read.
char lastByte(const QString &resolvedPath)
{
    QFile file(resolvedPath);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(file.size() - 1))
        return 0;
    char byte = 0;
    return file.getChar(&byte) ? byte : 0;
}

} // namespace

Writer::Writer(MenuNameLookup menuName) : menuName(std::move(menuName))
{
    printLine("Creating Writer");
}

Writer::~Writer()
{
    printLine("Writer destructor");
}

void Writer::setTemperature(int value, bool isFinal)
{
    (isFinal ? finalTemperature : initialTemperature) = value;
}

bool Writer::fileExists(const std::string &path)
{
    struct stat status
    {
    };
    return ::stat(platform::path(path).c_str(), &status) == 0;
}

void Writer::createLogFile(const std::string &path, const Storage &storage)
{
    if (fileExists(path)) {
        printLine("Log file already exists: " + path);
        return;
    }
    printLine("Creating log file: " + path);
    const QString target = resolved(path);
    // The log is written under a hidden name and takes its own only when it is whole and on
    // the medium: a power cut or a full disk part-way through leaves no truncated run log that
    // the export or a reader would take for the record of the run.
    const QFileInfo info(target);
    const QString partial = info.path() + "/." + info.fileName() + kPartialSuffix;
    std::ofstream file(partial.toStdString(), std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        // The production directory belongs to the installed system; a missing or read-only
        // one loses this run's log, which the operator's console must show.
        printLine("Unable to create log file: " + path);
        return;
    }
    writeHeader(file, path);
    writeRows(file, storage.rows());
    file.close();
    const bool complete = !file.fail() && syncDurably(partial, false)
            && std::rename(QFile::encodeName(partial).constData(),
                           QFile::encodeName(target).constData())
                    == 0;
    if (!complete || !syncDurably(target, true)) {
        QFile::remove(partial);
        printLine("Unable to write log file: " + path);
    }
}

void Writer::writeHeader(std::ofstream &file, std::string path)
{
    printLine("Adding file header ");
    if (!file.is_open()) {
        printLine("Unable to write file header");
        return;
    }
    file << "File:\t\t" << path << "\n"
         << "Created:\t" << localTimeText(kRunLogTimePattern) << "\n"
         << "Initial temperature:\t" << initialTemperature << " deg Celsius\n"
         << "Final temperature:\t" << finalTemperature << " deg Celsius\n"
         << "All pressure values are in millibars and the time is in milliseconds.\n";
    for (const char *title : kColumnTitles)
        file << title;
    file << "\n";
}

void Writer::writeRows(std::ofstream &file, std::vector<std::vector<uint32_t>> rows)
{
    printLine("Adding data rows to file ");
    if (!file.is_open()) {
        printLine("Unable to write data to logFile");
        return;
    }
    printLine("Storage has " + std::to_string(rows.size()) + " rows");
    // A two-hour run has some 25 000 rows and is written in the GUI thread at the end of the
    // run: the rows are formatted into one buffer and handed to the stream in one write, which
    // costs a fraction of formatting value by value through the stream.
    std::string text;
    text.reserve(rows.size() * kRowBytesEstimate);
    char digits[std::numeric_limits<uint32_t>::digits10 + 1];
    for (const auto &row : rows) {
        for (const uint32_t value : row) {
            const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
            text.append(digits, end);
            text += kRowSeparator;
        }
        text += '\n';
    }
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void Writer::writeErrorLog(const std::string &path, const ErrorLogEntry &entry)
{
    printLine("Writing to error log: " + path);
    QWriteLocker locker(&errorLogLock);
    const QString target = resolved(path);
    const QFileInfo info(target);
    const bool existed = fileExists(path);
    // A directory, pipe or device under the log's name is not ours to append to (a pipe would
    // also block the window).
    if (existed && !info.isFile()) {
        printLine("Unable to create error log file");
        return;
    }
    // Errors are most worth keeping when the disk is in an unexpected state: a missing log
    // directory is laid again rather than losing the record.
    if (!existed)
        QDir().mkpath(info.absolutePath());

    QByteArray bytes;
    const bool empty = !existed || info.size() == 0;
    // A record cut short by a loss of power is ended first, so the new one stays whole.
    if (!empty && lastByte(target) != '\n')
        bytes += '\n';
    // An empty file is one whose header was lost with the power: it gets its header again.
    if (empty)
        bytes += kErrorLogHeader;
    const ErrorRecord record
            = formatErrorRecord(entry, path, localTimeText(kErrorTimePattern), menuName);
    bytes += QByteArray::fromStdString(record.line);

    const AppendResult result = appendDurably(target, bytes, !existed);
    if (result == AppendResult::OpenFailed) {
        printLine("Unable to create error log file");
        return;
    }
    for (const std::string &message : record.messages)
        printLine(message);
    if (result == AppendResult::WriteFailed)
        printLine("Unable to write error log file");
}

int Writer::readLatestErrors(const std::string &path, std::vector<std::string> *lines,
                             unsigned count)
{
    if (!lines)
        return 1;
    QReadLocker locker(&errorLogLock);
    const QString target = resolved(path);
    QFile file(target);
    // Only a regular file is read: a pipe under the log's name would block the window.
    if (!QFileInfo(target).isFile() || !file.open(QIODevice::ReadOnly)) {
        printLine("Unable to create error log file");
        return 1;
    }
    const size_t before = lines->size();
    if (!readLastLines(file, count, isErrorLogHeader, lines)) {
        lines->resize(before);
        printLine("Unable to read error log file");
        return 1;
    }
    return 0;
}
