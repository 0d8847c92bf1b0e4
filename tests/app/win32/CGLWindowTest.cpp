// The Win32 full-screen window in this process, with a recording scene and
// display: its start-up order, the messages that close it and those that do
// not, the slow-machine warning, and its teardown.

#include "app/win32/CGLWindow.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/TempRegistry.h"
#include "StringTable.h"

namespace velmora::win32 {
namespace {

struct Journal {
    std::vector<std::string> calls;
    std::vector<std::string> messages;
    int frames = 0;
    void Add(std::string call) { calls.push_back(std::move(call)); }
    bool Has(const std::string& call) const
    {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    std::size_t Index(const std::string& call) const
    {
        return static_cast<std::size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin());
    }
};

class RecordingScene final : public WindowScene {
public:
    explicit RecordingScene(Journal& journal)
        : journal_(journal)
    {
    }
    void Initialize(const SaverSettings&, int w, int h) override
    {
        journal_.Add("init " + std::to_string(w) + "x" + std::to_string(h));
    }
    void Resize(int w, int h) override
    {
        journal_.Add("resize " + std::to_string(w) + "x" + std::to_string(h));
    }
    void DrawFrame() override { ++journal_.frames; }
    void ReleaseGlObjects() override { journal_.Add("release gl"); }
    void ReleaseBuffers() override { journal_.Add("release buffers"); }

private:
    Journal& journal_;
};

class RecordingSwitcher final : public platform::DisplayModeSwitcher {
public:
    RecordingSwitcher(Journal& journal, bool accept)
        : journal_(journal)
        , accept_(accept)
    {
    }
    platform::DisplayMode Current() const override
    {
        return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), 32};
    }
    bool ChangeTemporarily(const platform::DisplayMode& m) override
    {
        journal_.Add("change " + std::to_string(m.width) + "x" + std::to_string(m.height) + "x"
            + std::to_string(m.bitsPerPixel));
        return accept_;
    }
    void Restore() override { journal_.Add("restore"); }

private:
    Journal& journal_;
    bool accept_;
};

// Runs this thread's messages until the window's quit message, or the time.
bool RunUntilQuit(int timeoutMs, const std::function<bool()>& stopEarly = {})
{
    for (int waited = 0; waited <= timeoutMs; waited += 5) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return true;
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (stopEarly && stopEarly())
            return false;
        ::Sleep(5);
    }
    return false;
}

class Win32CGLWindowTest : public ::testing::Test {
protected:
    CGLWindow::Services Services(bool acceptMode = true)
    {
        CGLWindow::Services s;
        s.makeScene = [this](SceneNotifier&) { return std::make_unique<RecordingScene>(journal_); };
        s.displays = std::make_unique<RecordingSwitcher>(journal_, acceptMode);
        s.showMessage = [this](HWND, std::string_view text, UINT) { journal_.messages.emplace_back(text); };
        s.setScreenSaverRunning = [this](bool on) { journal_.Add(on ? "running on" : "running off"); };
        s.tickCountMs = [this] { return static_cast<int64_t>(journal_.frames) * frameMs_; };
        s.fullScreenClientSize = [] { return PixelSize {1000, 700}; };
        return s;
    }
    // Starts a window; it belongs to itself from then on.
    HWND Start(CGLWindow::Services services)
    {
        // Where the system's own first move report lands, inside the rows'
        // tolerance.
        ::SetCursorPos(100, 100);
        auto* window = new CGLWindow(std::move(services));
        const RECT r {0, 0, 320, 240};
        if (window->Create(r) != CGLWindow::CreateResult::Created) {
            delete window;
            return nullptr;
        }
        return window->Window();
    }
    // Runs until the window has drawn `frames` frames; false if it closed.
    bool RunFrames(int frames)
    {
        const int until = journal_.frames + frames;
        return !RunUntilQuit(20000, [&] { return journal_.frames >= until; });
    }
    void Store(const char* name, uint32_t value) const
    {
        platform::RegistryKey key;
        ASSERT_TRUE(key.Create("Software\\Tarnwick\\Kestrova3D\\Velmora3D"));
        ASSERT_TRUE(key.SetDword(name, value));
    }

    velmora::testing::TempRegistry registry_;
    Journal journal_;
    int64_t frameMs_ = 10;
};

TEST_F(Win32CGLWindowTest, StartsInOrderDrawsAndTearsDownInOrder)
{
    HWND window = Start(Services());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(RunFrames(5));
    const std::string full = std::to_string(::GetSystemMetrics(SM_CXSCREEN)) + "x"
        + std::to_string(::GetSystemMetrics(SM_CYSCREEN));
    // The scene sees the window's size before any mode change, then the screen.
    ASSERT_GE(journal_.calls.size(), 3u);
    EXPECT_EQ(journal_.calls[0], "init 320x240");
    EXPECT_TRUE(journal_.Has("resize " + full));
    EXPECT_TRUE(journal_.Has("running on"));
    RECT r {};
    ::GetWindowRect(window, &r);
    EXPECT_EQ(std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top), full);
    EXPECT_NE(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    ::PostMessageW(window, WM_KEYDOWN, 'A', 0);
    ASSERT_TRUE(RunUntilQuit(10000));
    EXPECT_FALSE(::IsWindow(window));
    // The mode goes back first; GL objects go before the buffers; the flag last.
    EXPECT_LT(journal_.Index("restore"), journal_.Index("release gl"));
    EXPECT_LT(journal_.Index("release gl"), journal_.Index("release buffers"));
    EXPECT_LT(journal_.Index("release buffers"), journal_.Index("running off"));
    EXPECT_TRUE(journal_.messages.empty());
}

// Each row: what is sent to the window, and whether it ends the run.
struct InputRow {
    const char* name;
    bool demo;
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> messages;
    bool closes;
};

class Win32CloseRuleTest : public Win32CGLWindowTest, public ::testing::WithParamInterface<InputRow> { };

TEST_P(Win32CloseRuleTest, ClosesExactlyWhenTheRuleSays)
{
    const InputRow& row = GetParam();
    Store("DemoMode", row.demo ? 1 : 0);
    HWND window = Start(Services());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(RunFrames(2));
    for (const auto& [message, wParam, lParam] : row.messages)
        ::SendMessageW(window, message, wParam, lParam);
    const bool closed = RunUntilQuit(row.closes ? 10000 : 300);
    EXPECT_EQ(closed, row.closes);
    if (!closed) {
        // A key always ends it.
        ::PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
        EXPECT_TRUE(RunUntilQuit(10000));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Win32CloseRuleTest,
    ::testing::Values(InputRow {"KeyDown", false, {{WM_KEYDOWN, 'Q', 0}}, true},
        InputRow {"KeyDownInDemoMode", true, {{WM_KEYDOWN, 'Q', 0}}, true},
        InputRow {"AltF4", false, {{WM_SYSKEYDOWN, VK_F4, 1 << 29}, {WM_SYSCOMMAND, SC_CLOSE, 0}}, false},
        InputRow {"ScreenSaveCommand", false, {{WM_SYSCOMMAND, SC_SCREENSAVE, 0}}, false},
        InputRow {"RightButton", false, {{WM_RBUTTONDOWN, 0, MAKELPARAM(5, 5)}}, true},
        InputRow {"MiddleButtonInDemoMode", true, {{WM_MBUTTONDOWN, 0, MAKELPARAM(5, 5)}}, true},
        InputRow {"TenPixels", false,
            {{WM_MOUSEMOVE, 0, MAKELPARAM(100, 100)}, {WM_MOUSEMOVE, 0, MAKELPARAM(110, 90)}}, false},
        InputRow {"ElevenPixels", false,
            {{WM_MOUSEMOVE, 0, MAKELPARAM(100, 100)}, {WM_MOUSEMOVE, 0, MAKELPARAM(100, 111)}}, true},
        InputRow {"FarMoveInDemoMode", true,
            {{WM_MOUSEMOVE, 0, MAKELPARAM(100, 100)}, {WM_MOUSEMOVE, 0, MAKELPARAM(600, 400)}}, false},
        InputRow {"Deactivation", false, {{WM_NCACTIVATE, FALSE, 0}}, true},
        InputRow {"DeactivationInDemoMode", true, {{WM_NCACTIVATE, FALSE, 0}}, false},
        InputRow {"CancelMode", false, {{WM_CANCELMODE, 0, 0}}, true},
        InputRow {"CancelModeInDemoMode", true, {{WM_CANCELMODE, 0, 0}}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Win32CGLWindowTest, SlowMachineIsWarnedOnceAndTheRunGoesOn)
{
    frameMs_ = 400; // frames 6 to 15 take four seconds
    HWND window = Start(Services());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(RunFrames(40));
    ASSERT_EQ(journal_.messages.size(), 1u);
    EXPECT_EQ(journal_.messages[0], strings::kSlowMachineWarning);
    ::PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(RunUntilQuit(10000));

    // A fast machine is never warned.
    journal_ = {};
    frameMs_ = 10;
    window = Start(Services());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(RunFrames(40));
    EXPECT_TRUE(journal_.messages.empty());
    ::PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(RunUntilQuit(10000));
}

TEST_F(Win32CGLWindowTest, StoredModeIsAskedForAndARefusalIsStored)
{
    for (const bool accept : {true, false}) {
        journal_ = {};
        Store("XResolution", 800);
        Store("YResolution", 600);
        Store("ColorDepth", 16);
        Store("CurrentVideomode", 0);
        HWND window = Start(Services(accept));
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(journal_.Has("change 800x600x16")) << accept;
        ::PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
        ASSERT_TRUE(RunUntilQuit(10000));
        SaverSettings stored;
        stored.Load();
        EXPECT_EQ(stored.CurrentVideomode, accept ? 0 : 1);
        EXPECT_EQ(stored.XResolution, accept ? 800 : 1000);
        EXPECT_EQ(stored.YResolution, accept ? 600 : 700);
    }
}

} // namespace
} // namespace velmora::win32
