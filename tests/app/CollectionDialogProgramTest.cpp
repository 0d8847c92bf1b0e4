// The collection dialog with real member processes on a private X server: a
// second copy of Velmora3D, registered as another member of the collection,
// embeds its settings page in the dialog, handles "Restore Defaults" there
// and ends, storing its settings, when another row is selected; its row shows
// the icon read from its program file. Members that never show a page, or
// die at once, leave an empty page and a dialog that goes on. Velmora3D
// itself opens the dialog when started for configuration.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <signal.h>
#include <unistd.h>

#include <X11/keysym.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/MemberMessages.h"
#include "platform/Process.h"
#include "platform/ProgramIcon.h"
#include "platform/TempRegistry.h"
#include "platform/x11/X11DisplaySettings.h"
#include "settings/SaverSettings.h"
#include "ui/PageTestSupport.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/MemberHostPage.h"
#include "ui/qt/SettingsDialog.h"
#include "ui/qt/SettingsPage.h"
#include "WindowTestSupport.h"
#include "XWindows.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using ui::MemberHostPage;
using ui::SettingsDialog;

using testing::RegisterMember;
using testing::StoredSettings;
using testing::StoreSpeed;

constexpr int kGenerousMs = 30000;

class CollectionDialogProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::EnsureApplication());
        dir_ = registry_.Dir();
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
        // Installed as the installer leaves it, without a kept product list.
        fs::create_directories(dir_ / "install");
        testing::StoreCollectionValue("Velmora3D", "InstallPath", (dir_ / "install").string() + "/");
    }
    void TearDown() override
    {
        dialog_.reset();
        unsetenv("XDG_RUNTIME_DIR");
    }

    // A program file of its own for a member: a copy of Velmora3D, or a
    // shell script.
    std::string CopyOfProgram(const std::string& name) const
    {
        const fs::path copy = dir_ / name;
        fs::copy_file(VELMORA3D_PATH, copy);
        return copy.string();
    }
    std::string Script(const std::string& name, const std::string& body) const
    {
        const fs::path script = dir_ / name;
        std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(script, fs::perms::owner_all);
        return script.string();
    }

    SettingsDialog& Open()
    {
        SettingsDialog::Services services;
        services.page.displayModes = &modes_;
        services.page.starter = &starter_;
        services.page.programPath = [] { return std::string(VELMORA3D_PATH); };
        dialog_ = std::make_unique<SettingsDialog>(services, ui::kOwnPageValue);
        dialog_->show();
        EXPECT_TRUE(test::WaitUntil([&] { return dialog_->isVisible(); }));
        return *dialog_;
    }

    testing::TempRegistry registry_;
    fs::path dir_;
    platform::X11DisplayModeSource modes_;
    platform::SystemProcessStarter starter_;
    std::unique_ptr<SettingsDialog> dialog_;
};

TEST_F(CollectionDialogProgramTest, SecondCopyEmbedsTakesRestoreDefaultsAndEndsOnSwitch)
{
    RegisterMember("VELMORA3D", "Velmora 3D", VELMORA3D_PATH);
    RegisterMember("CORVANE3D", "Corvane 3D", CopyOfProgram("Corvane3D"));
    StoreSpeed(77);
    SettingsDialog& dialog = Open();
    QListWidget* list = dialog.ProductList();
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(dialog.StartRandomBox()->isEnabled());

    list->setCurrentRow(1);
    auto* host = qobject_cast<MemberHostPage*>(dialog.Page());
    ASSERT_NE(host, nullptr);
    platform::MemberMessenger probe;
    ASSERT_TRUE(probe.Open());
    ASSERT_TRUE(test::WaitUntil([&] { return probe.FirstChild(host->HostWindow()) != 0; }, kGenerousMs))
        << "the member never placed its page";
    EXPECT_EQ(StoredSettings().AnimationSpeed, 77) << "this program's page stored what it showed";

    // Handled by the member when the click returns.
    dialog.RestoreDefaultsButton()->click();
    EXPECT_EQ(StoredSettings().AnimationSpeed, 50);

    // Written behind the member's back: its page stores what it shows (50)
    // again as it closes.
    StoreSpeed(66);
    QSignalSpy ended(host, &MemberHostPage::memberEnded);
    const pid_t member = host->Process().Id();
    list->setCurrentRow(0);
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 0) << "it closed by itself, not at a signal";
    EXPECT_NE(::kill(member, 0), 0);
    EXPECT_EQ(StoredSettings().AnimationSpeed, 50);
    auto* own = qobject_cast<ui::SettingsPage*>(dialog.Page());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->findChild<QSlider*>(QStringLiteral("1003"))->value(), 50);
}

// A member started through a launcher that forks: the process the host page
// started has ended by the time the page shows, and the buttons still reach
// the page that is there.
TEST_F(CollectionDialogProgramTest, PageOfAForkedMemberStillTakesTheButtons)
{
    const std::string program = CopyOfProgram("Corvane3D");
    RegisterMember("CORVANE3D", "Corvane 3D", Script("Corvane3D.launcher", "\"" + program + "\" \"$@\" &"));
    StoreSpeed(77);
    SettingsDialog& dialog = Open();
    dialog.ProductList()->setCurrentRow(1);
    auto* host = qobject_cast<MemberHostPage*>(dialog.Page());
    ASSERT_NE(host, nullptr);
    platform::MemberMessenger probe;
    ASSERT_TRUE(probe.Open());
    ASSERT_TRUE(test::WaitUntil([&] { return probe.FirstChild(host->HostWindow()) != 0; }, kGenerousMs))
        << "the member never placed its page";
    ASSERT_TRUE(test::WaitUntil([&] { return !host->MemberRunning(); }, kGenerousMs));

    EXPECT_EQ(host->Forward(ui::PageCommand::RestoreDefaults), platform::MemberMessenger::Result::Handled);
    EXPECT_EQ(StoredSettings().AnimationSpeed, 50);

    // Closing reaches it too: it stores what it shows over what was written
    // behind its back, and its page goes.
    StoreSpeed(66);
    const unsigned long hostWindow = host->HostWindow();
    host->CloseMember();
    EXPECT_EQ(StoredSettings().AnimationSpeed, 50);
    EXPECT_TRUE(test::WaitUntil([&] { return probe.FirstChild(hostWindow) == 0; }, kGenerousMs));
}

// The keyboard reaches the member's page and comes back: Tab from "Start
// random" goes into the page at its first control, the keys work its
// controls, Tab past its last control returns to the dialog's next one, and
// a click in the page takes the keyboard there again. The keys are real
// ones, with the pointer away from the page so that the server hands them
// to the dialog.
TEST_F(CollectionDialogProgramTest, KeyboardGoesIntoTheMemberPageAndBack)
{
    RegisterMember("CORVANE3D", "Corvane 3D", CopyOfProgram("Corvane3D"));
    StoreSpeed(77);
    SettingsDialog& dialog = Open();
    dialog.activateWindow();
    ASSERT_TRUE(test::WaitUntil([&] { return dialog.isActiveWindow(); }));
    dialog.ProductList()->setCurrentRow(1);
    auto* host = qobject_cast<MemberHostPage*>(dialog.Page());
    ASSERT_NE(host, nullptr);
    platform::MemberMessenger probe;
    ASSERT_TRUE(probe.Open());
    unsigned long page = 0;
    ASSERT_TRUE(
        test::WaitUntil([&] { return (page = probe.FirstChild(host->HostWindow())) != 0; }, kGenerousMs));
    // Placed and ready: it answers a command.
    ASSERT_EQ(
        probe.Send(page, platform::MemberCommand::Reserved), platform::MemberMessenger::Result::Handled);

    test::FakeInput input;
    ASSERT_TRUE(input.IsOpen());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    input.MoveTo(screen.right(), screen.bottom());
    dialog.StartRandomBox()->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(test::WaitUntil([&] { return dialog.StartRandomBox()->hasFocus(); }));
    const auto tap = [&](unsigned long keysym) {
        input.Tap(keysym);
        test::Pump(150);
    };
    // In at the tab bar; the mode list is disabled ("Use desktop settings"),
    // so two more Tabs reach the speed trackbar, and End moves it.
    tap(XK_Tab);
    ASSERT_TRUE(host->hasFocus()) << "the page's host never took the keyboard";
    tap(XK_Tab);
    tap(XK_Tab);
    tap(XK_End);
    // "Random sequence", "Demo mode", then out to the dialog's next control.
    tap(XK_Tab);
    tap(XK_Tab);
    tap(XK_Tab);
    EXPECT_TRUE(test::WaitUntil([&] { return dialog.PreviewButton()->hasFocus(); }, kGenerousMs))
        << "the keyboard never came back from the page";
    // The dialog's now: Home leaves the trackbar alone.
    tap(XK_Home);

    // A click on "Demo mode" turns it on and brings the keyboard back into
    // the page, where Space turns it off again.
    const ui::DialogUnits du(ui::TemplateFont());
    const QPoint box = du.ToPixels(QPoint(136, 111)) + QPoint(du.ToPixelsX(4), du.ToPixelsY(5));
    const test::DisplayConnection display = test::OpenDisplay();
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(
        display.get(), page, DefaultRootWindow(display.get()), box.x(), box.y(), &x, &y, &child);
    input.MoveTo(x, y);
    input.Click(1);
    EXPECT_TRUE(test::WaitUntil([&] { return host->hasFocus(); }, kGenerousMs)) << "a click did not bring it";
    input.MoveTo(screen.right(), screen.bottom());
    test::Pump(150);
    tap(XK_space);
    // Handled in order: whatever the keys did has been done by now.
    ASSERT_EQ(
        probe.Send(page, platform::MemberCommand::Reserved), platform::MemberMessenger::Result::Handled);

    dialog.ProductList()->setCurrentRow(0);
    const SaverSettings stored = StoredSettings();
    EXPECT_EQ(stored.AnimationSpeed, 100);
    EXPECT_EQ(stored.DemoMode, 0u);
}

TEST_F(CollectionDialogProgramTest, MemberRowShowsTheIconOfItsProgramFile)
{
    const std::string copy = CopyOfProgram("Corvane3D");
    RegisterMember("CORVANE3D", "Corvane 3D", copy);
    const platform::ProgramIcon icon = platform::ReadProgramIcon(copy);
    ASSERT_EQ(icon.status, platform::ProgramIconStatus::Found);
    const platform::IconImage* best = platform::BestIconImage(icon.images, SettingsDialog::kImageSide);
    ASSERT_NE(best, nullptr);
    QImage expected = QImage::fromData(best->png.data(), static_cast<int>(best->png.size()), "PNG");
    ASSERT_FALSE(expected.isNull());
    // As a pixmap holds it: premultiplied.
    expected = expected.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                   .convertToFormat(QImage::Format_ARGB32_Premultiplied)
                   .convertToFormat(QImage::Format_ARGB32);

    SettingsDialog& dialog = Open();
    ASSERT_EQ(dialog.ProductList()->count(), 2);
    // Image 0 is the program's own icon, 1 to 6 the strip; the member's is next.
    ASSERT_EQ(dialog.Images().size(), ui::kBaseImageCount + 1);
    const QImage shown = dialog.Images().back().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown, expected);
    EXPECT_FALSE(dialog.ProductList()->item(1)->icon().isNull());
}

struct BrokenMember {
    const char* name;
    const char* script;
};

class BrokenMemberTest : public CollectionDialogProgramTest,
                         public ::testing::WithParamInterface<BrokenMember> { };

// Neither a member that never shows its page nor one that dies hangs the
// dialog; the page stays empty until another row is chosen.
TEST_P(BrokenMemberTest, EmptyPageAndTheDialogGoesOn)
{
    RegisterMember("STUB3D", "Stub 3D", Script("Stub3D", GetParam().script));
    SettingsDialog& dialog = Open();
    dialog.ProductList()->setCurrentRow(1);
    auto* host = qobject_cast<MemberHostPage*>(dialog.Page());
    ASSERT_NE(host, nullptr);
    test::Pump(300);
    platform::MemberMessenger probe;
    ASSERT_TRUE(probe.Open());
    EXPECT_EQ(probe.FirstChild(host->HostWindow()), 0u);
    // No page window, whether or not the member still runs.
    EXPECT_EQ(host->Forward(ui::PageCommand::RestoreDefaults), platform::MemberMessenger::Result::NoMember);
    dialog.ProductList()->setCurrentRow(0);
    EXPECT_NE(qobject_cast<ui::SettingsPage*>(dialog.Page()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BrokenMemberTest,
    ::testing::Values(BrokenMember {"NeverShowsAPage", "exec sleep 60"},
        BrokenMember {"DiesAtOnce", "exit 3"},
        // Ignores the request to end: it has to be killed.
        BrokenMember {"IgnoresTerm", "trap '' TERM\nwhile :; do sleep 1; done"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Velmora3D started for configuration -------------------------------------

class ConfigurationStartTest : public CollectionDialogProgramTest,
                               public ::testing::WithParamInterface<std::vector<std::string>> { };

TEST_P(ConfigurationStartTest, OpensTheDialogUntilItIsClosed)
{
    const test::DisplayConnection display = test::OpenDisplay();
    ASSERT_TRUE(display);
    std::vector<std::string> arguments {VELMORA3D_PATH};
    arguments.insert(arguments.end(), GetParam().begin(), GetParam().end());
    platform::ChildProcess program;
    ASSERT_TRUE(program.Start(arguments));

    // Named before it is shown: a close request must wait for the dialog to be up.
    Window dialog = 0;
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            dialog = test::ViewableTopLevel(display.get(), "Kestrova collection:  Velmora 3D screensaver");
            return dialog != 0;
        },
        kGenerousMs));
    EXPECT_TRUE(program.IsRunning()) << "modal: the program waits for the dialog";

    test::SendCloseRequest(display.get(), dialog);
    ASSERT_TRUE(program.Wait(kGenerousMs));
    EXPECT_EQ(program.ExitCode(), 0);
    EXPECT_EQ(ReadStartRandom(), 0u) << "the close box stores no \"Start random\"";
}

// The spellings of the switch are the dispatch's (RunModeTest); here the
// program with no argument and with the host's appended window id.
INSTANTIATE_TEST_SUITE_P(CommandLines, ConfigurationStartTest,
    ::testing::Values(std::vector<std::string> {}, std::vector<std::string> {"/c:1234"}));

} // namespace
} // namespace velmora
