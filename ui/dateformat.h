#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// The order in which the operator reads dates: day first (Europe) or month first (US).
// Stored as the system setting DATE_FORMAT with these values.
enum dateFormat : int { DATEFORMAT_DAY_FIRST = 0, DATEFORMAT_MONTH_FIRST = 1 };
Q_DECLARE_METATYPE(dateFormat)

// What the keypad's new-value field shows before the first digit of a date and time.
constexpr const char *kEmptyDateTimeMask = "__-__-____ __:__:__";

// A stored setting may hold anything; everything but month-first reads as day-first.
dateFormat toDateFormat(int value);
// "dd-MM-yyyy" or "MM-dd-yyyy".
QString datePattern(dateFormat format);
// The date pattern, a blank and "hh:mm:ss".
QString dateTimePattern(dateFormat format);
// The caption above the entry: "DD-MM-YYYY HH:MM:SS" or "MM-DD-YYYY HH:MM:SS".
QString dateTimeCaption(dateFormat format);
// A date and time as the keypad delivers it; invalid for an impossible date or time or a
// field left unfilled.
QDateTime parseEnteredDateTime(const QString &text, dateFormat format);
