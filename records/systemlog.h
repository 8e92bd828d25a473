#pragma once

#include <QDateTime>
#include <QString>

// Copies of the operating-system journal under /usr/share/vemla/logs/system, so that exported
// logs carry the journal of the boot in which something went wrong.
namespace systemlog {

constexpr int kPreviousBoot = 0;
constexpr int kCurrentBoot = 1;

// "/usr/share/vemla/logs/system/system_log_yyyyMMdd_hhmmss.log" for the running boot,
// "..._PREVIOUS_BOOT.log" for the previous one (instrument path, not resolved).
QString fileName(const QDateTime &at, int bootSelector);

// Captures the journal of the selected boot into a file named after `at`; true when saved.
// A selector other than kPreviousBoot and kCurrentBoot captures nothing and returns true
// once the directory exists.
bool save(int bootSelector, const QDateTime &at);

} // namespace systemlog

// The window's operation: the journal of the selected boot, named after the local time now.
bool saveSystemLog(int bootSelector);
