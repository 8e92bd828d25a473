#include "appsettings.h"

#include "platform/platform.h"

#include <QDebug>
#include <QSettings>

namespace {

struct DrawerKey
{
    const char *key;
    uint16_t fallback;
};

bool drawerKey(AppSettings::DrawerSetting setting, DrawerKey *out)
{
    switch (setting) {
    case AppSettings::DRAWER_SAFETY_THRESHOLD:
        *out = {"safety_threshold", 1500};
        return true;
    case AppSettings::DRAWER_OPENING_TIME:
        *out = {"opening_time", 5500};
        return true;
    case AppSettings::DRAWER_STATE:
        *out = {"drawer_position", 0};
        return true;
    default:
        return false;
    }
}

} // namespace

AppSettings::AppSettings(QObject *parent) : QObject(parent) { }

int AppSettings::saveDrawerSetting(DrawerSetting setting, uint16_t value)
{
    DrawerKey key;
    if (!drawerKey(setting, &key)) {
        qDebug() << "Invalid parameter";
        return -1;
    }
    QSettings settings(platform::path(settingsFilePath), QSettings::IniFormat);
    settings.beginGroup("drawer");
    settings.setValue(key.key, int(value));
    settings.endGroup();
    qDebug().noquote() << QString("Settings: Saved '%1': %2").arg(key.key).arg(value);
    return 0;
}

uint16_t AppSettings::loadDrawerSetting(DrawerSetting setting)
{
    DrawerKey key;
    if (!drawerKey(setting, &key)) {
        qDebug() << "Invalid parameter";
        return 0xFFFF;
    }
    QSettings settings(platform::path(settingsFilePath), QSettings::IniFormat);
    settings.beginGroup("drawer");
    const auto value = static_cast<uint16_t>(settings.value(key.key, key.fallback).toInt());
    settings.endGroup();
    qDebug().noquote() << QString("Settings: Loaded '%1': %2").arg(key.key).arg(value);
    return value;
}
