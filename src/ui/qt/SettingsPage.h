#pragma once
// The program's settings page (dialog template 133): a captionless child
// page that any host embeds, the collection dialog of this program or
// another member's dialog in another process. It loads the settings when it
// is created and stores them whenever it is destroyed. Its behaviour lives
// in SettingsPageModel; this class is the Qt view of it.

#include <QComboBox>
#include <QWidget>

#include <memory>

#include "ui/model/SettingsPageModel.h"

class QCheckBox;
class QLabel;
class QSlider;
class QTabWidget;

namespace velmora::platform {
class DisplayModeSource;
class ProcessStarter;
} // namespace velmora::platform

namespace velmora::ui {

class AboutPage;

// The video-mode combo box: tells the page when its list is about to drop
// down, before the list is shown, so the page can fill it first.
class ModeComboBox final : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
signals:
    void aboutToDropDown();
};

class SettingsPage final : public QWidget, private SettingsPageView {
    Q_OBJECT
public:
    // Template size in dialog units.
    static constexpr QSize kSizeUnits {272, 178};

    struct Services {
        const platform::DisplayModeSource* displayModes = nullptr;
        platform::ProcessStarter* starter = nullptr;
        SettingsPageModel::PathSource programPath;
    };

    // Builds the page, loads the settings and shows the first tab. The
    // services must outlive the page.
    SettingsPage(const Services& services, QWidget* parent = nullptr);
    // Stores the settings.
    ~SettingsPage() override;

    // The page's size in pixels at the dialog font.
    static QSize TemplateSize();

    // The host's "Restore Defaults" and "Preview" buttons (1027, 1028).
    void RestoreDefaults();
    void Preview();
    // Stores what the controls show now (as the page does when it goes).
    void SaveSettings();

    const SettingsPageModel& Model() const { return model_; }
    AboutPage* About() const { return about_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void SwitchTab(int index);

    // SettingsPageView
    ExchangeValues ReadControls() const override;
    void WriteControls(const ExchangeValues& values) override;
    void EnableModeChoice(bool enabled) override;
    void ShowModeList(const VideoModeList& list) override;
    int SelectedModeEntry() const override;

    QTabWidget* tabs_ = nullptr;
    ModeComboBox* videoMode_ = nullptr;
    QCheckBox* useDesktop_ = nullptr;
    QSlider* speed_ = nullptr;
    QCheckBox* randomSequence_ = nullptr;
    QCheckBox* demoMode_ = nullptr;
    QLabel* cameraLabel_ = nullptr;
    QComboBox* camera_ = nullptr;
    AboutPage* about_ = nullptr;
    SettingsPageModel model_;
};

} // namespace velmora::ui
