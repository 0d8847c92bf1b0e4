#pragma once
// The video-mode choice of the settings page, without any toolkit: the modes
// offered, the combo box's entries (text and item value) and its selection,
// and how the choice maps onto the stored display mode.

#include <string>
#include <vector>

#include "platform/DisplayModes.h"

namespace velmora {
class SaverSettings;
}

namespace velmora::ui {

// Item value of the single entry that stands for the stored mode before the
// system's modes have been enumerated.
inline constexpr int kStoredModeItem = -2;

struct ModeEntry {
    std::string text;
    int itemValue = 0; // index into the offered modes, or kStoredModeItem

    friend bool operator==(const ModeEntry&, const ModeEntry&) = default;
};

// "800x600 (32 bits)".
std::string ModeLabel(int width, int height, int bitsPerPixel);

// What the list offers from what the system reports: one mode per width,
// height and depth at the place of its first report (refresh rates fold
// together), never one of 8 bits per pixel or fewer. The system's order is
// kept; nothing is sorted.
std::vector<platform::DisplayMode> OfferedModes(const std::vector<platform::DisplayMode>& reported);

class VideoModeList {
public:
    const std::vector<platform::DisplayMode>& Modes() const { return modes_; }
    const std::vector<ModeEntry>& Entries() const { return entries_; }
    // Index of the selected entry; -1 when nothing is selected.
    int Selected() const { return selected_; }
    // An index outside the entries selects nothing.
    void Select(int index);
    const std::string& SelectedText() const;

    // Forgets the enumerated modes (the entries stay).
    void ClearModes() { modes_.clear(); }

    // When the page (re)loads its controls: a list of exactly one entry is
    // emptied, and an empty list gets the stored mode's entry, selected. A
    // list of two or more enumerated entries stays as it is, selection
    // included.
    void ShowStoredMode(const SaverSettings& settings);

    // Rebuilds the modes and the entries from the system; nothing is
    // selected afterwards.
    void EnumerateModes(const platform::DisplayModeSource& source);
    // Enumerates and selects the first entry with the text selected before
    // (letter case included); nothing when no entry has it.
    void RefreshModes(const platform::DisplayModeSource& source);
    // Enumerates only when no modes are known yet.
    void EnsureModes(const platform::DisplayModeSource& source);

    // Puts the choice into the settings: an enumerated mode gives the three
    // mode values, the stored-mode entry keeps them, and no selection (or
    // an unknown item value) means "keep the desktop's mode".
    void ApplyTo(SaverSettings& settings) const;

private:
    std::vector<platform::DisplayMode> modes_;
    std::vector<ModeEntry> entries_;
    int selected_ = -1;
};

} // namespace velmora::ui
