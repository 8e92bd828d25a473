#pragma once

#include <string>
#include <vector>

// The shell commands the program gives to run(), built in one place. Every path becomes one
// word of the command: paths of plain characters pass unchanged, so the instrument's commands
// read as they always have; anything else is quoted, so that a file name can never become part
// of the command. Paths are resolved ones (platform::path()); each helper returns what run()
// returns.
namespace platform {

// A word as the shell should read it: plain words unchanged, others single-quoted.
std::string shellArgument(const std::string &word);
// A path as one word that the command cannot take for an option ("-x" is "./-x").
std::string pathArgument(const std::string &path);

// "sync": everything written so far reaches the storage medium.
int sync();
// "mkdir PATH"
int makeDirectory(const std::string &path);
// "rm PATH"
int removeFile(const std::string &path);
// "rm -rf DIR/*": the folder's visible entries; the folder itself stays. An empty name or
// the root is refused (-1) and nothing runs.
int removeContents(const std::string &directory);
// "cp -r FROM/* TO/; sync": the status is that of the final sync, not of the copy.
int copyContentsAndSync(const std::string &from, const std::string &to);
// "sync; umount MOUNTPOINT"
int syncAndUnmount(const std::string &mountPoint);
// ". SCRIPT ARG...": an installed script run in the program's shell, its arguments as words.
int sourceScript(const std::string &script, const std::vector<std::string> &arguments = {});
// "COMMAND > FILE": the standard output of a fixed command line written to a file.
int saveOutput(const std::string &command, const std::string &file);

} // namespace platform
