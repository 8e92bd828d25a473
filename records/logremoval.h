#pragma once

// Removal of every log file under /usr/share/vemla/logs, offered in the settings menu. The
// contents of each subdirectory go; the directories themselves and the plain files directly
// under the log root (the error log) stay.
enum LogRemovalResult {
    LOGS_REMOVED = 0,
    LOGS_REMOVAL_FAILED = 1,
    LOGS_NOTHING_TO_REMOVE = 2,
};

// 0 all removed, 1 a removal failed (the others are still tried), 2 nothing to remove.
int removeLogFiles();
