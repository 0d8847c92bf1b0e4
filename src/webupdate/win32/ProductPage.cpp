#include "webupdate/win32/ProductPage.h"

#include <commctrl.h>
#include <shellapi.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/win32/WideText.h"
#include "resource.h"
#include "resources/DecodedImage.h"
#include "resources/JpegMemoryDecoder.h"
#include "ui/win32/DialogWindow.h"
#include "webupdate/DownloadAddress.h"
#include "webupdate/ProductCatalogue.h"

namespace velmora::webupdate::win32 {
namespace {

using velmora::win32::Widen;

// A screenshot file larger than the largest body the update keeps is not
// one it wrote.
constexpr long kMaxScreenshotBytes = 16L * 1024 * 1024;

std::vector<unsigned char> ReadWholeFile(const std::string& path)
{
    std::vector<unsigned char> bytes;
    FILE* file = ::_wfopen(Widen(path).c_str(), L"rb");
    if (!file)
        return bytes;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0 && size <= kMaxScreenshotBytes && std::fseek(file, 0, SEEK_SET) == 0) {
            bytes.resize(static_cast<std::size_t>(size));
            if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
                bytes.clear();
        }
    }
    std::fclose(file);
    return bytes;
}

// The decoded rows (R, G, B, width x 3 bytes each) as a bottom-up-free DIB
// wants them: B, G, R, each row padded to a multiple of 4 bytes, so any
// width works.
std::vector<unsigned char> DibRows(const DecodedImage& image, std::size_t& stride)
{
    const std::size_t width = static_cast<std::size_t>(image.width);
    const std::size_t height = static_cast<std::size_t>(image.height);
    stride = (width * 3 + 3) & ~std::size_t {3};
    std::vector<unsigned char> rows(stride * height, 0);
    const unsigned char* from = image.pixels.get();
    for (std::size_t y = 0; y < height; ++y) {
        unsigned char* to = rows.data() + y * stride;
        for (std::size_t x = 0; x < width; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return rows;
}

LRESULT CALLBACK OwnedPageProcedure(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR page)
{
    if (message != WM_NCDESTROY)
        return ::DefSubclassProc(window, message, wParam, lParam);
    // The page's own procedure lets go of the window first.
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    ::RemoveWindowSubclass(window, &OwnedPageProcedure, 0);
    delete reinterpret_cast<ProductPage*>(page);
    return result;
}

} // namespace

ProductPage::ProductPage(Services services)
    : services_(std::move(services))
{
}

ProductPage::~ProductPage()
{
    if (window_)
        ::DestroyWindow(window_);
}

bool ProductPage::Create(HWND parent, const RECT& rect, const std::string& title,
    const std::string& description, const std::string& downloadUrl, const std::string& screenshotPath)
{
    if (!::CreateDialogParamW(ui::win32::ResourceModule(), MAKEINTRESOURCEW(IDD_PRODUCT_PAGE), parent,
            &ui::win32::DialogProc<ProductPage>, reinterpret_cast<LPARAM>(this)))
        return false;
    ::SetWindowPos(window_, HWND_TOP, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
        SWP_NOACTIVATE);

    title_.Attach(::GetDlgItem(window_, IDC_PRODUCT_TITLE));
    title_.SetFont(RGB(0, 0, 0), 16, L"Arial", true, true, false, false, true);
    const std::array<std::string, 3> lines = SplitDescription(description);
    const int lineIds[3] = {IDC_PRODUCT_LINE1, IDC_PRODUCT_LINE2, IDC_PRODUCT_LINE3};
    for (std::size_t i = 0; i < lines.size(); ++i)
        ui::win32::SetText(::GetDlgItem(window_, lineIds[i]), lines[i]);
    ui::win32::SetText(::GetDlgItem(window_, IDC_PRODUCT_TITLE), title);

    downloadUrl_ = downloadUrl;
    // An address the page would refuse is not offered.
    ::EnableWindow(::GetDlgItem(window_, IDC_DOWNLOAD_NOW), IsWebAddress(downloadUrl_));
    LoadScreenshot(screenshotPath);
    return true;
}

void ProductPage::LoadScreenshot(const std::string& path)
{
    if (path.empty())
        return;
    const std::vector<unsigned char> bytes = ReadWholeFile(path);
    if (bytes.empty())
        return;
    DecodedImage decoded;
    JpegMemoryDecoder decoder;
    if (!decoder.Decode(bytes.data(), bytes.size(), decoded) || decoded.bitsPerPixel != 24
        || decoded.width <= 0 || decoded.height <= 0)
        return;
    std::size_t stride = 0;
    const std::vector<unsigned char> rows = DibRows(decoded, stride);

    // Shown at its own size from the top left, leaving the caption below it
    // free; a larger picture is scaled down to that room.
    HWND control = ::GetDlgItem(window_, IDC_PRODUCT_SCREENSHOT);
    RECT room {4, 4, 4 + 172, 126 - 2};
    ::MapDialogRect(window_, &room);
    const int edge = ::GetSystemMetrics(SM_CXEDGE) / 2;
    const int roomWidth = room.right - room.left - 2 * edge;
    const int roomHeight = room.bottom - room.top - 2 * edge;
    int width = decoded.width;
    int height = decoded.height;
    if (width > roomWidth || height > roomHeight) {
        if (static_cast<long long>(width) * roomHeight > static_cast<long long>(height) * roomWidth) {
            height = static_cast<int>(static_cast<long long>(height) * roomWidth / width);
            width = roomWidth;
        } else {
            width = static_cast<int>(static_cast<long long>(width) * roomHeight / height);
            height = roomHeight;
        }
        width = width < 1 ? 1 : width;
        height = height < 1 ? 1 : height;
    }

    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = decoded.width;
    info.bmiHeader.biHeight = -decoded.height; // rows run from the top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HDC memory = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    if (!bitmap || !memory) {
        if (bitmap)
            ::DeleteObject(bitmap);
        if (memory)
            ::DeleteDC(memory);
        return;
    }
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::SetStretchBltMode(memory, HALFTONE);
    ::SetBrushOrgEx(memory, 0, 0, nullptr);
    const int drawn = ::StretchDIBits(memory, 0, 0, width, height, 0, 0, decoded.width, decoded.height,
        rows.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    if (drawn <= 0) { // none drawn, or GDI_ERROR
        ::DeleteObject(bitmap);
        return;
    }
    screenshot_.Reset(bitmap);
    const HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(
        ::SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (previous && previous != bitmap)
        ::DeleteObject(previous);
}

INT_PTR ProductPage::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return FALSE; // the host decides about focus
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_DOWNLOAD_NOW && HIWORD(wParam) == BN_CLICKED) {
        Download();
        return TRUE;
    }
    return FALSE;
}

void ProductPage::Download()
{
    // The address comes from the network: only a web address goes on.
    if (!IsWebAddress(downloadUrl_))
        return;
    if (services_.openAddress)
        services_.openAddress(downloadUrl_);
    else
        OpenWithShell(downloadUrl_);
}

void ProductPage::OpenWithShell(const std::string& address)
{
    // The page gets nothing back: the system's browser or download manager
    // takes it from here.
    ::ShellExecuteW(nullptr, L"open", Widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

HWND CreateOwnedProductPage(HWND parent, const RECT& rect, const std::string& title,
    const std::string& description, const std::string& downloadUrl, const std::string& screenshotPath,
    ProductPage::Services services)
{
    auto* page = new ProductPage(std::move(services));
    if (!page->Create(parent, rect, title, description, downloadUrl, screenshotPath)
        || !::SetWindowSubclass(page->Window(), &OwnedPageProcedure, 0, reinterpret_cast<DWORD_PTR>(page))) {
        delete page;
        return nullptr;
    }
    return page->Window();
}

} // namespace velmora::webupdate::win32
