// The full-screen window on a private X server: creation, frames, the close
// rules driven by real input, the slow-machine warning, display modes and the
// order of teardown. The scene here only clears to a colour, so every test
// sees what the window itself does.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPointer>
#include <QScreen>

#include <memory>
#include <string>
#include <vector>

#include <X11/keysym.h>

#include "app/qt/CGLWindow.h"
#include "platform/TempRegistry.h"
#include "StringTable.h"
#include "ui/PageTestSupport.h"
#include "ui/qt/LoadingWindow.h"
#include "WindowTestSupport.h"

namespace velmora {
namespace {

using test::FakeInput;
using test::WaitUntil;
using testing::StoreSettings;

// Everything the window did, in order, as one list of words.
struct Journal {
    std::vector<std::string> events;
    std::vector<std::pair<QMessageBox::Icon, QString>> messages;
    int initWidth = -1;
    int initHeight = -1;
    bool contextCurrentAtInit = false;
    bool loadingShownAtInit = false;
    bool contextGoneAtRelease = false;
    bool contextCurrentAtGlRelease = false;
    int lastResizeWidth = -1;
    int lastResizeHeight = -1;
    int draws = 0;

    int Count(const std::string& word) const
    {
        int n = 0;
        for (const auto& e : events)
            n += e == word;
        return n;
    }
    std::ptrdiff_t IndexOf(const std::string& word) const
    {
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i] == word)
                return static_cast<std::ptrdiff_t>(i);
        return -1;
    }
};

int LoadingWindowsShown()
{
    int shown = 0;
    for (const QWidget* w : QApplication::topLevelWidgets())
        shown
            += qobject_cast<const QDialog*>(w) && dynamic_cast<const ui::LoadingWindow*>(w) && w->isVisible();
    return shown;
}

// Clears the frame to a known colour; optionally fails its start-up the way
// the tour reports a missing archive member.
class ColourScene final : public WindowScene {
public:
    ColourScene(Journal& journal, SceneNotifier& notifier, bool failInit)
        : journal_(journal)
        , notifier_(notifier)
        , failInit_(failInit)
    {
    }

    void Initialize(const SaverSettings&, int width, int height) override
    {
        journal_.events.push_back("initialize");
        journal_.initWidth = width;
        journal_.initHeight = height;
        journal_.contextCurrentAtInit = QOpenGLContext::currentContext() != nullptr;
        journal_.loadingShownAtInit = LoadingWindowsShown() == 1;
        if (failInit_) {
            notifier_.ShowError("Can't load pTexture.");
            notifier_.RequestQuit();
        }
    }
    void Resize(int width, int height) override
    {
        journal_.events.push_back("resize");
        journal_.lastResizeWidth = width;
        journal_.lastResizeHeight = height;
        QOpenGLContext::currentContext()->functions()->glViewport(0, 0, width, height);
    }
    void DrawFrame() override
    {
        ++journal_.draws;
        QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
        gl->glClearColor(0.0f, 0.5f, 1.0f, 1.0f);
        gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    void ReleaseGlObjects() override
    {
        journal_.events.push_back("release-gl");
        journal_.contextCurrentAtGlRelease = QOpenGLContext::currentContext() != nullptr;
    }
    void ReleaseBuffers() override
    {
        journal_.events.push_back("release");
        journal_.contextGoneAtRelease = QOpenGLContext::currentContext() == nullptr;
    }

private:
    Journal& journal_;
    SceneNotifier& notifier_;
    bool failInit_;
};

// A display that offers one other mode, or refuses every change.
class FakeSwitcher final : public platform::DisplayModeSwitcher {
public:
    FakeSwitcher(Journal& journal, platform::DisplayMode desktop, bool accept)
        : journal_(journal)
        , desktop_(desktop)
        , current_(desktop)
        , accept_(accept)
    {
    }
    platform::DisplayMode Current() const override { return current_; }
    bool ChangeTemporarily(const platform::DisplayMode& mode) override
    {
        journal_.events.push_back("change");
        requested_.push_back(mode);
        if (accept_)
            current_ = mode;
        return accept_;
    }
    void Restore() override
    {
        journal_.events.push_back("restore");
        current_ = desktop_;
    }
    static std::vector<platform::DisplayMode> requested_;

private:
    Journal& journal_;
    platform::DisplayMode desktop_;
    platform::DisplayMode current_;
    bool accept_;
};
std::vector<platform::DisplayMode> FakeSwitcher::requested_;

QRect ScreenRect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

class CGLWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::EnsureApplication())
            GTEST_SKIP() << "no X server could be started";
        FakeSwitcher::requested_.clear();
    }

    CGLWindow::Services Services(bool failInit = false)
    {
        Journal* journal = &journal_;
        CGLWindow::Services services = CGLWindow::DesktopServices(
            [journal, failInit](SceneNotifier& notifier) -> std::unique_ptr<WindowScene> {
                return std::make_unique<ColourScene>(*journal, notifier, failInit);
            });
        services.showMessage = [this](QMessageBox::Icon icon, const QString& text) {
            journal_.events.push_back("message");
            journal_.messages.emplace_back(icon, text);
            if (onMessage_)
                onMessage_();
        };
        services.setScreenSaverRunning
            = [journal](bool running) { journal->events.push_back(running ? "saver-on" : "saver-off"); };
        return services;
    }

    // Creates the window over the whole screen and waits for its first frames.
    void Start(CGLWindow::Services services)
    {
        window_ = new CGLWindow(std::move(services));
        QObject::connect(window_.data(), &CGLWindow::Finished, [this] { finished_ = true; });
        ASSERT_EQ(window_->Create(ScreenRect()), CGLWindow::CreateResult::Created);
        ASSERT_TRUE(WaitUntil([this] { return finished_ || (window_ && window_->FramesDrawn() >= 3); }));
    }

    void WaitForFocus()
    {
        ASSERT_TRUE(WaitUntil([this] { return window_ && QGuiApplication::focusWindow() == window_; }));
    }

    bool ClosesWithin(int ms)
    {
        return WaitUntil([this] { return finished_ && window_.isNull(); }, ms);
    }

    // Several frames pass without a close.
    bool StaysOpen()
    {
        const uint32_t before = window_ ? window_->FramesDrawn() : 0;
        WaitUntil([&] { return !window_ || window_->FramesDrawn() >= before + 10; }, 5000);
        test::Pump(100);
        return !finished_ && window_;
    }

    void TearDown() override
    {
        if (window_ && !finished_) {
            window_->RequestClose();
            ClosesWithin(10000);
        }
        delete window_.data();
    }

    testing::TempRegistry registry_;
    Journal journal_;
    QPointer<CGLWindow> window_;
    bool finished_ = false;
    std::function<void()> onMessage_;
};

TEST(CGLWindowFormat, AsksForCompatibilityDepthAndStencil)
{
    const QSurfaceFormat format = CGLWindow::RequestedFormat();
    EXPECT_EQ(format.renderableType(), QSurfaceFormat::OpenGL);
    EXPECT_EQ(format.profile(), QSurfaceFormat::CompatibilityProfile);
    EXPECT_EQ(format.swapBehavior(), QSurfaceFormat::DoubleBuffer);
    EXPECT_GE(format.depthBufferSize(), 16);
    EXPECT_GE(format.stencilBufferSize(), 8);
    EXPECT_GE(format.stencilBufferSize(), CGLWindow::kMinStencilBits);
}

TEST_F(CGLWindowTest, CoversTheScreenAndDrawsFrames)
{
    Start(Services());
    ASSERT_TRUE(window_);
    EXPECT_EQ(window_->geometry(), ScreenRect());
    EXPECT_TRUE(window_->isVisible());
    ASSERT_TRUE(WaitUntil([this] { return window_->FramesDrawn() >= 30; }));
    EXPECT_EQ(journal_.draws, static_cast<int>(window_->FramesDrawn()));

    const QImage screen = test::GrabScreen();
    ASSERT_FALSE(screen.isNull());
    ASSERT_EQ(screen.size(), ScreenRect().size());
    for (const QPoint p : {QPoint(0, 0), QPoint(screen.width() - 1, screen.height() - 1),
             QPoint(screen.width() / 2, screen.height() / 2)}) {
        const QColor c = screen.pixelColor(p);
        EXPECT_EQ(c.red(), 0) << p.x() << "," << p.y();
        EXPECT_NEAR(c.green(), 128, 1) << p.x() << "," << p.y();
        EXPECT_EQ(c.blue(), 255) << p.x() << "," << p.y();
    }
}

TEST_F(CGLWindowTest, ContextIsCompatibleWithDepthAndStencil)
{
    Start(Services());
    ASSERT_TRUE(window_ && window_->Context());
    const QSurfaceFormat format = window_->Context()->format();
    EXPECT_FALSE(window_->Context()->isOpenGLES());
    EXPECT_NE(format.profile(), QSurfaceFormat::CoreProfile);
    EXPECT_GE(format.depthBufferSize(), 16);
    EXPECT_GE(format.stencilBufferSize(), 8);
    EXPECT_EQ(format.swapBehavior(), QSurfaceFormat::DoubleBuffer);

    // What the driver really gave, asked of GL itself.
    ASSERT_TRUE(window_->Context()->makeCurrent(window_));
    GLint stencil = 0;
    GLint depth = 0;
    window_->Context()->functions()->glGetIntegerv(GL_STENCIL_BITS, &stencil);
    window_->Context()->functions()->glGetIntegerv(GL_DEPTH_BITS, &depth);
    EXPECT_GE(stencil, 2);
    EXPECT_GE(depth, 16);
}

TEST_F(CGLWindowTest, CreationCallsTheSceneInOrder)
{
    Start(Services());
    ASSERT_TRUE(window_);
    EXPECT_TRUE(journal_.contextCurrentAtInit);
    EXPECT_TRUE(journal_.loadingShownAtInit);
    EXPECT_EQ(LoadingWindowsShown(), 0);
    EXPECT_EQ(journal_.initWidth, ScreenRect().width());
    EXPECT_EQ(journal_.initHeight, ScreenRect().height());
    EXPECT_EQ(journal_.lastResizeWidth, ScreenRect().width());
    EXPECT_EQ(journal_.lastResizeHeight, ScreenRect().height());
    ASSERT_GE(journal_.IndexOf("initialize"), 0);
    EXPECT_LT(journal_.IndexOf("initialize"), journal_.IndexOf("resize"));
    EXPECT_LT(journal_.IndexOf("resize"), journal_.IndexOf("saver-on"));
    EXPECT_EQ(journal_.Count("initialize"), 1);
    EXPECT_TRUE(journal_.messages.empty());
}

TEST_F(CGLWindowTest, TeardownRestoresThenReleasesThenEnds)
{
    CGLWindow::Services services = Services();
    services.displays = std::make_unique<FakeSwitcher>(journal_, platform::DisplayMode {1280, 720, 24}, true);
    Start(std::move(services));
    ASSERT_TRUE(window_);
    window_->RequestClose();
    ASSERT_TRUE(ClosesWithin(10000));
    const auto restore = journal_.IndexOf("restore");
    const auto releaseGl = journal_.IndexOf("release-gl");
    const auto release = journal_.IndexOf("release");
    const auto saverOff = journal_.IndexOf("saver-off");
    ASSERT_GE(restore, 0);
    EXPECT_LT(restore, releaseGl);
    EXPECT_LT(releaseGl, release);
    EXPECT_LT(release, saverOff);
    // GL objects go while their context is current, memory after it is gone.
    EXPECT_TRUE(journal_.contextCurrentAtGlRelease);
    EXPECT_TRUE(journal_.contextGoneAtRelease);
    EXPECT_EQ(journal_.Count("release-gl"), 1);
    EXPECT_EQ(journal_.Count("release"), 1);
    EXPECT_EQ(journal_.Count("saver-off"), 1);
}

// [SECTION] The close rules, driven by real input

// One thing a person does while the tour runs, and what the window must do
// right after it.
struct InputStep {
    enum Kind { Move, Tap, AltChord, Click, ActivateOther, ShowModal } kind;
    int a = 0; // x, keysym or button
    int b = 0; // y
    enum Then { Nothing, Stays, Closes } then = Nothing;
};

struct InputCase {
    const char* name;
    bool demoMode;
    bool waitForFocus; // keys reach the window only once it has the focus
    std::vector<InputStep> steps;
};

class CGLWindowInputTest : public CGLWindowTest, public ::testing::WithParamInterface<InputCase> { };

TEST_P(CGLWindowInputTest, ClosesExactlyWhenTheRulesSay)
{
    const InputCase& c = GetParam();
    if (c.demoMode) {
        SaverSettings stored;
        stored.DemoMode = 1;
        StoreSettings(stored);
    }
    Start(Services());
    ASSERT_TRUE(window_);
    EXPECT_EQ(window_->Settings().DemoMode, c.demoMode ? 1u : 0u);
    // The pointer shows only in demo mode.
    EXPECT_EQ(window_->cursor().shape() == Qt::BlankCursor, !c.demoMode);
    if (c.waitForFocus)
        WaitForFocus();
    FakeInput input;
    ASSERT_TRUE(input.IsOpen());
    QWindow other;
    other.setFlags(Qt::Window | Qt::X11BypassWindowManagerHint);
    other.setGeometry(10, 10, 50, 50);
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const InputStep& step = c.steps[i];
        switch (step.kind) {
        case InputStep::Move:
            input.MoveTo(step.a, step.b);
            break;
        case InputStep::Tap:
            input.Tap(static_cast<unsigned long>(step.a));
            break;
        case InputStep::AltChord:
            input.Chord(XK_Alt_L, static_cast<unsigned long>(step.a));
            break;
        case InputStep::Click:
            input.Click(static_cast<unsigned int>(step.a));
            break;
        case InputStep::ActivateOther:
            other.show();
            other.requestActivate();
            if (step.then == InputStep::Stays) {
                ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == &other; }));
            }
            break;
        case InputStep::ShowModal:
            other.setModality(Qt::ApplicationModal);
            other.show();
            break;
        }
        if (step.then == InputStep::Stays) {
            ASSERT_TRUE(StaysOpen()) << "step " << i;
        } else if (step.then == InputStep::Closes) {
            EXPECT_TRUE(ClosesWithin(10000)) << "step " << i;
        }
    }
}

using S = InputStep;

INSTANTIATE_TEST_SUITE_P(Input, CGLWindowInputTest,
    ::testing::Values(InputCase {"Key", false, true, {{S::Tap, XK_space, 0, S::Closes}}},
        InputCase {"Button", false, false, {{S::Click, 3, 0, S::Closes}}},
        InputCase {"AltF4AndAloneAltDoNotClose", false, true,
            {{S::AltChord, XK_F4}, {S::Tap, XK_F10, 0, S::Stays}, {S::Tap, XK_Escape, 0, S::Closes}}},
        // Ten pixels either way from where the pointer was first seen stay.
        InputCase {"MoveOfTenPixelsStaysElevenCloses", false, false,
            {{S::Move, 300, 300, S::Stays}, {S::Move, 310, 290, S::Stays}, {S::Move, 290, 310, S::Stays},
                {S::Move, 300, 311, S::Closes}}},
        InputCase {"ElevenPixelsLeftCloses", false, false,
            {{S::Move, 500, 400, S::Stays}, {S::Move, 489, 400, S::Closes}}},
        InputCase {"FocusLossCloses", false, true, {{S::ActivateOther, 0, 0, S::Closes}}},
        InputCase {"ModalWindowElsewhereCloses", false, false, {{S::ShowModal, 0, 0, S::Closes}}},
        InputCase {"DemoModeIgnoresMovesButNotKeys", true, true,
            {{S::Move, 100, 100}, {S::Move, 900, 600}, {S::Move, 20, 700, S::Stays},
                {S::Tap, XK_a, 0, S::Closes}}},
        InputCase {"DemoModeClosesOnButtons", true, false, {{S::Click, 1, 0, S::Closes}}},
        InputCase {"DemoModeIgnoresFocusLoss", true, true, {{S::ActivateOther, 0, 0, S::Stays}}}),
    [](const auto& info) { return std::string(info.param.name); });

// [SECTION] Slow machines, display modes and the run's end

TEST_F(CGLWindowTest, SlowFramesWarnOnceAndBlockFramesMeanwhile)
{
    CGLWindow::Services services = Services();
    // Each frame "takes" 400 ms: frames 6 to 15 take 4000 ms.
    services.tickCountMs = [this] { return window_ ? int64_t(window_->FramesDrawn()) * 400 : 0; };
    bool busyInBox = false;
    uint32_t framesDuringBox = 0;
    onMessage_ = [&] {
        busyInBox = window_->IsBusy();
        const uint32_t before = window_->FramesDrawn();
        test::Pump(200);
        framesDuringBox = window_->FramesDrawn() - before;
    };
    Start(std::move(services));
    ASSERT_TRUE(WaitUntil([this] { return window_->FramesDrawn() >= 60; }));
    ASSERT_EQ(journal_.messages.size(), 1u);
    EXPECT_EQ(journal_.messages[0].first, QMessageBox::Warning);
    EXPECT_EQ(journal_.messages[0].second.toStdString(), std::string(strings::kSlowMachineWarning));
    EXPECT_TRUE(busyInBox);
    EXPECT_EQ(framesDuringBox, 0u);
    EXPECT_FALSE(window_->IsBusy());
}

TEST_F(CGLWindowTest, ThreeSecondsExactlyIsNotSlow)
{
    CGLWindow::Services services = Services();
    services.tickCountMs = [this] { return window_ ? int64_t(window_->FramesDrawn()) * 300 : 0; };
    Start(std::move(services));
    ASSERT_TRUE(WaitUntil([this] { return window_->FramesDrawn() >= 40; }));
    EXPECT_TRUE(journal_.messages.empty());
}

TEST_F(CGLWindowTest, RefusedModeStoresTheDesktopMode)
{
    StoreSettings(testing::WithOwnMode({800, 600, 24}));
    // The X server's own mode switching; Xvfb offers only its one size.
    Start(Services());
    ASSERT_TRUE(window_);
    EXPECT_FALSE(window_->DisplayModeChanged());
    EXPECT_EQ(window_->geometry(), ScreenRect());

    SaverSettings reloaded;
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.CurrentVideomode, 1);
    const QSize client = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(reloaded.XResolution, client.width());
    EXPECT_EQ(reloaded.YResolution, client.height());
    EXPECT_EQ(reloaded.ColorDepth, 24);
}

TEST_F(CGLWindowTest, AcceptedModeSizesTheWindowAndIsRestored)
{
    StoreSettings(testing::WithOwnMode({800, 600, 24}));
    CGLWindow::Services services = Services();
    services.displays = std::make_unique<FakeSwitcher>(journal_, platform::DisplayMode {1280, 720, 24}, true);
    Start(std::move(services));
    ASSERT_TRUE(window_);
    ASSERT_EQ(FakeSwitcher::requested_.size(), 1u);
    EXPECT_EQ(FakeSwitcher::requested_[0], (platform::DisplayMode {800, 600, 24}));
    EXPECT_TRUE(window_->DisplayModeChanged());
    EXPECT_EQ(window_->geometry(), QRect(0, 0, 800, 600));
    // The scene starts at the size before the change and is then resized.
    EXPECT_EQ(journal_.initWidth, 1280);
    EXPECT_EQ(journal_.lastResizeWidth, 800);
    EXPECT_EQ(journal_.lastResizeHeight, 600);
    EXPECT_LT(journal_.IndexOf("change"), journal_.IndexOf("resize"));
    // A successful change is not stored.
    SaverSettings reloaded;
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.CurrentVideomode, 0);

    window_->RequestClose();
    ASSERT_TRUE(ClosesWithin(10000));
    EXPECT_EQ(journal_.Count("restore"), 1);
}

TEST_F(CGLWindowTest, NoSceneFromTheFactoryFailsCreationWithAMessage)
{
    CGLWindow::Services services = Services();
    services.makeScene = [](SceneNotifier&) { return std::unique_ptr<WindowScene>(); };
    auto* window = new CGLWindow(std::move(services));
    window_ = window;
    EXPECT_EQ(window->Create(ScreenRect()), CGLWindow::CreateResult::ContextFailed);
    EXPECT_EQ(window->CurrentPhase(), CGLWindow::Phase::Closing);
    ASSERT_EQ(journal_.messages.size(), 1u);
    EXPECT_EQ(journal_.messages[0].first, QMessageBox::Critical);
    EXPECT_EQ(journal_.messages[0].second, QStringLiteral("Can't create the scene."));
    EXPECT_EQ(journal_.Count("saver-on"), 0);
    finished_ = true; // the caller deletes it, as after any failed creation
}

// The frame hook sees every frame in order and can end the run.
TEST_F(CGLWindowTest, FrameHookCountsFramesAndCanClose)
{
    CGLWindow::Services services = Services();
    std::vector<uint32_t> seen;
    services.frameDrawn = [&seen](uint32_t frames, PixelSize client) {
        seen.push_back(frames);
        return frames == 6 && client.width > 0;
    };
    Start(std::move(services));
    ASSERT_TRUE(ClosesWithin(10000));
    ASSERT_EQ(seen.size(), 6u);
    for (std::size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], i + 1);
}

TEST_F(CGLWindowTest, SceneFailureShowsItsMessageAndEndsTheRun)
{
    Start(Services(true));
    ASSERT_TRUE(ClosesWithin(10000));
    ASSERT_EQ(journal_.messages.size(), 1u);
    EXPECT_EQ(journal_.messages[0].first, QMessageBox::Critical);
    EXPECT_EQ(journal_.messages[0].second, QStringLiteral("Can't load pTexture."));
    // The run was still set up completely and taken down in order.
    EXPECT_EQ(journal_.Count("resize"), 1);
    EXPECT_EQ(journal_.Count("release"), 1);
    EXPECT_LT(journal_.IndexOf("saver-on"), journal_.IndexOf("saver-off"));
}

TEST_F(CGLWindowTest, FramesFollowTheFrameClock)
{
    test::ManualClock clock;
    CGLWindow::Services services = Services();
    services.frameClock = clock.Function();
    window_ = new CGLWindow(std::move(services));
    QObject::connect(window_.data(), &CGLWindow::Finished, [this] { finished_ = true; });
    ASSERT_EQ(window_->Create(ScreenRect()), CGLWindow::CreateResult::Created);
    ASSERT_TRUE(WaitUntil([this] { return window_->isExposed(); }));
    test::ExpectFramesFollowTheClock(clock, [this] { return window_->FramesDrawn(); });
    EXPECT_EQ(journal_.draws, static_cast<int>(window_->FramesDrawn()));
}

TEST_F(CGLWindowTest, FrameCountOptionReportsAndCloses)
{
    setenv("VELMORA3D_BENCH_FRAMES", "12", 1);
    Start(Services());
    unsetenv("VELMORA3D_BENCH_FRAMES");
    ASSERT_TRUE(ClosesWithin(20000));
    EXPECT_EQ(journal_.draws, 13);
}

TEST_F(CGLWindowTest, ClosedWindowIsDeletedAndFinishesOnce)
{
    Start(Services());
    int finishedCount = 0;
    QObject::connect(window_.data(), &CGLWindow::Finished, [&] { ++finishedCount; });
    window_->RequestClose();
    window_->RequestClose();
    ASSERT_TRUE(ClosesWithin(10000));
    test::Pump(50);
    EXPECT_EQ(finishedCount, 1);
    EXPECT_TRUE(window_.isNull());
}

} // namespace
} // namespace velmora
