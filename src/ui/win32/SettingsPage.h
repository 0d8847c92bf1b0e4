#pragma once
// The program's settings page on Windows (template 133): a captionless child
// dialog that the collection dialog, or another member's dialog in another
// process, places in its page area. It loads the settings when it is made,
// stores them whenever it is destroyed, and takes the host's Restore Defaults
// (WM_USER + 3) and Preview (WM_USER + 4) as window messages. Its behaviour
// lives in SettingsPageModel; this class is the Win32 view of it.

#include "platform/win32/WinHandles.h"

#include <functional>
#include <memory>

#include "platform/DisplayModes.h"
#include "platform/Process.h"
#include "ui/model/SettingsPageModel.h"
#include "ui/win32/AboutPage.h"

namespace velmora::ui::win32 {

class SettingsPage final : private SettingsPageView {
public:
    static constexpr UINT kRestoreDefaultsMessage = WM_USER + 3;
    static constexpr UINT kPreviewMessage = WM_USER + 4;
    static constexpr UINT kReservedMessage = WM_USER + 5;

    struct Services {
        const platform::DisplayModeSource* displayModes = nullptr;
        platform::ProcessStarter* starter = nullptr;
        SettingsPageModel::PathSource programPath;
    };
    // The system's display modes, process start and program path.
    static Services SystemServices();

    // The services must outlive the page.
    explicit SettingsPage(Services services);
    // Destroys the window, which stores the settings.
    ~SettingsPage() override;
    SettingsPage(const SettingsPage&) = delete;
    SettingsPage& operator=(const SettingsPage&) = delete;

    // Creates the page as a child of `parent` at `rect` (parent client
    // coordinates), hidden: the host shows it without activating it. False
    // when the template gives no window.
    bool Create(HWND parent, const RECT& rect);
    HWND Window() const { return window_; }
    const SettingsPageModel& Model() const { return model_; }
    bool AboutShown() const { return about_ != nullptr; }

    // Told once the page's window is gone (an embedded page's run ends).
    void OnGone(std::function<void()> gone) { gone_ = std::move(gone); }

    void AttachWindow(HWND window) { window_ = window; }
    void DetachWindow();
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Initialise();
    void SwitchTab(int index);

    // SettingsPageView
    ExchangeValues ReadControls() const override;
    void WriteControls(const ExchangeValues& values) override;
    void EnableModeChoice(bool enabled) override;
    void ShowModeList(const VideoModeList& list) override;
    int SelectedModeEntry() const override;

    HWND Item(int id) const { return ::GetDlgItem(window_, id); }

    Services services_;
    SettingsPageModel model_;
    std::unique_ptr<AboutPage> about_;
    std::function<void()> gone_;
    HWND window_ = nullptr;
};

} // namespace velmora::ui::win32
