#pragma once

#include <map>
#include <string>

#include <QMap>
#include <QObject>

// Reader and writer of the instrument's small ".inc" files: records `key:"value"`, one per line.
// The key is everything since the previous record up to the ":" (nothing is trimmed), the value
// is what lies between the first and the last double quote of the rest of the line. Paths are
// the instrument's absolute paths; the platform layer resolves them.
class ConfigHandler : public QObject
{
    Q_OBJECT

public:
    explicit ConfigHandler(QObject *parent = nullptr);
    ~ConfigHandler() override;

    // Every record with its value converted to an integer; a value that is no number is left
    // out (and logged) so that it cannot disturb any other key. Empty when unreadable.
    QMap<std::string, int> readSettings(std::string path);

    // Loads the file into the table that getValue() looks keys up in.
    void readConfig(std::string path);
    // Every record with its value text, unconverted.
    std::map<std::string, std::string> LoadConfig(std::string path);
    // The key's value as an integer; 0 for a missing key or a value that is no number.
    int getValue(std::string key);

    // Writes the whole table in canonical form, one `key:"value"` per line, keys ascending.
    // False (and logged) when the file could not be written; the previous file then stays.
    bool writeConfig(QMap<std::string, int> settings, std::string path);

private:
    std::map<std::string, std::string> table;
};
