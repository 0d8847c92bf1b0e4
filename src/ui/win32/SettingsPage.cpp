#include "ui/win32/SettingsPage.h"

#include <commctrl.h>

#include "platform/win32/Win32Display.h"
#include "resource.h"
#include "ui/win32/DialogWindow.h"

namespace velmora::ui::win32 {

static_assert(IDD_SETTINGS_PAGE == page133::kTemplateId);
static_assert(IDD_ABOUT_PAGE == page142::kTemplateId);
static_assert(IDC_PAGE_TABS == page133::kTabs && IDC_VIDEO_MODE == page133::kVideoMode
    && IDC_USE_DESKTOP == page133::kUseDesktop && IDC_SPEED == page133::kSpeed
    && IDC_RANDOM_SEQUENCE == page133::kRandomSequence && IDC_DEMO_MODE == page133::kDemoMode
    && IDC_CAMERA == page133::kCamera);

namespace {

int32_t CheckValue(HWND box)
{
    switch (::SendMessageW(box, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
        return kChecked;
    case BST_INDETERMINATE:
        return kIndeterminate;
    default:
        return kUnchecked;
    }
}

void SetCheckValue(HWND box, int32_t value)
{
    // An indeterminate state needs a three-state box; the others keep the
    // automatic two-state behaviour.
    const LONG_PTR style = ::GetWindowLongPtrW(box, GWL_STYLE) & ~static_cast<LONG_PTR>(BS_TYPEMASK);
    ::SendMessageW(box, BM_SETSTYLE,
        static_cast<WPARAM>(style | (value == kIndeterminate ? BS_AUTO3STATE : BS_AUTOCHECKBOX)), FALSE);
    const WPARAM state = value == kChecked ? BST_CHECKED
        : value == kIndeterminate          ? BST_INDETERMINATE
                                           : BST_UNCHECKED;
    ::SendMessageW(box, BM_SETCHECK, state, 0);
}

void AddComboEntry(HWND combo, std::string_view text, LPARAM itemData)
{
    const std::wstring wide = velmora::win32::Widen(text);
    const LRESULT index = ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    if (index >= 0)
        ::SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), itemData);
}

// The page's own modes and programs; one set serves every page.
struct SystemParts {
    std::unique_ptr<platform::DisplayModeSource> modes = platform::MakeWin32DisplayModeSource();
    platform::SystemProcessStarter starter;
};

} // namespace

SettingsPage::Services SettingsPage::SystemServices()
{
    static SystemParts parts;
    Services services;
    services.displayModes = parts.modes.get();
    services.starter = &parts.starter;
    services.programPath = &platform::RunningProgramPath;
    return services;
}

SettingsPage::SettingsPage(Services services)
    : services_(std::move(services))
    , model_(*this, *services_.displayModes, *services_.starter, services_.programPath)
{
}

SettingsPage::~SettingsPage()
{
    gone_ = nullptr;
    if (window_)
        ::DestroyWindow(window_);
}

bool SettingsPage::Create(HWND parent, const RECT& rect)
{
    if (!::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(IDD_SETTINGS_PAGE), parent,
            &DialogProc<SettingsPage>, reinterpret_cast<LPARAM>(this)))
        return false;
    ::SetWindowPos(window_, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
        SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void SettingsPage::DetachWindow()
{
    window_ = nullptr;
    about_.reset();
    if (auto gone = std::move(gone_))
        gone();
}

void SettingsPage::Initialise()
{
    HWND tabs = Item(IDC_PAGE_TABS);
    for (std::size_t i = 0; i < kPageTabs.size(); ++i) {
        std::wstring text = velmora::win32::Widen(kPageTabs[i]);
        TCITEMW item {};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        ::SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    // The tab control comes first in the template, so it would lie over the
    // other controls and take their clicks: it goes to the bottom.
    ::SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SendMessageW(Item(IDC_SPEED), TBM_SETRANGE, TRUE, MAKELPARAM(kSpeedMin, kSpeedMax));
    HWND camera = Item(IDC_CAMERA);
    for (std::size_t i = 0; i < kCameraEntries.size(); ++i)
        AddComboEntry(camera, kCameraEntries[i], static_cast<LPARAM>(i));
    model_.Initialise();
}

INT_PTR SettingsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        Initialise();
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDC_VIDEO_MODE && code == CBN_SETFOCUS)
            model_.ModeChoiceFocused();
        else if (id == IDC_VIDEO_MODE && code == CBN_DROPDOWN)
            model_.ModeChoiceDroppedDown();
        else if (id == IDC_USE_DESKTOP && code == BN_CLICKED)
            model_.UseDesktopClicked();
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_PAGE_TABS && header->code == TCN_SELCHANGE) {
            SwitchTab(static_cast<int>(::SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
            return DialogResult(window_, 0);
        }
        return FALSE;
    }
    case kRestoreDefaultsMessage:
        model_.RestoreDefaults();
        return DialogResult(window_, 0);
    case kPreviewMessage:
        model_.Preview();
        return DialogResult(window_, 0);
    case kReservedMessage:
        return DialogResult(window_, 0);
    case WM_CLOSE:
        ::DestroyWindow(window_);
        return TRUE;
    case WM_DESTROY:
        // Whichever way the host closes the page, what it shows is kept.
        model_.Save();
        return FALSE;
    default:
        return FALSE;
    }
}

void SettingsPage::SwitchTab(int index)
{
    HWND tabs = Item(IDC_PAGE_TABS);
    const int show = index == 1 ? SW_HIDE : SW_SHOWNA;
    for (HWND child = ::GetWindow(window_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (child != tabs && (!about_ || child != about_->Window()))
            ::ShowWindow(child, show);
    about_.reset();
    if (index != 1)
        return; // showing every child also brings up the camera row, for good
    // The tab control's display area, in page coordinates (it sits at the
    // page's origin).
    RECT area {};
    ::GetClientRect(tabs, &area);
    ::SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    about_ = std::make_unique<AboutPage>();
    if (!about_->Create(window_, area))
        about_.reset();
}

ExchangeValues SettingsPage::ReadControls() const
{
    ExchangeValues v;
    v.speed = static_cast<int32_t>(::SendMessageW(Item(IDC_SPEED), TBM_GETPOS, 0, 0));
    v.demoMode = CheckValue(Item(IDC_DEMO_MODE));
    v.useDesktop = CheckValue(Item(IDC_USE_DESKTOP));
    v.randomStart = CheckValue(Item(IDC_RANDOM_SEQUENCE));
    v.cameraIndex = static_cast<int32_t>(::SendMessageW(Item(IDC_CAMERA), CB_GETCURSEL, 0, 0));
    return v;
}

void SettingsPage::WriteControls(const ExchangeValues& values)
{
    ::SendMessageW(Item(IDC_SPEED), TBM_SETPOS, TRUE, values.speed);
    SetCheckValue(Item(IDC_DEMO_MODE), values.demoMode);
    SetCheckValue(Item(IDC_USE_DESKTOP), values.useDesktop);
    SetCheckValue(Item(IDC_RANDOM_SEQUENCE), values.randomStart);
    ::SendMessageW(Item(IDC_CAMERA), CB_SETCURSEL, static_cast<WPARAM>(values.cameraIndex), 0);
}

void SettingsPage::EnableModeChoice(bool enabled)
{
    ::EnableWindow(Item(IDC_VIDEO_MODE), enabled);
}

void SettingsPage::ShowModeList(const VideoModeList& list)
{
    HWND combo = Item(IDC_VIDEO_MODE);
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const ModeEntry& entry : list.Entries())
        AddComboEntry(combo, entry.text, entry.itemValue);
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(list.Selected()), 0);
}

int SettingsPage::SelectedModeEntry() const
{
    return static_cast<int>(::SendMessageW(Item(IDC_VIDEO_MODE), CB_GETCURSEL, 0, 0));
}

} // namespace velmora::ui::win32
