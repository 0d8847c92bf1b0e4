#include "platform/win32/Win32Display.h"

#include "platform/AppDisplay.h"
#include "platform/win32/WinHandles.h"

namespace velmora::platform {
namespace {

DisplayMode ModeOf(const DEVMODEW& mode)
{
    return {static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight),
        static_cast<int>(mode.dmBitsPerPel)};
}

class Win32Switcher final : public DisplayModeSwitcher {
public:
    ~Win32Switcher() override { Restore(); }

    DisplayMode Current() const override
    {
        DEVMODEW mode {};
        mode.dmSize = sizeof mode;
        if (::EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode))
            return ModeOf(mode);
        // Without the display's record, the screen's own metrics.
        const win32::WindowDc screen(nullptr);
        return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
            screen ? ::GetDeviceCaps(screen.Get(), BITSPIXEL) : 0};
    }

    bool ChangeTemporarily(const DisplayMode& wanted) override
    {
        if (wanted.width <= 0 || wanted.height <= 0 || wanted.bitsPerPixel <= 0)
            return false;
        // Only the three fields the settings name are set; the driver keeps
        // its own choice of refresh rate.
        DEVMODEW mode {};
        mode.dmSize = sizeof mode;
        mode.dmPelsWidth = static_cast<DWORD>(wanted.width);
        mode.dmPelsHeight = static_cast<DWORD>(wanted.height);
        mode.dmBitsPerPel = static_cast<DWORD>(wanted.bitsPerPixel);
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
        if (::ChangeDisplaySettingsW(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL)
            return false;
        changed_ = true;
        return true;
    }

    void Restore() override
    {
        // The no-mode change puts back the mode stored in the registry; only
        // made after a change of ours, so a desktop changed meanwhile by the
        // user stays as it is.
        if (changed_)
            ::ChangeDisplaySettingsW(nullptr, 0);
        changed_ = false;
    }

private:
    bool changed_ = false;
};

class Win32ModeSource final : public DisplayModeSource {
public:
    std::vector<DisplayMode> EnumerateModes() const override
    {
        std::vector<DisplayMode> modes;
        DEVMODEW mode {};
        mode.dmSize = sizeof mode;
        for (DWORD i = 0; i < 4096 && ::EnumDisplaySettingsW(nullptr, i, &mode); ++i) {
            modes.push_back(ModeOf(mode));
            mode = {};
            mode.dmSize = sizeof mode;
        }
        return modes;
    }
};

} // namespace

std::unique_ptr<DisplayModeSwitcher> MakeWin32DisplaySwitcher()
{
    return std::make_unique<Win32Switcher>();
}

std::unique_ptr<DisplayModeSource> MakeWin32DisplayModeSource()
{
    return std::make_unique<Win32ModeSource>();
}

std::unique_ptr<DisplayModeSource> OpenDisplayModeSource()
{
    return MakeWin32DisplayModeSource();
}

bool SetWin32ScreenSaverRunning(bool running)
{
    BOOL previous = FALSE;
    return ::SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, running ? TRUE : FALSE, &previous, 0) != FALSE;
}

} // namespace velmora::platform
