// The web update's Win32 windows in this process, with the program's own
// resources: the progress window shows what it is told and reports Cancel;
// the product page shows a product and hands only web addresses on; and a
// web update through the collection dialog against a real HTTP server
// builds the rows and the product pages.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/ConfigurationDialog.h"
#include "codec/JpegEncoder.h"
#include "platform/win32/WideText.h"
#include "resource.h"
#include "ui/PageTestSupport.h"
#include "ui/win32/SettingsDialog.h"
#include "webupdate/win32/ProductPage.h"
#include "webupdate/win32/UpdateProgressWindow.h"
#include "WebUpdateFixture.h"
#include "Win32Windows.h"

namespace velmora::webupdate::win32 {
namespace {

using Strings = std::vector<std::string>;

using velmora::testing::ExpectPlaced;
using velmora::testing::Pump;
using velmora::testing::Text;

// A plain top-level window to own the windows under test, never shown:
// hiding a shown top-level window costs a two-second wait under Wine without
// a window manager.
class OwnerWindow {
public:
    OwnerWindow()
    {
        window_
            = ::velmora::testing::MakePlainWindow(L"Owner", WS_OVERLAPPEDWINDOW, 0, RECT {0, 0, 700, 500});
    }
    ~OwnerWindow()
    {
        ::DestroyWindow(window_);
        Pump();
    }
    HWND Get() const { return window_; }

private:
    HWND window_ = nullptr;
};

// ---- The progress window ----------------------------------------------------

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(owner_.Get(), nullptr);
        ASSERT_TRUE(progress_.Create(owner_.Get()));
        Pump();
    }
    HWND Item(int id) const { return ::GetDlgItem(progress_.Window(), id); }

    OwnerWindow owner_;
    UpdateProgressWindow progress_;
};

TEST_F(ProgressWindowTest, TemplateTextsPlacesAndOwner)
{
    HWND window = progress_.Window();
    EXPECT_EQ(Text(window), "Web Update. Please wait...");
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(::GetWindow(window, GW_OWNER), owner_.Get());
    EXPECT_FALSE(::IsWindowEnabled(owner_.Get())) << "the dialog underneath waits";
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
    RECT client {};
    ::GetClientRect(window, &client);
    RECT units {0, 0, 256, 82};
    ::MapDialogRect(window, &units);
    EXPECT_EQ(client.right, units.right);
    EXPECT_EQ(client.bottom, units.bottom);

    EXPECT_EQ(Text(Item(IDCANCEL)), "Cancel");
    EXPECT_EQ(::SendMessageW(Item(IDCANCEL), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON, DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(Text(Item(IDC_UPDATE_STATUS)), "Downloading new products descriptions...");
    EXPECT_EQ(::SendMessageW(Item(IDC_UPDATE_PROGRESS), PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(::SendMessageW(Item(IDC_UPDATE_PROGRESS), PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(::SendMessageW(Item(IDC_UPDATE_PROGRESS), PBM_GETPOS, 0, 0), 0);
    // "Time remaining:" and its value belong to the template but never show.
    EXPECT_EQ(Text(Item(IDC_UPDATE_REMAINING)), "45 sec");
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_UPDATE_REMAINING)));
    ExpectPlaced(window,
        {{IDCANCEL, {199, 60, 249, 74}}, {IDC_UPDATE_PROGRESS, {7, 43, 249, 55}},
            {IDC_UPDATE_STATUS, {43, 13, 249, 21}}, {IDC_UPDATE_LOCATION, {43, 25, 249, 33}},
            {IDC_UPDATE_REMAINING, {62, 58, 114, 66}}});

    EXPECT_EQ(progress_.Finish(), ProgressSink::kFinishedOk);
    EXPECT_TRUE(::IsWindowEnabled(owner_.Get())) << "given back at the end";
    EXPECT_FALSE(::IsWindowVisible(window));
}

TEST_F(ProgressWindowTest, ShowsWhatTheUpdateReports)
{
    progress_.SetStatus("Downloading screenshots && icons");
    progress_.SetLocation("http://127.0.0.1/a&b.jpg");
    progress_.SetPercent(66);
    // The status keeps the static control's "&&" rule; the address is shown
    // as it is.
    EXPECT_EQ(Text(Item(IDC_UPDATE_STATUS)), "Downloading screenshots && icons");
    EXPECT_EQ(::GetWindowLongW(Item(IDC_UPDATE_STATUS), GWL_STYLE) & SS_NOPREFIX, 0);
    EXPECT_EQ(Text(Item(IDC_UPDATE_LOCATION)), "http://127.0.0.1/a&b.jpg");
    EXPECT_EQ(::GetWindowLongW(Item(IDC_UPDATE_LOCATION), GWL_STYLE) & SS_NOPREFIX, SS_NOPREFIX);
    EXPECT_EQ(::SendMessageW(Item(IDC_UPDATE_PROGRESS), PBM_GETPOS, 0, 0), 66);
    progress_.SetPercent(100);
    EXPECT_EQ(::SendMessageW(Item(IDC_UPDATE_PROGRESS), PBM_GETPOS, 0, 0), 100);
}

// How the user asks for cancelling, posted so that only PumpMessages
// delivers it.
enum class Ask { Nothing, Button, ButtonTwice, CloseBox, Escape };

struct CancelCase {
    const char* name;
    Ask ask;
};

class ProgressCancelTest : public ProgressWindowTest, public ::testing::WithParamInterface<CancelCase> { };

TEST_P(ProgressCancelTest, PumpingDeliversTheRequestAndFinishReportsIt)
{
    HWND window = progress_.Window();
    switch (GetParam().ask) {
    case Ask::Nothing:
        break;
    case Ask::Button:
        ::PostMessageW(Item(IDCANCEL), BM_CLICK, 0, 0);
        break;
    case Ask::ButtonTwice:
        ::PostMessageW(Item(IDCANCEL), BM_CLICK, 0, 0);
        ::PostMessageW(Item(IDCANCEL), BM_CLICK, 0, 0);
        break;
    case Ask::CloseBox:
        ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Ask::Escape:
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
    }
    // Something for another window of the program: held back by the pump.
    ::PostMessageW(owner_.Get(), WM_APP + 7, 0, 0);
    EXPECT_FALSE(progress_.IsCancelled()) << "nothing handled before the pump";
    progress_.PumpMessages();

    const bool asked = GetParam().ask != Ask::Nothing;
    EXPECT_EQ(progress_.IsCancelled(), asked);
    EXPECT_EQ(::IsWindowEnabled(Item(IDCANCEL)) != FALSE, !asked) << "the first press disables the button";
    EXPECT_TRUE(::IsWindowVisible(window)) << "cancelling does not close the window";
    MSG held;
    EXPECT_TRUE(::PeekMessageW(&held, owner_.Get(), WM_APP + 7, WM_APP + 7, PM_REMOVE));
    EXPECT_EQ(progress_.Finish(), asked ? ProgressSink::kFinishedCancelled : ProgressSink::kFinishedOk);
}

INSTANTIATE_TEST_SUITE_P(Requests, ProgressCancelTest,
    ::testing::Values(CancelCase {"Nothing", Ask::Nothing}, CancelCase {"Button", Ask::Button},
        CancelCase {"ButtonTwice", Ask::ButtonTwice}, CancelCase {"CloseBox", Ask::CloseBox},
        CancelCase {"Escape", Ask::Escape}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgressWindowTest, DestroyingGivesTheOwnerBackWithoutFinish)
{
    {
        UpdateProgressWindow second;
        ASSERT_TRUE(second.Create(owner_.Get()));
    }
    progress_.Finish();
    EXPECT_TRUE(::IsWindowEnabled(owner_.Get()));
}

// ---- The product page ---------------------------------------------------------

std::string WriteJpeg(
    const std::filesystem::path& path, int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = r;
        rgb[i + 1] = g;
        rgb[i + 2] = b;
    }
    const std::vector<uint8_t> jpeg = codec::EncodeJpeg(rgb.data(), width, height, 3);
    std::FILE* file = ::_wfopen(path.wstring().c_str(), L"wb");
    if (file) {
        std::fwrite(jpeg.data(), 1, jpeg.size(), file);
        std::fclose(file);
    }
    return velmora::win32::Narrow(path.wstring());
}

struct BitmapLook {
    int width = 0;
    int height = 0;
    COLORREF centre = 0;
};

BitmapLook Look(HBITMAP bitmap)
{
    BitmapLook look;
    BITMAP info {};
    if (!bitmap || !::GetObjectW(bitmap, sizeof info, &info))
        return look;
    look.width = info.bmWidth;
    look.height = info.bmHeight;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    look.centre = ::GetPixel(memory, info.bmWidth / 2, info.bmHeight / 2);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return look;
}

bool Near(COLORREF a, COLORREF b)
{
    const auto close = [](int x, int y) { return x - y <= 12 && y - x <= 12; };
    return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b))
        && close(GetBValue(a), GetBValue(b));
}

class ProductPageTest : public ::testing::Test {
protected:
    ProductPage& Open(
        const std::string& description, const std::string& address, const std::string& screenshot)
    {
        ProductPage::Services services;
        services.openAddress = [this](const std::string& opened) { opened_.push_back(opened); };
        page_ = std::make_unique<ProductPage>(services);
        EXPECT_TRUE(page_->Create(
            owner_.Get(), RECT {10, 10, 560, 400}, "Alder 3D", description, address, screenshot));
        ::ShowWindow(page_->Window(), SW_SHOWNA);
        Pump();
        return *page_;
    }
    HWND Item(int id) const { return ::GetDlgItem(page_->Window(), id); }

    OwnerWindow owner_;
    testing::TempFolder folder_;
    Strings opened_;
    std::unique_ptr<ProductPage> page_;
};

TEST_F(ProductPageTest, TemplateTitleAndPlaces)
{
    Open("Tall trees.", "http://downloads.example/Alder.exe", "");
    HWND page = page_->Window();
    EXPECT_EQ(::GetParent(page), owner_.Get());
    EXPECT_EQ(::GetWindowLongW(page, GWL_STYLE) & (WS_CHILD | WS_CAPTION), WS_CHILD);
    EXPECT_EQ(Text(Item(IDC_PRODUCT_TITLE)), "Alder 3D");
    EXPECT_EQ(Text(Item(IDC_DOWNLOAD_NOW)), "Download Now!");
    // The title paints itself: bold italic Arial, 16 pixels, embossed.
    LOGFONTW font {};
    ASSERT_TRUE(::GetObjectW(page_->Title().Font(), sizeof font, &font));
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Arial");
    EXPECT_EQ(font.lfHeight, 16);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_TRUE(font.lfItalic);
    EXPECT_TRUE(page_->Title().Emboss());
    ExpectPlaced(page,
        {{IDC_PRODUCT_TITLE, {179, 3, 272, 13}}, {IDC_DOWNLOAD_NOW, {7, 146, 263, 162}},
            {IDC_PRODUCT_LINE1, {181, 15, 266, 50}}, {IDC_PRODUCT_LINE2, {181, 54, 265, 86}},
            {IDC_PRODUCT_LINE3, {182, 92, 260, 132}}});
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_PRODUCT_FRAME)));
    EXPECT_EQ(page_->Screenshot(), nullptr) << "no file, no picture";
}

// How the description is cut is the catalogue's rule, tested with it; the
// page shows the three lines as wide text.
TEST_F(ProductPageTest, DescriptionLinesShowAsTheyAreWritten)
{
    Open("Caf\xc3\xa9 3D\nFish & chips\nL\xc3\xa4nder\nFour", "http://a/", "");
    EXPECT_EQ((Strings {Text(Item(IDC_PRODUCT_LINE1)), Text(Item(IDC_PRODUCT_LINE2)),
                  Text(Item(IDC_PRODUCT_LINE3))}),
        (Strings {"Caf\xc3\xa9 3D", "Fish & chips", "L\xc3\xa4nder"}));
}

struct ScreenshotCase {
    const char* name;
    int width;
    int height;
    bool scaledDown;
};

class ProductPageScreenshotTest : public ProductPageTest,
                                  public ::testing::WithParamInterface<ScreenshotCase> { };

TEST_P(ProductPageScreenshotTest, PictureShownInItsColoursWithinItsRoom)
{
    const ScreenshotCase& c = GetParam();
    // A colour whose red and blue differ, so swapped channels show.
    const std::string path = WriteJpeg(folder_.Path() / "screenshot.jpg", c.width, c.height, 200, 60, 20);
    Open("", "http://a/", path);
    ASSERT_NE(page_->Screenshot(), nullptr);
    const BitmapLook look = Look(page_->Screenshot());
    EXPECT_TRUE(Near(look.centre, RGB(200, 60, 20)))
        << std::hex << "got " << look.centre << ", the picture's colour is " << RGB(200, 60, 20);
    EXPECT_EQ(reinterpret_cast<HBITMAP>(
                  ::SendMessageW(Item(IDC_PRODUCT_SCREENSHOT), STM_GETIMAGE, IMAGE_BITMAP, 0)),
        page_->Screenshot());
    // The caption under the picture stays free.
    RECT room {4, 4, 4 + 172, 126 - 2};
    ::MapDialogRect(page_->Window(), &room);
    if (c.scaledDown) {
        EXPECT_LE(look.width, room.right - room.left);
        EXPECT_LE(look.height, room.bottom - room.top);
        EXPECT_LT(look.width, c.width);
    } else {
        EXPECT_EQ(look.width, c.width);
        EXPECT_EQ(look.height, c.height);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ProductPageScreenshotTest,
    ::testing::Values(ScreenshotCase {"WidthOfFour", 24, 16, false},
        ScreenshotCase {"OddWidth", 27, 13, false}, ScreenshotCase {"Large", 900, 700, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProductPageTest, ScreenshotThatIsNoJpegLeavesNoPicture)
{
    const std::filesystem::path path = folder_.Path() / "screenshot.jpg";
    folder_.Write("screenshot.jpg", "<html>not found</html>");
    Open("Line", "http://a/", velmora::win32::Narrow(path.wstring()));
    EXPECT_EQ(page_->Screenshot(), nullptr);
    EXPECT_EQ(Text(Item(IDC_PRODUCT_LINE1)), "Line");
}

struct AddressCase {
    const char* name;
    std::string address;
    bool handedOn;
};

class ProductPageAddressTest : public ProductPageTest, public ::testing::WithParamInterface<AddressCase> { };

TEST_P(ProductPageAddressTest, DownloadNowHandsOnlyWebAddressesOn)
{
    const AddressCase& c = GetParam();
    Open("", c.address, "");
    EXPECT_EQ(::IsWindowEnabled(Item(IDC_DOWNLOAD_NOW)) != FALSE, c.handedOn);
    ::SendMessageW(Item(IDC_DOWNLOAD_NOW), BM_CLICK, 0, 0);
    // Also the command itself, which a disabled button never sends.
    ::SendMessageW(page_->Window(), WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD_NOW, BN_CLICKED),
        reinterpret_cast<LPARAM>(Item(IDC_DOWNLOAD_NOW)));
    const Strings expected = c.handedOn ? Strings {c.address, c.address} : Strings {};
    EXPECT_EQ(opened_, expected);
}

INSTANTIATE_TEST_SUITE_P(Addresses, ProductPageAddressTest,
    ::testing::Values(AddressCase {"Http", "http://downloads.example/Alder 3D.exe", true},
        AddressCase {"Https", "https://downloads.example/a?b=1&c=2", true},
        AddressCase {"File", "file:///C:/Windows/System32/calc.exe", false},
        AddressCase {"Program", "C:\\Windows\\System32\\calc.exe", false}, AddressCase {"Empty", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OwnedProductPageTest, GoesWithItsWindow)
{
    OwnerWindow owner;
    HWND page
        = CreateOwnedProductPage(owner.Get(), RECT {0, 0, 400, 300}, "Alder 3D", "One", "http://a/", "");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Text(::GetDlgItem(page, IDC_PRODUCT_LINE1)), "One");
    EXPECT_TRUE(::DestroyWindow(page));
    EXPECT_FALSE(::IsWindow(page));
}

// ---- Through the collection dialog -------------------------------------------

const std::vector<testing::PublishedProduct> kTwo = {
    {"ALDER3D", "Alder 3D", "Tall trees.\nGreen all year.\nFree to try."},
    {"CORVANE3D", "Corvane 3D", "Ravens.\nBlack wings."},
};

class DialogWebUpdateTest : public testing::WebUpdateFixture {
protected:
    void SetUp() override
    {
        WebUpdateFixture::SetUp();
        catalogue_ = std::make_unique<ProductCatalogue>(Recorder());
        ProductPage::Services page;
        page.openAddress = [this](const std::string& address) { opened_.push_back(address); };
        ui::win32::SettingsDialog::Services services = velmora::win32::CatalogueServices(*catalogue_, page);
        services.page.displayModes = &modes_;
        services.page.starter = &starter_;
        services.page.programPath = [] { return std::string("C:\\Saver\\Velmora3D.scr"); };
        dialog_ = std::make_unique<ui::win32::SettingsDialog>(std::move(services));
        ASSERT_NE(dialog_->CreateModeless(), nullptr);
        Pump();
    }
    void TearDown() override
    {
        dialog_.reset();
        Pump();
        WebUpdateFixture::TearDown();
    }
    HWND Item(int id) const { return ::GetDlgItem(dialog_->Window(), id); }
    Strings Rows() const { return ::velmora::testing::ListRows(Item(IDC_PRODUCT_LIST)); }
    void WebUpdate() const
    {
        ::SendMessageW(dialog_->Window(), WM_COMMAND, MAKEWPARAM(IDC_WEB_UPDATE, BN_CLICKED),
            reinterpret_cast<LPARAM>(Item(IDC_WEB_UPDATE)));
        Pump();
    }
    void FocusRow(int row) const { ::velmora::testing::FocusListRow(Item(IDC_PRODUCT_LIST), row); }

    ::velmora::testing::FixedModes modes_;
    ::velmora::testing::RecordingStarter starter_;
    std::unique_ptr<ProductCatalogue> catalogue_;
    Strings opened_;
    std::unique_ptr<ui::win32::SettingsDialog> dialog_;
};

TEST_F(DialogWebUpdateTest, WebUpdateFillsTheRowsAndTheProductPages)
{
    Publish(kTwo);
    ASSERT_EQ(Rows(), Strings {"Velmora 3D Screensaver"}) << "nothing kept yet";
    WebUpdate();
    EXPECT_EQ(messages_, Strings {});
    ASSERT_EQ(Rows(), (Strings {"Velmora 3D Screensaver", "Alder 3D", "Corvane 3D"}));
    EXPECT_TRUE(::IsWindowEnabled(dialog_->Window())) << "the dialog is given back";
    EXPECT_EQ(::FindWindowW(nullptr, L"Web Update. Please wait..."), nullptr)
        << "the progress window is gone";

    const struct {
        int row;
        const char* title;
        Strings lines;
        std::string address;
    } pages[] = {
        {1, "Alder 3D", {"Tall trees.", "Green all year.", "Free to try."},
            "http://downloads.example/Alder 3D.exe"},
        {2, "Corvane 3D", {"Ravens.", "Black wings.", ""}, "http://downloads.example/Corvane 3D.exe"},
    };
    for (const auto& expected : pages) {
        FocusRow(expected.row);
        HWND page = dialog_->ProductPageWindow();
        ASSERT_NE(page, nullptr) << expected.title;
        EXPECT_TRUE(::IsWindowVisible(page));
        EXPECT_EQ(::GetParent(page), dialog_->Window());
        EXPECT_EQ(Text(::GetDlgItem(page, IDC_PRODUCT_TITLE)), expected.title);
        EXPECT_EQ(
            (Strings {Text(::GetDlgItem(page, IDC_PRODUCT_LINE1)),
                Text(::GetDlgItem(page, IDC_PRODUCT_LINE2)), Text(::GetDlgItem(page, IDC_PRODUCT_LINE3))}),
            expected.lines);
        // The downloaded screenshot, 24 x 16.
        const BitmapLook look = Look(reinterpret_cast<HBITMAP>(
            ::SendDlgItemMessageW(page, IDC_PRODUCT_SCREENSHOT, STM_GETIMAGE, IMAGE_BITMAP, 0)));
        EXPECT_EQ(look.width, 24) << expected.title;
        EXPECT_EQ(look.height, 16) << expected.title;
        EXPECT_FALSE(::IsWindowVisible(Item(IDC_PREVIEW)));
        ::SendDlgItemMessageW(page, IDC_DOWNLOAD_NOW, BM_CLICK, 0, 0);
        Pump();
    }
    EXPECT_EQ(opened_, (Strings {pages[0].address, pages[1].address}));

    FocusRow(0);
    EXPECT_EQ(dialog_->ProductPageWindow(), nullptr);
    EXPECT_NE(dialog_->OwnPage(), nullptr);
}

// The server holds the list's transfer; a second thread waits for that
// request, checks that the window answers meanwhile and presses Cancel.
TEST_F(DialogWebUpdateTest, CancelEndsAStalledTransferAndKeepsTheRows)
{
    Publish(kTwo);
    WebUpdate();
    ASSERT_EQ(Rows().size(), 3u);
    const std::string kept = testing::ReadFileBytes(WebFolder() / "update.xml");

    ::velmora::testing::SetEnvironment("KESTROVA3D_UPDATE_URL", server_->Url("/stall/500"));
    std::atomic<int> answers {0};
    std::atomic<bool> pressed {false};
    std::chrono::steady_clock::time_point pressedAt, hiddenAt;
    std::thread presser([&] {
        // Hang guards only: a minute for the request, then the press.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        HWND progress = nullptr;
        while (std::chrono::steady_clock::now() < until) {
            const Strings paths = server_->RequestedPaths();
            if (!progress)
                progress = ::FindWindowW(nullptr, L"Web Update. Please wait...");
            if (progress && std::find(paths.begin(), paths.end(), "/stall/500") != paths.end())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!progress)
            return;
        for (int i = 0; i < 3; ++i) {
            DWORD_PTR result = 0;
            if (::SendMessageTimeoutW(progress, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result))
                ++answers;
        }
        pressedAt = std::chrono::steady_clock::now();
        pressed = ::PostMessageW(::GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0) != FALSE;
        // When the update has ended, the window is hidden; hiding itself
        // waits two seconds for the absent window manager under Wine, so
        // the end is taken from here.
        while (pressed && ::IsWindowVisible(progress) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        hiddenAt = std::chrono::steady_clock::now();
    });
    WebUpdate();
    presser.join();

    EXPECT_TRUE(pressed) << "the progress window never showed while the transfer was held";
    EXPECT_EQ(answers, 3) << "the window stopped answering while the transfer was held";
    EXPECT_TRUE(catalogue_->Cancelled());
    EXPECT_EQ(messages_, Strings {}) << "no failure box for a cancel";
    EXPECT_EQ(Rows(), (Strings {"Velmora 3D Screensaver", "Alder 3D", "Corvane 3D"}));
    EXPECT_EQ(testing::ReadFileBytes(WebFolder() / "update.xml"), kept);
    EXPECT_TRUE(::IsWindowEnabled(dialog_->Window()));
    if (pressed)
        std::printf("the progress window went away %lld ms after Cancel\n",
            static_cast<long long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(hiddenAt - pressedAt).count()));
}

} // namespace
} // namespace velmora::webupdate::win32
