// The messages between a collection dialog's host page and an embedded
// member page, and the watch on another program's window, on a private X
// server. Members run as forked processes with connections of their own.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include "platform/ForeignWindow.h"
#include "platform/x11/X11MemberMessages.h"
#include "PrivateXServer.h"
#include "TempFolder.h"

namespace velmora::platform {
namespace {

constexpr int kGenerousMs = 20000;

// The 32 bytes of a ClientMessage as they come over the wire.
std::vector<unsigned char> Wire(uint8_t code, uint8_t format, uint32_t type, std::vector<uint32_t> items)
{
    std::vector<unsigned char> bytes(32, 0);
    bytes[0] = code;
    bytes[1] = format;
    const uint32_t window = 0x1234;
    std::memcpy(bytes.data() + 4, &window, 4);
    std::memcpy(bytes.data() + 8, &type, 4);
    items.resize(5, 0);
    std::memcpy(bytes.data() + 12, items.data(), 20);
    return bytes;
}

struct DecodeCase {
    const char* name;
    std::vector<unsigned char> wire;
    bool accepted;
    MemberCommand command;
    unsigned long reply;
    uint32_t serial;
};

const MemberAtoms kAtoms {401, 402};

class MemberMessageDecodeTest : public ::testing::TestWithParam<DecodeCase> { };

TEST_P(MemberMessageDecodeTest, ReadsOnlyCommandsOfTheProtocol)
{
    const DecodeCase& c = GetParam();
    MemberMessage message;
    message.serial = 999;
    ASSERT_EQ(DecodeMemberMessage(c.wire.data(), kAtoms, message), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(message.command, c.command);
        EXPECT_EQ(message.replyWindow, c.reply);
        EXPECT_EQ(message.serial, c.serial);
    } else {
        EXPECT_EQ(message.serial, 999u); // untouched
    }
}

INSTANTIATE_TEST_SUITE_P(Wire, MemberMessageDecodeTest,
    ::testing::Values(DecodeCase {"RestoreDefaults", Wire(33, 32, 401, {1027, 0x600001, 7}), true,
                          MemberCommand::RestoreDefaults, 0x600001, 7},
        DecodeCase {"PreviewSentByAClient", Wire(33 | 0x80, 32, 401, {1028, 0x600002, 8}), true,
            MemberCommand::Preview, 0x600002, 8},
        DecodeCase {"CloseWithoutReplyWindow", Wire(33, 32, 401, {16, 0, 0xffffffffu}), true,
            MemberCommand::Close, 0, 0xffffffffu},
        DecodeCase {
            "ReservedMessage1029", Wire(33, 32, 401, {1029, 1, 1}), true, MemberCommand::Reserved, 1, 1},
        DecodeCase {"UnknownMessage1030", Wire(33, 32, 401, {1030, 1, 1}), false, {}, 0, 0},
        DecodeCase {"OtherMessageType", Wire(33, 32, 402, {1027, 1, 1}), false, {}, 0, 0},
        DecodeCase {"Format8", Wire(33, 8, 401, {1027, 1, 1}), false, {}, 0, 0},
        DecodeCase {"NotAClientMessage", Wire(28, 32, 401, {1027, 1, 1}), false, {}, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A command reaches the page only as the toolkit's xcb event and only when
// it is addressed to the page's own window (Wire() addresses 0x1234).
struct ReadCase {
    const char* name;
    const char* eventType;
    unsigned long pageWindow;
    std::vector<unsigned char> wire;
    bool accepted;
};

class MemberCommandReadTest : public ::testing::TestWithParam<ReadCase> { };

TEST_P(MemberCommandReadTest, TakesOnlyCommandsForThePageWindow)
{
    const ReadCase& c = GetParam();
    MemberMessage message;
    ASSERT_EQ(ReadMemberCommand(c.eventType, c.wire.data(), c.pageWindow, kAtoms, message), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(message.command, MemberCommand::Preview);
    }
}

INSTANTIATE_TEST_SUITE_P(Events, MemberCommandReadTest,
    ::testing::Values(
        ReadCase {"ForThePage", "xcb_generic_event_t", 0x1234, Wire(33, 32, 401, {1028, 0, 1}), true},
        ReadCase {"ForAnotherWindow", "xcb_generic_event_t", 0x1235, Wire(33, 32, 401, {1028, 0, 1}), false},
        ReadCase {
            "AnotherToolkitsEvent", "windows_generic_MSG", 0x1234, Wire(33, 32, 401, {1028, 0, 1}), false},
        ReadCase {
            "NotAClientMessage", "xcb_generic_event_t", 0x1234, Wire(22, 32, 401, {1028, 0, 1}), false}),
    [](const auto& info) { return std::string(info.param.name); });

// The focus handshake's messages reach the host only as _XEMBED messages
// (atom 403 here) for its own window, of the protocol's known numbers.
struct EmbedReadCase {
    const char* name;
    unsigned long window;
    std::vector<unsigned char> wire;
    bool accepted;
    EmbedMessage message;
    uint32_t detail;
};

class EmbedMessageReadTest : public ::testing::TestWithParam<EmbedReadCase> { };

TEST_P(EmbedMessageReadTest, TakesOnlyTheHandshakeForTheWindow)
{
    const EmbedReadCase& c = GetParam();
    const MemberAtoms atoms {401, 402, 403};
    EmbedEvent event;
    ASSERT_EQ(ReadEmbedMessage("xcb_generic_event_t", c.wire.data(), c.window, atoms, event), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(event.message, c.message);
        EXPECT_EQ(event.detail, c.detail);
        EXPECT_EQ(event.time, 77u);
    }
}

INSTANTIATE_TEST_SUITE_P(Events, EmbedMessageReadTest,
    ::testing::Values(EmbedReadCase {"RequestFocus", 0x1234, Wire(33 | 0x80, 32, 403, {77, 3}), true,
                          EmbedMessage::RequestFocus, 0},
        EmbedReadCase {"FocusNext", 0x1234, Wire(33, 32, 403, {77, 6}), true, EmbedMessage::FocusNext, 0},
        EmbedReadCase {
            "FocusEnterFirst", 0x1234, Wire(33, 32, 403, {77, 4, 1}), true, EmbedMessage::FocusEnter, 1},
        EmbedReadCase {"AnotherWindow", 0x1235, Wire(33, 32, 403, {77, 3}), false, {}, 0},
        EmbedReadCase {"AMemberCommand", 0x1234, Wire(33, 32, 401, {77, 3}), false, {}, 0},
        EmbedReadCase {"Format8", 0x1234, Wire(33, 8, 403, {77, 3}), false, {}, 0},
        EmbedReadCase {"UnknownMessage", 0x1234, Wire(33, 32, 403, {77, 8}), false, {}, 0},
        EmbedReadCase {"NotAClientMessage", 0x1234, Wire(22, 32, 403, {77, 3}), false, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// How a forked member answers.
enum class Answer { Acknowledge, Ignore, VanishOnCommand };

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

class MemberMessagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.Start("640x480x24"));
        display_.reset(XOpenDisplay(nullptr));
        ASSERT_TRUE(display_);
        host_
            = XCreateSimpleWindow(display_.get(), DefaultRootWindow(display_.get()), 0, 0, 300, 200, 0, 0, 0);
        XMapWindow(display_.get(), host_);
        XSync(display_.get(), False);
    }
    void TearDown() override
    {
        if (member_ > 0) {
            kill(member_, SIGKILL);
            waitpid(member_, nullptr, 0);
        }
    }

    // A member page window inside the host window, answering as told and
    // writing the numbers of the commands it carried out to the log.
    void StartMember(Answer answer)
    {
        member_ = fork();
        ASSERT_GE(member_, 0);
        if (member_ == 0)
            RunMember(answer);
        MemberMessenger probe;
        ASSERT_TRUE(probe.Open());
        for (int i = 0; i < kGenerousMs / 10 && probe.FirstChild(host_) == 0; ++i)
            usleep(10000);
        ASSERT_NE(probe.FirstChild(host_), 0u);
    }

    [[noreturn]] void RunMember(Answer answer)
    {
        Display* d = XOpenDisplay(nullptr);
        if (!d)
            _exit(2);
        const MemberAtoms atoms = InternMemberAtoms(d);
        const Window page = XCreateSimpleWindow(d, host_, 0, 0, 300, 200, 0, 0, 0);
        XMapWindow(d, page);
        XSync(d, False);
        for (;;) {
            XEvent event;
            XNextEvent(d, &event);
            MemberMessage message;
            if (event.type != ClientMessage
                || !DecodeMemberMessage(
                    event.xclient.message_type, event.xclient.format, event.xclient.data.l, atoms, message))
                continue;
            if (answer == Answer::Ignore)
                continue;
            if (answer == Answer::VanishOnCommand) {
                XDestroyWindow(d, page);
                XSync(d, False);
                continue;
            }
            std::ofstream(log_, std::ios::app) << static_cast<uint32_t>(message.command) << '\n';
            AcknowledgeMemberMessage(d, atoms, message, page);
            XSync(d, False);
            if (message.command == MemberCommand::Close)
                _exit(0);
        }
    }

    std::string Log() const { return testing::ReadFileBytes(log_); }

    test::PrivateXServer server_;
    std::unique_ptr<Display, DisplayCloser> display_;
    Window host_ = 0;
    pid_t member_ = -1;
    testing::TempFolder folder_ {"velmora-member"};
    const std::string log_ = folder_.File("log");
};

TEST_F(MemberMessagesTest, EveryCommandIsHandledBeforeTheSendReturns)
{
    StartMember(Answer::Acknowledge);
    MemberMessenger host;
    ASSERT_TRUE(host.Open());
    const struct {
        MemberCommand command;
        const char* logAfter;
    } steps[] = {
        {MemberCommand::RestoreDefaults, "1027\n"},
        {MemberCommand::Preview, "1027\n1028\n"},
        {MemberCommand::RestoreDefaults, "1027\n1028\n1027\n"},
        {MemberCommand::Close, "1027\n1028\n1027\n16\n"},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(host.SendToHosted(host_, step.command, kGenerousMs), MemberMessenger::Result::Handled);
        EXPECT_EQ(Log(), step.logAfter);
    }
    int status = -1;
    ASSERT_EQ(waitpid(member_, &status, 0), member_);
    member_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(MemberMessagesTest, AMemberThatDoesNotAnswerTimesOut)
{
    StartMember(Answer::Ignore);
    MemberMessenger host;
    ASSERT_TRUE(host.Open());
    EXPECT_EQ(host.SendToHosted(host_, MemberCommand::Preview, 200), MemberMessenger::Result::TimedOut);
}

TEST_F(MemberMessagesTest, AMemberWhoseWindowGoesAwayEndsTheWait)
{
    StartMember(Answer::VanishOnCommand);
    MemberMessenger host;
    ASSERT_TRUE(host.Open());
    EXPECT_EQ(
        host.SendToHosted(host_, MemberCommand::Close, kGenerousMs), MemberMessenger::Result::MemberGone);
}

TEST_F(MemberMessagesTest, NoMemberToSendTo)
{
    MemberMessenger host;
    EXPECT_EQ(host.Send(host_, MemberCommand::Close), MemberMessenger::Result::NoConnection);
    ASSERT_TRUE(host.Open());
    // A host window with no child, a window that does not exist, and no window.
    EXPECT_EQ(host.SendToHosted(host_, MemberCommand::Close, 100), MemberMessenger::Result::NoMember);
    EXPECT_EQ(host.SendToHosted(0x7ffffff, MemberCommand::Close, 100), MemberMessenger::Result::NoMember);
    EXPECT_EQ(host.Send(0x7ffffff, MemberCommand::Close, 100), MemberMessenger::Result::NoMember);
    EXPECT_EQ(host.Send(0, MemberCommand::Close, 100), MemberMessenger::Result::NoMember);
}

TEST_F(MemberMessagesTest, WatchFollowsTheSizeAndTheEndOfAForeignWindow)
{
    EXPECT_TRUE(IsLiveWindow(host_));
    ForeignWindowWatch watch;
    ASSERT_TRUE(watch.Open(host_));
    EXPECT_EQ(watch.Width(), 300);
    EXPECT_EQ(watch.Height(), 200);
    EXPECT_GE(watch.ConnectionFd(), 0);

    XResizeWindow(display_.get(), host_, 152, 112);
    XSync(display_.get(), False);
    ForeignWindowWatch::Changes changes;
    for (int i = 0; i < kGenerousMs / 10 && !changes.resized; ++i, usleep(10000))
        changes = watch.Poll();
    EXPECT_TRUE(changes.resized);
    EXPECT_FALSE(changes.gone);
    EXPECT_EQ(watch.Width(), 152);
    EXPECT_EQ(watch.Height(), 112);

    XDestroyWindow(display_.get(), host_);
    XSync(display_.get(), False);
    for (int i = 0; i < kGenerousMs / 10 && !changes.gone; ++i, usleep(10000))
        changes = watch.Poll();
    EXPECT_TRUE(changes.gone);
    EXPECT_TRUE(watch.IsGone());
    EXPECT_FALSE(IsLiveWindow(host_));
}

TEST_F(MemberMessagesTest, WatchRefusesWhatIsNoWindow)
{
    const unsigned long ids[] = {0, 0x7ffffff, host_ + 1000};
    for (unsigned long id : ids) {
        ForeignWindowWatch watch;
        EXPECT_FALSE(watch.Open(id)) << id;
        EXPECT_FALSE(IsLiveWindow(id)) << id;
    }
}

} // namespace
} // namespace velmora::platform
