#include "confighandler.h"

#include "configsyntax.h"
#include "platform/platform.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include <QDebug>

namespace {

// The whole file as bytes; false when it cannot be opened.
bool readFile(const std::string &path, std::string *content)
{
    std::ifstream file(platform::path(path), std::ios::binary);
    if (!file.is_open())
        return false;
    content->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

void logNotANumber(const std::string &key, const std::string &text)
{
    qDebug().noquote() << "ConfigHandler: value of" << QString::fromStdString(key)
                       << "is not a number:" << QString::fromStdString(text);
}

} // namespace

ConfigHandler::ConfigHandler(QObject *parent) : QObject(parent)
{
    qDebug() << "ConfigHandler constructor";
}

ConfigHandler::~ConfigHandler()
{
    qDebug() << "ConfigHandler destructor";
}

QMap<std::string, int> ConfigHandler::readSettings(std::string path)
{
    qDebug() << "Read settings config";
    QMap<std::string, int> settings;
    std::string content;
    if (!readFile(path, &content))
        return settings;
    for (const configsyntax::Record &record : configsyntax::parseRecords(content)) {
        const std::optional<int> value = configsyntax::toInt(record.second);
        if (value)
            settings.insert(record.first, *value);
        else
            logNotANumber(record.first, record.second);
    }
    return settings;
}

void ConfigHandler::readConfig(std::string path)
{
    qDebug() << "readConfig()";
    table = LoadConfig(path);
}

std::map<std::string, std::string> ConfigHandler::LoadConfig(std::string path)
{
    qDebug() << "LoadConfig() from ";
    std::map<std::string, std::string> values;
    std::string content;
    if (!readFile(path, &content))
        return values;
    for (configsyntax::Record &record : configsyntax::parseRecords(content))
        values[record.first] = std::move(record.second);
    return values;
}

int ConfigHandler::getValue(std::string key)
{
    auto it = table.find(key);
    if (it == table.end()) {
        qDebug() << " key NOT found";
        return 0;
    }
    const std::optional<int> value = configsyntax::toInt(it->second);
    if (!value) {
        logNotANumber(key, it->second);
        return 0;
    }
    return *value;
}

bool ConfigHandler::writeConfig(QMap<std::string, int> settings, std::string path)
{
    // Written beside the target and renamed over it, so that a power cut during the save leaves
    // the previous settings rather than a truncated file.
    const std::string target = platform::path(path);
    const std::string temporary = target + ".tmp";
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it)
        file << configsyntax::formatRecord(it.key(), it.value());
    file.close();
    const bool written = file && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!written) {
        std::remove(temporary.c_str());
        qDebug().noquote() << "ConfigHandler: could not write" << QString::fromStdString(path);
    }
    qDebug() << "writeConfig()";
    return written;
}
