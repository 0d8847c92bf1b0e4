// The settings page of template 133 and its About page, on Qt's offscreen
// platform: what the widgets add to the page's model (binding of each
// control, captions and places, enabling, the tabs, and the host's Restore
// Defaults and Preview commands 1027 and 1028). The model's own rules are
// tested without widgets in SettingsPageModelTest.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "ui/PageWidgetFixture.h"
#include "ui/qt/AboutPage.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/ProductPicture.h"
#include "ui/qt/SettingsPage.h"

namespace velmora::ui {
namespace {

using platform::DisplayMode;
using testing::StoredSettings;
using testing::StoreSettings;

class SettingsPageTest : public testing::PageWidgetFixture {
protected:
    void Open()
    {
        page_ = std::make_unique<SettingsPage>(PageServices());
        page_->show();
    }
    // Destroys the page, which stores its settings.
    void Close() { page_.reset(); }

    template<typename T> T* Control(int id) const { return testing::ControlById<T>(page_.get(), id); }
    QComboBox* ModeCombo() const { return Control<QComboBox>(page133::kVideoMode); }
    QComboBox* CameraCombo() const { return Control<QComboBox>(page133::kCamera); }
    QLabel* CameraLabel() const { return page_->findChild<QLabel*>(page133::kCameraLabelName); }
    QCheckBox* Check(int id) const { return Control<QCheckBox>(id); }
    QSlider* Speed() const { return Control<QSlider>(page133::kSpeed); }

    void FocusModeCombo() const
    {
        QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(ModeCombo(), &focus);
    }
    void SelectTab(int index) const { Control<QTabWidget>(page133::kTabs)->setCurrentIndex(index); }
    static QStringList Texts(const QComboBox* combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    }
    std::unique_ptr<SettingsPage> page_;
};

// [SECTION] Controls and geometry of the template

struct ControlCase {
    int id;
    const char* className;
    const char* text; // nullptr: no text to check
    QRect units;
};

class SettingsPageControlTest : public SettingsPageTest,
                                public ::testing::WithParamInterface<ControlCase> { };

TEST_P(SettingsPageControlTest, ControlHasItsIdTextAndPlace)
{
    Open();
    const ControlCase& c = GetParam();
    QWidget* control = Control<QWidget>(c.id);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->inherits(c.className)) << control->metaObject()->className();
    if (c.text) {
        EXPECT_EQ(control->property("text").toString(), QString::fromUtf8(c.text));
    }
    const DialogUnits units(TemplateFont());
    EXPECT_EQ(control->pos(), units.ToPixels(c.units.topLeft()));
    EXPECT_EQ(control->width(), units.ToPixelsX(c.units.width()));
    // Combo boxes keep their closed height; every other control its template height.
    if (!control->inherits("QComboBox")) {
        EXPECT_EQ(control->height(), units.ToPixelsY(c.units.height()));
    }
}

INSTANTIATE_TEST_SUITE_P(Template133, SettingsPageControlTest,
    ::testing::Values(ControlCase {1039, "QTabWidget", nullptr, {0, 0, 271, 177}},
        ControlCase {1004, "QComboBox", nullptr, {21, 34, 91, 123}},
        ControlCase {1005, "QCheckBox", "Use desktop settings", {23, 52, 82, 10}},
        ControlCase {1003, "QSlider", nullptr, {17, 80, 103, 17}},
        ControlCase {1009, "QCheckBox", "Random sequence", {40, 110, 73, 10}},
        ControlCase {1022, "QCheckBox", "Ignore mouse move (\"Demo mode\")", {136, 111, 126, 8}},
        ControlCase {1053, "QComboBox", nullptr, {47, 165, 74, 76}}),
    [](const auto& info) { return "Id" + std::to_string(info.param.id); });

TEST_F(SettingsPageTest, TemplateTextsTabsAndPicture)
{
    Open();
    EXPECT_EQ(page_->size(), DialogUnits(TemplateFont()).ToPixels(QSize(272, 178)));
    auto* tabs = Control<QTabWidget>(page133::kTabs);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "&Velmora 3D");
    EXPECT_EQ(tabs->tabText(1), "&About");
    QStringList texts;
    for (const QLabel* label : page_->findChildren<QLabel*>())
        texts << label->text();
    for (const char* text : {"Animation speed:", "slow", "fast", "Camera:"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
    QStringList cameras;
    for (int i = 0; i < CameraCombo()->count(); ++i)
        cameras << CameraCombo()->itemText(i);
    EXPECT_EQ(cameras, (QStringList {"Cycle All (default)", "Satellite flyby", "Planetary orbit"}));
    EXPECT_EQ(Speed()->minimum(), 0);
    EXPECT_EQ(Speed()->maximum(), 100);
    const auto* picture = page_->findChild<QLabel*>(page133::kPictureName);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixmap().size(), QSize(192, 144));
}

TEST_F(SettingsPageTest, ProductPictureIsA256ColourBitmapOfTheTemplateSize)
{
    const QByteArray bytes = BitmapResourceBytes(kProductPictureId);
    ASSERT_GT(bytes.size(), 54);
    EXPECT_TRUE(bytes.startsWith("BM"));
    EXPECT_EQ(static_cast<uint8_t>(bytes[28]), 8); // bits per pixel
    const QImage image(BitmapResourcePath(kProductPictureId));
    EXPECT_EQ(image.size(), QSize(kProductPictureWidth, kProductPictureHeight));
    EXPECT_LE(image.colorCount(), 256);
    EXPECT_GT(image.colorCount(), 16); // a picture, not a placeholder
}

// [SECTION] Binding of the controls to the stored record

struct StoredRecord {
    int32_t speed;
    uint32_t randomSequence;
    uint32_t demoMode;
    int32_t camera;
    int32_t useDesktop;
    DisplayMode mode;
};

struct BindingCase {
    const char* name;
    StoredRecord stored;
    int cameraIndex; // the camera combo's selection
    const char* modeText; // the mode combo's one entry
    int32_t cameraStoredBack; // what closing the page stores for the camera
};

class SettingsPageBindingTest : public SettingsPageTest,
                                public ::testing::WithParamInterface<BindingCase> { };

TEST_P(SettingsPageBindingTest, ControlsShowTheStoredRecordAndClosingStoresItBack)
{
    const BindingCase& c = GetParam();
    SaverSettings s;
    s.AnimationSpeed = c.stored.speed;
    s.RandomCameraStart = c.stored.randomSequence;
    s.DemoMode = c.stored.demoMode;
    s.CamMode = c.stored.camera;
    s.CurrentVideomode = c.stored.useDesktop;
    s.XResolution = c.stored.mode.width;
    s.YResolution = c.stored.mode.height;
    s.ColorDepth = c.stored.mode.bitsPerPixel;
    StoreSettings(s);
    Open();
    EXPECT_EQ(Speed()->value(), c.stored.speed);
    EXPECT_EQ(Check(page133::kRandomSequence)->isChecked(), c.stored.randomSequence != 0);
    EXPECT_EQ(Check(page133::kDemoMode)->isChecked(), c.stored.demoMode != 0);
    EXPECT_EQ(Check(page133::kUseDesktop)->isChecked(), c.stored.useDesktop != 0);
    EXPECT_EQ(ModeCombo()->isEnabled(), c.stored.useDesktop == 0);
    EXPECT_EQ(CameraCombo()->currentIndex(), c.cameraIndex);
    // Nothing enumerated yet: the stored mode is the one entry, selected.
    EXPECT_EQ(Texts(ModeCombo()), QStringList {c.modeText});
    EXPECT_EQ(ModeCombo()->currentIndex(), 0);
    EXPECT_EQ(ModeCombo()->itemData(0).toInt(), kStoredModeItem);

    Close();
    const SaverSettings back = StoredSettings();
    EXPECT_EQ(back.AnimationSpeed, c.stored.speed);
    EXPECT_EQ(back.RandomCameraStart, c.stored.randomSequence);
    EXPECT_EQ(back.DemoMode, c.stored.demoMode);
    EXPECT_EQ(back.CamMode, c.cameraStoredBack);
    EXPECT_EQ(back.CurrentVideomode, c.stored.useDesktop);
    EXPECT_EQ((DisplayMode {back.XResolution, back.YResolution, back.ColorDepth}), c.stored.mode);
}

INSTANTIATE_TEST_SUITE_P(Records, SettingsPageBindingTest,
    ::testing::Values(BindingCase {"Defaults", {50, 1, 0, 0, 1, {1024, 768, 16}}, 0, "1024x768 (16 bits)", 0},
        BindingCase {"EveryValueChanged", {5, 0, 1, 2, 0, {800, 600, 32}}, 2, "800x600 (32 bits)", 2},
        // Camera 5 has no entry: no selection, stored back as -1.
        BindingCase {"CameraWithoutEntry", {50, 1, 0, 5, 1, {1024, 768, 16}}, -1, "1024x768 (16 bits)", -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsPageTest, ClosingStoresWhatTheUserChanged)
{
    Open();
    Speed()->setValue(64);
    Check(page133::kDemoMode)->setChecked(true);
    Check(page133::kRandomSequence)->setChecked(false);
    Check(page133::kUseDesktop)->setChecked(false);
    CameraCombo()->setCurrentIndex(1);
    Close();
    const SaverSettings s = StoredSettings();
    EXPECT_EQ(s.AnimationSpeed, 64);
    EXPECT_EQ(s.DemoMode, 1u);
    EXPECT_EQ(s.RandomCameraStart, 0u);
    EXPECT_EQ(s.CurrentVideomode, 0);
    EXPECT_EQ(s.CamMode, 1);
}

TEST_F(SettingsPageTest, ClickingUseDesktopEnablesTheComboExactlyWhenOff)
{
    Open();
    QCheckBox* box = Check(page133::kUseDesktop);
    for (bool expectEnabled : {true, false, true}) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        EXPECT_EQ(box->isChecked(), !expectEnabled);
        EXPECT_EQ(ModeCombo()->isEnabled(), expectEnabled);
    }
}

// [SECTION] The mode list: filled on focus or drop-down

TEST_F(SettingsPageTest, FocusFillsTheListKeepingTheStoredModeSelected)
{
    Open();
    FocusModeCombo();
    EXPECT_EQ(Texts(ModeCombo()),
        (QStringList {
            "800x600 (32 bits)", "1280x720 (16 bits)", "1024x768 (16 bits)", "1280x720 (32 bits)"}));
    EXPECT_EQ(ModeCombo()->currentText(), "1024x768 (16 bits)");
    EXPECT_EQ(ModeCombo()->currentData().toInt(), 2);
    ModeCombo()->setCurrentIndex(0); // the user's choice, "Use desktop settings" still on
    Close();
    const SaverSettings s = StoredSettings();
    EXPECT_EQ((DisplayMode {s.XResolution, s.YResolution, s.ColorDepth}), (DisplayMode {800, 600, 32}));
    EXPECT_EQ(s.CurrentVideomode, 1);
}

// A filled combo box selects its first entry by itself; the page must show
// "no selection" when the stored mode is not offered.
TEST_F(SettingsPageTest, AStoredModeNotOfferedShowsNoSelection)
{
    StoreSettings(testing::WithOwnMode({1600, 1200, 32}));
    Open();
    FocusModeCombo();
    EXPECT_EQ(ModeCombo()->count(), 4);
    EXPECT_EQ(ModeCombo()->currentIndex(), -1);
    Close();
    EXPECT_EQ(StoredSettings().CurrentVideomode, 1);
}

TEST_F(SettingsPageTest, DropDownFillsAnEmptyListOnce)
{
    StoreSettings(testing::WithOwnMode({1024, 768, 16}));
    Open();
    ModeCombo()->showPopup();
    EXPECT_EQ(ModeCombo()->count(), 4);
    ModeCombo()->hidePopup();
    ModeCombo()->setCurrentIndex(1);
    ModeCombo()->showPopup();
    ModeCombo()->hidePopup();
    EXPECT_EQ(ModeCombo()->currentText(), "1280x720 (16 bits)");
}

// [SECTION] Tabs and the host's commands

TEST_F(SettingsPageTest, CameraRowAppearsAfterVisitingAbout)
{
    Open();
    EXPECT_FALSE(CameraLabel()->isVisible());
    EXPECT_FALSE(CameraCombo()->isVisible());
    EXPECT_EQ(page_->About(), nullptr);

    SelectTab(1);
    ASSERT_NE(page_->About(), nullptr);
    EXPECT_TRUE(page_->About()->isVisible());
    EXPECT_FALSE(ModeCombo()->isVisible());
    EXPECT_FALSE(Speed()->isVisible());
    EXPECT_TRUE(Control<QTabWidget>(page133::kTabs)->isVisible());
    QStringList aboutTexts;
    for (const QLabel* label : page_->About()->findChildren<QLabel*>())
        aboutTexts << label->text();
    for (const char* text :
        {page142::kTitle, page142::kContactUs, page142::kWeb, page142::kMail, page142::kCollection})
        EXPECT_TRUE(aboutTexts.contains(QString::fromUtf8(text))) << text;

    SelectTab(0);
    EXPECT_EQ(page_->About(), nullptr);
    EXPECT_TRUE(CameraLabel()->isVisible());
    EXPECT_TRUE(CameraCombo()->isVisible());
    EXPECT_TRUE(Speed()->isVisible());
    CameraCombo()->setCurrentIndex(2);
    Close();
    EXPECT_EQ(StoredSettings().CamMode, 2);
}

// Restore Defaults (1027) shows the defaults in the controls; Preview (1028)
// stores the controls first, then starts the program full screen.
TEST_F(SettingsPageTest, HostCommandsActOnTheControls)
{
    SaverSettings s = testing::WithOwnMode({800, 600, 32});
    s.AnimationSpeed = 5;
    s.DemoMode = 1;
    s.CamMode = 2;
    StoreSettings(s);
    Open();
    page_->RestoreDefaults();
    EXPECT_EQ(Speed()->value(), 50);
    EXPECT_FALSE(Check(page133::kDemoMode)->isChecked());
    EXPECT_TRUE(Check(page133::kUseDesktop)->isChecked());
    EXPECT_FALSE(ModeCombo()->isEnabled());
    EXPECT_EQ(CameraCombo()->currentIndex(), 0);

    Speed()->setValue(20);
    page_->Preview();
    EXPECT_EQ(starter_.started, (std::vector<std::vector<std::string>> {{kProgram, "/sp"}}));
    EXPECT_EQ(starter_.storedAtStart.AnimationSpeed, 20);
}

} // namespace
} // namespace velmora::ui
