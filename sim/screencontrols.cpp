#include "screencontrols.h"

#include "ui/clickablelabel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QSplashScreen>

#include <algorithm>

namespace {

bool pressable(const QWidget *widget)
{
    return (qobject_cast<const QAbstractButton *>(widget)
            || qobject_cast<const ClickableLabel *>(widget))
            && widget->isVisible() && widget->isEnabled();
}

} // namespace

QVector<ScreenControl> screenControls(QWidget *mainWindow)
{
    QVector<QWidget *> popUps;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        // The splash screen goes by itself and has nothing to press.
        if (top != mainWindow && top->isVisible() && !qobject_cast<QSplashScreen *>(top))
            popUps << top;
    }
    QVector<ScreenControl> controls;
    auto collect = [&](QWidget *top, bool coverable) {
        for (QWidget *widget : top->findChildren<QWidget *>()) {
            if (!pressable(widget))
                continue;
            if (coverable) {
                const QPoint centre = widget->mapToGlobal(widget->rect().center());
                const bool covered = std::any_of(popUps.begin(), popUps.end(), [&](QWidget *up) {
                    return up->frameGeometry().contains(centre);
                });
                if (covered)
                    continue;
            }
            const auto *button = qobject_cast<const QAbstractButton *>(widget);
            controls.append({widget, widget->objectName(), button ? button->text() : QString(),
                             top->objectName()});
        }
    };
    for (QWidget *up : popUps)
        collect(up, false);
    collect(mainWindow, true);
    return controls;
}
