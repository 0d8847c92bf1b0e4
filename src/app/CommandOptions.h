#pragma once
// The options of Velmora3D outside its run-mode switches: --help, --version
// and the display-hack mode in which a screensaver host (XScreenSaver, or
// another host that follows its conventions) hands the program a window to
// draw the tour into. Written with two dashes, as those hosts write them,
// they always reach the run-mode dispatch's "anything else" branch, so no
// existing run mode changes. Pure functions, tested without a display.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The environment variable through which XScreenSaver names the window a
// display hack draws into.
inline constexpr std::string_view kHostWindowVariable = "XSCREENSAVER_WINDOW";

enum class CommandAction {
    Nothing, // nothing of ours: the run ends silently, as before
    Help, // print the usage to standard output, exit 0
    Version, // print the version to standard output, exit 0
    DisplayHack, // draw the tour into the host's window until killed
    Error, // one of our options is wrong: say so on standard error, exit 1
};

struct DisplayHackRequest {
    // The X window to draw into; 0 stands for the screen's root window.
    uint64_t window = 0;
    // Override the stored settings for this run only.
    std::optional<int32_t> animationSpeed;
    std::optional<int32_t> camMode;

    bool operator==(const DisplayHackRequest&) const = default;
};

struct CommandRequest {
    CommandAction action = CommandAction::Nothing;
    DisplayHackRequest hack;
    std::string error; // Error: what is wrong, one line without the program name

    bool operator==(const CommandRequest&) const = default;
};

inline constexpr int32_t kMaxAnimationSpeed = 100;
// The camera modes the options accept: 0 to 2 fly the tour, 3 holds the
// camera still (every larger value would do the same).
inline constexpr int32_t kMaxCamMode = 3;

// An X window id as hosts write it: decimal or "0x" hexadecimal, non-zero
// and within X's 32-bit resource ids. nullopt for anything else.
std::optional<uint64_t> ParseWindowId(std::string_view text);

// Reads the arguments (program name excluded) of a run that the run-mode
// dispatch left to its "anything else" branch. `hostWindow` is the value of
// XSCREENSAVER_WINDOW, or null when it is unset.
CommandRequest ParseCommandOptions(const std::vector<std::string>& arguments, const char* hostWindow);

// The text --help prints, naming the program as `program`.
std::string UsageText(std::string_view program);
// The line --version prints.
std::string VersionText(std::string_view program);

} // namespace velmora
