#include "configsyntax.h"

#include <cctype>
#include <climits>

namespace configsyntax {

std::vector<Record> parseRecords(const std::string &content)
{
    std::vector<Record> records;
    std::size_t position = 0;
    while (position < content.size()) {
        const std::size_t colon = content.find(':', position);
        if (colon == std::string::npos)
            break; // trailing text without a record
        std::size_t lineEnd = content.find('\n', colon);
        if (lineEnd == std::string::npos)
            lineEnd = content.size(); // last record without a final line feed
        const std::string rest = content.substr(colon + 1, lineEnd - colon - 1);
        const std::size_t firstQuote = rest.find('"');
        const std::size_t lastQuote = rest.rfind('"');
        if (firstQuote != std::string::npos && lastQuote != firstQuote)
            records.emplace_back(content.substr(position, colon - position),
                                 rest.substr(firstQuote + 1, lastQuote - firstQuote - 1));
        position = lineEnd + 1;
    }
    return records;
}

std::optional<int> toInt(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t firstDigit = i;
    long long magnitude = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
        ++i;
    }
    if (i == firstDigit)
        return std::nullopt;
    const long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

std::string formatRecord(const std::string &key, int value)
{
    return key + ":\"" + std::to_string(value) + "\"\n";
}

} // namespace configsyntax
