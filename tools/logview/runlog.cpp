#include "runlog.h"

#include <QList>

namespace runlog {
namespace {

const QByteArray kFileLabel = "File:\t\t";
const QByteArray kCreatedLabel = "Created:\t";
const QByteArray kInitialLabel = "Initial temperature:\t";
const QByteArray kFinalLabel = "Final temperature:\t";
const QByteArray kTemperatureUnit = " deg Celsius";
const QByteArray kUnitsLine
        = "All pressure values are in millibars and the time is in milliseconds.";
const QByteArray kTitlesLine = "Run_Time \tVessel_Pressure \tChannel_1_Pressure \t"
                               "Channel_2_Pressure \tChannel_3_Pressure \t";
const QByteArray kValueEnd = "\t\t\t";
constexpr int kHeaderLines = 6;

QString lineError(int line, const QString &what)
{
    return QStringLiteral("line %1: %2").arg(line).arg(what);
}

bool parseTemperature(const QByteArray &text, const QByteArray &label, int *value)
{
    if (!text.startsWith(label) || !text.endsWith(kTemperatureUnit))
        return false;
    const QByteArray number
            = text.mid(label.size(), text.size() - label.size() - kTemperatureUnit.size());
    bool ok = false;
    *value = number.toInt(&ok);
    return ok;
}

// Digits only: toUInt would also take a sign or blanks the writer never puts there.
bool parseValue(const QByteArray &text, uint32_t *value)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    bool ok = false;
    const qulonglong wide = text.toULongLong(&ok);
    if (!ok || wide > UINT32_MAX)
        return false;
    *value = static_cast<uint32_t>(wide);
    return true;
}

bool parseRow(const QByteArray &text, Row *row, QString *error)
{
    // An empty line is a read cycle that delivered nothing: the writer ends it all the same.
    if (text.isEmpty())
        return true;
    if (!text.endsWith(kValueEnd)) {
        *error = QStringLiteral("a row must end with three tabs");
        return false;
    }
    const QList<QByteArray> fields = text.left(text.size() - kValueEnd.size()).split('\t');
    // Values are separated by three tabs: the fields between them are the two empty ones.
    if (fields.size() % 3 != 1) {
        *error = QStringLiteral("values must be separated by three tabs");
        return false;
    }
    const int count = (fields.size() + 2) / 3;
    if (count > kColumns) {
        *error = QStringLiteral("%1 values in a row of at most %2").arg(count).arg(kColumns);
        return false;
    }
    for (int i = 0; i < fields.size(); ++i) {
        const bool separator = i % 3 != 0;
        if (separator ? !fields[i].isEmpty() : !parseValue(fields[i], &row->values[i / 3])) {
            *error = QStringLiteral("\"%1\" is not an unsigned value")
                             .arg(QString::fromLatin1(fields[i].left(20)));
            return false;
        }
    }
    row->valueCount = count;
    return true;
}

// The time column restarts with each stage; a stage starts where the time goes back. A stage
// of a single row cannot be told from the one after it, which shifts the time axis by at most
// one read cycle.
void computeRunTimes(Log *log)
{
    double stageOffset = 0;
    double previousStageTime = -1;
    double previousRunTime = 0;
    for (int i = 0; i < log->rows.size(); ++i) {
        Row &row = log->rows[i];
        if (row.valueCount == 0) {
            row.runTimeMs = previousRunTime;
            continue;
        }
        const double stageTime = row.values[0];
        if (previousStageTime >= 0 && stageTime < previousStageTime) {
            stageOffset = previousRunTime;
            log->stageStarts.append(i);
        }
        row.runTimeMs = stageOffset + stageTime;
        previousStageTime = stageTime;
        previousRunTime = row.runTimeMs;
    }
}

} // namespace

bool looksLikeRunLog(const QByteArray &content)
{
    return content.startsWith(kFileLabel);
}

bool parse(const QByteArray &content, Log *log, QString *error)
{
    *log = Log();
    if (content.isEmpty()) {
        *error = QStringLiteral("the file is empty");
        return false;
    }
    if (!looksLikeRunLog(content)) {
        *error = QStringLiteral("not a run log: it does not start with \"File:\" and two tabs");
        return false;
    }
    if (content.contains('\r')) {
        *error = QStringLiteral("carriage returns in the file: the instrument ends its lines "
                                "with a line feed only, so the file was altered after export");
        return false;
    }
    QList<QByteArray> lines = content.split('\n');
    // The writer ends every line, the last row included: what follows the last line end is
    // either nothing or a line cut short.
    const QByteArray cut = lines.takeLast();
    if (lines.size() < kHeaderLines) {
        *error = QStringLiteral("truncated run log: the header ends after %1 of its %2 lines")
                         .arg(lines.size())
                         .arg(kHeaderLines);
        return false;
    }
    log->path = QString::fromUtf8(lines[0].mid(kFileLabel.size()));
    if (!lines[1].startsWith(kCreatedLabel)) {
        *error = lineError(2, QStringLiteral("expected \"Created:\" and a tab"));
        return false;
    }
    log->created = QString::fromUtf8(lines[1].mid(kCreatedLabel.size()));
    if (!parseTemperature(lines[2], kInitialLabel, &log->initialTemperature)) {
        *error = lineError(3, QStringLiteral("expected the initial temperature"));
        return false;
    }
    if (!parseTemperature(lines[3], kFinalLabel, &log->finalTemperature)) {
        *error = lineError(4, QStringLiteral("expected the final temperature"));
        return false;
    }
    if (lines[4] != kUnitsLine) {
        *error = lineError(5, QStringLiteral("expected the line naming the units"));
        return false;
    }
    if (lines[5] != kTitlesLine) {
        *error = lineError(6, QStringLiteral("expected the five column titles"));
        return false;
    }
    log->rows.reserve(lines.size() - kHeaderLines);
    for (int i = kHeaderLines; i < lines.size(); ++i) {
        Row row;
        row.line = i + 1;
        QString why;
        if (!parseRow(lines[i], &row, &why)) {
            *error = lineError(row.line, why);
            return false;
        }
        if (row.valueCount < kColumns)
            ++log->incompleteRows;
        log->rows.append(row);
    }
    log->lastRowCut = !cut.isEmpty();
    computeRunTimes(log);
    return true;
}

} // namespace runlog
