#include "ui/model/VideoModeList.h"

#include <algorithm>
#include <cstdio>

#include "settings/SaverSettings.h"

namespace velmora::ui {

std::string ModeLabel(int width, int height, int bitsPerPixel)
{
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d (%d bits)", width, height, bitsPerPixel);
    return text;
}

std::vector<platform::DisplayMode> OfferedModes(const std::vector<platform::DisplayMode>& reported)
{
    std::vector<platform::DisplayMode> offered;
    for (const platform::DisplayMode& mode : reported) {
        if (std::find(offered.begin(), offered.end(), mode) != offered.end())
            continue;
        if (mode.bitsPerPixel <= 8)
            continue;
        offered.push_back(mode);
    }
    return offered;
}

void VideoModeList::Select(int index)
{
    selected_ = index >= 0 && index < static_cast<int>(entries_.size()) ? index : -1;
}

const std::string& VideoModeList::SelectedText() const
{
    static const std::string kNone;
    return selected_ >= 0 ? entries_[static_cast<std::size_t>(selected_)].text : kNone;
}

void VideoModeList::ShowStoredMode(const SaverSettings& settings)
{
    if (entries_.size() == 1) {
        entries_.clear();
        selected_ = -1;
    }
    if (entries_.empty()) {
        entries_.push_back(
            {ModeLabel(settings.XResolution, settings.YResolution, settings.ColorDepth), kStoredModeItem});
        selected_ = 0;
    }
}

void VideoModeList::EnumerateModes(const platform::DisplayModeSource& source)
{
    modes_ = OfferedModes(source.EnumerateModes());
    entries_.clear();
    entries_.reserve(modes_.size());
    for (std::size_t i = 0; i < modes_.size(); ++i) {
        const platform::DisplayMode& m = modes_[i];
        entries_.push_back({ModeLabel(m.width, m.height, m.bitsPerPixel), static_cast<int>(i)});
    }
    selected_ = -1;
}

void VideoModeList::RefreshModes(const platform::DisplayModeSource& source)
{
    const std::string remembered = SelectedText();
    EnumerateModes(source);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].text == remembered) {
            selected_ = static_cast<int>(i);
            return;
        }
    }
}

void VideoModeList::EnsureModes(const platform::DisplayModeSource& source)
{
    if (modes_.empty())
        EnumerateModes(source);
}

void VideoModeList::ApplyTo(SaverSettings& settings) const
{
    if (selected_ < 0) {
        settings.CurrentVideomode = 1;
        return;
    }
    const int item = entries_[static_cast<std::size_t>(selected_)].itemValue;
    if (item >= 0 && item < static_cast<int>(modes_.size())) {
        const platform::DisplayMode& m = modes_[static_cast<std::size_t>(item)];
        settings.XResolution = m.width;
        settings.YResolution = m.height;
        settings.ColorDepth = m.bitsPerPixel;
    } else if (item != kStoredModeItem) {
        // Includes an index past the modes: never read outside the list.
        settings.CurrentVideomode = 1;
    }
}

} // namespace velmora::ui
