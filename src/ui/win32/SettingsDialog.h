#pragma once
// The collection settings dialog on Windows (template 102): the products of
// the collection as large icons on the left, the page of the chosen one on
// the right (this program's settings page, another member's page in a host
// page, or a product page), Web Update, Start random and the buttons that
// go to the page. Its behaviour lives in SettingsDialogModel; this class is
// the Win32 view of it.

#include "platform/win32/WinHandles.h"

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string_view>

#include "ui/model/SettingsDialogModel.h"
#include "ui/win32/MemberHostPage.h"
#include "ui/win32/SettingsPage.h"

namespace velmora::ui::win32 {

class SettingsDialog final : private SettingsDialogView {
public:
    struct Services {
        // Builds the rows; `owner` is the dialog, for the progress window of
        // a web update.
        std::function<std::vector<ProductRow>(bool withWebUpdate, HWND owner)> products;
        IconReader readIcon = &ReadMemberIcon;
        // The page of a product that is not installed, made in `parent` at
        // `rect`; it is destroyed with DestroyWindow. Empty: no page.
        std::function<HWND(HWND parent, const RECT& rect, const ProductRow& product)> createProductPage;
        SettingsPage::Services page = SettingsPage::SystemServices();
    };

    SettingsDialog(Services services, int initialPage = kOwnPageValue);
    ~SettingsDialog() override;
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    // Runs the dialog modally without an owner; returns IDOK or IDCANCEL.
    INT_PTR RunModal();
    // The same, modeless, for tests: the dialog's window, shown.
    HWND CreateModeless();

    HWND Window() const { return window_; }
    const SettingsDialogModel& Model() const { return model_; }
    SettingsPage* OwnPage() const { return ownPage_.get(); }
    MemberHostPage* HostPage() const { return hostPage_.get(); }
    HWND ProductPageWindow() const { return productPage_; }

    void AttachWindow(HWND window) { window_ = window; }
    void DetachWindow() { window_ = nullptr; }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Initialise();
    RECT PageArea() const;
    void PlacePage(HWND page);
    HWND Item(int id) const { return ::GetDlgItem(window_, id); }

    // SettingsDialogView
    void DeleteAllRows() override;
    void InsertRow(int position, const std::string& text, int image) override;
    void MarkRow(int position) override;
    void SelectRow(int position) override;
    int SelectionMark() const override;
    void TrimImages(int count) override;
    int AddIconImage(const std::vector<uint8_t>& image) override;
    int AddBitmapImage(const std::string& path) override;
    void FreeImages() override;
    void CreateOwnPage() override;
    void CreateMemberPage(const std::string& executablePath) override;
    void CreateProductPage(const ProductRow& product) override;
    void DestroyPage() override;
    void ForwardToPage(PageCommand command) override;
    void ShowPageButtons(bool visible) override;
    void SetStartRandom(bool checked) override;
    bool StartRandomChecked() const override;
    void EnableStartRandom(bool enabled) override;

    Services services_;
    SettingsDialogModel model_;
    HWND window_ = nullptr;
    HIMAGELIST images_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    std::unique_ptr<SettingsPage> ownPage_;
    std::unique_ptr<MemberHostPage> hostPage_;
    HWND productPage_ = nullptr;
    // A modal dialog ends with EndDialog, a modeless one by being destroyed.
    bool modal_ = false;
};

} // namespace velmora::ui::win32
