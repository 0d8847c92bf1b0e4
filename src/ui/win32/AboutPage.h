#pragma once
// The About tab's page on Windows (template 142): the maker, the contact
// addresses and the collection, with the product picture. No behaviour.

#include "platform/win32/WinHandles.h"

namespace velmora::ui::win32 {

class AboutPage {
public:
    AboutPage() = default;
    ~AboutPage();
    AboutPage(const AboutPage&) = delete;
    AboutPage& operator=(const AboutPage&) = delete;

    // Creates the page as a child of `parent` over `rect` (parent client
    // coordinates) and shows it; false when the template gives no window.
    bool Create(HWND parent, const RECT& rect);
    HWND Window() const { return window_; }

    void AttachWindow(HWND window) { window_ = window; }
    void DetachWindow() { window_ = nullptr; }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND window_ = nullptr;
};

} // namespace velmora::ui::win32
