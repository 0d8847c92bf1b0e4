#include "ui/win32/AboutPage.h"

#include "resource.h"
#include "ui/model/SettingsPageModel.h"
#include "ui/win32/DialogWindow.h"

namespace velmora::ui::win32 {

AboutPage::~AboutPage()
{
    if (window_)
        ::DestroyWindow(window_);
}

bool AboutPage::Create(HWND parent, const RECT& rect)
{
    if (!::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(IDD_ABOUT_PAGE), parent,
            &DialogProc<AboutPage>, reinterpret_cast<LPARAM>(this)))
        return false;
    ::SetWindowPos(window_, HWND_TOP, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
        SWP_SHOWWINDOW | SWP_NOACTIVATE);
    return true;
}

INT_PTR AboutPage::OnMessage(UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    const struct {
        int id;
        const char* text;
    } texts[] = {
        {IDC_ABOUT_TITLE, page142::kTitle},
        {IDC_ABOUT_CONTACT, page142::kContactUs},
        {IDC_ABOUT_WEB, page142::kWeb},
        {IDC_ABOUT_MAIL, page142::kMail},
        {IDC_ABOUT_COLLECTION, page142::kCollection},
    };
    for (const auto& t : texts)
        SetText(::GetDlgItem(window_, t.id), t.text);
    return TRUE;
}

} // namespace velmora::ui::win32
