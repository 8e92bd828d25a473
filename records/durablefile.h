#pragma once

#include <QByteArray>
#include <QString>

// Records must outlive a loss of power right after they are written: the page cache is pushed
// to the medium before the call returns, and so is the directory entry of a file just created.

enum class AppendResult { Appended, OpenFailed, WriteFailed };

// Appends `bytes` to the file at `resolvedPath` (created if missing) in one write and syncs it;
// `created` says the file did not exist before, so its directory entry is synced too.
AppendResult appendDurably(const QString &resolvedPath, const QByteArray &bytes, bool created);

// Syncs an already written file and, if it was just created, its directory.
bool syncDurably(const QString &resolvedPath, bool created);
