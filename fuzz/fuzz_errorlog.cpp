// The error log as the error screen reads it: the last whole records, newest first, whatever
// the file holds (torn last line after a power cut, binary junk, huge lines, no header). The
// result is compared with a plain forward reading of the same bytes.
#include "fuzzsupport.h"

#include "records/errorrecord.h"
#include "records/logtail.h"

#include <algorithm>

namespace {

constexpr const char *kLogPath = "/usr/share/vemla/logs/error_log.log";
// The reader goes backwards in blocks of 64 KiB; filler makes inputs cross block boundaries.
constexpr size_t kFillerUnit = 4096;

std::vector<std::string> forwardReading(const std::string &content, unsigned count)
{
    std::vector<std::string> whole;
    size_t start = 0;
    for (size_t end = content.find('\n'); end != std::string::npos;
         start = end + 1, end = content.find('\n', start)) {
        const std::string line = content.substr(start, end - start);
        if (!line.empty() && line.size() <= static_cast<size_t>(kMaxLogLineBytes)
            && !isErrorLogHeader(line))
            whole.push_back(line);
    }
    std::reverse(whole.begin(), whole.end());
    if (whole.size() > count)
        whole.resize(count);
    return whole;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Byte 0: how many records are asked for; byte 1: filler blocks put in front of the rest.
    if (size < 2)
        return 0;
    const unsigned count = data[0] % 16;
    std::string content(static_cast<size_t>(data[1] % 40) * kFillerUnit, 'x');
    if (!content.empty())
        content.back() = '\n';
    content.append(reinterpret_cast<const char *>(data + 2), size - 2);
    fuzzsupport::writeFile(kLogPath, reinterpret_cast<const uint8_t *>(content.data()),
                           content.size());

    QFile file(platform::path(QString(kLogPath)));
    if (!file.open(QIODevice::ReadOnly))
        fuzzsupport::fail("log not readable");
    std::vector<std::string> lines;
    if (!readLastLines(file, count, isErrorLogHeader, &lines))
        fuzzsupport::fail("reading a plain file failed");
    if (lines != forwardReading(content, count))
        fuzzsupport::fail("the records read differ from the file's last whole lines");
    return 0;
}
