#pragma once

// Menu states as QtTest data, and by number and name in QCOMPARE's failure messages.
#include "app/menunames.h"

#include <QByteArray>
#include <QMetaType>

Q_DECLARE_METATYPE(MenuState)

namespace menustate {
// Found by QtTest through the enum's namespace.
inline char *toString(MenuState state)
{
    return qstrdup(QByteArray::number(int(state)) + " (" + menuName(state).toUtf8() + ")");
}
} // namespace menustate
