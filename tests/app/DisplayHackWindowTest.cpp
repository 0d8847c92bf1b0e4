// The tour inside a window of another X client, as XScreenSaver hands one to
// a display hack: placement and size, the run's settings, size changes, input
// that stays the host's, and the ends of a run. The scene only clears to a
// colour and records what it was told.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qt/DisplayHackWindow.h"
#include "platform/TempRegistry.h"
#include "WindowTestSupport.h"
#include "XWindows.h"

// Xlib last: its macros (None, Bool) clash with the toolkit's names.
#include <X11/keysym.h>
#include <X11/Xlib.h>

namespace velmora {
namespace {

using test::WaitUntil;

struct SceneRecord {
    std::optional<SaverSettings> initSettings;
    QSize initSize;
    QSize lastResize;
    int draws = 0;
    bool released = false;
    bool glReleasedWithContext = false;
};

class RecordingScene final : public WindowScene {
public:
    RecordingScene(SceneRecord& record, SceneNotifier& notifier, bool failInit)
        : record_(record)
        , notifier_(notifier)
        , failInit_(failInit)
    {
    }
    void Initialize(const SaverSettings& settings, int width, int height) override
    {
        record_.initSettings = settings;
        record_.initSize = {width, height};
        if (failInit_) {
            notifier_.ShowError("Can't load pTexture.");
            notifier_.RequestQuit();
        }
    }
    void Resize(int width, int height) override { record_.lastResize = {width, height}; }
    void DrawFrame() override
    {
        ++record_.draws;
        QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
        gl->glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
        gl->glClear(GL_COLOR_BUFFER_BIT);
    }
    void ReleaseGlObjects() override
    {
        record_.glReleasedWithContext = QOpenGLContext::currentContext() != nullptr;
    }
    void ReleaseBuffers() override { record_.released = true; }

private:
    SceneRecord& record_;
    SceneNotifier& notifier_;
    bool failInit_;
};

// A window of its own X client standing in for XScreenSaver's saver window.
class HostClient {
public:
    // On the server that $DISPLAY names at this moment.
    bool Open()
    {
        display_ = test::OpenDisplay();
        return display_ != nullptr;
    }
    Window Create(int width, int height)
    {
        Display* d = display_.get();
        window_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, width, height, 0, 0, 0);
        XSelectInput(d, window_, ButtonPressMask | KeyPressMask);
        XMapRaised(d, window_);
        XSync(d, False);
        return window_;
    }
    void Resize(int width, int height)
    {
        XResizeWindow(display_.get(), window_, width, height);
        XSync(display_.get(), False);
    }
    void Destroy()
    {
        XDestroyWindow(display_.get(), window_);
        XSync(display_.get(), False);
        window_ = 0;
    }
    std::vector<unsigned long> Children() { return test::ChildWindows(display_.get(), window_); }
    QSize SizeOf(Window window)
    {
        XWindowAttributes a {};
        if (!XGetWindowAttributes(display_.get(), window, &a))
            return {};
        return {a.width, a.height};
    }
    // Button presses that reached the host's own window so far.
    int ButtonPresses()
    {
        XEvent event;
        while (XCheckWindowEvent(display_.get(), window_, ButtonPressMask, &event))
            ++presses_;
        return presses_;
    }
    Window Id() const { return window_; }

private:
    test::DisplayConnection display_;
    Window window_ = 0;
    int presses_ = 0;
};

class DisplayHackWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::EnsureApplication()) << "no X server could be started";
        ASSERT_TRUE(host_.Open());
        // Stored settings that the overrides must beat and the rest keep.
        SaverSettings stored;
        stored.AnimationSpeed = 20;
        stored.CamMode = 1;
        stored.DemoMode = 1;
        ASSERT_TRUE(stored.Save());
    }
    void TearDown() override
    {
        delete window_.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    bool Start(const DisplayHackRequest& request, bool failInit = false, FramePacer::Clock clock = &SteadyNow)
    {
        SceneRecord* record = &record_;
        window_ = new DisplayHackWindow(
            [record, failInit](SceneNotifier& notifier) -> std::unique_ptr<WindowScene> {
                return std::make_unique<RecordingScene>(*record, notifier, failInit);
            },
            request, [this](std::string_view message) { errors_.emplace_back(message); }, std::move(clock));
        QObject::connect(
            window_.data(), &DisplayHackWindow::Finished, [this](int code) { exitCodes_.push_back(code); });
        return window_->Create();
    }

    bool WaitForFrames(int frames)
    {
        const int target = record_.draws + frames;
        return WaitUntil([&] { return record_.draws >= target; });
    }

    testing::TempRegistry registry_;
    HostClient host_;
    SceneRecord record_;
    QPointer<DisplayHackWindow> window_;
    std::vector<std::string> errors_;
    std::vector<int> exitCodes_;
};

struct OverrideRow {
    const char* name;
    std::optional<int32_t> speed;
    std::optional<int32_t> cam;
    int32_t expectedSpeed;
    int32_t expectedCam;
};

class DisplayHackOverrides : public DisplayHackWindowTest,
                             public ::testing::WithParamInterface<OverrideRow> { };

TEST_P(DisplayHackOverrides, FillsTheHostsWindowWithTheRunsSettings)
{
    const OverrideRow& row = GetParam();
    const Window host = host_.Create(400, 300);
    ASSERT_TRUE(Start({host, row.speed, row.cam})) << (errors_.empty() ? "" : errors_[0]);
    ASSERT_TRUE(WaitForFrames(3));

    // One child of the host's window, of the host's size, is the tour.
    const std::vector<unsigned long> children = host_.Children();
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0], window_->winId());
    EXPECT_EQ(host_.SizeOf(children[0]), QSize(400, 300));
    EXPECT_EQ(record_.initSize, QSize(400, 300));
    EXPECT_EQ(record_.lastResize, QSize(400, 300));

    ASSERT_TRUE(record_.initSettings);
    EXPECT_EQ(record_.initSettings->AnimationSpeed, row.expectedSpeed);
    EXPECT_EQ(record_.initSettings->CamMode, row.expectedCam);
    EXPECT_EQ(record_.initSettings->DemoMode, 1u); // the rest is the stored record

    // The run's settings are the run's own: nothing is written back.
    SaverSettings after;
    after.Load();
    EXPECT_EQ(after.AnimationSpeed, 20);
    EXPECT_EQ(after.CamMode, 1);

    window_->Stop(0);
    window_->Stop(5); // a second end changes nothing
    EXPECT_EQ(exitCodes_, std::vector<int> {0});
    EXPECT_TRUE(record_.released);
    EXPECT_TRUE(record_.glReleasedWithContext);
    EXPECT_TRUE(WaitUntil([&] { return host_.Children().empty(); }));
    EXPECT_TRUE(errors_.empty());
}

INSTANTIATE_TEST_SUITE_P(DisplayHack, DisplayHackOverrides,
    ::testing::Values(OverrideRow {"Stored", std::nullopt, std::nullopt, 20, 1},
        OverrideRow {"Speed", 85, std::nullopt, 85, 1}, OverrideRow {"Camera", std::nullopt, 3, 20, 3},
        OverrideRow {"Both", 0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<OverrideRow>& info) { return std::string(info.param.name); });

TEST_F(DisplayHackWindowTest, FollowsTheHostsSize)
{
    const Window host = host_.Create(320, 240);
    ASSERT_TRUE(Start({host, std::nullopt, std::nullopt}));
    ASSERT_TRUE(WaitForFrames(2));
    for (const QSize size : {QSize(640, 200), QSize(100, 480), QSize(320, 240)}) {
        host_.Resize(size.width(), size.height());
        EXPECT_TRUE(WaitUntil([&] { return record_.lastResize == size; }))
            << size.width() << "x" << size.height();
        EXPECT_EQ(host_.SizeOf(window_->winId()), size);
        EXPECT_TRUE(WaitForFrames(2));
    }
}

TEST_F(DisplayHackWindowTest, FramesFollowTheFrameClock)
{
    test::ManualClock clock;
    const Window host = host_.Create(320, 240);
    ASSERT_TRUE(Start({host, std::nullopt, std::nullopt}, false, clock.Function()));
    ASSERT_TRUE(WaitUntil([&] { return window_->isExposed(); }));
    test::ExpectFramesFollowTheClock(clock, [&] { return static_cast<uint32_t>(record_.draws); });
}

TEST_F(DisplayHackWindowTest, InputStaysWithTheHost)
{
    const Window host = host_.Create(1280, 720);
    ASSERT_TRUE(Start({host, std::nullopt, std::nullopt}));
    ASSERT_TRUE(WaitForFrames(2));
    test::FakeInput input;
    ASSERT_TRUE(input.IsOpen());
    input.MoveTo(600, 300);
    input.MoveTo(10, 10);
    input.Click(1);
    input.Tap(XK_space);
    // The press lands on the host's window, through the tour's window.
    EXPECT_TRUE(WaitUntil([&] { return host_.ButtonPresses() >= 1; }));
    EXPECT_TRUE(WaitForFrames(3));
    EXPECT_TRUE(exitCodes_.empty());
}

TEST_F(DisplayHackWindowTest, EndsWhenTheHostsWindowGoesAway)
{
    const Window host = host_.Create(200, 200);
    ASSERT_TRUE(Start({host, std::nullopt, std::nullopt}));
    ASSERT_TRUE(WaitForFrames(2));
    host_.Destroy();
    // A generous bound: on a loaded machine the X server may be slow to tell.
    EXPECT_TRUE(WaitUntil([&] { return !exitCodes_.empty(); }, 60000));
    EXPECT_EQ(exitCodes_, std::vector<int> {0});
    EXPECT_TRUE(record_.released);
}

TEST_F(DisplayHackWindowTest, RootWindowGivesAWindowOverTheWholeScreen)
{
    ASSERT_TRUE(Start({0, std::nullopt, std::nullopt}));
    ASSERT_TRUE(WaitForFrames(2));
    const test::DisplayConnection display = test::OpenDisplay();
    ASSERT_TRUE(display);
    Display* d = display.get();
    EXPECT_EQ(window_->HostWindow(), DefaultRootWindow(d));
    EXPECT_EQ(record_.initSize, QSize(DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))));
}

TEST_F(DisplayHackWindowTest, FailuresAreReportedAndLeaveNothingBehind)
{
    // A window id the server never gave out.
    EXPECT_FALSE(Start({0x7ffff01, std::nullopt, std::nullopt}));
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "there is no window 0x7ffff01 to draw into");
    EXPECT_FALSE(record_.initSettings);
    delete window_.data();

    // The scene's own start-up failure.
    errors_.clear();
    const Window host = host_.Create(200, 200);
    EXPECT_FALSE(Start({host, std::nullopt, std::nullopt}, true));
    EXPECT_EQ(errors_, std::vector<std::string> {"Can't load pTexture."});
    EXPECT_TRUE(record_.released);
    EXPECT_EQ(record_.draws, 0);
    EXPECT_TRUE(WaitUntil([&] { return host_.Children().empty(); }));
    EXPECT_TRUE(exitCodes_.empty());
}

} // namespace
} // namespace velmora
