#include "commands.h"

#include "platform.h"

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

// Characters no shell gives a meaning to inside a word.
bool isPlain(unsigned char c)
{
    return std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c == ':'
            || c == ',' || c == '@' || c == '%';
}

} // namespace

std::string shellArgument(const std::string &word)
{
    if (!word.empty() && std::all_of(word.begin(), word.end(), isPlain))
        return word;
    // Inside single quotes nothing is special but the closing quote: a quote in the word ends
    // the quoting, is given escaped, and the quoting starts again.
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string pathArgument(const std::string &path)
{
    // Quoting does not help here: the command sees the word after the shell removed the quotes.
    return shellArgument(!path.empty() && path.front() == '-' ? "./" + path : path);
}

int sync()
{
    return run("sync");
}

int makeDirectory(const std::string &path)
{
    return run("mkdir " + pathArgument(path));
}

int removeFile(const std::string &path)
{
    return run("rm " + pathArgument(path));
}

int removeContents(const std::string &directory)
{
    // An empty folder name, or the root itself, would make the pattern "/*": the whole disk.
    if (directory.empty()
        || std::all_of(directory.begin(), directory.end(), [](char c) { return c == '/'; }))
        return -1;
    // The pattern stays outside the quotes: the shell expands it to the folder's entries.
    return run("rm -rf " + pathArgument(directory) + "/*");
}

int copyContentsAndSync(const std::string &from, const std::string &to)
{
    return run("cp -r " + pathArgument(from) + "/* " + pathArgument(to) + "/; sync");
}

int syncAndUnmount(const std::string &mountPoint)
{
    return run("sync; umount " + pathArgument(mountPoint));
}

int sourceScript(const std::string &script, const std::vector<std::string> &arguments)
{
    std::string command = ". " + pathArgument(script);
    for (const std::string &argument : arguments)
        command += " " + shellArgument(argument);
    return run(command);
}

int saveOutput(const std::string &command, const std::string &file)
{
    return run(command + " > " + pathArgument(file));
}

} // namespace platform
