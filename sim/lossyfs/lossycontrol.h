#pragma once

#include <string>

// Talking to a mounted lossy volume (vemla8-lossyfs): the requests are extended attributes of
// the volume's root, answered by the file system itself and so ordered with the program's own
// requests. A folder that is no lossy volume is left alone.
namespace lossycontrol {

constexpr const char *kVolume = "user.vemla.volume"; // present on a lossy volume's root
constexpr const char *kSync = "user.vemla.sync"; // a whole-system sync
constexpr const char *kFinish = "user.vemla.finish"; // a power cut (a seed) or kKeepAll
constexpr const char *kSlow = "user.vemla.slow"; // milliseconds each flush takes
constexpr const char *kKeepAll = "all";

bool isLossy(const std::string &folder);
bool sync(const std::string &folder);
// The medium is written into the folder under the volume; the volume answers nothing more.
bool finish(const std::string &folder, const std::string &how);
bool setSlow(const std::string &folder, int milliseconds);
// Whether a FUSE volume can be mounted here; the reason when not.
bool usable(std::string *why);

} // namespace lossycontrol
