#include "dateformat.h"

dateFormat toDateFormat(int value)
{
    return value == DATEFORMAT_MONTH_FIRST ? DATEFORMAT_MONTH_FIRST : DATEFORMAT_DAY_FIRST;
}

QString datePattern(dateFormat format)
{
    return format == DATEFORMAT_MONTH_FIRST ? "MM-dd-yyyy" : "dd-MM-yyyy";
}

QString dateTimePattern(dateFormat format)
{
    return datePattern(format) + " hh:mm:ss";
}

QString dateTimeCaption(dateFormat format)
{
    return format == DATEFORMAT_MONTH_FIRST ? "MM-DD-YYYY HH:MM:SS" : "DD-MM-YYYY HH:MM:SS";
}

QDateTime parseEnteredDateTime(const QString &text, dateFormat format)
{
    return QDateTime::fromString(text, dateTimePattern(format));
}
