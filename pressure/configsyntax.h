#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The pure part of the ".inc" file format, kept apart from file access so it is tested as text.
namespace configsyntax {

using Record = std::pair<std::string, std::string>;

// The records of a file's content in file order, duplicates included; records whose line holds
// fewer than two double quotes are left out.
std::vector<Record> parseRecords(const std::string &content);

// Decimal conversion as std::stoi does it (leading white space, a sign, digits up to the first
// non-digit), but without exceptions: nothing when no digit follows or the value leaves int.
std::optional<int> toInt(const std::string &text);

// One record in canonical form, line feed included.
std::string formatRecord(const std::string &key, int value);

} // namespace configsyntax
