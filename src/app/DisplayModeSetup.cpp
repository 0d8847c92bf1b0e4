#include "app/DisplayModeSetup.h"

namespace velmora {

DisplayModeOutcome ApplyConfiguredDisplayMode(
    SaverSettings& settings, platform::DisplayModeSwitcher& switcher, PixelSize fullScreenClient)
{
    const platform::DisplayMode desktop = switcher.Current();
    if (desktop.width == settings.XResolution && desktop.height == settings.YResolution
        && desktop.bitsPerPixel == settings.ColorDepth)
        settings.CurrentVideomode = 1;
    if (settings.CurrentVideomode != 0)
        return {};

    if (settings.XResolution == 0 || settings.YResolution == 0) {
        settings.XResolution = desktop.width;
        settings.YResolution = desktop.height;
    }
    if (settings.ColorDepth == 0)
        settings.ColorDepth = desktop.bitsPerPixel;

    if (switcher.ChangeTemporarily({settings.XResolution, settings.YResolution, settings.ColorDepth}))
        return {true, false};

    settings.XResolution = fullScreenClient.width;
    settings.YResolution = fullScreenClient.height;
    settings.CurrentVideomode = 1;
    return {false, true};
}

} // namespace velmora
