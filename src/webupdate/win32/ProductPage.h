#pragma once
// The page the collection settings dialog shows on Windows for a product
// that is listed but not installed (dialog template 141): its title, its
// screenshot, three lines of description and "Download Now!", which hands
// the product's download address to the shell.

#include "platform/win32/WinHandles.h"

#include <functional>
#include <string>

#include "webupdate/win32/TitleLabel.h"

namespace velmora::webupdate::win32 {

class ProductPage {
public:
    struct Services {
        // Hands a web address to the system; empty: OpenWithShell, the
        // shell's "open" verb. Never given anything but a web address.
        std::function<void(const std::string& address)> openAddress;
    };

    explicit ProductPage(Services services = {});
    // Destroys the window and then the screenshot it shows.
    ~ProductPage();
    ProductPage(const ProductPage&) = delete;
    ProductPage& operator=(const ProductPage&) = delete;

    // Creates the page as a child of `parent` over `rect` (its client
    // coordinates) and fills it; the page is not shown. A screenshot file
    // that is missing or does not decode leaves the page without a picture.
    // False when the template gives no window.
    bool Create(HWND parent, const RECT& rect, const std::string& title, const std::string& description,
        const std::string& downloadUrl, const std::string& screenshotPath);

    HWND Window() const { return window_; }
    const TitleLabel& Title() const { return title_; }
    // The screenshot as shown; null when the page has none.
    HBITMAP Screenshot() const { return screenshot_.Get(); }
    const std::string& DownloadAddress() const { return downloadUrl_; }

    static void OpenWithShell(const std::string& address);

    void AttachWindow(HWND window) { window_ = window; }
    void DetachWindow() { window_ = nullptr; }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void LoadScreenshot(const std::string& path);
    void Download();

    Services services_;
    HWND window_ = nullptr;
    TitleLabel title_;
    velmora::win32::UniqueHandle<HBITMAP, velmora::win32::detail::DeleteGdiObject> screenshot_;
    std::string downloadUrl_;
};

// Owns a product page by its window: the page object goes when the window
// is destroyed. For hosts that keep only the window (the collection dialog).
HWND CreateOwnedProductPage(HWND parent, const RECT& rect, const std::string& title,
    const std::string& description, const std::string& downloadUrl, const std::string& screenshotPath,
    ProductPage::Services services = {});

} // namespace velmora::webupdate::win32
