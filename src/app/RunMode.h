#pragma once
// The command line of Velmora3D and the run mode it selects. Pure functions:
// no window, no system call, so the dispatch is tested on its own.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class RunMode {
    Configuration, // "-c", "/c" or nothing: the collection settings dialog
    Screensaver, // "-s", "/s" (also "/sp"): full screen
    HostPreview, // "-p", "/p" and a window id: still picture inside the host
    Password, // "-a", "/a": no password support, ends at once
    Embedded, // "-1:<hex window id>": settings page inside another member
    None, // anything else: ends at once
};

struct RunRequest {
    RunMode mode = RunMode::None;
    // HostPreview: the window id (0 when missing or unreadable).
    // Embedded: the window id parsed from the hexadecimal form.
    int64_t window = 0;

    bool operator==(const RunRequest&) const = default;
};

// The program arguments (without the program name) joined by single spaces.
std::string JoinArguments(const std::vector<std::string>& arguments);

// Lower case (ASCII letters; no switch letter lies outside ASCII) and without
// leading or trailing white space.
std::string NormaliseCommandLine(std::string_view commandLine);

// Leading white space, an optional sign and the leading decimal digits; 0 when
// there are none or the number does not fit.
int64_t ParseSignedDecimal(std::string_view text);

// Reads "-1:<hex>" from the normalised text; false when the text does not
// have that form (a slash in place of the minus does not).
bool ParseEmbeddedWindow(std::string_view normalised, int64_t& window);

// The run mode of a start with these arguments (program name excluded). The
// host preview's window id is the second argument after the program name.
RunRequest DispatchCommandLine(const std::vector<std::string>& arguments);

} // namespace velmora
