// The settings page of template 133 and its About page, on Qt's offscreen
// platform, over a fixed display-mode list and a private registry file.

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

#include "platform/DisplayModes.h"
#include "platform/Process.h"
#include "platform/TempRegistry.h"
#include "settings/SaverSettings.h"
#include "ui/AboutPage.h"
#include "ui/DialogUnits.h"
#include "ui/ProductPicture.h"
#include "ui/SettingsPage.h"

namespace velmora::ui {
namespace {

using platform::DisplayMode;

class FixedModes final : public platform::DisplayModeSource {
public:
    std::vector<DisplayMode> EnumerateModes() const override
    {
        // 60 and 75 Hz twins, an 8-bit mode, a 16-bit mode, the stored default.
        return {{800, 600, 32}, {800, 600, 32}, {640, 480, 8}, {1280, 720, 16}, {1024, 768, 16}};
    }
};

class RecordingStarter final : public platform::ProcessStarter {
public:
    bool StartDetached(const std::vector<std::string>& arguments) override
    {
        started.push_back(arguments);
        return true;
    }
    std::vector<std::vector<std::string>> started;
};

class SettingsPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "ui_settings_page_test";
        static char* argv[] = {name, nullptr};
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QApplication::instance())
            new QApplication(argc, argv); // lives for the whole process
    }

    static void Store(const SaverSettings& s) { ASSERT_TRUE(s.Save()); }
    static SaverSettings Stored()
    {
        SaverSettings s;
        EXPECT_TRUE(s.Load());
        return s;
    }

    void Open()
    {
        SettingsPage::Services services;
        services.displayModes = &modes_;
        services.starter = &starter_;
        services.programPath = [] { return std::string("/usr/games/Velmora3D"); };
        page_ = std::make_unique<SettingsPage>(services);
        page_->show();
    }
    // Destroys the page, which stores its settings.
    void Close() { page_.reset(); }

    template<typename T> T* Control(int id) const
    {
        T* control = page_->findChild<T*>(QString::number(id));
        EXPECT_NE(control, nullptr) << id;
        return control;
    }
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
    QStringList ModeTexts() const
    {
        QStringList texts;
        for (int i = 0; i < ModeCombo()->count(); ++i)
            texts << ModeCombo()->itemText(i);
        return texts;
    }

    testing::TempRegistry registry_;
    FixedModes modes_;
    RecordingStarter starter_;
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

// [SECTION] Behaviour

TEST_F(SettingsPageTest, OpensWithTheStoredModeEntryAndTheComboDisabled)
{
    Open();
    EXPECT_EQ(ModeTexts(), QStringList {"1024x768 (16 bits)"});
    EXPECT_EQ(ModeCombo()->currentIndex(), 0);
    EXPECT_EQ(ModeCombo()->itemData(0).toInt(), -2);
    EXPECT_FALSE(ModeCombo()->isEnabled());
    EXPECT_EQ(Speed()->value(), 50);
    EXPECT_TRUE(Check(page133::kUseDesktop)->isChecked());
    EXPECT_TRUE(Check(page133::kRandomSequence)->isChecked());
    EXPECT_FALSE(Check(page133::kDemoMode)->isChecked());
    EXPECT_EQ(CameraCombo()->currentIndex(), 0);
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
    // Stored only when the page goes.
    EXPECT_EQ(registry_.Read().find("CurrentVideomode"), std::string::npos);
    Close();
    EXPECT_EQ(Stored().CurrentVideomode, 0);
}

TEST_F(SettingsPageTest, RestoreDefaultsKeepsRandomSequence)
{
    SaverSettings s;
    s.RandomCameraStart = 0;
    s.AnimationSpeed = 5;
    s.DemoMode = 1;
    s.CurrentVideomode = 0;
    Store(s);
    Open();
    EXPECT_EQ(Speed()->value(), 5);
    Speed()->setValue(77);
    page_->RestoreDefaults();
    EXPECT_EQ(Speed()->value(), 50);
    EXPECT_FALSE(Check(page133::kDemoMode)->isChecked());
    EXPECT_TRUE(Check(page133::kUseDesktop)->isChecked());
    EXPECT_FALSE(Check(page133::kRandomSequence)->isChecked());
    EXPECT_FALSE(ModeCombo()->isEnabled());
}

TEST_F(SettingsPageTest, StoredCameraFiveShowsNoSelectionAndIsSavedAsMinusOne)
{
    SaverSettings s;
    s.CamMode = 5;
    Store(s);
    Open();
    EXPECT_EQ(CameraCombo()->currentIndex(), -1);
    Close();
    EXPECT_EQ(Stored().CamMode, -1);
}

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
    EXPECT_EQ(Stored().CamMode, 2);
}

TEST_F(SettingsPageTest, FocusFillsTheListKeepingTheStoredModeSelected)
{
    Open();
    FocusModeCombo();
    EXPECT_EQ(ModeTexts(), (QStringList {"800x600 (32 bits)", "1280x720 (16 bits)", "1024x768 (16 bits)"}));
    EXPECT_EQ(ModeCombo()->currentText(), "1024x768 (16 bits)");
    EXPECT_EQ(ModeCombo()->currentData().toInt(), 2);
    ModeCombo()->setCurrentIndex(0); // the user's choice, "Use desktop settings" still on
    Close();
    const SaverSettings s = Stored();
    EXPECT_EQ((DisplayMode {s.XResolution, s.YResolution, s.ColorDepth}), (DisplayMode {800, 600, 32}));
    EXPECT_EQ(s.CurrentVideomode, 1);
}

TEST_F(SettingsPageTest, AStoredModeNotOfferedLosesItsSelectionAndSavesDesktop)
{
    SaverSettings s;
    s.XResolution = 1600;
    s.YResolution = 1200;
    s.ColorDepth = 32;
    s.CurrentVideomode = 0;
    Store(s);
    Open();
    EXPECT_EQ(ModeTexts(), QStringList {"1600x1200 (32 bits)"});
    EXPECT_TRUE(ModeCombo()->isEnabled());
    FocusModeCombo();
    EXPECT_EQ(ModeCombo()->count(), 3);
    EXPECT_EQ(ModeCombo()->currentIndex(), -1);
    Close();
    EXPECT_EQ(Stored().CurrentVideomode, 1);
}

TEST_F(SettingsPageTest, DropDownFillsAnEmptyListOnce)
{
    SaverSettings s;
    s.CurrentVideomode = 0;
    Store(s);
    Open();
    ModeCombo()->showPopup();
    EXPECT_EQ(ModeCombo()->count(), 3);
    ModeCombo()->hidePopup();
    ModeCombo()->setCurrentIndex(1);
    ModeCombo()->showPopup();
    ModeCombo()->hidePopup();
    EXPECT_EQ(ModeCombo()->currentText(), "1280x720 (16 bits)");
}

TEST_F(SettingsPageTest, ClosingStoresEveryControl)
{
    Open();
    Speed()->setValue(64);
    Check(page133::kDemoMode)->setChecked(true);
    Check(page133::kRandomSequence)->setChecked(false);
    Check(page133::kUseDesktop)->setChecked(false);
    CameraCombo()->setCurrentIndex(1);
    Close();
    const SaverSettings s = Stored();
    EXPECT_EQ(s.AnimationSpeed, 64);
    EXPECT_EQ(s.DemoMode, 1u);
    EXPECT_EQ(s.RandomCameraStart, 0u);
    EXPECT_EQ(s.CurrentVideomode, 0);
    EXPECT_EQ(s.CamMode, 1);
}

TEST_F(SettingsPageTest, PreviewSavesAndStartsTheProgramFullScreen)
{
    Open();
    Speed()->setValue(20);
    page_->Preview();
    ASSERT_EQ(starter_.started.size(), 1u);
    EXPECT_EQ(starter_.started[0], (std::vector<std::string> {"/usr/games/Velmora3D", "/sp"}));
    EXPECT_EQ(Stored().AnimationSpeed, 20);
}

} // namespace
} // namespace velmora::ui
