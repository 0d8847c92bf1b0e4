#include "app/RunMode.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora {
namespace {

RunRequest Dispatch(std::vector<std::string> args)
{
    return DispatchCommandLine(args);
}

TEST(CommandLine, JoinAndNormalise)
{
    EXPECT_EQ(JoinArguments({}), "");
    EXPECT_EQ(JoinArguments({"/p", "1234"}), "/p 1234");
    EXPECT_EQ(NormaliseCommandLine(" \t\n\v\f\r/S \r\n"), "/s");
    EXPECT_EQ(NormaliseCommandLine("-1:ABCDEF"), "-1:abcdef");
    EXPECT_EQ(NormaliseCommandLine(" \t "), "");
    EXPECT_EQ(NormaliseCommandLine("A b\tC"), "a b\tc");
}

TEST(CommandLine, EmptyAndConfigurationSwitches)
{
    EXPECT_EQ(Dispatch({}).mode, RunMode::Configuration);
    EXPECT_EQ(Dispatch({"  "}).mode, RunMode::Configuration);
    for (const char* c : {"/c", "-c", "/C", "-C", " /c ", "/c:1234", "-c 5678", "/config"})
        EXPECT_EQ(Dispatch({c}), (RunRequest {RunMode::Configuration, 0})) << c;
    EXPECT_EQ(Dispatch({"/c:", "1234"}).window, 0); // the host's handle is ignored
}

TEST(CommandLine, ScreensaverSwitches)
{
    for (const char* s : {"/s", "-s", "/S", "-S", "\t/s\n", "/sp", "/SP", "-save"})
        EXPECT_EQ(Dispatch({s}).mode, RunMode::Screensaver) << s;
    // The Preview command's switch is full screen, not the host preview.
    EXPECT_EQ(Dispatch({"/sp"}).mode, RunMode::Screensaver);
}

TEST(CommandLine, HostPreviewReadsTheSecondArgument)
{
    EXPECT_EQ(Dispatch({"/p", "1234"}), (RunRequest {RunMode::HostPreview, 1234}));
    EXPECT_EQ(Dispatch({"-P", "  77abc"}), (RunRequest {RunMode::HostPreview, 77}));
    EXPECT_EQ(Dispatch({"/p", "-12"}), (RunRequest {RunMode::HostPreview, -12}));
    EXPECT_EQ(Dispatch({"/p"}), (RunRequest {RunMode::HostPreview, 0}));
    EXPECT_EQ(Dispatch({"/p", "0"}), (RunRequest {RunMode::HostPreview, 0}));
    EXPECT_EQ(Dispatch({"/p", "x1"}), (RunRequest {RunMode::HostPreview, 0}));
    EXPECT_EQ(Dispatch({"/p:1234"}), (RunRequest {RunMode::HostPreview, 0})); // one argument only
    EXPECT_EQ(Dispatch({"/p", "12", "34"}).window, 12);
}

TEST(CommandLine, SignedDecimal)
{
    EXPECT_EQ(ParseSignedDecimal("42"), 42);
    EXPECT_EQ(ParseSignedDecimal(" +42x"), 42);
    EXPECT_EQ(ParseSignedDecimal("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(ParseSignedDecimal("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(ParseSignedDecimal("9223372036854775808"), 0);
    EXPECT_EQ(ParseSignedDecimal("99999999999999999999999"), 0);
    EXPECT_EQ(ParseSignedDecimal("-"), 0);
    EXPECT_EQ(ParseSignedDecimal(""), 0);
}

TEST(CommandLine, PasswordAndUnknownSwitchesEnd)
{
    EXPECT_EQ(Dispatch({"/a"}).mode, RunMode::Password);
    EXPECT_EQ(Dispatch({"-A", "123"}).mode, RunMode::Password);
    for (const char* n : {"/x", "-", "/", "s", "c", "hello", "//s", "+s", "\\s", "/ s", "/\xC3\x89"})
        EXPECT_EQ(Dispatch({n}).mode, RunMode::None) << n;
}

TEST(CommandLine, EmbeddedPageTakesAHexWindowId)
{
    EXPECT_EQ(Dispatch({"-1:1a2B"}), (RunRequest {RunMode::Embedded, 0x1a2b}));
    EXPECT_EQ(Dispatch({"-1:ABCDEF"}), (RunRequest {RunMode::Embedded, 0xabcdef}));
    EXPECT_EQ(Dispatch({" -1:0x3C00007 "}), (RunRequest {RunMode::Embedded, 0x3c00007}));
    EXPECT_EQ(Dispatch({"-1:", "400001"}), (RunRequest {RunMode::Embedded, 0x400001}));
    EXPECT_EQ(Dispatch({"-1:12zz"}), (RunRequest {RunMode::Embedded, 0x12}));
    // The slash form does not fit the format.
    EXPECT_EQ(Dispatch({"/1:ABCDEF"}).mode, RunMode::None);
    EXPECT_EQ(Dispatch({"-1"}).mode, RunMode::None);
    EXPECT_EQ(Dispatch({"-1:"}).mode, RunMode::None);
    EXPECT_EQ(Dispatch({"-1:zz"}).mode, RunMode::None);
    EXPECT_EQ(Dispatch({"-1;12"}).mode, RunMode::None);
    EXPECT_EQ(Dispatch({"-1:-12"}).mode, RunMode::None);
    EXPECT_EQ(Dispatch({"-1:10000000000000000"}).mode, RunMode::None); // 65 bits
    EXPECT_EQ(Dispatch({"-1:7fffffffffffffff"}).window, INT64_MAX);
}

} // namespace
} // namespace velmora
