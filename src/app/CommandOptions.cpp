#include "app/CommandOptions.h"

#include <charconv>

#ifndef VELMORA3D_VERSION
#error "VELMORA3D_VERSION must be set by the build"
#endif

namespace velmora {
namespace {

// X resource ids are 32-bit numbers (29 bits in practice).
constexpr uint64_t kMaxWindowId = 0xFFFFFFFFu;

enum class Option { Help, Version, Root, WindowId, Speed, CamMode };

struct OptionName {
    std::string_view name;
    Option option;
    bool takesValue;
};

// Written with two leading dashes, as XScreenSaver's hosts write them, or
// with one as X programs also accept. Only the first two characters of the
// command line choose a run mode, so "-speed" in the first place selects the
// full-screen mode; "--speed" never does.
constexpr OptionName kOptions[] = {
    {"help", Option::Help, false},
    {"h", Option::Help, false},
    {"version", Option::Version, false},
    {"root", Option::Root, false},
    {"window-id", Option::WindowId, true},
    {"speed", Option::Speed, true},
    {"cam-mode", Option::CamMode, true},
};

const OptionName* FindOption(std::string_view name)
{
    for (const OptionName& entry : kOptions)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

// "-name", "--name" and "--name=value" give the name (and the value).
bool SplitOption(std::string_view argument, std::string_view& name, std::optional<std::string_view>& value)
{
    if (argument.size() < 2 || argument[0] != '-')
        return false;
    argument.remove_prefix(argument[1] == '-' ? 2 : 1);
    value.reset();
    if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
        value = argument.substr(equals + 1);
        argument = argument.substr(0, equals);
    }
    name = argument;
    return !name.empty();
}

std::optional<int32_t> ParseBounded(std::string_view text, int32_t low, int32_t high)
{
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc {} || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

CommandRequest Failure(std::string message)
{
    CommandRequest request;
    request.action = CommandAction::Error;
    request.error = std::move(message);
    return request;
}

} // namespace

std::optional<uint64_t> ParseWindowId(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc {} || ptr != end || value == 0 || value > kMaxWindowId)
        return std::nullopt;
    return value;
}

CommandRequest ParseCommandOptions(const std::vector<std::string>& arguments, const char* hostWindow)
{
    bool anyOfOurs = false;
    bool help = false;
    bool version = false;
    bool root = false;
    std::optional<uint64_t> windowId;
    DisplayHackRequest hack;
    std::string firstError;
    auto fail = [&firstError](std::string message) {
        if (firstError.empty())
            firstError = std::move(message);
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string_view name;
        std::optional<std::string_view> value;
        const OptionName* option = SplitOption(argument, name, value) ? FindOption(name) : nullptr;
        if (option == nullptr) {
            fail("unknown argument \"" + argument + "\"");
            continue;
        }
        anyOfOurs = true;
        if (!option->takesValue) {
            if (value)
                fail("--" + std::string(name) + " takes no value");
        } else if (!value) {
            if (i + 1 >= arguments.size()) {
                fail("--" + std::string(name) + " needs a value");
                continue;
            }
            value = arguments[++i];
        }
        switch (option->option) {
        case Option::Help:
            help = true;
            break;
        case Option::Version:
            version = true;
            break;
        case Option::Root:
            root = true;
            break;
        case Option::WindowId:
            if (value && !(windowId = ParseWindowId(*value)))
                fail("--window-id: \"" + std::string(*value) + "\" is not a window id");
            break;
        case Option::Speed:
            if (value && !(hack.animationSpeed = ParseBounded(*value, 0, kMaxAnimationSpeed)))
                fail("--speed takes a number from 0 to " + std::to_string(kMaxAnimationSpeed));
            break;
        case Option::CamMode:
            if (value && !(hack.camMode = ParseBounded(*value, 0, kMaxCamMode)))
                fail("--cam-mode takes a number from 0 to " + std::to_string(kMaxCamMode));
            break;
        }
    }

    // A command line without any option of ours keeps its old meaning: the
    // run ends without a word.
    if (!anyOfOurs)
        return {};
    if (help)
        return {CommandAction::Help, {}, {}};
    if (version)
        return {CommandAction::Version, {}, {}};
    if (!firstError.empty())
        return Failure(firstError);

    // An explicit window wins; XScreenSaver sets its variable together with
    // -root, and then the variable names the window meant by "root".
    if (windowId) {
        hack.window = *windowId;
    } else if (hostWindow != nullptr && *hostWindow != '\0') {
        const std::optional<uint64_t> fromHost = ParseWindowId(hostWindow);
        if (!fromHost)
            return Failure(std::string(kHostWindowVariable) + "=\"" + hostWindow + "\" is not a window id");
        hack.window = *fromHost;
    } else if (root) {
        hack.window = 0;
    } else {
        return Failure("no window to draw into: give --root or --window-id ID");
    }
    return {CommandAction::DisplayHack, hack, {}};
}

std::string UsageText(std::string_view program)
{
    const std::string p(program);
    // Windows' screen saver settings start the program there; it has no
    // display hack, and the settings live in the registry.
#if defined(_WIN32)
    constexpr const char* kPreviewWindow = "handle";
#else
    constexpr const char* kPreviewWindow = "id";
#endif
    std::string text = "usage: " + p + " [/c | /s | /p WINDOW | /a | -1:HEXWINDOW]\n";
#if !defined(_WIN32)
    text += "       " + p + " --root | --window-id ID [--speed N] [--cam-mode N]\n";
#endif
    text += "       " + p + " --web-update | --help | --version\n";
    text += "\n"
            "Velmora 3D, a screensaver of the Kestrova 3D collection: a flight around Saturn.\n"
            "\n"
            "Run modes (the switch may begin with \"/\" or \"-\", in either letter case):\n"
            "  /c or nothing     the collection's settings dialog\n"
            "  /s                the screensaver, full screen; input ends it\n"
            "  /p WINDOW         a still preview inside the host's window (decimal ";
    text += kPreviewWindow;
    text += ")\n"
            "  /a                password setting: not supported, ends at once\n"
            "  -1:HEXWINDOW      this program's settings page inside another member's window\n"
            "\n";
#if !defined(_WIN32)
    text += "Display hack, for XScreenSaver and hosts that follow its conventions:\n"
            "  --root            draw into the window that XSCREENSAVER_WINDOW names, or\n"
            "                    else into the screen's root window\n"
            "  --window-id ID    draw into the window ID (decimal or 0x hexadecimal)\n"
            "  --speed N         animation speed for this run, 0 to 100 (50 is normal)\n"
            "  --cam-mode N      camera for this run: 0 cycle all, 1 satellite flyby,\n"
            "                    2 planetary orbit, 3 still\n"
            "  The tour follows the window's size and runs until the program receives\n"
            "  SIGTERM; the host handles input. Without the last two options the stored\n"
            "  settings apply. Write these options with two dashes: only the first two\n"
            "  characters of a command line choose a run mode, so \"-speed\" in the\n"
            "  first place would start the full-screen mode.\n"
            "\n";
#endif
    text += "  --web-update      refresh the collection's product list from the maker's\n"
            "                    server, without a window\n"
            "  --help            show this text\n"
            "  --version         show the version\n"
            "\n";
#if defined(_WIN32)
    text += "Settings are kept in the registry, under\n"
            "HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\Velmora3D.\n";
#else
    text += "Settings are kept in $KESTROVA3D_REGISTRY, or else in\n"
            "$XDG_CONFIG_HOME/kestrova3d/registry.reg (~/.config/kestrova3d/registry.reg).\n";
#endif
    return text;
}

std::string VersionText(std::string_view program)
{
    return std::string(program) + " " VELMORA3D_VERSION "\n";
}

} // namespace velmora
