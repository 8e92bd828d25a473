#pragma once

#include <string>

// A path as one word of a shell command. Paths of plain characters pass unchanged, so the
// instrument's commands read as they always have; anything else (blanks, quotes, ;, $) is
// single-quoted so that a file name can never become part of the command.
std::string shellArgument(const std::string &path);
