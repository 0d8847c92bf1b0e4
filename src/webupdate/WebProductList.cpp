#include "webupdate/WebProductList.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Files.h"
#include "settings/SaverSettings.h"
#include "StringTable.h"
#include "webupdate/HttpDownload.h"
#include "webupdate/KeyPathDocument.h"
#include "webupdate/PictureCheck.h"
#include "webupdate/WebFiles.h"

namespace velmora::webupdate {
namespace {

constexpr const char* kCountKey = "English.ProductsList.Count";

// How often the progress display is given a chance to answer while a
// transfer runs.
constexpr std::chrono::milliseconds kPumpInterval {20};

// Reports progress and lets the progress window answer; without a sink the
// steps are skipped. False when cancelling has been asked for.
template<typename Update> bool Report(ProgressSink* progress, Update&& update)
{
    if (!progress)
        return true;
    update(*progress);
    progress->PumpMessages();
    return !progress->IsCancelled();
}

bool IsPicture(const uint8_t* data, std::size_t size, bool screenshot)
{
    return screenshot ? IsJpegPicture(data, size) : IsBitmapPicture(data, size);
}

// Whether the file at `path` holds the picture it should (read whole, up to
// the size a download may have).
bool IsKeptPicture(const std::string& path, bool screenshot)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::vector<uint8_t> bytes;
    uint8_t piece[65536];
    constexpr std::size_t kMost = std::size_t {16} << 20;
    for (std::size_t n; (n = std::fread(piece, 1, sizeof piece, file)) > 0 && bytes.size() <= kMost;)
        bytes.insert(bytes.end(), piece, piece + n);
    std::fclose(file);
    return bytes.size() <= kMost && IsPicture(bytes.data(), bytes.size(), screenshot);
}

std::string ProductFile(const std::string& webFolder, const std::string& id, std::string_view name)
{
    std::string path = webFolder;
    path += id;
    path += platform::kPathSeparator;
    path += name;
    return path;
}

} // namespace

std::string ProductListUrl()
{
    const char* url = std::getenv("KESTROVA3D_UPDATE_URL");
    if (url && *url)
        return url;
    return std::string(strings::kProductListUrl);
}

bool IsSafeProductId(std::string_view id)
{
    if (id.empty() || id == "." || id.find("..") != std::string_view::npos)
        return false;
    for (const char c : id) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\' || c == ':')
            return false;
    }
    return true;
}

std::string WebFolderOf(const std::string& installPath)
{
    std::string folder = installPath;
    if (!folder.empty() && !platform::IsPathSeparator(folder.back()))
        folder += platform::kPathSeparator;
    folder += kWebFolder;
    return folder;
}

WebProductList::WebProductList(ShowMessageFn showMessage)
    : showMessage_(std::move(showMessage))
{
}

int WebProductList::ReadFrom(const KeyPathDocument& document)
{
    products_.clear();
    int count = 0;
    if (!document.GetInt(kCountKey, count))
        return 0;
    for (int i = 1; i <= count; ++i) {
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "English.ProductsList.Product%d", i);
        const std::string base = prefix;
        WebProduct product;
        if (!document.GetString(base + ".ID", product.id) || !IsSafeProductId(product.id)) {
            products_.clear();
            return 0;
        }
        if (product.id == strings::kProductKey)
            continue;
        if (!document.GetString(base + ".Title", product.title)
            || !document.GetString(base + ".Version", product.version)
            || !document.GetString(base + ".Description.Text", product.description)
            || !document.GetString(base + ".Description.ScreenshotURL", product.screenshot)
            || !document.GetString(base + ".Description.IconURL", product.icon)
            || !document.GetString(base + ".DownloadURL", product.downloadUrl)) {
            products_.clear();
            return 0;
        }
        products_.push_back(std::move(product));
    }
    return 1;
}

bool WebProductList::ReadInstallFolder(std::string& webFolder)
{
    const std::string installPath = ReadInstallPath();
    if (installPath.empty()) {
        ShowMessage(showMessage_, kNoInstallPathMessage);
        return false;
    }
    webFolder = WebFolderOf(installPath);
    return true;
}

int WebProductList::LoadCached()
{
    products_.clear();
    std::string webFolder;
    if (!ReadInstallFolder(webFolder))
        return 0;
    KeyPathDocument document;
    if (!document.LoadFile(webFolder + std::string(kKeptListName)) || !ReadFrom(document))
        return 0;
    for (WebProduct& product : products_) {
        product.screenshot = ProductFile(webFolder, product.id, kScreenshotName);
        product.icon = ProductFile(webFolder, product.id, kIconName);
    }
    return 1;
}

int64_t WebProductList::Transfer(
    const std::string& url, HeapBlock& block, HttpTransfer& transfer, ProgressSink* progress)
{
    if (!progress)
        return HttpDownload(url, block, showMessage_, {}, &transfer);
    // The transfer runs on a thread of its own, so the progress display
    // keeps answering (repaints, Cancel) however long it takes; Cancel drops
    // it at once. Its messages wait for this thread, which owns the windows.
    std::atomic<bool> cancel {progress->IsCancelled()};
    transfer.cancel = &cancel;
    std::vector<std::string> messages;
    const ShowMessageFn collect = [&messages](std::string_view text) { messages.emplace_back(text); };
    std::future<int64_t> work
        = std::async(std::launch::async, [&] { return HttpDownload(url, block, collect, {}, &transfer); });
    while (work.wait_for(kPumpInterval) != std::future_status::ready) {
        progress->PumpMessages();
        if (progress->IsCancelled())
            cancel = true;
    }
    const int64_t size = work.get();
    transfer.cancel = nullptr;
    for (const std::string& text : messages)
        ShowMessage(showMessage_, text);
    return size;
}

WebProductList::Step WebProductList::FetchPicture(
    const std::string& url, const std::string& path, PictureKind kind, ProgressSink* progress)
{
    const bool screenshot = kind == PictureKind::Screenshot;
    if (IsKeptPicture(path, screenshot))
        return Step::Done; // fetched once and then kept
    HeapBlock block;
    HttpTransfer transfer;
    const int64_t size = Transfer(url, block, transfer, progress);
    if (transfer.cancelled)
        return Step::Cancelled;
    if (size < 0)
        return Step::Failed;
    if (!IsSuccessStatus(transfer.status) || !block
        || !IsPicture(block.get(), static_cast<std::size_t>(size), screenshot)) {
        // An error page, or what an earlier version kept of one, is no
        // picture: nothing stays at the path, so the next refresh asks again.
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return Step::Done;
    }
    return WriteWholeFile(path, block.get(), static_cast<std::size_t>(size)) ? Step::Done : Step::Failed;
}

int WebProductList::Stop(Step step)
{
    products_.clear();
    cancelled_ = step == Step::Cancelled;
    return 0;
}

int WebProductList::Download(const std::string& url, ProgressSink* progress)
{
    products_.clear();
    cancelled_ = false;
    std::string webFolder;
    if (!ReadInstallFolder(webFolder))
        return 0;
    if (!Report(progress, [&](ProgressSink& p) {
            p.SetLocation(url);
            p.SetStatus(kListStatus);
        }))
        return Stop(Step::Cancelled);

    HeapBlock block;
    HttpTransfer transfer;
    const int64_t size = Transfer(url, block, transfer, progress);
    if (transfer.cancelled)
        return Stop(Step::Cancelled);
    if (size <= 0 || !block)
        return 0;
    // The kept list is replaced only by one that reads: a broken download
    // must not destroy the last good copy.
    {
        std::string text(reinterpret_cast<const char*>(block.get()), static_cast<std::size_t>(size));
        KeyPathDocument document;
        if (!document.Parse(text.c_str()) || !ReadFrom(document))
            return 0;
    }
    if (!WriteWholeFile(
            webFolder + std::string(kKeptListName), block.get(), static_cast<std::size_t>(size))) {
        products_.clear();
        ShowMessage(showMessage_, kCantSaveMessage);
        return 0;
    }
    block.reset();

    if (!Report(progress, [&](ProgressSink& p) {
            p.SetLocation(url);
            p.SetStatus(kPicturesStatus);
            p.SetPercent(0);
        }))
        return Stop(Step::Cancelled);
    const int n = static_cast<int>(products_.size());
    for (int k = 0; k < n; ++k) {
        WebProduct& product = products_[static_cast<std::size_t>(k)];
        if (!Report(progress, [&](ProgressSink& p) {
                p.SetLocation(product.screenshot);
                p.SetPercent(k * 100 / n);
            }))
            return Stop(Step::Cancelled);
        const std::string screenshot = ProductFile(webFolder, product.id, kScreenshotName);
        if (const Step step = FetchPicture(product.screenshot, screenshot, PictureKind::Screenshot, progress);
            step != Step::Done)
            return Stop(step);
        product.screenshot = screenshot;

        if (!Report(progress, [&](ProgressSink& p) {
                p.SetLocation(product.icon);
                p.SetPercent((k * 100 + 50) / n);
            }))
            return Stop(Step::Cancelled);
        const std::string icon = ProductFile(webFolder, product.id, kIconName);
        if (const Step step = FetchPicture(product.icon, icon, PictureKind::Icon, progress);
            step != Step::Done)
            return Stop(step);
        product.icon = icon;
    }
    return 1;
}

} // namespace velmora::webupdate
