// Velmora3D.scr's settings page in a window of this process, as another
// member's collection dialog hosts it: started with "-1:<hex>", taking the
// host's messages and the keyboard, storing its settings when it is closed
// or its host goes; the collection dialog of the configuration runs, and
// the registration of a first run that no setup prepared.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/Registry.h"
#include "platform/TempRegistry.h"
#include "resource.h"
#include "TempFolder.h"
#include "ui/win32/MemberHostPage.h"
#include "Win32Windows.h"
#include "WinProgram.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProgramKey = "Software\\Tarnwick\\Kestrova3D\\Velmora3D";

using velmora::testing::PumpUntil;

class EmbeddingProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        // Where the web update would keep its files: a dialog without it
        // reports a broken installation.
        platform::RegistryKey key;
        ASSERT_TRUE(key.Create(kProgramKey));
        ASSERT_TRUE(key.SetString("InstallPath", folder_.Path().string() + "\\"));
        host_ = testing::MakePlainWindow(
            L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, WS_EX_CONTROLPARENT, RECT {20, 20, 660, 500});
        ASSERT_NE(host_, nullptr);
        ::SetForegroundWindow(host_);
    }
    void TearDown() override
    {
        program_.Kill();
        if (::IsWindow(host_))
            ::DestroyWindow(host_);
        Clean();
    }
    static void Clean() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarnwick"); }
    static void Store(const char* name, uint32_t value) { testing::StoreValue(kProgramKey, name, value); }
    static int32_t Stored(const char* name) { return testing::StoredDword(kProgramKey, name); }
    // The member's page once it is complete: it is shown only after all its
    // controls exist and hold the settings (a page still being built has
    // its first controls and not yet the last).
    static HWND WaitForPage(HWND parent)
    {
        HWND page = nullptr;
        const auto complete = [&] {
            page = ::GetWindow(parent, GW_CHILD);
            return page && (::GetWindowLongW(page, GWL_STYLE) & WS_VISIBLE) != 0
                && ::GetDlgItem(page, IDC_CAMERA) != nullptr;
        };
        return PumpUntil(60000, complete) ? page : nullptr;
    }
    // The collection dialog once initialised: shown, with this program's
    // whole page in it; null when it never came.
    static HWND WaitForDialog()
    {
        HWND dialog = nullptr;
        const auto shown = [&] {
            dialog = ::FindWindowW(L"#32770", L"Kestrova collection:  Velmora 3D screensaver");
            HWND page = dialog ? ::FindWindowExW(dialog, nullptr, L"#32770", nullptr) : nullptr;
            return page && ::IsWindowVisible(dialog) && ::GetDlgItem(page, IDC_CAMERA);
        };
        return PumpUntil(60000, shown) ? dialog : nullptr;
    }
    // A key to the host's window, which is the foreground one.
    void Press(WORD key) const
    {
        ::SetForegroundWindow(host_);
        test::PressKey(key);
    }
    static LRESULT Position(HWND page)
    {
        return ::SendMessageW(::GetDlgItem(page, IDC_SPEED), TBM_GETPOS, 0, 0);
    }
    static HWND FocusOf(HWND page)
    {
        GUITHREADINFO info {};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(page, nullptr), &info);
        return info.hwndFocus;
    }

    testing::TempFolder folder_ {"velmora-embedding"};
    HWND host_ = nullptr;
    test::WinProgram program_;
};

TEST_F(EmbeddingProgramTest, HostPageForwardsToTheMembersPageAndClosesIt)
{
    Store("AnimationSpeed", 90);
    ui::win32::MemberHostPage hostPage;
    ASSERT_TRUE(hostPage.Create(host_, RECT {10, 10, 600, 440}, VELMORA3D_PATH));
    HWND page = WaitForPage(hostPage.Window());
    ASSERT_NE(page, nullptr) << "the member's page never arrived";
    DWORD owner = 0;
    ::GetWindowThreadProcessId(page, &owner);
    EXPECT_NE(owner, ::GetCurrentProcessId()) << "the page is the member's own";
    EXPECT_EQ(Position(page), 90);

    // Restore Defaults has been handled when the forward returns.
    EXPECT_EQ(hostPage.Forward(ui::PageCommand::RestoreDefaults), ui::win32::MemberHostPage::Result::Handled);
    EXPECT_EQ(Position(page), 50);
    EXPECT_EQ(Stored("AnimationSpeed"), 50);

    // Closing the member stores what its page shows, and it ends.
    ::SendMessageW(::GetDlgItem(page, IDC_SPEED), TBM_SETPOS, TRUE, 80);
    hostPage.CloseMember();
    EXPECT_FALSE(hostPage.Process().IsStarted()
        && const_cast<platform::ChildProcess&>(hostPage.Process()).IsRunning());
    EXPECT_EQ(hostPage.Process().ExitCode(), 0);
    EXPECT_EQ(Stored("AnimationSpeed"), 80);
    EXPECT_EQ(hostPage.Forward(ui::PageCommand::Preview), ui::win32::MemberHostPage::Result::NoMember);
}

TEST_F(EmbeddingProgramTest, KeyboardMovesThroughTheMembersPage)
{
    ASSERT_TRUE(program_.Start(
        VELMORA3D_PATH,
        "-1:" +
            [&] {
                char hex[32];
                std::snprintf(
                    hex, sizeof hex, "%lX", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(host_)));
                return std::string(hex);
            }(),
        {}, folder_.File("page.txt")));
    HWND page = WaitForPage(host_);
    ASSERT_NE(page, nullptr);
    HWND useDesktop = ::GetDlgItem(page, IDC_USE_DESKTOP);
    HWND speed = ::GetDlgItem(page, IDC_SPEED);
    HWND randomSequence = ::GetDlgItem(page, IDC_RANDOM_SEQUENCE);
    ::SetForegroundWindow(host_);
    ::SetFocus(useDesktop);
    ASSERT_TRUE(PumpUntil(5000, [&] { return FocusOf(page) == useDesktop; }));

    // Tab goes on to the slider, the arrow keys move it, Tab again to the
    // next box, and space ticks it.
    Press(VK_TAB);
    EXPECT_TRUE(PumpUntil(5000, [&] { return FocusOf(page) == speed; }));
    const LRESULT before = Position(page);
    Press(VK_RIGHT);
    EXPECT_TRUE(PumpUntil(5000, [&] { return Position(page) == before + 1; }));
    Press(VK_TAB);
    EXPECT_TRUE(PumpUntil(5000, [&] { return FocusOf(page) == randomSequence; }));
    const LRESULT ticked = ::SendMessageW(randomSequence, BM_GETCHECK, 0, 0);
    Press(VK_SPACE);
    EXPECT_TRUE(PumpUntil(5000, [&] { return ::SendMessageW(randomSequence, BM_GETCHECK, 0, 0) != ticked; }));

    // The host going takes the page with it; the page stores what it shows
    // and the member's run ends.
    ::DestroyWindow(host_);
    EXPECT_EQ(program_.WaitExit(20000), 0);
    EXPECT_EQ(Stored("AnimationSpeed"), static_cast<int32_t>(before + 1));
    EXPECT_EQ(Stored("RandomCameraStart"), ticked == BST_CHECKED ? 0 : 1);
}

TEST_F(EmbeddingProgramTest, MemberThatNeverEmbedsLeavesAnEmptyPage)
{
    // A program that starts but never places a page.
    ui::win32::MemberHostPage hostPage;
    ASSERT_TRUE(hostPage.Create(host_, RECT {10, 10, 600, 440}, ARGV_ECHO_PATH));
    PumpUntil(500, [] { return false; });
    EXPECT_EQ(hostPage.PageWindow(), nullptr);
    EXPECT_EQ(
        hostPage.Forward(ui::PageCommand::RestoreDefaults), ui::win32::MemberHostPage::Result::NoMember);
    hostPage.CloseMember();
    EXPECT_FALSE(const_cast<platform::ChildProcess&>(hostPage.Process()).IsRunning());
}

TEST_F(EmbeddingProgramTest, ConfigurationRunsShowTheCollectionDialog)
{
    for (const char* tail : {"", "/c", "/C:1234"}) {
        ASSERT_TRUE(program_.Start(VELMORA3D_PATH, tail, {}, folder_.File("dialog.txt")));
        const HWND dialog = WaitForDialog();
        ASSERT_NE(dialog, nullptr) << "\"" << tail << "\"";
        HWND list = ::GetDlgItem(dialog, IDC_PRODUCT_LIST);
        EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1) << tail;
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_START_RANDOM))) << tail;
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_EQ(program_.WaitExit(20000), 0) << tail;
    }
}

// A user whom no setup registered (another user of a machine-wide copy, or a
// copy started where it was unpacked): the first run enters the running
// copy as the setup would, keeps the data folder a registration names, and
// leaves another copy's working registration alone.
struct FirstRunCase {
    const char* name;
    enum { Nothing, MovedCopy, OtherCopy } before;
};

class FirstRunTest : public EmbeddingProgramTest, public ::testing::WithParamInterface<FirstRunCase> { };

TEST_P(FirstRunTest, RegistersWhereNoWorkingRegistrationIs)
{
    Clean();
    const std::string local = folder_.File("local");
    const std::string kept = folder_.File("kept") + "\\";
    const std::string other = folder_.Write("other\\Velmora3D.scr", "a program");
    switch (GetParam().before) {
    case FirstRunCase::Nothing:
        break;
    case FirstRunCase::MovedCopy:
        testing::StoreValue(kProgramKey, "ExecutablePath", folder_.File("gone\\Velmora3D.scr"));
        testing::StoreValue(kProgramKey, "InstallPath", kept);
        break;
    case FirstRunCase::OtherCopy:
        testing::StoreValue(kProgramKey, "ExecutablePath", other);
        testing::StoreValue(kProgramKey, "InstallPath", kept);
        testing::StoreValue(testing::CollectionKeyPath("List"), "VELMORA3D", "Velmora 3D Screensaver");
        break;
    }

    // The dialog comes up with no box about a broken installation.
    ASSERT_TRUE(program_.Start(VELMORA3D_PATH, "/c", {"LOCALAPPDATA=" + local}, folder_.File("first.txt")));
    const HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(program_.WaitExit(20000), 0);

    const std::string program = testing::StoredText(kProgramKey, "ExecutablePath");
    const auto isThisCopy = [](const std::string& path) {
        std::error_code ec;
        return fs::path(path).is_absolute() && fs::equivalent(fs::path(path), fs::path(VELMORA3D_WPATH), ec);
    };
    EXPECT_EQ(testing::StoredText(testing::CollectionKeyPath("List"), "VELMORA3D"), "Velmora 3D Screensaver");
    switch (GetParam().before) {
    case FirstRunCase::Nothing:
        EXPECT_TRUE(isThisCopy(program)) << program;
        EXPECT_EQ(testing::StoredText(kProgramKey, "InstallPath"), local + "\\Velmora 3D\\");
        EXPECT_TRUE(fs::is_directory(local + "\\Velmora 3D"));
        EXPECT_EQ(testing::StoredText(testing::CollectionKeyPath("Corvane3D"), "ExecutablePath"), program);
        break;
    case FirstRunCase::MovedCopy:
        EXPECT_TRUE(isThisCopy(program)) << program;
        EXPECT_EQ(testing::StoredText(kProgramKey, "InstallPath"), kept);
        EXPECT_FALSE(fs::exists(local));
        break;
    case FirstRunCase::OtherCopy:
        EXPECT_EQ(program, other);
        EXPECT_EQ(testing::StoredText(kProgramKey, "InstallPath"), kept);
        EXPECT_EQ(testing::StoredText(testing::CollectionKeyPath("Corvane3D"), "ExecutablePath"), "<missing>");
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Registrations, FirstRunTest,
    ::testing::Values(FirstRunCase {"NothingRegistered", FirstRunCase::Nothing},
        FirstRunCase {"MovedCopy", FirstRunCase::MovedCopy},
        FirstRunCase {"OtherCopyWorks", FirstRunCase::OtherCopy}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora
