#pragma once

#include <QString>

// The running page's countdown: whole minutes while more than one is left, then seconds.
QString remainingTimeText(int seconds);
