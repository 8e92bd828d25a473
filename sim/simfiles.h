#pragma once

#include <QByteArray>
#include <QString>

// File access of the hardware models. Inputs are written the way the kernel presents a fresh
// attribute (whole, at once: temporary file then rename), outputs are read the way the program
// writes them (it appends fixed-width fields, so the value is the last field in the file).
namespace simfiles {

// False, with nothing written, for a file marked gone or inside a directory marked gone.
bool writeAtomically(const QString &file, const QByteArray &content);
// Marks an attribute or a device's attribute directory as gone (its driver unbound) or back;
// the models' writes skip it.
void setGone(const QString &file, bool isGone);
// The last `fieldWidth` bytes of the file with the NUL padding removed; empty when missing.
QByteArray lastField(const QString &file, int fieldWidth);
// Decimal value of the last field; `fallback` when the file is missing or holds no number.
int lastFieldValue(const QString &file, int fieldWidth, int fallback);

} // namespace simfiles
