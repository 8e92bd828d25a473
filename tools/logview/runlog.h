#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <array>
#include <cstdint>

// A run log as the instrument writes it at the end of a production run or an initial test: a
// six-line header, then one line per pressure read cycle with up to five unsigned values
// (stage time in ms, vessel, line 1, 2, 3 in mbar), each value followed by three tabs.
namespace runlog {

constexpr int kColumns = 5;

struct Row
{
    int line = 0; // line number in the file, for messages
    int valueCount = 0; // a read cycle that lost a line pressure has fewer than five
    std::array<uint32_t, kColumns> values {};
    // Milliseconds since the first row of the log. The file holds the time into the current
    // stage (pre-ramp, ramp, target), which starts again at every stage.
    double runTimeMs = 0;
};

struct Log
{
    QString path; // as the file names itself in its first line
    QString created;
    int initialTemperature = 0;
    int finalTemperature = 0;
    QVector<Row> rows;
    // Index into rows of the first row of each stage after the first.
    QVector<int> stageStarts;
    int incompleteRows = 0;
    // A file that ends inside its last row (power lost while writing): that row is dropped.
    bool lastRowCut = false;
};

// True when the text starts the way a run log does; used to tell the log kinds apart.
bool looksLikeRunLog(const QByteArray &content);

// Parses the whole file. On a file that is not a run log, or a header or row the instrument
// would not write, returns false with the reason (and the line number) in *error.
bool parse(const QByteArray &content, Log *log, QString *error);

} // namespace runlog
