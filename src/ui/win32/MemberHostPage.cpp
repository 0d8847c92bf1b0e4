#include "ui/win32/MemberHostPage.h"

#include "resource.h"
#include "ui/win32/DialogWindow.h"

namespace velmora::ui::win32 {

static_assert(IDD_MEMBER_HOST == 148);

MemberHostPage::~MemberHostPage()
{
    CloseMember();
    if (window_)
        ::DestroyWindow(window_);
}

bool MemberHostPage::Create(HWND dialog, const RECT& rect, const std::string& executablePath)
{
    if (!::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(IDD_MEMBER_HOST), dialog,
            &DialogProc<MemberHostPage>, reinterpret_cast<LPARAM>(this)))
        return false;
    ::SetWindowPos(window_, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
        SWP_NOZORDER | SWP_NOACTIVATE);
    return process_.Start(
        MemberCommandLine(executablePath, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window_))));
}

HWND MemberHostPage::PageWindow() const
{
    return window_ ? ::GetWindow(window_, GW_CHILD) : nullptr;
}

MemberHostPage::Result MemberHostPage::Forward(PageCommand command)
{
    HWND page = PageWindow();
    if (!page)
        return Result::NoMember;
    DWORD_PTR answer = 0;
    // SMTO_ABORTIFHUNG: a member that has stopped answering is not waited for.
    if (!::SendMessageTimeoutW(
            page, static_cast<UINT>(command), 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kReplyTimeoutMs, &answer))
        return Result::NotAnswered;
    return Result::Handled;
}

void MemberHostPage::CloseMember()
{
    if (closed_)
        return;
    closed_ = true;
    if (HWND page = PageWindow()) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(page, &owner);
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutW(
                page, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kReplyTimeoutMs, &answer)) {
            // A hung page would take the dialog with it when its parent goes:
            // its process is ended, which takes its windows away.
            if (owner != 0 && owner != ::GetCurrentProcessId()) {
                const velmora::win32::UniqueKernelHandle hung(::OpenProcess(PROCESS_TERMINATE, FALSE, owner));
                if (hung)
                    ::TerminateProcess(hung.Get(), 1);
            }
        }
    }
    if (process_.IsStarted() && !process_.Wait(kEndWaitMs))
        process_.Terminate(kTerminateGraceMs);
}

INT_PTR MemberHostPage::OnMessage(UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return FALSE;
    case WM_CLOSE:
        CloseMember();
        ::DestroyWindow(window_);
        return TRUE;
    case WM_DESTROY:
        // The page goes before its host, so it can store its settings.
        CloseMember();
        return FALSE;
    case static_cast<UINT>(PageCommand::RestoreDefaults):
    case static_cast<UINT>(PageCommand::Preview):
        Forward(static_cast<PageCommand>(message));
        return DialogResult(window_, 0);
    default:
        return FALSE;
    }
}

} // namespace velmora::ui::win32
