// The embedded settings page inside this process, on a private X server,
// with the host's window one of this test's own: the host's window going
// away at the very moment the page acknowledges a command still ends the
// page and stores its settings.

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QSlider>

#include <cstdint>
#include <cstring>

#include "app/qt/EmbeddedPage.h"
#include "platform/MemberMessages.h"
#include "platform/TempRegistry.h"
#include "ui/PageTestSupport.h"
#include "WindowTestSupport.h"
#include "XWindows.h"

// Last: Xlib's macros clash with names of the program's headers.
#include <X11/Xlib.h>

namespace velmora {
namespace {

using testing::StoredSettings;

constexpr int kGenerousMs = 10000;

// A command as xcb hands it to a native event filter: the 32 bytes of a
// ClientMessage from another client.
struct WireClientMessage {
    uint8_t code = 33 | 0x80;
    uint8_t format = 32;
    uint16_t sequence = 0;
    uint32_t window = 0;
    uint32_t type = 0;
    uint32_t data[5] = {};
};
static_assert(sizeof(WireClientMessage) == 32);

struct AcknowledgeCase {
    const char* name;
    platform::MemberCommand command;
    int32_t storedSpeed; // what the page stores as it goes
};

class EmbeddedPageTest : public ::testing::TestWithParam<AcknowledgeCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::EnsureApplication());
        display_ = test::OpenDisplay();
        ASSERT_TRUE(display_);
    }

    Window MakeWindow(int width, int height) const
    {
        const Window w = XCreateSimpleWindow(display_.get(), DefaultRootWindow(display_.get()), 0, 0,
            static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0, 0);
        XMapWindow(display_.get(), w);
        XSync(display_.get(), False);
        return w;
    }

    testing::TempRegistry registry_;
    test::DisplayConnection display_;
};

TEST_P(EmbeddedPageTest, HostGoneWhileAcknowledgingEndsThePageAndStores)
{
    const Window host = MakeWindow(480, 320);
    const Window reply = MakeWindow(1, 1);
    EmbeddedPage page;
    ASSERT_TRUE(page.Create(host));
    ASSERT_TRUE(test::WaitUntil([&] { return !test::ChildWindows(display_.get(), host).empty(); }));
    // Whatever was waiting when the page was placed has been read.
    test::Pump(100);
    page.Page()->findChild<QSlider*>(QStringLiteral("1003"))->setValue(33);
    QSignalSpy finished(&page, &EmbeddedPage::Finished);

    // The command reaches the page's filter as Qt would hand it over...
    const platform::MemberAtoms atoms
        = platform::InternMemberAtoms(reinterpret_cast<platform::DisplayConnection*>(display_.get()));
    WireClientMessage command;
    command.window = static_cast<uint32_t>(page.Page()->winId());
    command.type = static_cast<uint32_t>(atoms.command);
    command.data[0] = static_cast<uint32_t>(GetParam().command);
    command.data[1] = static_cast<uint32_t>(reply);
    command.data[2] = 7;
    qintptr result = 0;
    ASSERT_TRUE(QAbstractEventDispatcher::instance()->filterNativeEvent(
        QByteArrayLiteral("xcb_generic_event_t"), &command, &result));
    // ...the host's window goes before the page carries it out, and the page
    // acknowledges before its event loop has looked at its connection again:
    // the round trip of the acknowledgement reads the news of the host's end.
    XDestroyWindow(display_.get(), host);
    XSync(display_.get(), False);
    QCoreApplication::sendPostedEvents(&page, QEvent::MetaCall);

    EXPECT_TRUE(finished.wait(kGenerousMs)) << "the page outlived its host";
    EXPECT_EQ(page.Page(), nullptr);
    EXPECT_EQ(StoredSettings().AnimationSpeed, GetParam().storedSpeed);
}

INSTANTIATE_TEST_SUITE_P(Commands, EmbeddedPageTest,
    ::testing::Values(
        // Restore Defaults stores the defaults, which the page then shows.
        AcknowledgeCase {"RestoreDefaults", platform::MemberCommand::RestoreDefaults, 50},
        AcknowledgeCase {"Reserved", platform::MemberCommand::Reserved, 33}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora
