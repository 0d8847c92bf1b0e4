#pragma once
// The fixture of the widget tests of the settings page and the collection
// dialog: one QApplication per process on Qt's offscreen platform (unless the
// test names another), a private registry file, the fixed display modes and
// the recording starter.

#include <gtest/gtest.h>

#include "platform/TempRegistry.h"
#include "ui/OffscreenApplication.h"
#include "ui/PageTestSupport.h"
#include "ui/qt/SettingsPage.h"

namespace velmora::testing {

// The control with dialog id `id` under `parent` (its object name); a test
// failure when there is none.
template<typename T> T* ControlById(const QObject* parent, int id)
{
    T* control = parent->findChild<T*>(QString::number(id));
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
}

class PageWidgetFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureOffscreenApplication(); }

    // The page's services over this fixture's fakes; Preview starts kProgram.
    ui::SettingsPage::Services PageServices();

    static constexpr const char* kProgram = "/usr/games/Velmora3D";

    TempRegistry registry_;
    FixedModes modes_;
    RecordingStarter starter_;
};

} // namespace velmora::testing
