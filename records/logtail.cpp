#include "logtail.h"

#include <algorithm>

namespace {
constexpr qint64 kBlockBytes = 64 * 1024;
} // namespace

bool readLastLines(QFile &file, unsigned count, bool (*skip)(const std::string &line),
                   std::vector<std::string> *lines)
{
    unsigned taken = 0;
    // Takes the line in [start, end), end being the offset of its "\n".
    auto take = [&](qint64 start, qint64 end) {
        const qint64 length = end - start;
        if (length == 0 || length > kMaxLogLineBytes)
            return true;
        if (!file.seek(start))
            return false;
        const QByteArray bytes = file.read(length);
        if (bytes.size() != length)
            return false;
        std::string line(bytes.constData(), static_cast<size_t>(bytes.size()));
        if (skip && skip(line))
            return true;
        lines->push_back(std::move(line));
        ++taken;
        return true;
    };

    // Offset of the "\n" that ends the line being scanned; -1 while still in a torn tail.
    qint64 lineEnd = -1;
    qint64 position = file.size();
    while (position > 0 && taken < count) {
        const qint64 blockStart = std::max<qint64>(0, position - kBlockBytes);
        if (!file.seek(blockStart))
            return false;
        const QByteArray block = file.read(position - blockStart);
        if (block.size() != position - blockStart)
            return false;
        for (int i = block.size() - 1; i >= 0 && taken < count; --i) {
            if (block.at(i) != '\n')
                continue;
            const qint64 at = blockStart + i;
            if (lineEnd >= 0 && !take(at + 1, lineEnd))
                return false;
            lineEnd = at;
        }
        position = blockStart;
    }
    // The first line of the file has no "\n" before it.
    if (position == 0 && lineEnd >= 0 && taken < count)
        return take(0, lineEnd);
    return true;
}
