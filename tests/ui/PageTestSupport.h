#pragma once
// What the settings page and the collection dialog are tested over, with or
// without widgets: a fixed display-mode report, a process starter that only
// records, the stored record, and members registered in the collection.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/DisplayModes.h"
#include "platform/Process.h"
#include "platform/TempRegistry.h"
#include "settings/SaverSettings.h"

namespace velmora::testing {

// The system's report: 800x600 twice (60 and 75 Hz), an 8-bit and a 4-bit
// mode, a 16-bit mode, the stored default mode and a 32-bit twin of 1280x720.
inline const std::vector<platform::DisplayMode> kReportedModes = {
    {800, 600, 32},
    {800, 600, 32},
    {640, 480, 8},
    {1280, 720, 16},
    {320, 200, 4},
    {1024, 768, 16},
    {1280, 720, 32},
};

class FixedModes final : public platform::DisplayModeSource {
public:
    std::vector<platform::DisplayMode> EnumerateModes() const override
    {
        ++calls;
        return modes;
    }
    std::vector<platform::DisplayMode> modes = kReportedModes;
    mutable int calls = 0;
};

class RecordingStarter final : public platform::ProcessStarter {
public:
    bool StartDetached(const std::vector<std::string>& arguments) override
    {
        started.push_back(arguments);
        // What the registry held when the start was asked for.
        storedAtStart.Load();
        return succeed;
    }
    std::vector<std::vector<std::string>> started;
    SaverSettings storedAtStart;
    bool succeed = true;
};

inline SaverSettings StoredSettings()
{
    SaverSettings s;
    EXPECT_TRUE(s.Load());
    return s;
}

inline void StoreSettings(const SaverSettings& s)
{
    ASSERT_TRUE(s.Save());
}

// The default record with a display mode of its own: "Use desktop settings"
// off and `mode` stored.
inline SaverSettings WithOwnMode(const platform::DisplayMode& mode)
{
    SaverSettings s;
    s.XResolution = mode.width;
    s.YResolution = mode.height;
    s.ColorDepth = mode.bitsPerPixel;
    s.CurrentVideomode = 0;
    return s;
}

// Keeps the rest of the stored record.
inline void StoreSpeed(int32_t speed)
{
    SaverSettings s;
    s.Load();
    s.AnimationSpeed = speed;
    ASSERT_TRUE(s.Save());
}

} // namespace velmora::testing
