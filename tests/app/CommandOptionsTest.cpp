#include "app/CommandOptions.h"
#include "app/RunMode.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora {
namespace {

struct OptionsRow {
    const char* name;
    std::vector<std::string> arguments;
    const char* hostWindow; // XSCREENSAVER_WINDOW, null when unset
    CommandAction action;
    DisplayHackRequest hack; // DisplayHack rows
    const char* errorPart; // Error rows: part of the message
};

DisplayHackRequest Hack(uint64_t window, std::optional<int32_t> speed = {}, std::optional<int32_t> cam = {})
{
    return {window, speed, cam};
}

constexpr CommandAction kNothing = CommandAction::Nothing;
constexpr CommandAction kHack = CommandAction::DisplayHack;
constexpr CommandAction kError = CommandAction::Error;

const OptionsRow kOptionsRows[] = {
    // Nothing of ours: the run ends silently, as before.
    {"no options", {"hello"}, nullptr, kNothing, {}, nullptr},
    {"an unknown switch", {"/x"}, nullptr, kNothing, {}, nullptr},
    {"the host's variable alone", {"hello"}, "0x400001", kNothing, {}, nullptr},
    // Informational options win over everything else on the line.
    {"help", {"--help"}, nullptr, CommandAction::Help, {}, nullptr},
    {"help, one dash", {"-help"}, nullptr, CommandAction::Help, {}, nullptr},
    {"short help", {"-h"}, nullptr, CommandAction::Help, {}, nullptr},
    {"help among errors", {"--speed", "500", "--help", "junk"}, nullptr, CommandAction::Help, {}, nullptr},
    {"version", {"--version"}, nullptr, CommandAction::Version, {}, nullptr},
    {"version with a hack", {"--root", "--version"}, nullptr, CommandAction::Version, {}, nullptr},
    // The window: explicit id, then the host's variable, then the root.
    {"root", {"--root"}, nullptr, kHack, Hack(0), nullptr},
    {"root, one dash", {"-root"}, nullptr, kHack, Hack(0), nullptr},
    {"root names the host's window", {"--root"}, "0x400001", kHack, Hack(0x400001), nullptr},
    {"host window in decimal", {"--root"}, "4194305", kHack, Hack(4194305), nullptr},
    {"empty host variable is unset", {"--root"}, "", kHack, Hack(0), nullptr},
    {"host window without root", {"--speed", "20"}, "0x400001", kHack, Hack(0x400001, 20), nullptr},
    {"decimal id", {"--window-id", "12345"}, nullptr, kHack, Hack(12345), nullptr},
    {"hex id", {"-window-id", "0x3C00007"}, nullptr, kHack, Hack(0x3c00007), nullptr},
    {"id with equals", {"--window-id=0x1a"}, nullptr, kHack, Hack(0x1a), nullptr},
    {"explicit id beats the host", {"--root", "--window-id", "77"}, "0x400001", kHack, Hack(77), nullptr},
    {"explicit id beats a bad host", {"--window-id", "77"}, "garbage", kHack, Hack(77), nullptr},
    // Settings for the run; the last of a repeated option counts.
    {"speed and camera", {"--root", "--speed", "0", "--cam-mode", "3"}, nullptr, kHack, Hack(0, 0, 3),
        nullptr},
    {"speed at the top", {"--speed=100", "--root"}, nullptr, kHack, Hack(0, 100), nullptr},
    {"repeated speed", {"--root", "--speed", "10", "--speed", "90"}, nullptr, kHack, Hack(0, 90), nullptr},
    {"camera after root", {"-root", "-cam-mode", "1"}, nullptr, kHack, Hack(0, {}, 1), nullptr},
    // Our options, wrongly given.
    {"no window at all", {"--speed", "20"}, nullptr, kError, {}, "no window"},
    {"speed too high", {"--root", "--speed", "101"}, nullptr, kError, {}, "--speed"},
    {"speed negative", {"--root", "--speed", "-1"}, nullptr, kError, {}, "--speed"},
    {"speed not a number", {"--root", "--speed", "fast"}, nullptr, kError, {}, "--speed"},
    {"speed with a tail", {"--root", "--speed", "20x"}, nullptr, kError, {}, "--speed"},
    {"camera out of range", {"--root", "--cam-mode", "4"}, nullptr, kError, {}, "--cam-mode"},
    {"missing value", {"--root", "--speed"}, nullptr, kError, {}, "needs a value"},
    {"value on a flag", {"--root=1"}, nullptr, kError, {}, "takes no value"},
    {"zero window", {"--window-id", "0"}, nullptr, kError, {}, "not a window id"},
    {"window id too large", {"--window-id", "0x100000000"}, nullptr, kError, {}, "not a window id"},
    {"octal-looking id is decimal", {"--window-id", "010"}, nullptr, kHack, Hack(10), nullptr},
    {"bad host variable", {"--root"}, "root", kError, {}, "XSCREENSAVER_WINDOW"},
    {"stray argument", {"--root", "extra"}, nullptr, kError, {}, "\"extra\""},
};

class OptionsTable : public ::testing::TestWithParam<OptionsRow> { };

TEST_P(OptionsTable, ParsesTheCommandLine)
{
    const OptionsRow& row = GetParam();
    const CommandRequest request = ParseCommandOptions(row.arguments, row.hostWindow);
    ASSERT_EQ(request.action, row.action) << request.error;
    if (row.action == kHack) {
        EXPECT_EQ(request.hack, row.hack);
    }
    if (row.action == kError) {
        EXPECT_NE(request.error.find(row.errorPart), std::string::npos) << request.error;
    } else {
        EXPECT_TRUE(request.error.empty());
    }
}

// Whatever our options ask for, the run-mode dispatch must see "anything
// else": the options may not turn into a run mode of their own.
TEST_P(OptionsTable, NeverSelectsAnExistingRunMode)
{
    const OptionsRow& row = GetParam();
    if (row.action == kNothing)
        return; // those lines are the dispatch's own business
    EXPECT_EQ(DispatchCommandLine(row.arguments).mode, RunMode::None);
}

INSTANTIATE_TEST_SUITE_P(CommandOptions, OptionsTable, ::testing::ValuesIn(kOptionsRows),
    [](const ::testing::TestParamInfo<OptionsRow>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(CommandOptions, WindowIds)
{
    const struct {
        const char* text;
        std::optional<uint64_t> id;
    } rows[] = {
        {"1", 1},
        {"4194305", 4194305},
        {"0x400001", 0x400001},
        {"0XABCDEF", 0xabcdef},
        {"0xffffffff", 0xffffffffu},
        {"4294967295", 4294967295u},
        {"4294967296", std::nullopt},
        {"0", std::nullopt},
        {"0x0", std::nullopt},
        {"0x", std::nullopt},
        {"", std::nullopt},
        {"-5", std::nullopt},
        {"+5", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"12ab", std::nullopt},
        {"0x12g", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseWindowId(row.text), row.id) << '"' << row.text << '"';
}

TEST(CommandOptions, UsageNamesEveryOptionAndVersionTheProgram)
{
    const std::string usage = UsageText("Velmora3D");
    EXPECT_EQ(usage.rfind("usage: Velmora3D ", 0), 0u);
    for (const char* option : {"--help", "--version", "/s", "/c", "/p WINDOW", "-1:HEXWINDOW"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
#if defined(_WIN32)
    // No display hack on Windows.
    EXPECT_EQ(usage.find("--root"), std::string::npos);
    EXPECT_NE(usage.find("HKEY_CURRENT_USER"), std::string::npos);
#else
    for (const char* option :
        {"--root", "--window-id ID", "--speed N", "--cam-mode N", "XSCREENSAVER_WINDOW"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
#endif
    EXPECT_EQ(usage.back(), '\n');
    EXPECT_EQ(VersionText("Velmora3D"), "Velmora3D " VELMORA3D_VERSION "\n");
}

} // namespace
} // namespace velmora
