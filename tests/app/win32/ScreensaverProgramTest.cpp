// Velmora3D.scr started as Windows starts a screensaver: the windowless run
// modes, the full-screen run with its guard, its input rules and its
// settings, and the preview inside a host window made here.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/TempRegistry.h"
#include "TempFolder.h"
#include "Win32Windows.h"
#include "WinProgram.h"

namespace velmora {
namespace {

constexpr const wchar_t* kGuardAtom = L"VELMORA 3D ScreenSaver";
constexpr const wchar_t* kWindowClass = L"Velmora3DScreenSaver";
constexpr const char* kProgramKey = "Software\\Tarnwick\\Kestrova3D\\Velmora3D";

using velmora::testing::PumpUntil;

class ScreensaverProgramTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override
    {
        program_.Kill();
        Clean();
    }
    static void Clean()
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarnwick");
        while (ATOM atom = ::GlobalFindAtomW(kGuardAtom))
            ::GlobalDeleteAtom(atom);
    }
    static void Store(const char* name, uint32_t value) { testing::StoreValue(kProgramKey, name, value); }
    static int32_t Stored(const char* name) { return testing::StoredDword(kProgramKey, name); }

    bool Start(const std::string& tail, const std::vector<std::string>& environment = {})
    {
        return program_.Start(VELMORA3D_PATH, tail, environment, output_);
    }
    std::string Output() const { return testing::ReadFileBytes(output_); }
    // The full-screen window once the scene has loaded (its loading window,
    // a dialog, is gone): input before that reaches it as one late move.
    HWND WaitUntilRunning() const
    {
        HWND window = test::WaitForWindow(program_.ProcessId(), kWindowClass, 60000);
        for (int i = 0; window && i < 600 && test::WaitForWindow(program_.ProcessId(), L"#32770", 0); ++i)
            ::Sleep(100);
        ::Sleep(500);
        return window;
    }

    test::WinProgram program_;
    testing::TempFolder folder_ {"velmora-program"};
    const std::string output_ = folder_.File("output.txt");
};

TEST_F(ScreensaverProgramTest, WindowlessRunsEndAtOnceWithoutAWindow)
{
    const struct {
        const char* tail;
        int exitCode;
        const char* output;
    } rows[] = {
        {"/a", 0, ""},
        {"/x", 0, ""},
        {"nonsense", 0, ""},
        {"/p", 0, ""},
        {"/p 0", 0, ""},
        {"/p 12345678", 0, ""}, // no such window
        {"/1:ABC", 0, ""}, // the embedded form wants the minus sign
        {"--version", 0, "Velmora3D " VELMORA3D_VERSION},
        {"--help", 0, "/s"},
        {"--speed 500", 1, "--help"},
    };
    for (const auto& row : rows) {
        // A run of any mode removes a guard that is still registered.
        ::GlobalAddAtomW(kGuardAtom);
        ASSERT_TRUE(Start(row.tail)) << row.tail;
        EXPECT_EQ(program_.WaitExit(30000), row.exitCode) << row.tail;
        EXPECT_NE(Output().find(row.output), std::string::npos) << row.tail << ": " << Output();
        EXPECT_EQ(::GlobalFindAtomW(kGuardAtom), 0) << row.tail;
    }
    // The web update without a window: progress and failure reach the starter.
    ASSERT_TRUE(Start("--web-update", {"KESTROVA3D_UPDATE_URL=http://127.0.0.1:1/products.xml"}));
    EXPECT_EQ(program_.WaitExit(60000), 1);
    EXPECT_NE(Output().find("Failed to update products list Online!"), std::string::npos) << Output();
}

TEST_F(ScreensaverProgramTest, FullScreenRunCoversTheScreenRefusesASecondAndEndsOnAKey)
{
    ASSERT_TRUE(Start("/s"));
    HWND window = WaitUntilRunning();
    ASSERT_NE(window, nullptr) << Output();
    RECT r {};
    ::GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.bottom, ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_NE(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_NE(::GlobalFindAtomW(kGuardAtom), 0);

    // The settings dialog's Preview starts "/sp": screensaver mode, refused
    // while this one runs.
    test::WinProgram second;
    ASSERT_TRUE(second.Start(VELMORA3D_PATH, "/sp", {}, folder_.File("second.txt")));
    EXPECT_EQ(second.WaitExit(30000), 0);
    EXPECT_EQ(test::WaitForWindow(second.ProcessId(), kWindowClass, 0), nullptr);
    EXPECT_TRUE(program_.Running());

    test::PressKey(VK_SPACE);
    EXPECT_EQ(program_.WaitExit(20000), 0);
    EXPECT_EQ(::GlobalFindAtomW(kGuardAtom), 0);
}

TEST_F(ScreensaverProgramTest, BenchmarkRunsDrawTheirFramesAndRefusedModesAreStoredAsTheDesktop)
{
    // A mode no display offers: the run falls back to the desktop and says
    // so in the settings, so later runs do not try again.
    Store("XResolution", 123);
    Store("YResolution", 45);
    Store("ColorDepth", 7);
    Store("CurrentVideomode", 0);
    ASSERT_TRUE(Start("/s", {"VELMORA3D_BENCH_FRAMES=20"}));
    EXPECT_EQ(program_.WaitExit(90000), 0) << Output();
    EXPECT_NE(Output().find(": 20 frames in"), std::string::npos) << Output();
    EXPECT_EQ(Stored("CurrentVideomode"), 1);
    EXPECT_EQ(Stored("XResolution"), ::GetSystemMetrics(SM_CXFULLSCREEN));
    EXPECT_EQ(Stored("YResolution"), ::GetSystemMetrics(SM_CYFULLSCREEN));
}

TEST_F(ScreensaverProgramTest, MouseMovesEndTheRunUnlessDemoModeIsSet)
{
    for (const bool demo : {false, true}) {
        Store("DemoMode", demo ? 1 : 0);
        ASSERT_TRUE(Start("/s"));
        ASSERT_NE(WaitUntilRunning(), nullptr);
        // Moves that arrive while the first frames are drawn come as one
        // message, which only sets the reference: keep moving for a while.
        int exitCode = -1;
        for (int i = 0; i < 100 && exitCode == -1; ++i) {
            test::MoveMouse(i % 2 ? 30 : -30, i % 2 ? 20 : -20);
            exitCode = program_.WaitExit(demo ? 50 : 200);
        }
        EXPECT_EQ(exitCode, demo ? -1 : 0) << "demo " << demo;
        if (demo) {
            test::PressKey(VK_RETURN);
            EXPECT_EQ(program_.WaitExit(20000), 0);
        }
    }
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeHost(int clientWidth, int clientHeight)
{
    WNDCLASSW wc {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"VelmoraTestHost";
    ::RegisterClassW(&wc);
    RECT r {0, 0, clientWidth, clientHeight};
    ::AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    return ::CreateWindowW(wc.lpszClassName, L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
        r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
}

TEST_F(ScreensaverProgramTest, PreviewFillsTheHostsWindowFollowsItsSizeAndEndsWithIt)
{
    HWND host = MakeHost(152, 112);
    ASSERT_NE(host, nullptr);
    ASSERT_TRUE(Start("/p " + std::to_string(reinterpret_cast<uintptr_t>(host))));
    HWND preview = nullptr;
    ASSERT_TRUE(PumpUntil(60000, [&] {
        preview = ::FindWindowExW(host, nullptr, L"Velmora3DPreview", L"Preview");
        return preview != nullptr;
    })) << Output();
    const auto clientOf = [](HWND w) {
        RECT r {};
        ::GetClientRect(w, &r);
        return std::pair(r.right, r.bottom);
    };
    EXPECT_TRUE(PumpUntil(5000, [&] { return clientOf(preview) == std::pair<LONG, LONG>(152, 112); }));

    RECT frame {0, 0, 192, 144};
    ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    ::SetWindowPos(
        host, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(PumpUntil(5000, [&] { return clientOf(preview) == std::pair<LONG, LONG>(192, 144); }));

    ::DestroyWindow(host);
    PumpUntil(100, [] { return false; });
    EXPECT_EQ(program_.WaitExit(20000), 0);
}

} // namespace
} // namespace velmora
