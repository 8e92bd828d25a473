#include "errorlog.h"

#include <QRegularExpression>

#include <algorithm>

namespace errorlog {
namespace {

const QByteArray kHeader = "time|last menu|code|error|filename|software|run id|run log|"
                           "vessel (mbar)|line 1 (mbar)|line 2 (mbar)|line 3 (mbar)|active lanes";
const QString kNotFound = QStringLiteral("<NOT FOUND>");
// A record before the first run ends after the software version; one with a run goes on
// to the run id, log, four pressures and the lanes (or "<NOT FOUND>|" without a lane map).
constexpr int kFieldsWithoutRun = 6;
constexpr int kFieldsWithRun = 13;
constexpr int kFieldsWithoutLanes = 14;
constexpr int kLaneCount = 8;

bool isNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

bool parseRecord(const QString &text, Record *record)
{
    static const QRegularExpression time(QStringLiteral("^[0-9]{8}-[0-9]{6}$"));
    static const QRegularExpression lanes(QStringLiteral("^[01]{%1}$").arg(kLaneCount));
    const QStringList fields = text.split('|');
    const int count = fields.size();
    if (count != kFieldsWithoutRun && count != kFieldsWithRun && count != kFieldsWithoutLanes)
        return false;
    if (!time.match(fields[0]).hasMatch())
        return false;
    const bool codeKnown = isNumber(fields[2]);
    if (!codeKnown && (fields[2] != kNotFound || fields[3] != kNotFound))
        return false;
    if (count > kFieldsWithoutRun) {
        for (int i = 8; i <= 11; ++i) {
            if (!isNumber(fields[i]))
                return false;
        }
        const bool lanesOk = count == kFieldsWithRun
                ? lanes.match(fields[12]).hasMatch()
                : fields[12] == kNotFound && fields[13].isEmpty();
        if (!isNumber(fields[6]) || !lanesOk)
            return false;
        record->runId = fields[6];
        record->runLog = fields[7];
    }
    record->time = fields[0];
    record->menu = fields[1];
    record->code = fields[2];
    record->error = fields[3];
    record->software = fields[5];
    return true;
}

} // namespace

bool looksLikeErrorLog(const QByteArray &content)
{
    return content.startsWith(kHeader + '\n');
}

bool parse(const QByteArray &content, Log *log, QString *error)
{
    *log = Log();
    if (content.isEmpty()) {
        *error = QStringLiteral("the file is empty");
        return false;
    }
    if (!looksLikeErrorLog(content)) {
        *error = QStringLiteral("not an error log: its first line is not the error log's "
                                "column titles");
        return false;
    }
    const QList<QByteArray> lines = content.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        // The last line end leaves nothing behind it; the program writes the titles again
        // only into a file that lost them, which readers skip too.
        if ((line.isEmpty() && i == lines.size() - 1) || line == kHeader)
            continue;
        Record record;
        record.line = i + 1;
        if (parseRecord(QString::fromUtf8(line), &record))
            log->records.append(record);
        else
            log->damagedLines.append(record.line);
    }
    return true;
}

QVector<CodeCount> countPerCode(const Log &log)
{
    QMap<QString, CodeCount> byCode;
    for (const Record &record : log.records) {
        CodeCount &entry = byCode[record.code];
        entry.code = record.code;
        entry.error = record.error;
        ++entry.count;
    }
    QVector<CodeCount> counts;
    for (const CodeCount &entry : byCode)
        counts.append(entry);
    std::sort(counts.begin(), counts.end(), [](const CodeCount &a, const CodeCount &b) {
        const bool aKnown = a.code != kNotFound;
        const bool bKnown = b.code != kNotFound;
        if (aKnown != bKnown)
            return aKnown;
        return a.code.toLongLong() < b.code.toLongLong();
    });
    return counts;
}

QString summary(const Log &log, const QString &fileName, int newest)
{
    QString text;
    text += QStringLiteral("Error log %1: %2 records").arg(fileName).arg(log.records.size());
    if (!log.records.isEmpty())
        text += QStringLiteral(", %1 to %2").arg(log.records.first().time, log.records.last().time);
    text += '\n';
    if (!log.damagedLines.isEmpty()) {
        QStringList numbers;
        for (const int line : log.damagedLines)
            numbers << QString::number(line);
        text += QStringLiteral("Damaged lines (not counted): %1\n").arg(numbers.join(", "));
    }
    if (log.records.isEmpty())
        return text;

    text += QStringLiteral("\nCount  Code   Error\n");
    for (const CodeCount &entry : countPerCode(log))
        text += QStringLiteral("%1  %2  %3\n")
                        .arg(entry.count, 5)
                        .arg(entry.code, -5)
                        .arg(entry.error);

    const int shown = std::min(newest, int(log.records.size()));
    text += QStringLiteral("\nNewest %1 records, newest first:\n").arg(shown);
    for (int i = log.records.size() - 1; i >= log.records.size() - shown; --i) {
        const Record &r = log.records[i];
        text += QStringLiteral("%1  code %2  %3\n    menu: %4, software %5")
                        .arg(r.time, r.code, r.error, r.menu, r.software);
        if (!r.runId.isEmpty())
            text += QStringLiteral(", run %1, run log %2").arg(r.runId, r.runLog);
        text += '\n';
    }
    return text;
}

} // namespace errorlog
