#pragma once
// The window shown while the web update runs on Windows (dialog template
// 139): what is being fetched, from where, and how far the update has come.
// It is modeless; the update keeps it answering by calling PumpMessages
// between its steps and while each transfer runs, and its owner stays
// disabled meanwhile, as under a modal window. Cancel only asks: the update
// reads the request and stops.

#include "platform/win32/WinHandles.h"

#include "webupdate/ProgressSink.h"

namespace velmora::webupdate::win32 {

class UpdateProgressWindow final : public ProgressSink {
public:
    UpdateProgressWindow() = default;
    // Gives the owner back and destroys the window.
    ~UpdateProgressWindow() override;
    UpdateProgressWindow(const UpdateProgressWindow&) = delete;
    UpdateProgressWindow& operator=(const UpdateProgressWindow&) = delete;

    // Creates and shows the window over `owner` (null: none), which is
    // disabled until Finish; false when the template gives no window.
    bool Create(HWND owner);
    HWND Window() const { return window_; }

    void SetStatus(std::string_view text) override;
    void SetPercent(int value) override;
    void SetLocation(std::string_view text) override;
    bool IsCancelled() const override { return cancelled_; }
    // Handles the messages pending for this window and its controls, and
    // the repaints of the program's other windows; never waits.
    void PumpMessages() override;
    // Hides the window and enables its owner again; kFinishedCancelled when
    // cancelling was asked for, else kFinishedOk.
    int Finish() override;

    void AttachWindow(HWND window) { window_ = window; }
    void DetachWindow() { window_ = nullptr; }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void RequestCancel();
    void ReleaseOwner();

    HWND window_ = nullptr;
    HWND owner_ = nullptr;
    bool ownerDisabled_ = false;
    bool cancelled_ = false;
};

} // namespace velmora::webupdate::win32
