#pragma once

#include <QByteArray>
#include <QString>

// Records must outlive a loss of power right after they are written: the page cache is pushed
// to the medium before the call returns, and so is the directory entry of a file just created.

enum class AppendResult { Appended, OpenFailed, WriteFailed };

// Appends `bytes` to the file at `resolvedPath` (created if missing) in one write and syncs it;
// `created` says the file did not exist before, so its directory entry is synced too.
AppendResult appendDurably(const QString &resolvedPath, const QByteArray &bytes, bool created);

// Syncs the directory that holds `resolvedPath` (a file or a directory just created in it).
bool syncDirectoryOf(const QString &resolvedPath);

// Syncs an already written file and, if it was just created, its directory.
bool syncDurably(const QString &resolvedPath, bool created);

// Replaces the file's contents as one step: the old contents or the new, whole, survive a loss
// of power at any moment, and the new ones once this returns true.
bool replaceDurably(const QString &resolvedPath, const QByteArray &bytes);
