// Velmora3D inside windows of another program, on a private X server: the
// settings page embedded with "-1:<hex id>" answering a host's commands and
// storing its settings, and the host preview "/p <id>" drawing the product
// picture. The host windows are plain Xlib windows of this test process;
// Velmora3D runs as a second process.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <X11/extensions/XTest.h>

#include "HostedProgram.h"
#include "platform/MemberMessages.h"
#include "platform/Process.h"
#include "platform/TempRegistry.h"
#include "PrivateXServer.h"
#include "settings/SaverSettings.h"
#include "StringTable.h"
#include "ui/PageTestSupport.h"
#include "ui/qt/DialogUnits.h"
#include "XWindows.h"

namespace velmora {
namespace {

using platform::ChildProcess;
using platform::MemberCommand;
using platform::MemberMessenger;

constexpr int kGenerousMs = 30000;

bool WaitFor(const std::function<bool()>& done)
{
    return test::PollUntil(done, kGenerousMs);
}

class EmbeddingProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Only for the dialog font's metrics, to find controls on the screen;
        // the program itself must not inherit the offscreen platform.
        static int argc = 1;
        static char name[] = "app_embedding_test";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QGuiApplication::instance())
            new QGuiApplication(argc, argv);
        qunsetenv("QT_QPA_PLATFORM");
    }

    void SetUp() override
    {
        ASSERT_TRUE(server_.Start("800x600x24"));
        display_ = test::OpenDisplay();
        ASSERT_TRUE(display_);
        dir_ = registry_.Dir().string();
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    }
    void TearDown() override
    {
        program_.Terminate(kGenerousMs);
        if (const long preview = GuardOwner(); preview > 0)
            kill(static_cast<pid_t>(preview), SIGKILL);
        unsetenv("XDG_RUNTIME_DIR");
    }

    Window MakeHost(int width, int height)
    {
        const Window w = XCreateSimpleWindow(display_.get(), DefaultRootWindow(display_.get()), 0, 0,
            static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0, 0x00ff00);
        XMapWindow(display_.get(), w);
        XSync(display_.get(), False);
        return w;
    }
    bool Start(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> all = {VELMORA3D_PATH};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return program_.Start(all);
    }
    static std::string Hex(Window w)
    {
        char text[32];
        std::snprintf(text, sizeof text, "-1:%lX", w);
        return text;
    }
    // The first child of `host` once it is mapped; 0 when none came.
    Window WaitForChild(Window host)
    {
        Window child = 0;
        WaitFor([&] {
            const std::vector<unsigned long> children = test::ChildWindows(display_.get(), host);
            if (!children.empty() && test::IsWindowViewable(display_.get(), children[0]))
                child = children[0];
            return child != 0;
        });
        return child;
    }
    long GuardOwner() const
    {
        std::ifstream in(dir_ + "/" + std::string(strings::kGuardName));
        long pid = 0;
        return in >> pid ? pid : 0;
    }
    // A real click at a point of a window, through the X server's input.
    void ClickAt(Window window, QPoint point)
    {
        int x = 0, y = 0;
        Window ignored = 0;
        XTranslateCoordinates(display_.get(), window, DefaultRootWindow(display_.get()), point.x(), point.y(),
            &x, &y, &ignored);
        XTestFakeMotionEvent(display_.get(), 0, x, y, CurrentTime);
        XTestFakeButtonEvent(display_.get(), 1, True, CurrentTime);
        XTestFakeButtonEvent(display_.get(), 1, False, CurrentTime);
        XSync(display_.get(), False);
    }
    // The middle of the check box square of a control at `units` (dialog units).
    static QPoint CheckBoxPoint(QPoint units)
    {
        const ui::DialogUnits du(ui::TemplateFont());
        return du.ToPixels(units) + QPoint(du.ToPixelsX(4), du.ToPixelsY(5));
    }
    QImage Grab(Window w, int width, int height) { return Grab(w, QRect(0, 0, width, height)); }
    QImage Grab(Window w, const QRect& r)
    {
        const int width = r.width(), height = r.height();
        XImage* x = XGetImage(display_.get(), w, r.x(), r.y(), static_cast<unsigned>(width),
            static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (!x)
            return {};
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int i = 0; i < width; ++i)
                image.setPixel(i, y, static_cast<QRgb>(XGetPixel(x, i, y)) | 0xff000000u);
        XDestroyImage(x);
        return image;
    }
    // True once the area shows more than one colour (the page has painted it).
    bool WaitUntilDrawn(Window w, const QRect& area)
    {
        return WaitFor([&] {
            const QImage image = Grab(w, area);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != image.pixel(0, 0))
                        return true;
            return false;
        });
    }
    static SaverSettings Stored()
    {
        SaverSettings s;
        s.Load();
        return s;
    }

    // Mean of the absolute channel differences.
    static double MeanDifference(const QImage& a, const QImage& b)
    {
        double sum = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                    + std::abs(qBlue(p) - qBlue(q));
            }
        return sum / (3.0 * a.width() * a.height());
    }
    // The product picture as the preview shows it at this size.
    static QImage Expected(int width, int height)
    {
        const QImage picture
            = QImage(QStringLiteral(VELMORA_BITMAP145)).convertToFormat(QImage::Format_RGB32);
        if (picture.size() == QSize(width, height))
            return picture;
        return picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    // Waits until the host shows the picture within `tolerance`.
    bool ShowsPicture(Window host, int width, int height, double tolerance, double* last)
    {
        const QImage expected = Expected(width, height);
        return WaitFor([&] {
            *last = MeanDifference(Grab(host, width, height), expected);
            return *last <= tolerance;
        });
    }
    // Waits until the first child of `host` covers exactly its area.
    bool ChildFills(Window host, QSize size, QRect* last)
    {
        return WaitFor([&] {
            const std::vector<unsigned long> children = test::ChildWindows(display_.get(), host);
            XWindowAttributes a {};
            if (children.empty() || !XGetWindowAttributes(display_.get(), children[0], &a))
                return false;
            *last = QRect(a.x, a.y, a.width, a.height);
            return *last == QRect(QPoint(0, 0), size);
        });
    }

    test::PrivateXServer server_;
    test::DisplayConnection display_;
    testing::TempRegistry registry_;
    std::string dir_;
    ChildProcess program_;
};

// [SECTION] Embedded settings page

TEST_F(EmbeddingProgramTest, EmbeddedPageAnswersTheHostAndStoresOnClose)
{
    SaverSettings seeded;
    seeded.AnimationSpeed = 10;
    seeded.DemoMode = 1;
    seeded.RandomCameraStart = 0;
    seeded.CamMode = 2;
    ASSERT_TRUE(seeded.Save());

    const Window host = MakeHost(560, 360);
    ASSERT_TRUE(Start({Hex(host)}));
    const Window page = WaitForChild(host);
    ASSERT_NE(page, 0u);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(display_.get(), page, &a));
    EXPECT_EQ(QRect(a.x, a.y, a.width, a.height), QRect(0, 0, 560, 360));

    MemberMessenger messenger;
    ASSERT_TRUE(messenger.Open());
    // Restore Defaults: stored by the time the host's send returns.
    ASSERT_EQ(messenger.SendToHosted(host, MemberCommand::RestoreDefaults, kGenerousMs),
        MemberMessenger::Result::Handled);
    SaverSettings s = Stored();
    EXPECT_EQ(s.AnimationSpeed, 50);
    EXPECT_EQ(s.DemoMode, 0u);
    EXPECT_EQ(s.CamMode, 0);
    EXPECT_EQ(s.RandomCameraStart, 0u);

    // A person turns "Use desktop settings" off and "Demo mode" on.
    const QPoint useDesktop = CheckBoxPoint({23, 52});
    ASSERT_TRUE(WaitUntilDrawn(page, QRect(useDesktop - QPoint(6, 6), QSize(13, 13))));
    ClickAt(page, CheckBoxPoint({23, 52}));
    ClickAt(page, CheckBoxPoint({136, 111}));

    // Preview stores first, then starts this program full screen.
    ASSERT_EQ(
        messenger.SendToHosted(host, MemberCommand::Preview, kGenerousMs), MemberMessenger::Result::Handled);
    s = Stored();
    EXPECT_EQ(s.CurrentVideomode, 0);
    EXPECT_EQ(s.DemoMode, 1u);
    EXPECT_TRUE(WaitFor([&] { return GuardOwner() > 0; })) << "no full-screen run was started";
    if (const long preview = GuardOwner(); preview > 0)
        kill(static_cast<pid_t>(preview), SIGKILL);

    ASSERT_EQ(
        messenger.SendToHosted(host, MemberCommand::Close, kGenerousMs), MemberMessenger::Result::Handled);
    ASSERT_TRUE(program_.Wait(kGenerousMs));
    EXPECT_EQ(program_.ExitCode(), 0);
    s = Stored();
    EXPECT_EQ(s.AnimationSpeed, 50);
    EXPECT_EQ(s.CurrentVideomode, 0);
    EXPECT_EQ(s.DemoMode, 1u);
    EXPECT_EQ(s.RandomCameraStart, 0u);
    // The host's window stays; only the page left it.
    EXPECT_TRUE(XGetWindowAttributes(display_.get(), host, &a));
}

TEST_F(EmbeddingProgramTest, HostWindowGoingAwayStoresThePageAndEndsTheRun)
{
    const Window host = MakeHost(480, 320);
    ASSERT_TRUE(Start({Hex(host)}));
    const Window page = WaitForChild(host);
    ASSERT_NE(page, 0u);
    // A person turns "Random sequence" off. The page has taken the click
    // once the middle of that box looks like the middle of the unchecked
    // "Demo mode" box with the pointer moved away: a hover or pressed look
    // would tell too early.
    const QPoint point = CheckBoxPoint({40, 110});
    const QPoint unchecked = CheckBoxPoint({136, 111});
    const auto box = [](QPoint middle) { return QRect(middle - QPoint(2, 2), QSize(5, 5)); };
    ASSERT_TRUE(WaitUntilDrawn(page, QRect(point - QPoint(6, 6), QSize(13, 13))));
    ASSERT_NE(Grab(page, box(point)), Grab(page, box(unchecked))) << "checked at the start";
    ClickAt(page, point);
    XTestFakeMotionEvent(display_.get(), 0, 0, 0, CurrentTime);
    XSync(display_.get(), False);
    ASSERT_TRUE(WaitFor([&] { return Grab(page, box(point)) == Grab(page, box(unchecked)); }));
    XDestroyWindow(display_.get(), host);
    XSync(display_.get(), False);
    ASSERT_TRUE(program_.Wait(kGenerousMs));
    EXPECT_EQ(program_.ExitCode(), 0);
    EXPECT_EQ(Stored().RandomCameraStart, 0u);
}

TEST_F(EmbeddingProgramTest, ClickingTheModeListKeepsAStoredModeTheServerOffers)
{
    // The private server's only mode is its screen: 800x600 at 24 bits.
    testing::StoreSettings(testing::WithOwnMode({800, 600, 24}));
    const Window host = MakeHost(480, 320);
    ASSERT_TRUE(Start({Hex(host)}));
    const Window page = WaitForChild(host);
    ASSERT_NE(page, 0u);
    const ui::DialogUnits du(ui::TemplateFont());
    const QPoint combo = du.ToPixels(QPoint(21 + 45, 34)) + QPoint(0, du.ToPixelsY(5));
    ASSERT_TRUE(WaitUntilDrawn(page, QRect(combo - QPoint(20, 4), QSize(40, 9))));
    ClickAt(page, combo);
    MemberMessenger messenger;
    ASSERT_TRUE(messenger.Open());
    ASSERT_EQ(
        messenger.SendToHosted(host, MemberCommand::Close, kGenerousMs), MemberMessenger::Result::Handled);
    ASSERT_TRUE(program_.Wait(kGenerousMs));
    const SaverSettings s = Stored();
    EXPECT_EQ(s.CurrentVideomode, 0);
    EXPECT_EQ(s.XResolution, 800);
    EXPECT_EQ(s.ColorDepth, 24);
}

// [SECTION] Host preview

struct PreviewCase {
    int width;
    int height;
};

class PreviewProgramTest : public EmbeddingProgramTest, public ::testing::WithParamInterface<PreviewCase> { };

TEST_P(PreviewProgramTest, FillsTheHostWindowWithThePictureAndFollowsIt)
{
    const auto [width, height] = GetParam();
    const Window host = MakeHost(width, height);
    ASSERT_TRUE(Start({"/p", std::to_string(host)}));
    ASSERT_NE(WaitForChild(host), 0u);
    double difference = -1;
    // Unscaled at the picture's own size: every pixel exact.
    const double tolerance = width == 192 && height == 144 ? 0.0 : 1.0;
    EXPECT_TRUE(ShowsPicture(host, width, height, tolerance, &difference)) << difference;
    const QImage shot = Grab(host, width, height);
    shot.save(QString::fromStdString(dir_ + "/preview.png"));
    // Not the host's own green anywhere in the corners.
    for (QPoint p :
        {QPoint(0, 0), QPoint(width - 1, 0), QPoint(0, height - 1), QPoint(width - 1, height - 1)})
        EXPECT_NE(shot.pixel(p) & 0xffffff, 0x00ff00u) << p.x() << "," << p.y();

    // The host grows; the picture follows over the whole area.
    XResizeWindow(display_.get(), host, 300, 200);
    XSync(display_.get(), False);
    EXPECT_TRUE(ShowsPicture(host, 300, 200, 1.0, &difference)) << difference;

    XDestroyWindow(display_.get(), host);
    XSync(display_.get(), False);
    ASSERT_TRUE(program_.Wait(kGenerousMs));
    EXPECT_EQ(program_.ExitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PreviewProgramTest,
    ::testing::Values(PreviewCase {152, 112}, PreviewCase {192, 144}), [](const auto& info) {
        return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
    });

// [SECTION] Scaled displays

struct ScaleCase {
    const char* name;
    const char* scaleFactor; // QT_SCALE_FACTOR, or none
    int xftDpi; // the server's Xft.dpi resource, or 0 for none
};

class ScaledProgramTest : public EmbeddingProgramTest, public ::testing::WithParamInterface<ScaleCase> {
protected:
    void SetUp() override
    {
        EmbeddingProgramTest::SetUp();
        if (GetParam().scaleFactor)
            setenv("QT_SCALE_FACTOR", GetParam().scaleFactor, 1);
        if (GetParam().xftDpi > 0) {
            // As xrdb leaves it on the root window, where Qt reads it at start.
            const std::string resources = "Xft.dpi:\t" + std::to_string(GetParam().xftDpi) + "\n";
            XChangeProperty(display_.get(), DefaultRootWindow(display_.get()), XA_RESOURCE_MANAGER, XA_STRING,
                8, PropModeReplace, reinterpret_cast<const unsigned char*>(resources.data()),
                static_cast<int>(resources.size()));
            XSync(display_.get(), False);
        }
    }
    void TearDown() override
    {
        unsetenv("QT_SCALE_FACTOR");
        EmbeddingProgramTest::TearDown();
    }
    // The run shows its window over the whole host, follows it as it grows
    // and ends with it.
    void ExpectFillsAndFollows(Window host, const std::vector<std::string>& arguments)
    {
        ASSERT_TRUE(Start(arguments));
        ASSERT_NE(WaitForChild(host), 0u);
        QRect shown;
        EXPECT_TRUE(ChildFills(host, {560, 360}, &shown))
            << shown.width() << "x" << shown.height() << " at " << shown.x() << "," << shown.y();
        XResizeWindow(display_.get(), host, 600, 420);
        XSync(display_.get(), False);
        EXPECT_TRUE(ChildFills(host, {600, 420}, &shown))
            << shown.width() << "x" << shown.height() << " at " << shown.x() << "," << shown.y();
    }
    void EndWithHost(Window host)
    {
        XDestroyWindow(display_.get(), host);
        XSync(display_.get(), False);
        ASSERT_TRUE(program_.Wait(kGenerousMs));
        EXPECT_EQ(program_.ExitCode(), 0);
    }
};

TEST_P(ScaledProgramTest, EmbeddedPageFillsTheHostWindowExactly)
{
    const Window host = MakeHost(560, 360);
    ExpectFillsAndFollows(host, {Hex(host)});
    EndWithHost(host);
}

TEST_P(ScaledProgramTest, PreviewPictureFillsTheHostWindowExactly)
{
    const Window host = MakeHost(560, 360);
    ExpectFillsAndFollows(host, {"/p", std::to_string(host)});
    // Drawn at the screen's own pixels, as unscaled it would be.
    double difference = -1;
    EXPECT_TRUE(ShowsPicture(host, 600, 420, 1.0, &difference)) << difference;
    EndWithHost(host);
}

INSTANTIATE_TEST_SUITE_P(Scales, ScaledProgramTest,
    ::testing::Values(ScaleCase {"ScaleFactor2", "2", 0}, ScaleCase {"XftDpi192", nullptr, 192},
        ScaleCase {"Both", "2", 192}),
    [](const auto& info) { return std::string(info.param.name); });

// [SECTION] Ids that are no window

TEST_F(EmbeddingProgramTest, IdsThatAreNoWindowEndSilently)
{
    const Window live = MakeHost(200, 150);
    const Window dead = MakeHost(10, 10);
    XDestroyWindow(display_.get(), dead);
    XSync(display_.get(), False);
    char slashForm[32];
    std::snprintf(slashForm, sizeof slashForm, "/1:%lX", live);
    const std::vector<std::vector<std::string>> runs = {
        {"/p"}, {"/p", "0"}, {"/p", "junk"}, {"/p", std::to_string(dead)}, {Hex(dead)}, {"-1:"},
        {slashForm}, // only the minus form embeds
    };
    for (const auto& arguments : runs) {
        ChildProcess run;
        std::vector<std::string> all = {VELMORA3D_PATH};
        all.insert(all.end(), arguments.begin(), arguments.end());
        ASSERT_TRUE(run.Start(all));
        ASSERT_TRUE(run.Wait(kGenerousMs)) << all.back();
        EXPECT_EQ(run.ExitCode(), 0) << all.back();
    }
    EXPECT_TRUE(test::IsWindowViewable(display_.get(), live));
    EXPECT_TRUE(test::ChildWindows(display_.get(), live).empty());
}

} // namespace
} // namespace velmora
