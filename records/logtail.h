#pragma once

#include <QFile>

#include <string>
#include <vector>

// Longest line taken as a record. Error records are a few hundred bytes; a longer line is not
// one of ours and is passed over, so that a damaged log cannot exhaust memory.
constexpr qint64 kMaxLogLineBytes = 64 * 1024;

// Appends to *lines up to `count` of the last complete lines of the open `file`, last first,
// without their "\n". A final line that lacks its "\n" was cut short (power lost during the
// append) and is not taken; neither are empty lines, over-long lines, or lines for which
// `skip` returns true. The file is read backwards from its end in blocks, so the cost does not
// grow with the size of the log. Returns false if reading failed part-way.
bool readLastLines(QFile &file, unsigned count, bool (*skip)(const std::string &line),
                   std::vector<std::string> *lines);
