#pragma once

#include <QString>

// Menu states of the window's state machine and the names used in logs and error records.
// State 14 (the service menu) has no name.
QString menuName(int state);
