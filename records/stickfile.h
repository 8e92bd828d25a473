#pragma once

#include <QByteArray>
#include <QString>

// Files on the USB stick. A stick comes from outside: any file system, any names, links,
// FIFOs or device nodes where the instrument expects its own files. cp writes through a link
// that exists at its target and QSaveFile renames over the link's target, so a path on the
// stick is looked at without following its last component before anything is written there,
// and what is written is always a plain file of the stick's own.
namespace stickfile {

// What a path names, the last component not followed.
enum class Kind {
    Nothing,
    PlainFile,
    Folder,
    Other, // a symbolic link, a FIFO, a socket or a device node
};

// `size` receives the size of a plain file (0 otherwise).
Kind kindAt(const QString &resolvedPath, qint64 *size = nullptr);

// Removes a link, FIFO, socket or device node at the path; plain files and folders stay.
// False when such an entry is still there afterwards.
bool removeIfNotPlain(const QString &resolvedPath);

// Writes `bytes` as a new plain file beside the path, syncs it and renames it over the path's
// name: a link there is replaced, never followed, and a stick that is pulled or full keeps the
// previous file whole. False when it could not be written (a folder in the way, no room).
bool writePlain(const QString &resolvedPath, const QByteArray &bytes);

} // namespace stickfile
