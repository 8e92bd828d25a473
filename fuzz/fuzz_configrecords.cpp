// The ".inc" pressure-settings file: whatever the file holds, the reader returns, never
// crashes, and what it returns is written back and read again unchanged.
#include "fuzzsupport.h"

#include "pressure/confighandler.h"
#include "pressure/configsyntax.h"

namespace {
constexpr const char *kSettingsPath = "/usr/share/vemla/fuzz.inc";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzsupport::writeFile(kSettingsPath, data, size);
    ConfigHandler handler;
    const QMap<std::string, int> settings = handler.readSettings(kSettingsPath);
    const std::map<std::string, std::string> texts = handler.LoadConfig(kSettingsPath);
    handler.readConfig(kSettingsPath);
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it) {
        if (texts.count(it.key()) == 0)
            fuzzsupport::fail("a converted record is missing from the text records");
        // The last record of a key wins in both readings; a number read is the number looked up.
        if (configsyntax::toInt(texts.at(it.key())) == std::optional<int>(it.value())
            && handler.getValue(it.key()) != it.value())
            fuzzsupport::fail("getValue differs from readSettings");
    }

    // A key holding ":" cannot be written back as one record; all others must survive a save.
    QMap<std::string, int> writable;
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it) {
        if (it.key().find(':') == std::string::npos)
            writable.insert(it.key(), it.value());
    }
    if (!handler.writeConfig(writable, kSettingsPath))
        fuzzsupport::fail("settings could not be written");
    if (handler.readSettings(kSettingsPath) != writable)
        fuzzsupport::fail("settings changed on a write and a read");
    return 0;
}
