// The product list and the catalogue, online against a real HTTP server and
// from the kept copy.

#include "webupdate/ProductCatalogue.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "StringTable.h"
#include "webupdate/KeyPathDocument.h"
#include "webupdate/WebProductList.h"
#include "WebUpdateFixture.h"

namespace velmora::webupdate {
namespace {

namespace fs = std::filesystem;
using testing::ListFiles;
using testing::PublishedProduct;
using testing::ReadFileBytes;
using testing::RecordingProgress;
using Strings = std::vector<std::string>;

const std::vector<PublishedProduct> kThree = {
    {"ALDER3D", "Alder 3D"},
    {"CORVANE3D", "Corvane 3D"},
    {"MIRELLE3D", "Mirelle 3D"},
};

class CatalogueTest : public testing::WebUpdateFixture {
protected:
    ProductCatalogue Build(bool online, ProgressSink* progress = nullptr)
    {
        ProductCatalogue catalogue(Recorder());
        EXPECT_EQ(catalogue.Build(online, progress), 1);
        return catalogue;
    }
    static Strings Ids(const ProductCatalogue& catalogue)
    {
        Strings ids;
        for (const ProductEntry& e : catalogue.Entries())
            ids.push_back(e.id);
        return ids;
    }
    std::string ProductFile(const std::string& id, const std::string& name) const
    {
        return (WebFolder() / id / name).string();
    }
};

// [SECTION] Online builds

TEST_F(CatalogueTest, OnlineBuildKeepsTheListAndEveryPicture)
{
    Publish(kThree);
    RecordingProgress progress;
    const ProductCatalogue catalogue = Build(true, &progress);
    EXPECT_TRUE(messages_.empty());
    ASSERT_TRUE(catalogue.ListLoaded());
    ASSERT_EQ(Ids(catalogue), (Strings {"ALDER3D", "CORVANE3D", "MIRELLE3D"}));

    EXPECT_EQ(ReadFileBytes(WebFolder() / "update.xml"), ListText(kThree));
    for (const PublishedProduct& p : kThree) {
        EXPECT_EQ(ReadFileBytes(ProductFile(p.id, "screenshot.jpg")), ScreenshotBytes(p.id));
        EXPECT_EQ(ReadFileBytes(ProductFile(p.id, "icon.bmp")), IconBytes(p.id));
    }
    const ProductEntry& first = catalogue[0];
    EXPECT_EQ(first.title, "Alder 3D");
    EXPECT_EQ(first.version, "1.0");
    EXPECT_EQ(first.description, "First line\nSecond line\nThird line");
    EXPECT_EQ(first.downloadUrl, "http://downloads.example/Alder 3D.exe");
    EXPECT_EQ(first.screenshot, ProductFile("ALDER3D", "screenshot.jpg"));
    EXPECT_EQ(first.icon, ProductFile("ALDER3D", "icon.bmp"));
    EXPECT_TRUE(first.spare.empty());
    EXPECT_FALSE(first.IsInstalled());
}

TEST_F(CatalogueTest, ProgressOfThreeProducts)
{
    Publish(kThree);
    RecordingProgress progress;
    Build(true, &progress);
    EXPECT_EQ(progress.Of("percent"), (Strings {"0", "0", "16", "33", "50", "66", "83"}));
    EXPECT_EQ(progress.Of("status"),
        (Strings {"Downloading available products list...", "Downloading screenshots && icons"}));
    Strings locations {ListUrl(), ListUrl()};
    for (int i = 1; i <= 3; ++i) {
        locations.push_back(server_->Url("/files/" + std::to_string(i) + "/screenshot.jpg"));
        locations.push_back(server_->Url("/files/" + std::to_string(i) + "/icon.bmp"));
    }
    EXPECT_EQ(progress.Of("location"), locations);
    // The window is given a chance to answer after every step, and while
    // each transfer runs.
    EXPECT_GE(progress.pumps, 2 + 2 * 3);
}

TEST_F(CatalogueTest, SecondRefreshFetchesOnlyTheList)
{
    Publish(kThree);
    Build(true);
    const std::size_t first = server_->RequestedPaths().size();
    EXPECT_EQ(first, 7u);
    const ProductCatalogue again = Build(true);
    EXPECT_TRUE(again.ListLoaded());
    const Strings requests = server_->RequestedPaths();
    EXPECT_EQ(Strings(requests.begin() + static_cast<std::ptrdiff_t>(first), requests.end()),
        (Strings {"/products.xml"}));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(CatalogueTest, InstalledMembersComeFirstAndHideListedProducts)
{
    // Registered in name order, which Windows' registry enumerates in too.
    RegisterMember("BRISK3D", "Brisk 3D");
    RegisterMember("CORVANE3D", "Corvane 3D installed");
    RegisterMember("VELMORA3D", "Velmora 3D");
    Publish({{"ALDER3D", "Alder 3D"}, {"CORVANE3D", "Corvane 3D"}, {"VELMORA3D", "Velmora 3D"},
        {"ALDER3D", "Alder 3D again"}});
    const ProductCatalogue catalogue = Build(true);
    ASSERT_TRUE(catalogue.ListLoaded());
    ASSERT_EQ(Ids(catalogue), (Strings {"BRISK3D", "CORVANE3D", "ALDER3D"}));
    EXPECT_EQ(catalogue[1].title, "Corvane 3D installed");
    EXPECT_TRUE(catalogue[1].IsInstalled());
    EXPECT_TRUE(catalogue[1].screenshot.empty());
    EXPECT_TRUE(catalogue[1].description.empty());
    EXPECT_EQ(catalogue[2].title, "Alder 3D");
    // This program's own entry in the list is never fetched for.
    EXPECT_FALSE(fs::exists(WebFolder() / "VELMORA3D"));
}

TEST_F(CatalogueTest, ListOfOnlyThisProgramGivesTheInstalledMembers)
{
    RegisterMember("BRISK3D", "Brisk 3D");
    Publish({{"VELMORA3D", "Velmora 3D"}});
    const ProductCatalogue catalogue = Build(true);
    EXPECT_TRUE(catalogue.ListLoaded());
    EXPECT_EQ(Ids(catalogue), (Strings {"BRISK3D"}));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(CatalogueTest, InstallPathWithoutFinalSlashStillWritesBelowIt)
{
    SetInstallPath(installRoot_.string());
    Publish({{"ALDER3D", "Alder 3D"}});
    EXPECT_TRUE(Build(true).ListLoaded());
    EXPECT_EQ(ListFiles(install_.Path()),
        (Strings {"Kestrova/web/ALDER3D/icon.bmp", "Kestrova/web/ALDER3D/screenshot.jpg",
            "Kestrova/web/update.xml"}));
}

// [SECTION] Failed online builds

struct HostileId {
    const char* name;
    const char* id;
};

class HostileIdTest : public CatalogueTest, public ::testing::WithParamInterface<HostileId> { };

TEST_P(HostileIdTest, ListIsRefusedAndNothingIsWritten)
{
    RegisterMember("BRISK3D", "Brisk 3D");
    Publish({{"ALDER3D", "Alder 3D"}});
    ASSERT_TRUE(Build(true).ListLoaded());
    const std::string kept = ReadFileBytes(WebFolder() / "update.xml");
    const Strings before = ListFiles(install_.Path());
    const std::size_t requests = server_->RequestedPaths().size();

    Publish({{"CORVANE3D", "Corvane 3D"}, {GetParam().id, "Hostile"}});
    const ProductCatalogue catalogue = Build(true);
    EXPECT_FALSE(catalogue.ListLoaded());
    EXPECT_EQ(messages_, (Strings {"Failed to update products list Online!"}));
    // The rows of the kept list stay.
    EXPECT_EQ(Ids(catalogue), (Strings {"BRISK3D", "ALDER3D"}));
    EXPECT_EQ(ListFiles(install_.Path()), before);
    EXPECT_EQ(ReadFileBytes(WebFolder() / "update.xml"), kept);
    // No picture was asked for.
    EXPECT_EQ(server_->RequestedPaths().size(), requests + 1);
}

INSTANTIATE_TEST_SUITE_P(Ids, HostileIdTest,
    ::testing::Values(HostileId {"Empty", ""}, HostileId {"Dot", "."}, HostileId {"DotDot", ".."},
        HostileId {"ParentPath", "../../escape"}, HostileId {"Absolute", "/tmp/escape"},
        HostileId {"Slash", "a/b"}, HostileId {"Backslash", "a\\b"}, HostileId {"EmbeddedDots", "a..b"},
        HostileId {"Drive", "C:escape"}, HostileId {"ControlCharacter", "a\x01z"}, HostileId {"Tab", "a\tb"},
        HostileId {"LineFeed", "a\nb"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BrokenList {
    const char* name;
    std::string body; // empty: the list address answers 404; "-": nothing listens there
};

class BrokenListTest : public CatalogueTest, public ::testing::WithParamInterface<BrokenList> { };

TEST_P(BrokenListTest, KeptListStaysAndStillServesOfflineBuilds)
{
    Publish(kThree);
    ASSERT_TRUE(Build(true).ListLoaded());
    const std::string kept = ReadFileBytes(WebFolder() / "update.xml");

    if (GetParam().body == "-")
        ::velmora::testing::SetEnvironment("KESTROVA3D_UPDATE_URL",
            ("http://127.0.0.1:" + std::to_string(testing::ClosedPort()) + "/products.xml").c_str());
    else if (GetParam().body.empty())
        fs::remove(site_.Path() / "products.xml");
    else
        site_.Write("products.xml", GetParam().body);
    const ProductCatalogue online = Build(true);
    EXPECT_FALSE(online.ListLoaded());
    EXPECT_EQ(messages_, (Strings {"Failed to update products list Online!"}));
    EXPECT_EQ(ReadFileBytes(WebFolder() / "update.xml"), kept);
    // The rows of the kept list stay, with their pictures.
    ASSERT_EQ(Ids(online), (Strings {"ALDER3D", "CORVANE3D", "MIRELLE3D"}));
    EXPECT_EQ(online[1].title, "Corvane 3D");
    EXPECT_EQ(online[1].screenshot, ProductFile("CORVANE3D", "screenshot.jpg"));
    EXPECT_TRUE(fs::exists(online[1].icon));

    const ProductCatalogue offline = Build(false);
    EXPECT_TRUE(offline.ListLoaded());
    EXPECT_EQ(Ids(offline), (Strings {"ALDER3D", "CORVANE3D", "MIRELLE3D"}));
}

INSTANTIATE_TEST_SUITE_P(Bodies, BrokenListTest,
    ::testing::Values(BrokenList {"NotFoundPage", ""}, BrokenList {"ServerGone", "-"},
        BrokenList {"CutShort", "<English><ProductsList><Count>1</Count><Product1><ID>A</ID>"},
        BrokenList {"MissingCount", "<English><ProductsList></ProductsList></English>"},
        BrokenList {"MissingProduct", "<English><ProductsList><Count>2</Count></ProductsList></English>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CatalogueTest, MissingVersionFailsTheWholeList)
{
    Publish({{"ALDER3D", "Alder 3D"}, {"CORVANE3D", "Corvane 3D", "text", false}});
    const ProductCatalogue catalogue = Build(true);
    EXPECT_FALSE(catalogue.ListLoaded());
    EXPECT_TRUE(catalogue.Entries().empty());
    EXPECT_EQ(messages_, (Strings {"Failed to update products list Online!"}));
}

TEST_F(CatalogueTest, UnwritableKeptListShowsBothMessages)
{
    Publish(kThree);
    fs::create_directories(WebFolder() / "update.xml"); // a folder in the way
    const ProductCatalogue catalogue = Build(true);
    EXPECT_FALSE(catalogue.ListLoaded());
    EXPECT_EQ(messages_, (Strings {std::string(kCantSaveMessage), "Failed to update products list Online!"}));
}

TEST_F(CatalogueTest, PictureThatCannotBeFetchedFailsTheRefresh)
{
    std::string list = ListText(kThree);
    const std::string icon = server_->Url("/files/2/icon.bmp");
    list.replace(list.find(icon), icon.size(),
        "http://127.0.0.1:" + std::to_string(testing::ClosedPort()) + "/icon.bmp");
    Publish(kThree);
    site_.Write("products.xml", list);
    const ProductCatalogue catalogue = Build(true);
    EXPECT_FALSE(catalogue.ListLoaded());
    EXPECT_EQ(messages_, (Strings {"Failed to update products list Online!"}));
    // The list itself had come and is kept: its rows stay.
    EXPECT_EQ(Ids(catalogue), (Strings {"ALDER3D", "CORVANE3D", "MIRELLE3D"}));
    EXPECT_FALSE(fs::exists(ProductFile("CORVANE3D", "icon.bmp")));
}

// [SECTION] Pictures the server does not have

struct MissingPicture {
    const char* name;
    const char* file; // the second product's "screenshot.jpg" or "icon.bmp"
    const char* answer; // "404", "500": the list names that status; else what the file holds
};

class MissingPictureTest : public CatalogueTest, public ::testing::WithParamInterface<MissingPicture> {
protected:
    std::string Published(const std::string& file) const
    {
        return file == "icon.bmp" ? IconBytes("CORVANE3D") : ScreenshotBytes("CORVANE3D");
    }
};

// Only a 2xx answer that is the picture it should be is kept. The refresh
// still succeeds, the product is listed without that picture, and the next
// refresh asks for it again.
TEST_P(MissingPictureTest, IsNotKeptAndIsAskedForAgain)
{
    const std::string file = GetParam().file;
    const std::string answer = GetParam().answer;
    const std::string other = file == "icon.bmp" ? "screenshot.jpg" : "icon.bmp";
    Publish(kThree);
    if (answer == "404" || answer == "500") {
        std::string list = ListText(kThree);
        const std::string url = server_->Url("/files/2/" + file);
        list.replace(list.find(url), url.size(), server_->Url("/status/" + answer));
        site_.Write("products.xml", list);
    } else if (answer == "html") {
        site_.Write("files/2/" + file, "<html><body>Sorry, no picture here</body></html>");
    } else if (answer == "otherKind") {
        site_.Write("files/2/" + file, Published(other));
    } else {
        site_.Write("files/2/" + file, "");
    }

    const ProductCatalogue first = Build(true);
    EXPECT_TRUE(first.ListLoaded());
    EXPECT_TRUE(messages_.empty());
    ASSERT_EQ(Ids(first), (Strings {"ALDER3D", "CORVANE3D", "MIRELLE3D"}));
    EXPECT_FALSE(fs::exists(ProductFile("CORVANE3D", file))) << "kept what is no picture";
    EXPECT_EQ(file == "icon.bmp" ? first[1].icon : first[1].screenshot, ProductFile("CORVANE3D", file));
    EXPECT_EQ(ReadFileBytes(ProductFile("CORVANE3D", other)), Published(other));
    EXPECT_EQ(ListFiles(WebFolder()).size(), 1u + 5u) << "the list and the five good pictures";

    Publish(kThree);
    const std::size_t before = server_->RequestedPaths().size();
    EXPECT_TRUE(Build(true).ListLoaded());
    const Strings requests = server_->RequestedPaths();
    EXPECT_EQ(Strings(requests.begin() + static_cast<std::ptrdiff_t>(before), requests.end()),
        (Strings {"/products.xml", "/files/2/" + file}));
    EXPECT_EQ(ReadFileBytes(ProductFile("CORVANE3D", file)), Published(file));
}

INSTANTIATE_TEST_SUITE_P(Answers, MissingPictureTest,
    ::testing::Values(MissingPicture {"ScreenshotNotFound", "screenshot.jpg", "404"},
        MissingPicture {"IconServerError", "icon.bmp", "500"},
        MissingPicture {"ScreenshotAsPage", "screenshot.jpg", "html"},
        MissingPicture {"IconAsPage", "icon.bmp", "html"},
        MissingPicture {"ScreenshotEmpty", "screenshot.jpg", "empty"},
        MissingPicture {"IconIsAJpeg", "icon.bmp", "otherKind"},
        MissingPicture {"ScreenshotIsABitmap", "screenshot.jpg", "otherKind"}),
    [](const auto& info) { return std::string(info.param.name); });

// What an earlier refresh kept of an error page is no picture: it is asked
// for again and replaced.
TEST_F(CatalogueTest, KeptErrorPageIsFetchedAgain)
{
    Publish(kThree);
    const std::string kept = ProductFile("ALDER3D", "screenshot.jpg");
    fs::create_directories(fs::path(kept).parent_path());
    std::ofstream(kept, std::ios::binary) << "<html><head><title>404 Not Found</title></head></html>";
    const ProductCatalogue catalogue = Build(true);
    EXPECT_TRUE(catalogue.ListLoaded());
    EXPECT_EQ(ReadFileBytes(kept), ScreenshotBytes("ALDER3D"));
    EXPECT_EQ(server_->RequestedPaths().size(), 7u);
}

// [SECTION] Cancelling

// Lets the window answer as a progress window does, and asks for cancelling
// once `when` holds.
class CancellingProgress final : public ProgressSink {
public:
    explicit CancellingProgress(std::function<bool()> when)
        : when_(std::move(when))
    {
    }
    void SetStatus(std::string_view) override { }
    void SetPercent(int) override { }
    void SetLocation(std::string_view) override { }
    bool IsCancelled() const override { return cancelled_; }
    void PumpMessages() override
    {
        if (!cancelled_ && when_())
            cancelled_ = true;
    }
    int Finish() override { return cancelled_ ? kFinishedCancelled : kFinishedOk; }

private:
    std::function<bool()> when_;
    bool cancelled_ = false;
};

struct StalledCase {
    const char* name;
    bool listStalls; // else the second product's screenshot
};

class CancelTest : public CatalogueTest, public ::testing::WithParamInterface<StalledCase> { };

// A transfer that the server holds (it sends half the body, then nothing)
// ends when cancelling is asked for, not at the stall limit; the user is
// not told of a failure he asked for, nothing half-written is kept, and the
// rows of the kept list stay.
TEST_P(CancelTest, CancellingEndsAStalledTransfer)
{
    Publish(kThree);
    ASSERT_TRUE(Build(true).ListLoaded());
    const std::string kept = ReadFileBytes(WebFolder() / "update.xml");
    fs::remove_all(WebFolder() / "CORVANE3D");
    const std::string stall = server_->Url("/stall/500");
    if (GetParam().listStalls) {
        ::velmora::testing::SetEnvironment("KESTROVA3D_UPDATE_URL", stall.c_str());
    } else {
        std::string list = ListText(kThree);
        const std::string url = server_->Url("/files/2/screenshot.jpg");
        list.replace(list.find(url), url.size(), stall);
        site_.Write("products.xml", list);
    }

    CancellingProgress progress([&] {
        const Strings paths = server_->RequestedPaths();
        return std::find(paths.begin(), paths.end(), "/stall/500") != paths.end();
    });
    const ProductCatalogue catalogue = Build(true, &progress);
    EXPECT_TRUE(progress.IsCancelled());
    EXPECT_FALSE(catalogue.ListLoaded());
    EXPECT_EQ(messages_, Strings {}) << "no failure box for a cancel";
    EXPECT_EQ(Ids(catalogue), (Strings {"ALDER3D", "CORVANE3D", "MIRELLE3D"}));
    EXPECT_FALSE(fs::exists(ProductFile("CORVANE3D", "screenshot.jpg")));
    for (const std::string& file : ListFiles(install_.Path()))
        EXPECT_EQ(file.find(".part"), std::string::npos) << file;
    if (GetParam().listStalls) {
        EXPECT_EQ(ReadFileBytes(WebFolder() / "update.xml"), kept);
    }
    // Nothing after the cancelled transfer was asked for.
    EXPECT_EQ(server_->RequestedPaths().back(), "/stall/500");
}

INSTANTIATE_TEST_SUITE_P(Transfers, CancelTest,
    ::testing::Values(StalledCase {"List", true}, StalledCase {"Screenshot", false}),
    [](const auto& info) { return std::string(info.param.name); });

// [SECTION] Offline builds and the installation path

TEST_F(CatalogueTest, CachedBuildWithProductFoldersDeleted)
{
    Publish(kThree);
    ASSERT_TRUE(Build(true).ListLoaded());
    for (const PublishedProduct& p : kThree)
        fs::remove_all(WebFolder() / p.id);
    const std::size_t requests = server_->RequestedPaths().size();

    const ProductCatalogue catalogue = Build(false);
    EXPECT_TRUE(catalogue.ListLoaded());
    ASSERT_EQ(catalogue.Size(), 3u);
    EXPECT_EQ(catalogue[1].screenshot, ProductFile("CORVANE3D", "screenshot.jpg"));
    EXPECT_EQ(catalogue[1].icon, ProductFile("CORVANE3D", "icon.bmp"));
    EXPECT_FALSE(fs::exists(catalogue[1].icon));
    EXPECT_EQ(server_->RequestedPaths().size(), requests);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(CatalogueTest, OfflineBuildWithoutKeptListIsQuiet)
{
    RegisterMember("BRISK3D", "Brisk 3D");
    const ProductCatalogue catalogue = Build(false);
    EXPECT_FALSE(catalogue.ListLoaded());
    EXPECT_EQ(Ids(catalogue), (Strings {"BRISK3D"}));
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(server_->RequestedPaths().empty());
}

struct MissingPathCase {
    const char* name;
    bool online;
    Strings messages;
};

class MissingInstallPathTest : public CatalogueTest,
                               public ::testing::WithParamInterface<MissingPathCase> { };

TEST_P(MissingInstallPathTest, ShowsTheReinstallMessage)
{
    RegisterMember("BRISK3D", "Brisk 3D");
    Publish(kThree);
    ClearInstallPath();
    const ProductCatalogue catalogue = Build(GetParam().online);
    EXPECT_FALSE(catalogue.ListLoaded());
    EXPECT_EQ(Ids(catalogue), (Strings {"BRISK3D"}));
    EXPECT_EQ(messages_, GetParam().messages);
    EXPECT_TRUE(server_->RequestedPaths().empty());
}

INSTANTIATE_TEST_SUITE_P(Builds, MissingInstallPathTest,
    ::testing::Values(MissingPathCase {"Offline", false, {std::string(kNoInstallPathMessage)}},
        MissingPathCase {
            "Online", true, {std::string(kNoInstallPathMessage), "Failed to update products list Online!"}}),
    [](const auto& info) { return std::string(info.param.name); });

// [SECTION] Reading a list and its address

TEST(WebProductListTest, CountOfZeroOrLessGivesAnEmptyList)
{
    for (const char* count : {"0", "-3"}) {
        KeyPathDocument document;
        ASSERT_EQ(document.Parse(("<English><ProductsList><Count>" + std::string(count)
                      + "</Count></ProductsList></English>")
                                     .c_str()),
            1);
        WebProductList list;
        EXPECT_EQ(list.ReadFrom(document), 1) << count;
        EXPECT_TRUE(list.Products().empty());
    }
}

TEST(WebProductListTest, AddressComesFromTheEnvironmentOrTheStringTable)
{
    ::velmora::testing::UnsetEnvironment("KESTROVA3D_UPDATE_URL");
    EXPECT_EQ(ProductListUrl(), strings::kProductListUrl);
    ::velmora::testing::SetEnvironment("KESTROVA3D_UPDATE_URL", "");
    EXPECT_EQ(ProductListUrl(), strings::kProductListUrl);
    ::velmora::testing::SetEnvironment("KESTROVA3D_UPDATE_URL", "http://127.0.0.1:1/list.xml");
    EXPECT_EQ(ProductListUrl(), "http://127.0.0.1:1/list.xml");
    ::velmora::testing::UnsetEnvironment("KESTROVA3D_UPDATE_URL");
}

} // namespace
} // namespace velmora::webupdate
