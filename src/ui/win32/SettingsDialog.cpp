#include "ui/win32/SettingsDialog.h"

#include "resource.h"
#include "ui/win32/DialogWindow.h"

namespace velmora::ui::win32 {

static_assert(IDD_COLLECTION == dialog102::kTemplateId);
static_assert(IDC_PRODUCT_LIST == dialog102::kProductList && IDC_WEB_UPDATE == dialog102::kWebUpdate
    && IDC_START_RANDOM == dialog102::kStartRandom && IDC_PAGE_FRAME == dialog102::kPageFrame
    && IDC_PREVIEW == dialog102::kPreview && IDC_RESTORE_DEFAULTS == dialog102::kRestoreDefaults
    && IDOK == dialog102::kOk);

namespace {

// Bitmap 138's transparent colour.
constexpr COLORREF kStripKey = RGB(255, 0, 255);
// Icon spacing of the product list, in pixels.
constexpr int kIconSpacingX = 70;
constexpr int kIconSpacingY = 72;

} // namespace

SettingsDialog::SettingsDialog(Services services, int initialPage)
    : services_(std::move(services))
    , model_(
          *this,
          [this](bool withWebUpdate) {
              return services_.products ? services_.products(withWebUpdate, window_)
                                        : std::vector<ProductRow> {};
          },
          services_.readIcon ? services_.readIcon : IconReader(&ReadMemberIcon), initialPage)
{
}

SettingsDialog::~SettingsDialog()
{
    if (window_)
        ::DestroyWindow(window_);
    if (images_)
        ::ImageList_Destroy(images_);
    if (icon_)
        ::DestroyIcon(icon_);
    if (smallIcon_)
        ::DestroyIcon(smallIcon_);
}

INT_PTR SettingsDialog::RunModal()
{
    modal_ = true;
    const INT_PTR result = ::DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(IDD_COLLECTION), nullptr,
        &DialogProc<SettingsDialog>, reinterpret_cast<LPARAM>(this));
    modal_ = false;
    return result;
}

HWND SettingsDialog::CreateModeless()
{
    HWND dialog = ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(IDD_COLLECTION), nullptr,
        &DialogProc<SettingsDialog>, reinterpret_cast<LPARAM>(this));
    if (dialog)
        ::ShowWindow(dialog, SW_SHOW);
    return dialog;
}

void SettingsDialog::Initialise()
{
    const HINSTANCE module = ResourceModule();
    icon_ = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
        ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    // Image 0 the program's icon, images 1 to 6 the strip. 32-bit colour, so
    // the icons' own soft edges show.
    images_ = ::ImageList_Create(kListImageSide, kListImageSide, ILC_COLOR32 | ILC_MASK, 0, 1);
    const HICON listIcon = static_cast<HICON>(
        ::LoadImageW(module, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, kListImageSide, kListImageSide, 0));
    ::ImageList_AddIcon(images_, listIcon);
    ::DestroyIcon(listIcon);
    const HBITMAP strip = static_cast<HBITMAP>(
        ::LoadImageW(module, MAKEINTRESOURCEW(IDB_IMAGE_STRIP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ::ImageList_AddMasked(images_, strip, kStripKey);
    ::DeleteObject(strip);

    model_.Initialise();
}

INT_PTR SettingsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        Initialise();
        return TRUE;
    case WM_PAINT:
        if (::IsIconic(window_)) {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(window_, &ps);
            ::SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            RECT client {};
            ::GetClientRect(window_, &client);
            const IconOrigin at = MinimisedIconOrigin(
                client.right, client.bottom, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
            ::DrawIcon(dc, at.x, at.y, icon_);
            ::EndPaint(window_, &ps);
            return TRUE;
        }
        return FALSE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(icon_);
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_PRODUCT_LIST)
            return FALSE;
        if (header->code == LVN_ITEMCHANGING)
            return DialogResult(window_, FALSE); // allowed
        if (header->code == LVN_ITEMCHANGED) {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if ((change->uNewState & LVIS_FOCUSED) && !(change->uOldState & LVIS_FOCUSED)
                && change->iItem >= 0)
                model_.RowFocused(change->iItem);
            return DialogResult(window_, 0);
        }
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_WEB_UPDATE:
            model_.WebUpdateClicked();
            return TRUE;
        case IDC_PREVIEW:
            model_.PreviewClicked();
            return TRUE;
        case IDC_RESTORE_DEFAULTS:
            model_.RestoreDefaultsClicked();
            return TRUE;
        case IDOK:
            model_.OkClicked();
            if (modal_)
                ::EndDialog(window_, IDOK);
            else
                ::DestroyWindow(window_);
            return TRUE;
        case IDCANCEL: // the close box and Escape: nothing stored but the page's own
            if (modal_)
                ::EndDialog(window_, IDCANCEL);
            else
                ::DestroyWindow(window_);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_DESTROY:
        model_.Destroy();
        return FALSE;
    default:
        return FALSE;
    }
}

RECT SettingsDialog::PageArea() const
{
    RECT frame {};
    ::GetWindowRect(Item(IDC_PAGE_FRAME), &frame);
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&frame), 2);
    return frame;
}

void SettingsDialog::PlacePage(HWND page)
{
    if (page)
        ::ShowWindow(page, SW_SHOWNA);
}

// ---- SettingsDialogView ----------------------------------------------------

void SettingsDialog::DeleteAllRows()
{
    HWND list = Item(IDC_PRODUCT_LIST);
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    ::SendMessageW(list, LVM_SETICONSPACING, 0, MAKELPARAM(kIconSpacingX, kIconSpacingY));
    ::SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images_));
}

void SettingsDialog::InsertRow(int position, const std::string& text, int image)
{
    std::wstring wide = velmora::win32::Widen(text);
    LVITEMW item {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = position;
    item.pszText = wide.data();
    item.iImage = image < 0 ? I_IMAGENONE : image;
    ::SendMessageW(Item(IDC_PRODUCT_LIST), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void SettingsDialog::MarkRow(int position)
{
    HWND list = Item(IDC_PRODUCT_LIST);
    LVITEMW state {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(list, LVM_SETSELECTIONMARK, 0, position);
    ::SendMessageW(list, LVM_REDRAWITEMS, static_cast<WPARAM>(position), position);
}

void SettingsDialog::SelectRow(int position)
{
    HWND list = Item(IDC_PRODUCT_LIST);
    LVITEMW state {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(list, LVM_SETSELECTIONMARK, 0, position);
    ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(position), FALSE);
}

int SettingsDialog::SelectionMark() const
{
    return static_cast<int>(::SendMessageW(Item(IDC_PRODUCT_LIST), LVM_GETSELECTIONMARK, 0, 0));
}

void SettingsDialog::TrimImages(int count)
{
    while (images_ && ::ImageList_GetImageCount(images_) > count)
        ::ImageList_Remove(images_, ::ImageList_GetImageCount(images_) - 1);
}

int SettingsDialog::AddIconImage(const std::vector<uint8_t>& image)
{
    // The icon resource's image as its program file holds it (a PNG or a
    // bitmap with its mask), made at the list's size.
    if (image.empty() || image.size() > 0x7fffffff)
        return kNoImage;
    HICON icon = ::CreateIconFromResourceEx(const_cast<PBYTE>(image.data()), static_cast<DWORD>(image.size()),
        TRUE, 0x00030000, kListImageSide, kListImageSide, LR_DEFAULTCOLOR);
    if (!icon)
        return kNoImage;
    const int index = ::ImageList_AddIcon(images_, icon);
    ::DestroyIcon(icon);
    return index;
}

int SettingsDialog::AddBitmapImage(const std::string& path)
{
    if (path.empty())
        return kNoImage;
    HBITMAP bitmap = static_cast<HBITMAP>(::LoadImageW(nullptr, velmora::win32::Widen(path).c_str(),
        IMAGE_BITMAP, kListImageSide, kListImageSide, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bitmap)
        return kNoImage;
    const int index = ::ImageList_AddMasked(images_, bitmap, kStripKey);
    ::DeleteObject(bitmap);
    return index;
}

void SettingsDialog::FreeImages()
{
    ::SendMessageW(Item(IDC_PRODUCT_LIST), LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
    if (images_)
        ::ImageList_Destroy(images_);
    images_ = nullptr;
}

void SettingsDialog::CreateOwnPage()
{
    ownPage_ = std::make_unique<SettingsPage>(services_.page);
    if (!ownPage_->Create(window_, PageArea())) {
        ownPage_.reset();
        return;
    }
    PlacePage(ownPage_->Window());
}

void SettingsDialog::CreateMemberPage(const std::string& executablePath)
{
    hostPage_ = std::make_unique<MemberHostPage>();
    // A member that cannot be started leaves the empty host page.
    hostPage_->Create(window_, PageArea(), executablePath);
    PlacePage(hostPage_->Window());
}

void SettingsDialog::CreateProductPage(const ProductRow& product)
{
    if (services_.createProductPage)
        productPage_ = services_.createProductPage(window_, PageArea(), product);
    PlacePage(productPage_);
}

void SettingsDialog::DestroyPage()
{
    // A settings page stores its values as it goes; a member's page is
    // closed (storing its own) before its host page goes.
    ownPage_.reset();
    hostPage_.reset();
    if (productPage_)
        ::DestroyWindow(productPage_);
    productPage_ = nullptr;
}

void SettingsDialog::ForwardToPage(PageCommand command)
{
    if (ownPage_)
        ::SendMessageW(ownPage_->Window(), static_cast<UINT>(command), 0, 0);
    else if (hostPage_)
        hostPage_->Forward(command);
}

void SettingsDialog::ShowPageButtons(bool visible)
{
    ::ShowWindow(Item(IDC_PREVIEW), visible ? SW_SHOWNA : SW_HIDE);
    ::ShowWindow(Item(IDC_RESTORE_DEFAULTS), visible ? SW_SHOWNA : SW_HIDE);
}

void SettingsDialog::SetStartRandom(bool checked)
{
    ::CheckDlgButton(window_, IDC_START_RANDOM, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool SettingsDialog::StartRandomChecked() const
{
    return ::IsDlgButtonChecked(window_, IDC_START_RANDOM) == BST_CHECKED;
}

void SettingsDialog::EnableStartRandom(bool enabled)
{
    ::EnableWindow(Item(IDC_START_RANDOM), enabled);
}

} // namespace velmora::ui::win32
