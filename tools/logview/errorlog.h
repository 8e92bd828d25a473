#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

// The instrument's error log: a title line, then one "|"-separated record per raised error,
// appended in the order they were raised.
namespace errorlog {

struct Record
{
    int line = 0;
    QString time; // yyyyMMdd-hhmmss, local time of the instrument
    QString menu;
    QString code; // decimal, or "<NOT FOUND>" for a code the program had no text for
    QString error;
    QString software;
    QString runId; // empty for an error before the first run
    QString runLog;
};

struct Log
{
    QVector<Record> records; // oldest first
    // Lines that are no record: a record cut short by a power loss (the program ends it with a
    // line end before it appends the next one), or something written over the file.
    QVector<int> damagedLines;
};

bool looksLikeErrorLog(const QByteArray &content);
bool parse(const QByteArray &content, Log *log, QString *error);

struct CodeCount
{
    QString code;
    QString error;
    int count = 0;
};

// Record counts per code, in ascending numeric order of the code ("<NOT FOUND>" last).
QVector<CodeCount> countPerCode(const Log &log);

// The report printed for the engineer: counts per code and the newest `newest` records.
QString summary(const Log &log, const QString &fileName, int newest);

} // namespace errorlog
