#pragma once

#include <QString>

// The running page's countdown: whole minutes while more than one is left, then seconds.
QString remainingTimeText(int seconds);

// The shutdown page's countdown to the release of the vessel: "Releasing pressure in 2
// seconds" while it is ahead, "Shutting down..." from the release on.
QString releaseCountdownText(int secondsToRelease);
