// The collection dialog's logic over a recording view, a scripted product
// source and icon reader, and a private registry file.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/ElfBuilder.h"
#include "platform/ProgramIcon.h"
#include "platform/TempRegistry.h"
#include "settings/SaverSettings.h"
#include "ui/model/SettingsDialogModel.h"
#include "webupdate/ProductCatalogue.h"

namespace velmora::ui {
namespace {

struct Row {
    std::string text;
    int image = kNoImage;
    friend bool operator==(const Row&, const Row&) = default;
};

// Holds the rows, images, page and check box the way widgets would, logs
// every call, and reports focus changes back at once as a list view does.
class RecordingView final : public SettingsDialogView {
public:
    void DeleteAllRows() override
    {
        rows.clear();
        mark = -1;
        Log("clear");
    }
    void InsertRow(int position, const std::string& text, int image) override
    {
        rows.insert(rows.begin() + position, Row {text, image});
    }
    void MarkRow(int position) override
    {
        mark = position;
        Focus(position);
    }
    void SelectRow(int position) override
    {
        mark = position;
        Log("select " + std::to_string(position));
        Focus(position);
    }
    int SelectionMark() const override { return mark; }

    void TrimImages(int count) override { images = std::min(images, count); }
    int AddIconImage(const std::vector<uint8_t>& png) override { return png.empty() ? -1 : images++; }
    int AddBitmapImage(const std::string& path) override
    {
        return path.find("missing") != std::string::npos ? -1 : images++;
    }
    void FreeImages() override
    {
        images = 0;
        Log("free images");
    }

    void CreateOwnPage() override { Log("create own"); }
    void CreateMemberPage(const std::string& executablePath) override
    {
        Log("create member " + executablePath);
    }
    void CreateProductPage(const ProductRow& product) override { Log("create product " + product.title); }
    void DestroyPage() override { Log("destroy page"); }
    void ForwardToPage(PageCommand command) override
    {
        Log("forward " + std::to_string(static_cast<int>(command)));
    }
    void ShowPageButtons(bool visible) override
    {
        buttonsVisible = visible;
        Log(visible ? "buttons shown" : "buttons hidden");
    }

    void SetStartRandom(bool value) override { checked = value; }
    bool StartRandomChecked() const override { return checked; }
    void EnableStartRandom(bool value) override { enabled = value; }

    void Log(std::string entry) { log.push_back(std::move(entry)); }
    // The log from `from` on.
    std::vector<std::string> LogSince(std::size_t from) const { return {log.begin() + from, log.end()}; }

    SettingsDialogModel* model = nullptr;
    std::vector<Row> rows;
    int mark = -1;
    int images = kBaseImageCount;
    bool buttonsVisible = false;
    bool checked = false;
    bool enabled = false;
    std::vector<std::string> log;

private:
    void Focus(int position)
    {
        if (model)
            model->RowFocused(position);
    }
};

const ProductRow kMemberWithIcon {"Corvane 3D", "", "/opt/corvane/Corvane3D", "", "", ""};
const ProductRow kMemberWithoutIcon {"Alder 3D", "", "/opt/alder/Alder3D", "", "", ""};
const ProductRow kMemberUnreadable {"Brisk 3D", "", "/opt/brisk/Brisk3D", "", "", ""};
const ProductRow kMemberBadIcon {"Dune 3D", "", "/opt/dune/Dune3D", "", "", ""};
const ProductRow kProduct {
    "Ember 3D", "/kept/ember/icon.bmp", "", "Glowing coals.", "http://x/ember", "/kept/ember/screenshot.jpg"};
const ProductRow kProductNoPicture {"Frost 3D", "/kept/frost/missing.bmp", "", "", "http://x/frost", ""};

class SettingsDialogModelTest : public ::testing::Test {
protected:
    SettingsDialogModelTest()
    {
        icons_[kMemberWithIcon.executablePath] = {MemberIconStatus::Found, {0x89, 'P', 'N', 'G'}};
        icons_[kMemberWithoutIcon.executablePath] = {MemberIconStatus::NoIcon, {}};
        icons_[kMemberUnreadable.executablePath] = {MemberIconStatus::Unreadable, {}};
        icons_[kMemberBadIcon.executablePath] = {MemberIconStatus::Found, {}};
    }

    SettingsDialogModel& Make(int initialPage = kOwnPageValue)
    {
        model_ = std::make_unique<SettingsDialogModel>(
            view_,
            [this](bool online) {
                calls_.push_back(online);
                rowsDuringBuild_ = view_.rows;
                return online ? online_ : offline_;
            },
            [this](const std::string& path) {
                const auto found = icons_.find(path);
                return found == icons_.end() ? MemberIcon {} : found->second;
            },
            initialPage);
        view_.model = model_.get();
        return *model_;
    }
    SettingsDialogModel& Start(int initialPage = kOwnPageValue)
    {
        Make(initialPage).Initialise();
        return *model_;
    }

    void StoreStartRandom(uint32_t value) { ASSERT_TRUE(WriteStartRandom(value)); }

    testing::TempRegistry registry_;
    RecordingView view_;
    std::unique_ptr<SettingsDialogModel> model_;
    std::vector<ProductRow> offline_;
    std::vector<ProductRow> online_;
    std::map<std::string, MemberIcon> icons_;
    std::vector<bool> calls_;
    std::vector<Row> rowsDuringBuild_;
};

// ---- Filling the list ----------------------------------------------------

struct FillCase {
    const char* name;
    std::vector<ProductRow> products;
    std::vector<int> images; // of the rows after row 0
    int installed;
};
void PrintTo(const FillCase& c, std::ostream* os)
{
    *os << c.name;
}

class FillListTest : public SettingsDialogModelTest, public ::testing::WithParamInterface<FillCase> { };

TEST_P(FillListTest, RowsImagesAndStartRandom)
{
    const FillCase& c = GetParam();
    offline_ = c.products;
    SettingsDialogModel& model = Start();

    ASSERT_EQ(view_.rows.size(), c.products.size() + 1);
    EXPECT_EQ(view_.rows[0], (Row {"Velmora 3D Screensaver", kOwnIconImage}));
    std::vector<int> values {kOwnPageValue};
    for (std::size_t i = 0; i < c.products.size(); ++i) {
        EXPECT_EQ(view_.rows[i + 1].text, c.products[i].title);
        EXPECT_EQ(view_.rows[i + 1].image, c.images[i]) << "row " << i + 1;
        values.push_back(static_cast<int>(i));
    }
    EXPECT_EQ(model.RowValues(), values);
    EXPECT_EQ(model.InstalledCount(), c.installed);
    EXPECT_EQ(view_.enabled, c.installed > 0);
    EXPECT_EQ(calls_, std::vector<bool> {false}) << "the dialog starts without going online";
}

INSTANTIATE_TEST_SUITE_P(Products, FillListTest,
    ::testing::Values(FillCase {"Alone", {}, {}, 0},
        // Images after the program's icon and the strip start at 7.
        FillCase {"MemberWithIcon", {kMemberWithIcon}, {7}, 1},
        FillCase {"MemberWithoutIconCounts", {kMemberWithoutIcon}, {4}, 1},
        FillCase {"UnreadableMemberDoesNotCount", {kMemberUnreadable}, {4}, 0},
        FillCase {"UndecodableIconShowsAsNone", {kMemberBadIcon}, {4}, 1},
        FillCase {"ProductsOnly", {kProduct, kProductNoPicture}, {7, kNoImage}, 0},
        FillCase {
            "Mixed", {kMemberWithIcon, kMemberUnreadable, kProduct, kMemberWithoutIcon}, {7, 4, 8, 4}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogModelTest, WebUpdateShowsOnlyThisProgramWhileItRunsAndDropsOldImages)
{
    offline_ = {kMemberWithIcon, kProduct};
    online_ = {kMemberWithIcon, kProduct, kProductNoPicture};
    SettingsDialogModel& model = Start();
    ASSERT_EQ(view_.images, 9);

    model.WebUpdateClicked();
    EXPECT_EQ(calls_, (std::vector<bool> {false, true}));
    EXPECT_EQ(rowsDuringBuild_, (std::vector<Row> {{"Velmora 3D Screensaver", 0}}));
    // The refreshed rows take the same image slots again, not new ones.
    ASSERT_EQ(view_.rows.size(), 4u);
    EXPECT_EQ(view_.rows[1].image, 7);
    EXPECT_EQ(view_.rows[2].image, 8);
    EXPECT_EQ(view_.rows[3].image, kNoImage);
    EXPECT_EQ(view_.images, 9);
    EXPECT_EQ(model.Products(), online_);
}

// ---- Pages -----------------------------------------------------------------

struct PageCase {
    const char* name;
    std::vector<int> values; // ShowPage after the own page is up
    std::vector<std::string> log;
    bool buttonsVisible;
};
void PrintTo(const PageCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShowPageTest : public SettingsDialogModelTest, public ::testing::WithParamInterface<PageCase> { };

TEST_P(ShowPageTest, PagesAndButtons)
{
    const PageCase& c = GetParam();
    offline_ = {kMemberWithIcon, kProduct};
    SettingsDialogModel& model = Start();
    const std::size_t from = view_.log.size();
    for (int value : c.values)
        model.ShowPage(value);
    EXPECT_EQ(view_.LogSince(from), c.log);
    EXPECT_EQ(view_.buttonsVisible, c.buttonsVisible);
    EXPECT_EQ(model.PageId(), c.values.empty() ? kOwnPageValue : c.values.back());
}

INSTANTIATE_TEST_SUITE_P(Values, ShowPageTest,
    ::testing::Values(
        // This program's page again: no save, no reload.
        PageCase {"SameValueDoesNothing", {-1, -1}, {}, true},
        PageCase {
            "Member", {0}, {"destroy page", "create member /opt/corvane/Corvane3D", "buttons shown"}, true},
        PageCase {"Product", {1}, {"destroy page", "create product Ember 3D", "buttons hidden"}, false},
        PageCase {"ProductThenOwn", {1, -1},
            {"destroy page", "create product Ember 3D", "buttons hidden", "destroy page", "create own",
                "buttons shown"},
            true},
        PageCase {"MemberTwiceStartsOnce", {0, 0},
            {"destroy page", "create member /opt/corvane/Corvane3D", "buttons shown"}, true},
        // A value no row has: no page, and the buttons stay as they were.
        PageCase {"UnknownValueLeavesNoPage", {1, 7},
            {"destroy page", "create product Ember 3D", "buttons hidden", "destroy page"}, false},
        PageCase {"NegativeUnknownValue", {-2}, {"destroy page"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogModelTest, InitialPageIsSelectedAndShown)
{
    offline_ = {kProduct, kMemberWithIcon};
    Start(1);
    // Row 2 carries value 1; selecting it shows the member's page once.
    EXPECT_EQ(view_.log,
        (std::vector<std::string> {
            "clear", "select 2", "create member /opt/corvane/Corvane3D", "buttons shown"}));
    EXPECT_EQ(view_.mark, 2);
}

TEST_F(SettingsDialogModelTest, OwnInitialPageNeedsNoSelection)
{
    Start();
    EXPECT_EQ(view_.log, (std::vector<std::string> {"clear", "create own", "buttons shown"}));
    EXPECT_EQ(view_.mark, 0);
}

TEST_F(SettingsDialogModelTest, ClickedRowsShowTheirPages)
{
    offline_ = {kMemberWithIcon, kProduct};
    SettingsDialogModel& model = Start();
    model.RowFocused(2);
    EXPECT_EQ(model.Page(), PageKind::Product);
    model.RowFocused(1);
    EXPECT_EQ(model.Page(), PageKind::Member);
    EXPECT_EQ(model.PageId(), 0);
    // Positions outside the list are no row.
    model.RowFocused(3);
    model.RowFocused(-1);
    EXPECT_EQ(model.PageId(), 0);
}

struct RefreshCase {
    const char* name;
    std::vector<ProductRow> online;
    PageKind page; // after the refresh
    int pageId;
    int mark;
    bool rebuilt;
};
void PrintTo(const RefreshCase& c, std::ostream* os)
{
    *os << c.name;
}

class RefreshTest : public SettingsDialogModelTest, public ::testing::WithParamInterface<RefreshCase> { };

// A refresh while another row's page shows: the page stays when its row
// still names the same product, else this program's page takes over, so the
// selected row and the page always agree.
TEST_P(RefreshTest, PageFollowsItsRow)
{
    const RefreshCase& c = GetParam();
    offline_ = {kMemberWithIcon, kProduct};
    online_ = c.online;
    SettingsDialogModel& model = Start();
    model.RowFocused(2); // the product page
    const std::size_t from = view_.log.size();
    model.WebUpdateClicked();
    EXPECT_EQ(model.Page(), c.page);
    EXPECT_EQ(model.PageId(), c.pageId);
    EXPECT_EQ(view_.mark, c.mark);
    const auto log = view_.LogSince(from);
    EXPECT_EQ(std::count(log.begin(), log.end(), "destroy page"), c.rebuilt ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Products, RefreshTest,
    ::testing::Values(
        RefreshCase {"SameProduct", {kMemberWithIcon, kProduct}, PageKind::Product, 1, 2, false},
        RefreshCase {"ProductChanged", {kMemberWithIcon, kProductNoPicture}, PageKind::Own, -1, 0, true},
        RefreshCase {"ProductGone", {kMemberWithIcon}, PageKind::Own, -1, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogModelTest, ButtonsForwardToThePageShown)
{
    offline_ = {kMemberWithIcon};
    SettingsDialogModel& model = Start();
    model.ShowPage(0);
    std::size_t from = view_.log.size();
    model.PreviewClicked();
    model.RestoreDefaultsClicked();
    EXPECT_EQ(view_.LogSince(from), (std::vector<std::string> {"forward 1028", "forward 1027"}));

    model.ShowPage(9); // no page
    from = view_.log.size();
    model.PreviewClicked();
    model.RestoreDefaultsClicked();
    EXPECT_TRUE(view_.LogSince(from).empty());
}

// ---- "Start random" and closing --------------------------------------------

struct StartRandomCase {
    const char* name;
    bool stored; // whether a value is in the registry at start
    uint32_t value;
    bool checkedAtStart;
    bool checkedAtOk;
    uint32_t written;
};
void PrintTo(const StartRandomCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartRandomTest : public SettingsDialogModelTest,
                        public ::testing::WithParamInterface<StartRandomCase> { };

TEST_P(StartRandomTest, ReadAtStartWrittenByOk)
{
    const StartRandomCase& c = GetParam();
    if (c.stored)
        StoreStartRandom(c.value);
    offline_ = {kMemberWithIcon};
    SettingsDialogModel& model = Start();
    EXPECT_EQ(view_.checked, c.checkedAtStart);
    EXPECT_TRUE(view_.enabled);

    view_.checked = c.checkedAtOk;
    model.OkClicked();
    model.Destroy();
    EXPECT_EQ(ReadStartRandom(), c.written);
    EXPECT_EQ(model.StartRandom(), c.written);

    // A new start shows what OK stored.
    Start();
    EXPECT_EQ(view_.checked, c.written != 0);
}

INSTANTIATE_TEST_SUITE_P(Values, StartRandomTest,
    ::testing::Values(StartRandomCase {"MissingIsOff", false, 0, false, true, 1},
        StartRandomCase {"OnStaysOn", true, 1, true, true, 1},
        StartRandomCase {"TurnedOff", true, 1, true, false, 0},
        StartRandomCase {"AnyNonZeroIsOnAndStoredAsOne", true, 5, true, true, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogModelTest, ClosingWithoutOkWritesNothing)
{
    StoreStartRandom(1);
    offline_ = {kMemberWithIcon};
    SettingsDialogModel& model = Start();
    view_.checked = false;
    model.Destroy();
    EXPECT_EQ(ReadStartRandom(), 1u);
}

TEST_F(SettingsDialogModelTest, NoInstalledMemberDisablesStartRandomAfterRefresh)
{
    offline_ = {kMemberWithIcon};
    online_ = {kProduct};
    SettingsDialogModel& model = Start();
    EXPECT_TRUE(view_.enabled);
    model.WebUpdateClicked();
    EXPECT_FALSE(view_.enabled);
}

TEST_F(SettingsDialogModelTest, DestroyTakesThePageBeforeTheImages)
{
    offline_ = {kMemberWithIcon};
    SettingsDialogModel& model = Start();
    model.ShowPage(0);
    std::size_t from = view_.log.size();
    model.Destroy();
    EXPECT_EQ(view_.LogSince(from), (std::vector<std::string> {"destroy page", "free images"}));
    EXPECT_EQ(model.Page(), PageKind::Nothing);

    // Without a page only the images go.
    model.ShowPage(5);
    from = view_.log.size();
    model.Destroy();
    EXPECT_EQ(view_.LogSince(from), (std::vector<std::string> {"free images"}));
}

// ---- The minimised dialog's icon -------------------------------------------

TEST(MinimisedIconOriginTest, CentredWithOddRemaindersRightAndDown)
{
    struct Case {
        int width, height, iconWidth, iconHeight;
        IconOrigin origin;
    };
    const Case cases[] = {
        {160, 32, 32, 32, {64, 0}}, {33, 33, 32, 32, {1, 1}}, // (1 + 1) / 2
        {34, 35, 32, 32, {1, 2}}, {16, 16, 32, 32, {-7, -7}}, // smaller than the icon: still centred
    };
    for (const Case& c : cases)
        EXPECT_EQ(MinimisedIconOrigin(c.width, c.height, c.iconWidth, c.iconHeight), c.origin)
            << c.width << "x" << c.height;
}

// ---- The catalogue's rows -------------------------------------------------

// One installed member from the registry and one product from the kept list:
// every text the dialog uses comes from the matching field.
TEST_F(SettingsDialogModelTest, CatalogueRowsTakeEveryField)
{
    const std::string member = registry_.MakeFile("Corvane3D");
    const std::filesystem::path install = registry_.Dir() / "install";
    std::filesystem::create_directories(install / "web");
    std::ofstream(install / "web" / "update.xml")
        << "<?xml version=\"1.0\"?>\n<English>\n<ProductsList>\n<Count>1</Count>\n"
           "<Product1><ID>EMBER3D</ID><Title>Ember 3D</Title><Version>1.0</Version><Description>"
           "<Text>Glowing coals.</Text><ScreenshotURL>http://x/s.jpg</ScreenshotURL><IconURL>http://x/i.bmp"
           "</IconURL></Description><DownloadURL>http://x/ember.tar.gz</DownloadURL></Product1>\n"
           "</ProductsList>\n</English>\n";
    testing::RegisterMember("Corvane3D", "Corvane 3D", member);
    testing::StoreCollectionValue("Velmora3D", "InstallPath", install.string() + "/");

    webupdate::ProductCatalogue catalogue([](std::string_view) {});
    catalogue.Build(false, nullptr);
    ASSERT_EQ(catalogue.Size(), 2u);
    const std::vector<ProductRow> rows = CatalogueRows(catalogue);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (ProductRow {"Corvane 3D", "", member, "", "", ""}));
    const webupdate::ProductEntry& kept = catalogue[1];
    EXPECT_EQ(rows[1],
        (ProductRow {"Ember 3D", kept.icon, "", "Glowing coals.", "http://x/ember.tar.gz", kept.screenshot}));
    EXPECT_NE(kept.icon, kept.screenshot);
    EXPECT_FALSE(kept.icon.empty());
}

// ---- A member's icon from its program file --------------------------------

#if !defined(_WIN32) // on Windows a member's icon is icon group 128 of its PE file
TEST_F(SettingsDialogModelTest, MemberIconComesFromTheProgramFilesSection)
{
    const std::vector<uint8_t> png16 = velmora::testing::PngHead(16, 16);
    const std::vector<uint8_t> png32 = velmora::testing::PngHead(32, 32, 20);
    const std::vector<uint8_t> png48 = velmora::testing::PngHead(48, 48);
    const velmora::testing::ElfBuilder builder({});
    const auto write = [&](const std::string& name,
                           const std::vector<velmora::testing::ElfSection>& sections) {
        const std::string path = (registry_.Dir() / name).string();
        const std::vector<uint8_t> file = builder.Build(sections);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        return path;
    };
    const std::string withIcon = write("WithIcon",
        {{".text", 1, std::vector<uint8_t>(16, 0x90)},
            {std::string(platform::kIconSectionName), 1,
                platform::BuildIconSection({{16, 16, png16}, {48, 48, png48}, {32, 32, png32}})}});
    const std::string withoutIcon = write("WithoutIcon", {{".text", 1, std::vector<uint8_t>(16, 0x90)}});

    const MemberIcon found = ReadMemberIcon(withIcon);
    EXPECT_EQ(found.status, MemberIconStatus::Found);
    EXPECT_EQ(found.png, png32) << "the image that fits the list";
    EXPECT_EQ(ReadMemberIcon(withoutIcon).status, MemberIconStatus::NoIcon);
    EXPECT_EQ(ReadMemberIcon(registry_.MakeFile("script")).status, MemberIconStatus::NoIcon);
    EXPECT_EQ(ReadMemberIcon((registry_.Dir() / "gone").string()).status, MemberIconStatus::Unreadable);
}
#endif

// ---- Starting a member ------------------------------------------------------

TEST(MemberCommandLineTest, PathThenUpperCaseHexWindow)
{
    struct Case {
        unsigned long window;
        const char* argument;
    };
    const Case cases[] = {{0x1c00007, "-1:1C00007"}, {0xabcdefUL, "-1:ABCDEF"}, {1, "-1:1"}, {0, "-1:0"}};
    for (const Case& c : cases)
        EXPECT_EQ(MemberCommandLine("/opt/my members/Alder3D", c.window),
            (std::vector<std::string> {"/opt/my members/Alder3D", c.argument}));
}

} // namespace
} // namespace velmora::ui
