// The Win32 settings page and collection dialog in this process, over a
// scratch registry: the templates' controls where the fixed layout puts
// them, what the controls show of the stored settings, what the user's
// actions store, and the pages the dialog's rows give.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/win32/WideText.h"
#include "resource.h"
#include "ui/PageTestSupport.h"
#include "ui/win32/SettingsDialog.h"
#include "ui/win32/SettingsPage.h"
#include "Win32Windows.h"

namespace velmora::ui::win32 {
namespace {

using velmora::testing::FixedModes;
using velmora::testing::RecordingStarter;

using velmora::testing::ExpectPlaced;
using velmora::testing::Pump;
using velmora::testing::Text;

class Win32PageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent_ = velmora::testing::MakePlainWindow(
            L"Parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, RECT {0, 0, 700, 500});
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override
    {
        page_.reset();
        ::DestroyWindow(parent_);
    }
    SettingsPage& Open()
    {
        SettingsPage::Services services;
        services.displayModes = &modes_;
        services.starter = &starter_;
        services.programPath = [] { return std::string("C:\\Saver\\Velmora3D.scr"); };
        page_ = std::make_unique<SettingsPage>(services);
        EXPECT_TRUE(page_->Create(parent_, RECT {10, 10, 560, 400}));
        ::ShowWindow(page_->Window(), SW_SHOWNA);
        Pump();
        return *page_;
    }
    HWND Item(int id) const { return ::GetDlgItem(page_->Window(), id); }
    void Click(int id) const
    {
        ::SendMessageW(Item(id), BM_CLICK, 0, 0);
        Pump();
    }
    void SelectTab(int index) const
    {
        HWND tabs = Item(IDC_PAGE_TABS);
        ::SendMessageW(tabs, TCM_SETCURSEL, index, 0);
        NMHDR header {tabs, IDC_PAGE_TABS, TCN_SELCHANGE};
        ::SendMessageW(page_->Window(), WM_NOTIFY, IDC_PAGE_TABS, reinterpret_cast<LPARAM>(&header));
    }

    velmora::testing::TempRegistry registry_;
    FixedModes modes_;
    RecordingStarter starter_;
    HWND parent_ = nullptr;
    std::unique_ptr<SettingsPage> page_;
};

TEST_F(Win32PageTest, ControlsSitWhereTheTemplatePutsThem)
{
    Open();
    ExpectPlaced(page_->Window(),
        {
            {IDC_PAGE_TABS, {0, 0, 271, 177}},
            {IDC_USE_DESKTOP, {23, 52, 23 + 82, 52 + 10}},
            {IDC_SPEED, {17, 80, 17 + 103, 80 + 17}},
            {IDC_RANDOM_SEQUENCE, {40, 110, 40 + 73, 110 + 10}},
            {IDC_DEMO_MODE, {136, 111, 136 + 126, 111 + 8}},
            {IDC_CAMERA_LABEL, {16, 167, 16 + 27, 167 + 8}},
        });
    EXPECT_EQ(Text(Item(IDC_USE_DESKTOP)), "Use desktop settings");
    EXPECT_EQ(Text(Item(IDC_DEMO_MODE)), "Ignore mouse move (\"Demo mode\")");
    // The camera row is hidden until the About tab has been visited.
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_CAMERA)));
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_CAMERA_LABEL)));
    ASSERT_EQ(
        ::SendMessageW(Item(IDC_CAMERA), CB_GETCOUNT, 0, 0), static_cast<LRESULT>(kCameraEntries.size()));
    for (std::size_t i = 0; i < kCameraEntries.size(); ++i) {
        wchar_t entry[64] = {};
        ::SendMessageW(Item(IDC_CAMERA), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
        EXPECT_EQ(velmora::win32::Narrow(entry), kCameraEntries[i]);
    }
    EXPECT_EQ(::SendMessageW(Item(IDC_PAGE_TABS), TCM_GETITEMCOUNT, 0, 0), 2);
}

TEST_F(Win32PageTest, OpeningShowsTheStoredValuesAndClosingStoresTheControls)
{
    SaverSettings stored;
    stored.AnimationSpeed = 73;
    stored.DemoMode = 1;
    stored.RandomCameraStart = 0;
    stored.CamMode = 2;
    ASSERT_TRUE(stored.Save());
    Open();
    EXPECT_EQ(::SendMessageW(Item(IDC_SPEED), TBM_GETPOS, 0, 0), 73);
    EXPECT_EQ(::IsDlgButtonChecked(page_->Window(), IDC_DEMO_MODE), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(page_->Window(), IDC_RANDOM_SEQUENCE), BST_UNCHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(page_->Window(), IDC_USE_DESKTOP), BST_CHECKED);
    EXPECT_EQ(::SendMessageW(Item(IDC_CAMERA), CB_GETCURSEL, 0, 0), 2);
    // One entry, the stored mode, and the choice off while the desktop's mode is used.
    ASSERT_EQ(::SendMessageW(Item(IDC_VIDEO_MODE), CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(Text(Item(IDC_VIDEO_MODE)), "1024x768 (16 bits)");
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_VIDEO_MODE)));

    // "Use desktop settings" off enables the choice at once, storing nothing yet.
    Click(IDC_USE_DESKTOP);
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_VIDEO_MODE)));
    EXPECT_EQ(velmora::testing::StoredSettings().CurrentVideomode, 1);
    // Focusing the choice lists the system's modes (8-bit ones never).
    ::SetFocus(Item(IDC_VIDEO_MODE));
    Pump();
    EXPECT_EQ(::SendMessageW(Item(IDC_VIDEO_MODE), CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(Text(Item(IDC_VIDEO_MODE)), "1024x768 (16 bits)") << "the stored mode stays chosen";
    ::SendMessageW(Item(IDC_VIDEO_MODE), CB_SETCURSEL, 0, 0);
    ::SendMessageW(Item(IDC_SPEED), TBM_SETPOS, TRUE, 12);
    Click(IDC_DEMO_MODE);

    // The host closing the page stores what it shows.
    ::SendMessageW(page_->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(page_->Window(), nullptr);
    const SaverSettings saved = velmora::testing::StoredSettings();
    EXPECT_EQ(saved.AnimationSpeed, 12);
    EXPECT_EQ(saved.DemoMode, 0);
    EXPECT_EQ(saved.CurrentVideomode, 0);
    EXPECT_EQ(saved.XResolution, 800);
    EXPECT_EQ(saved.YResolution, 600);
    EXPECT_EQ(saved.ColorDepth, 32);
}

TEST_F(Win32PageTest, HostMessagesRestoreDefaultsAndPreview)
{
    SaverSettings stored;
    stored.AnimationSpeed = 90;
    stored.RandomCameraStart = 0;
    stored.DemoMode = 1;
    ASSERT_TRUE(stored.Save());
    Open();
    EXPECT_EQ(::SendMessageW(page_->Window(), WM_USER + 3, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(Item(IDC_SPEED), TBM_GETPOS, 0, 0), 50);
    EXPECT_EQ(::IsDlgButtonChecked(page_->Window(), IDC_DEMO_MODE), BST_UNCHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(page_->Window(), IDC_RANDOM_SEQUENCE), BST_UNCHECKED) << "kept as stored";

    ::SendMessageW(Item(IDC_SPEED), TBM_SETPOS, TRUE, 64);
    EXPECT_EQ(::SendMessageW(page_->Window(), WM_USER + 4, 0, 0), 0);
    ASSERT_EQ(starter_.started.size(), 1u);
    EXPECT_EQ(starter_.started[0], (std::vector<std::string> {"C:\\Saver\\Velmora3D.scr", "/sp"}));
    EXPECT_EQ(starter_.storedAtStart.AnimationSpeed, 64) << "saved before the preview starts";
    // Reserved for the collection: answered, nothing done.
    EXPECT_EQ(::SendMessageW(page_->Window(), WM_USER + 5, 0, 0), 0);
    EXPECT_EQ(starter_.started.size(), 1u);
}

TEST_F(Win32PageTest, AboutTabComesAndGoesAndBringsTheCameraRow)
{
    Open();
    SelectTab(1);
    ASSERT_TRUE(page_->AboutShown());
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_SPEED)));
    HWND about = ::FindWindowExW(page_->Window(), nullptr, L"#32770", nullptr);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(Text(::GetDlgItem(about, IDC_ABOUT_WEB)), page142::kWeb);
    EXPECT_EQ(Text(::GetDlgItem(about, IDC_ABOUT_COLLECTION)), page142::kCollection);
    SelectTab(0);
    EXPECT_FALSE(page_->AboutShown());
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_SPEED)));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_CAMERA)));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_CAMERA_LABEL)));
    ::SendMessageW(Item(IDC_CAMERA), CB_SETCURSEL, 1, 0);
    page_.reset();
    EXPECT_EQ(velmora::testing::StoredSettings().CamMode, 1);
}

// ---- The collection dialog ---------------------------------------------------

class Win32DialogTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        dialog_.reset();
        Pump();
    }
    SettingsDialog& Open(std::vector<ProductRow> rows)
    {
        rows_ = std::move(rows);
        SettingsDialog::Services services;
        services.products = [this](bool online, HWND) {
            onlineBuilds_ += online ? 1 : 0;
            return rows_;
        };
        services.createProductPage = [this](HWND parent, const RECT& rect, const ProductRow& row) {
            productPages_.push_back(row.title);
            return ::CreateWindowW(L"STATIC", L"product", WS_CHILD, rect.left, rect.top,
                rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, nullptr, nullptr);
        };
        services.page.displayModes = &modes_;
        services.page.starter = &starter_;
        services.page.programPath = [] { return std::string("C:\\Saver\\Velmora3D.scr"); };
        dialog_ = std::make_unique<SettingsDialog>(std::move(services));
        EXPECT_NE(dialog_->CreateModeless(), nullptr);
        Pump();
        return *dialog_;
    }
    HWND Item(int id) const { return ::GetDlgItem(dialog_->Window(), id); }
    int RowCount() const
    {
        return static_cast<int>(::SendMessageW(Item(IDC_PRODUCT_LIST), LVM_GETITEMCOUNT, 0, 0));
    }
    std::string RowText(int row) const
    {
        return velmora::testing::ListRows(Item(IDC_PRODUCT_LIST)).at(static_cast<std::size_t>(row));
    }
    void FocusRow(int row) const { velmora::testing::FocusListRow(Item(IDC_PRODUCT_LIST), row); }

    velmora::testing::TempRegistry registry_;
    FixedModes modes_;
    RecordingStarter starter_;
    std::vector<ProductRow> rows_;
    int onlineBuilds_ = 0;
    std::vector<std::string> productPages_;
    std::unique_ptr<SettingsDialog> dialog_;
};

TEST_F(Win32DialogTest, OwnRowAloneLeavesStartRandomOff)
{
    Open({});
    EXPECT_EQ(Text(dialog_->Window()), dialog102::kCaption);
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(RowText(0), dialog102::kOwnRowText);
    ASSERT_NE(dialog_->OwnPage(), nullptr);
    EXPECT_TRUE(::IsWindowVisible(dialog_->OwnPage()->Window()));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_START_RANDOM)));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_PREVIEW)));
    EXPECT_EQ(onlineBuilds_, 0);
}

TEST_F(Win32DialogTest, RowsGivePagesAndOkStoresStartRandomAndThePage)
{
    // An installed member whose program file carries icon group 128 (this
    // very program), and a product that is not installed.
    Open({{"Corvane 3D", "", VELMORA3D_PATH, "", "", ""},
        {"Aquila 3D", "missing.bmp", "", "Three\nlines\nhere", "http://example.invalid/a", ""}});
    ASSERT_EQ(RowCount(), 3);
    EXPECT_EQ(RowText(1), "Corvane 3D");
    EXPECT_EQ(RowText(2), "Aquila 3D");
    EXPECT_EQ(dialog_->Model().InstalledCount(), 1);
    ASSERT_TRUE(::IsWindowEnabled(Item(IDC_START_RANDOM)));

    FocusRow(2);
    EXPECT_EQ(productPages_, (std::vector<std::string> {"Aquila 3D"}));
    EXPECT_NE(dialog_->ProductPageWindow(), nullptr);
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_PREVIEW)));
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_RESTORE_DEFAULTS)));

    FocusRow(0);
    ASSERT_NE(dialog_->OwnPage(), nullptr);
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_PREVIEW)));
    ::SendMessageW(::GetDlgItem(dialog_->OwnPage()->Window(), IDC_SPEED), TBM_SETPOS, TRUE, 31);
    ::CheckDlgButton(dialog_->Window(), IDC_START_RANDOM, BST_CHECKED);
    ::SendMessageW(dialog_->Window(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(dialog_->Window(), nullptr);

    // Read back with the registry's own call.
    DWORD value = 0;
    DWORD size = sizeof value;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tarnwick\\Kestrova3D", L"StartRandom",
                  RRF_RT_REG_DWORD, nullptr, &value, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
    size = sizeof value;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tarnwick\\Kestrova3D\\Velmora3D",
                  L"AnimationSpeed", RRF_RT_REG_DWORD, nullptr, &value, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 31u);
}

TEST_F(Win32DialogTest, ClosingAnyOtherWayStoresThePageButNotStartRandom)
{
    Open({{"Corvane 3D", "", VELMORA3D_PATH, "", "", ""}});
    ::SendMessageW(::GetDlgItem(dialog_->OwnPage()->Window(), IDC_SPEED), TBM_SETPOS, TRUE, 77);
    ::CheckDlgButton(dialog_->Window(), IDC_START_RANDOM, BST_CHECKED);
    ::SendMessageW(dialog_->Window(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    Pump();
    EXPECT_EQ(velmora::testing::StoredSettings().AnimationSpeed, 77);
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_NE(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tarnwick\\Kestrova3D", L"StartRandom",
                  RRF_RT_REG_DWORD, nullptr, &value, &size),
        ERROR_SUCCESS);
}

TEST_F(Win32DialogTest, WebUpdateRebuildsTheRowsOnline)
{
    Open({});
    rows_ = {{"Aquila 3D", "", "", "", "", ""}};
    ::SendMessageW(dialog_->Window(), WM_COMMAND, MAKEWPARAM(IDC_WEB_UPDATE, BN_CLICKED), 0);
    EXPECT_EQ(onlineBuilds_, 1);
    ASSERT_EQ(RowCount(), 2);
    EXPECT_EQ(RowText(1), "Aquila 3D");
}

} // namespace
} // namespace velmora::ui::win32
