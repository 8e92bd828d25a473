#pragma once

#include <cstdint>

#include <QObject>
#include <QString>

// The gateway to the persistent settings in /usr/share/vemla/vemla.ini. Holds no values:
// every call opens the file afresh, so what one object writes the next one reads.
class AppSettings : public QObject
{
    Q_OBJECT

public:
    enum DrawerSetting {
        DRAWER_UNDEFINED = 0,
        DRAWER_SAFETY_THRESHOLD = 1,
        DRAWER_OPENING_TIME = 2,
        DRAWER_STATE = 3,
    };
    Q_ENUM(DrawerSetting)

    explicit AppSettings(QObject *parent = nullptr);

    int saveDrawerSetting(DrawerSetting setting, uint16_t value);
    uint16_t loadDrawerSetting(DrawerSetting setting);

private:
    const QString settingsFilePath = "/usr/share/vemla/vemla.ini";
};
