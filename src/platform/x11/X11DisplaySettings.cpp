#include "platform/x11/X11DisplaySettings.h"

#include <memory>

#include <X11/Xlib.h>

#include <X11/extensions/Xrandr.h>

namespace velmora::platform {

namespace {

struct ScreenConfigDeleter {
    void operator()(XRRScreenConfiguration* config) const { XRRFreeScreenConfigInfo(config); }
};
using ScreenConfig = std::unique_ptr<XRRScreenConfiguration, ScreenConfigDeleter>;

bool HasRandr(Display* display)
{
    int eventBase = 0;
    int errorBase = 0;
    return display && XRRQueryExtension(display, &eventBase, &errorBase);
}

ScreenConfig ReadScreenConfig(Display* display)
{
    if (!HasRandr(display))
        return nullptr;
    return ScreenConfig(XRRGetScreenInfo(display, DefaultRootWindow(display)));
}

// A refused request arrives as an X error; Xlib's default handler would end
// the process, so errors are collected while a change is on its way.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display)
        : display_(display)
    {
        XSync(display_, False);
        failed_ = false;
        previous_ = XSetErrorHandler(&ErrorTrap::Record);
    }
    ~ErrorTrap() { XSetErrorHandler(previous_); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    bool Failed()
    {
        XSync(display_, False);
        return failed_;
    }

private:
    static int Record(Display*, XErrorEvent*)
    {
        failed_ = true;
        return 0;
    }

    Display* display_;
    XErrorHandler previous_ = nullptr;
    static inline bool failed_ = false;
};

bool ApplySize(Display* display, int sizeIndex, Rotation rotation, short rate)
{
    ScreenConfig config = ReadScreenConfig(display);
    if (!config)
        return false;
    ErrorTrap trap(display);
    const Status status = rate > 0 ? XRRSetScreenConfigAndRate(display, config.get(),
                              DefaultRootWindow(display), sizeIndex, rotation, rate, CurrentTime)
                                   : XRRSetScreenConfig(display, config.get(), DefaultRootWindow(display),
                                       sizeIndex, rotation, CurrentTime);
    return !trap.Failed() && status == RRSetConfigSuccess;
}

} // namespace

X11DisplaySettings::X11DisplaySettings(Display* display)
    : display_(display)
{
}

X11DisplaySettings::~X11DisplaySettings()
{
    Restore();
}

DisplayMode X11DisplaySettings::Current() const
{
    if (!display_)
        return {};
    const int screen = DefaultScreen(display_);
    DisplayMode mode {
        DisplayWidth(display_, screen), DisplayHeight(display_, screen), DefaultDepth(display_, screen)};
    // Xlib's copy of the screen size is only updated by events; after a
    // change of our own the server's answer is the one to trust.
    if (ScreenConfig config = ReadScreenConfig(display_)) {
        int sizeCount = 0;
        const XRRScreenSize* sizes = XRRConfigSizes(config.get(), &sizeCount);
        Rotation rotation = 0;
        const SizeID current = XRRConfigCurrentConfiguration(config.get(), &rotation);
        if (sizes && current < sizeCount) {
            const bool turned = rotation & (RR_Rotate_90 | RR_Rotate_270);
            mode.width = turned ? sizes[current].height : sizes[current].width;
            mode.height = turned ? sizes[current].width : sizes[current].height;
        }
    }
    return mode;
}

std::vector<DisplayMode> X11DisplaySettings::Enumerate() const
{
    std::vector<DisplayMode> modes;
    ScreenConfig config = ReadScreenConfig(display_);
    if (!config)
        return modes;
    const int depth = DefaultDepth(display_, DefaultScreen(display_));
    int sizeCount = 0;
    const XRRScreenSize* sizes = XRRConfigSizes(config.get(), &sizeCount);
    for (int i = 0; sizes && i < sizeCount; ++i) {
        int rateCount = 0;
        XRRConfigRates(config.get(), i, &rateCount);
        for (int r = 0; r < (rateCount > 0 ? rateCount : 1); ++r)
            modes.push_back({sizes[i].width, sizes[i].height, depth});
    }
    return modes;
}

bool X11DisplaySettings::ChangeTemporarily(const DisplayMode& mode)
{
    // The depth of an X screen is fixed for the server's life.
    if (mode.bitsPerPixel != Current().bitsPerPixel)
        return false;
    ScreenConfig config = ReadScreenConfig(display_);
    if (!config)
        return false;
    int sizeCount = 0;
    const XRRScreenSize* sizes = XRRConfigSizes(config.get(), &sizeCount);
    int wanted = -1;
    for (int i = 0; sizes && i < sizeCount; ++i) {
        if (sizes[i].width == mode.width && sizes[i].height == mode.height) {
            wanted = i;
            break;
        }
    }
    if (wanted < 0)
        return false;

    Rotation rotation = 0;
    const SizeID currentSize = XRRConfigCurrentConfiguration(config.get(), &rotation);
    const short currentRate = XRRConfigCurrentRate(config.get());
    if (!changed_) {
        savedSize_ = currentSize;
        savedRotation_ = rotation;
        savedRate_ = currentRate;
    }
    if (wanted == currentSize)
        return true;
    if (!ApplySize(display_, wanted, rotation, 0))
        return false;
    changed_ = true;
    return true;
}

void X11DisplaySettings::Restore()
{
    if (!changed_)
        return;
    changed_ = false;
    ApplySize(display_, savedSize_, savedRotation_, savedRate_);
}

std::vector<DisplayMode> X11DisplayModeSource::EnumerateModes() const
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    std::vector<DisplayMode> modes = X11DisplaySettings(display).Enumerate();
    XCloseDisplay(display);
    return modes;
}

} // namespace velmora::platform
