#include "app/RunMode.h"

#include <limits>

namespace velmora {
namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
constexpr std::string_view kEmbeddedPrefix = "-1:";

bool IsSwitch(char c)
{
    return c == '-' || c == '/';
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string JoinArguments(const std::vector<std::string>& arguments)
{
    std::string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            line += ' ';
        line += arguments[i];
    }
    return line;
}

std::string NormaliseCommandLine(std::string_view commandLine)
{
    const std::size_t first = commandLine.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = commandLine.find_last_not_of(kWhiteSpace);
    std::string text(commandLine.substr(first, last - first + 1));
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

int64_t ParseSignedDecimal(std::string_view text)
{
    std::size_t pos = text.find_first_not_of(kWhiteSpace);
    if (pos == std::string_view::npos)
        return 0;
    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-') {
        negative = text[pos] == '-';
        ++pos;
    }
    // Gathered as a negative number, whose range is the larger one.
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        const int digit = text[pos] - '0';
        if (value < (kMin + digit) / 10)
            return 0; // too large for any window id
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == kMin)
            return 0;
        value = -value;
    }
    return value;
}

bool ParseEmbeddedWindow(std::string_view normalised, int64_t& window)
{
    if (normalised.substr(0, kEmbeddedPrefix.size()) != kEmbeddedPrefix)
        return false;
    std::string_view rest = normalised.substr(kEmbeddedPrefix.size());
    const std::size_t start = rest.find_first_not_of(kWhiteSpace);
    if (start == std::string_view::npos)
        return false;
    rest.remove_prefix(start);
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') && HexDigit(rest[2]) >= 0)
        rest.remove_prefix(2);
    uint64_t value = 0;
    std::size_t digits = 0;
    for (char c : rest) {
        const int d = HexDigit(c);
        if (d < 0)
            break;
        if (value > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) >> 4))
            return false; // no window id is that long
        value = (value << 4) | static_cast<uint64_t>(d);
        ++digits;
    }
    if (digits == 0)
        return false;
    window = static_cast<int64_t>(value);
    return true;
}

RunRequest DispatchCommandLine(const std::vector<std::string>& arguments)
{
    const std::string text = NormaliseCommandLine(JoinArguments(arguments));
    if (text.empty())
        return {RunMode::Configuration, 0};
    if (text.size() < 2 || !IsSwitch(text[0]))
        return {RunMode::None, 0};
    switch (text[1]) {
    case 'c':
        return {RunMode::Configuration, 0};
    case 's':
        return {RunMode::Screensaver, 0};
    case 'p':
        return {RunMode::HostPreview, arguments.size() >= 2 ? ParseSignedDecimal(arguments[1]) : 0};
    case 'a':
        return {RunMode::Password, 0};
    case '1': {
        int64_t window = 0;
        if (ParseEmbeddedWindow(text, window))
            return {RunMode::Embedded, window};
        return {RunMode::None, 0};
    }
    default:
        return {RunMode::None, 0};
    }
}

} // namespace velmora
