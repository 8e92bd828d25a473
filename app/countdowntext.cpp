#include "countdowntext.h"

namespace {
constexpr int kSecondsPerMinute = 60;
} // namespace

QString remainingTimeText(int seconds)
{
    const int minutes = seconds / kSecondsPerMinute;
    if (minutes > 1)
        return QString::number(minutes) + " minutes";
    if (minutes == 1)
        return "1 minute";
    return QString::number(seconds) + (seconds >= 2 ? " seconds" : " second");
}

QString releaseCountdownText(int secondsToRelease)
{
    if (secondsToRelease <= 0)
        return "Shutting down...";
    return "Releasing pressure in " + QString::number(secondsToRelease)
            + (secondsToRelease == 1 ? " second" : " seconds");
}
