#pragma once
// The collection settings dialog's behaviour behind any view: the rows of the
// product list and the values they carry, filling the list with or without
// the web update, which page a row shows and which buttons go with it, the
// "Start random" switch, and the order in which things go when the dialog
// closes. A view (Qt widgets here, possibly Win32 dialogs later) only shows
// what it is told and reports what the user did.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::webupdate {
class ProductCatalogue;
}

namespace velmora::ui {

// Dialog template 102: control ids and fixed texts.
namespace dialog102 {
inline constexpr int kTemplateId = 102;
inline constexpr int kProductList = 1016;
inline constexpr int kWebUpdate = 1029;
inline constexpr int kStartRandom = 1021;
inline constexpr int kPageFrame = 1031;
inline constexpr int kPreview = 1009;
inline constexpr int kRestoreDefaults = 1008;
inline constexpr int kOk = 1;
inline constexpr std::string_view kCaption = "Kestrova collection:  Velmora 3D screensaver";
inline constexpr std::string_view kHeading = "Kestrova 3D\nProducts line:";
inline constexpr std::string_view kWebUpdateText = "Web Update";
inline constexpr std::string_view kStartRandomText = "Start random";
inline constexpr std::string_view kPreviewText = "Preview";
inline constexpr std::string_view kRestoreDefaultsText = "Restore Defaults";
inline constexpr std::string_view kOkText = "OK";
// Row 0: this program.
inline constexpr std::string_view kOwnRowText = "Velmora 3D Screensaver";
} // namespace dialog102

// Row values: -1 is this program's row, i >= 0 the catalogue's product i.
inline constexpr int kOwnPageValue = -1;
// The value of "no page yet", which no row carries.
inline constexpr int kNoPageValue = 65535;

// The image list: the program's icon, then the six images of bitmap 138.
inline constexpr int kOwnIconImage = 0;
inline constexpr int kBaseImageCount = 7;
// An installed member whose program file yields no icon of its own.
inline constexpr int kInstalledWithoutIconImage = 4;
// A row whose picture could not be loaded shows none.
inline constexpr int kNoImage = -1;

// One product of the catalogue as the dialog needs it.
struct ProductRow {
    std::string title; // the row's display name
    std::string imagePath; // bitmap file shown for products not installed
    std::string executablePath; // empty: not installed
    std::string description;
    std::string downloadUrl;
    std::string screenshotPath;

    bool IsInstalled() const { return !executablePath.empty(); }
    friend bool operator==(const ProductRow&, const ProductRow&) = default;
};

// The rows of a built catalogue, in its order.
std::vector<ProductRow> CatalogueRows(const webupdate::ProductCatalogue& catalogue);

// Builds the product list: from the registry and the kept product list, or
// (withWebUpdate) after downloading the list with progress shown.
using ProductSource = std::function<std::vector<ProductRow>(bool withWebUpdate)>;

// What reading a member's program file as data gave.
enum class MemberIconStatus {
    Unreadable, // the file does not open
    NoIcon, // it opens but carries no usable icon
    Found,
};
struct MemberIcon {
    MemberIconStatus status = MemberIconStatus::Unreadable;
    std::vector<uint8_t> png; // Found: the image that best fits 32 x 32
};
using IconReader = std::function<MemberIcon(const std::string& executablePath)>;

// The list's images are this many pixels square.
inline constexpr int kListImageSide = 32;
// Reads the icon embedded in a member's program file, without running it.
MemberIcon ReadMemberIcon(const std::string& executablePath);

enum class PageKind {
    Nothing, // no page
    Own, // this program's settings page
    Member, // another installed member's page, hosted
    Product, // the page of a product that is not installed
};

// Commands the dialog's buttons forward to the page shown.
enum class PageCommand {
    RestoreDefaults = 1027,
    Preview = 1028,
};

class SettingsDialogView {
public:
    virtual ~SettingsDialogView() = default;

    // The product list.
    virtual void DeleteAllRows() = 0;
    virtual void InsertRow(int position, const std::string& text, int image) = 0;
    // Gives the row the selected state and the selection mark, and redraws it.
    virtual void MarkRow(int position) = 0;
    // Selects and focuses the row and scrolls it into view.
    virtual void SelectRow(int position) = 0;
    // The row holding the selection mark; -1 when none.
    virtual int SelectionMark() const = 0;

    // The image list. Drops every image after the first `count`.
    virtual void TrimImages(int count) = 0;
    // Add one image, returning its index; -1 when it cannot be decoded.
    virtual int AddIconImage(const std::vector<uint8_t>& png) = 0;
    virtual int AddBitmapImage(const std::string& path) = 0;
    virtual void FreeImages() = 0;

    // Pages go in the page area and are shown without taking the focus.
    // Creating one is always followed by a DestroyPage before the next.
    virtual void CreateOwnPage() = 0;
    virtual void CreateMemberPage(const std::string& executablePath) = 0;
    virtual void CreateProductPage(const ProductRow& product) = 0;
    virtual void DestroyPage() = 0;
    virtual void ForwardToPage(PageCommand command) = 0;
    // "Preview" and "Restore Defaults".
    virtual void ShowPageButtons(bool visible) = 0;

    // The "Start random" check box.
    virtual void SetStartRandom(bool checked) = 0;
    virtual bool StartRandomChecked() const = 0;
    virtual void EnableStartRandom(bool enabled) = 0;
};

class SettingsDialogModel {
public:
    // All three must outlive the model; the view receives no call before
    // Initialise. `initialPage` is the row value shown first.
    SettingsDialogModel(
        SettingsDialogView& view, ProductSource products, IconReader readIcon, int initialPage);

    // Dialog initialisation: fills the list from what is kept, shows the
    // initial row's page and reads "Start random".
    void Initialise();

    // Rebuilds the rows. Returns true.
    bool FillList(bool withWebUpdate);
    // Replaces the page by the one for a row value; the same value again
    // does nothing.
    void ShowPage(int value);
    // Selects the first row carrying `value` unless the marked row has it.
    void SelectValue(int value);

    // User actions.
    void RowFocused(int position); // a row gained the focus
    void WebUpdateClicked();
    void PreviewClicked();
    void RestoreDefaultsClicked();
    // Stores "Start random"; the view then ends the dialog.
    void OkClicked();
    // The dialog goes: the page first, then the image list.
    void Destroy();

    int PageId() const { return pageId_; }
    PageKind Page() const { return page_; }
    int InstalledCount() const { return installedCount_; }
    uint32_t StartRandom() const { return startRandom_; }
    const std::vector<ProductRow>& Products() const { return products_; }
    // The value of every row, in row order.
    const std::vector<int>& RowValues() const { return rowValues_; }

private:
    // Keeps the selection and the page in step after the products changed.
    void FollowRefreshedProducts(const std::vector<ProductRow>& before);

    SettingsDialogView& view_;
    ProductSource source_;
    IconReader readIcon_;
    int initialPage_;

    std::vector<ProductRow> products_;
    std::vector<int> rowValues_;
    int installedCount_ = 0;
    PageKind page_ = PageKind::Nothing;
    int pageId_ = kNoPageValue;
    uint32_t startRandom_ = 0;
    // Rows come and go while filling; focus changes then are no user choice.
    bool filling_ = false;
};

// The program and arguments that start another member so that it embeds
// its settings page in the host window `hostWindow`: its path, then the
// window id formatted as "-1:%lX".
std::vector<std::string> MemberCommandLine(const std::string& executablePath, unsigned long hostWindow);

// Where a view that paints its own minimised window (a Win32 one; on X11
// the window manager draws the window's icon) puts the icon: centred, odd
// remainders going right and down.
struct IconOrigin {
    int x = 0;
    int y = 0;
    friend bool operator==(const IconOrigin&, const IconOrigin&) = default;
};
IconOrigin MinimisedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

} // namespace velmora::ui
