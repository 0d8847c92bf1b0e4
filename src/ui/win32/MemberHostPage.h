#pragma once
// The page the collection dialog shows for another installed member on
// Windows (the empty template 148). The member's program is started with
// "-1:<hex handle>" of this window and places its own settings page inside;
// the dialog's Restore Defaults and Preview reach that page as the window
// messages WM_USER + 3 and + 4, and the close message stores its settings.
// Every message waits a bounded time, and a member that never embeds, hangs
// or dies leaves an empty page, never a hung dialog.

#include "platform/win32/WinHandles.h"

#include <string>

#include "platform/Process.h"
#include "ui/model/SettingsDialogModel.h"

namespace velmora::ui::win32 {

class MemberHostPage {
public:
    // How long a message to the member's page may take, how long the
    // member gets to end after closing its page, and after that to end on
    // its windows' close before it is killed.
    static constexpr UINT kReplyTimeoutMs = 5000;
    static constexpr int kEndWaitMs = 3000;
    static constexpr int kTerminateGraceMs = 1000;

    enum class Result {
        Handled,
        NoMember, // no page window inside (yet)
        NotAnswered, // the page did not answer in time, or its program is gone
    };

    MemberHostPage() = default;
    // Closes the member first.
    ~MemberHostPage();
    MemberHostPage(const MemberHostPage&) = delete;
    MemberHostPage& operator=(const MemberHostPage&) = delete;

    // Creates the page in `dialog` at `rect` (its client coordinates) and
    // starts the member's program to embed its page here. False when the
    // page cannot be made or the program not started; the page then stays,
    // empty.
    bool Create(HWND dialog, const RECT& rect, const std::string& executablePath);

    HWND Window() const { return window_; }
    // The member's page: this window's first child, whichever process made it.
    HWND PageWindow() const;
    const platform::ChildProcess& Process() const { return process_; }

    // Restore Defaults or Preview, handled by the page when this returns.
    Result Forward(PageCommand command);
    // Asks the page to close, which stores its settings, and waits for the
    // started member to end; ends it when it does not. Idempotent.
    void CloseMember();

    void AttachWindow(HWND window) { window_ = window; }
    void DetachWindow() { window_ = nullptr; }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    platform::ChildProcess process_;
    HWND window_ = nullptr;
    bool closed_ = false;
};

} // namespace velmora::ui::win32
