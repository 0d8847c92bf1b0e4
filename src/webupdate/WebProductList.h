#pragma once
// The product list that the maker publishes: read from a key-path document,
// from the copy kept below the installation folder, or downloaded afresh
// together with every product's screenshot and icon.

#include <string>
#include <string_view>
#include <vector>

#include "resources/HeapBlock.h"
#include "webupdate/HttpDownload.h"
#include "webupdate/ProgressSink.h"

namespace velmora::webupdate {

class KeyPathDocument;

inline constexpr std::string_view kNoInstallPathMessage
    = "Can't find program's installation path.\nPlease reinstall this software!";
inline constexpr std::string_view kCantSaveMessage = "Can't save temporary data! \n\t\t\tPlease check free "
                                                     "disk space or access rights \n\t\t\tfor program's "
                                                     "installation path, or reinstall the program.";
inline constexpr std::string_view kListStatus = "Downloading available products list...";
inline constexpr std::string_view kPicturesStatus = "Downloading screenshots && icons";

// Files below the installation folder.
#if defined(_WIN32)
inline constexpr std::string_view kWebFolder = "web\\";
#else
inline constexpr std::string_view kWebFolder = "web/";
#endif
inline constexpr std::string_view kKeptListName = "update.xml";
inline constexpr std::string_view kScreenshotName = "screenshot.jpg";
inline constexpr std::string_view kIconName = "icon.bmp";

struct WebProduct {
    std::string id;
    std::string title;
    std::string version; // read and kept, shown nowhere
    std::string description; // up to three lines for the product page
    std::string downloadUrl;
    std::string screenshot; // the URL as read; the local file once loaded
    std::string icon; // likewise
};

// The product list's address: $KESTROVA3D_UPDATE_URL when set and not empty,
// else string-table entry 3.
std::string ProductListUrl();

// True when `id` may name a folder below the web folder: not empty, not "."
// or "..", and holding no "/", "\", "..", ":" or control character. Product
// ids come from the network; any other id is read as a missing key.
bool IsSafeProductId(std::string_view id);

// The web folder of an installation path (a missing final "/" is supplied, so
// nothing lands beside the installation folder).
std::string WebFolderOf(const std::string& installPath);

class WebProductList {
public:
    explicit WebProductList(ShowMessageFn showMessage = {});

    // Fills the list from a product list document. Products with this
    // program's own id are left out. Any missing key, or an id that is not
    // safe, empties the list and returns 0.
    int ReadFrom(const KeyPathDocument& document);
    // Reads the kept copy of the list; every product's screenshot and icon
    // become their file paths below the web folder, whether the files exist
    // or not.
    int LoadCached();
    // Downloads the list from `url` with progress (or none), keeps it as the
    // new copy once it has been read, and fetches each product's screenshot
    // and icon that is not kept yet. Only a 2xx answer that is the picture
    // it should be (PictureCheck.h) is kept; a product the server has no
    // such picture for is listed without it and asked for again next time.
    // 1 when the list was kept and every picture transfer worked; a picture
    // that could not be fetched or stored fails the whole download.
    // With a progress sink each transfer runs off the calling thread while
    // the sink is pumped, and the sink's cancel request ends the download
    // at once, a transfer under way included; what was written by then is
    // whole (the list once it read, the pictures that came).
    int Download(const std::string& url, ProgressSink* progress);
    // Whether the last Download ended because cancelling was asked for.
    bool Cancelled() const { return cancelled_; }

    const std::vector<WebProduct>& Products() const { return products_; }

private:
    bool ReadInstallFolder(std::string& webFolder);
    enum class PictureKind { Screenshot, Icon };
    enum class Step { Done, Failed, Cancelled };
    // One download, through a thread of its own when there is a sink.
    int64_t Transfer(
        const std::string& url, HeapBlock& block, HttpTransfer& transfer, ProgressSink* progress);
    // Failed when the transfer or the write failed; a picture the server
    // does not have is no failure.
    Step FetchPicture(
        const std::string& url, const std::string& path, PictureKind kind, ProgressSink* progress);
    // Ends a download that did not complete: 0.
    int Stop(Step step);

    ShowMessageFn showMessage_;
    std::vector<WebProduct> products_;
    bool cancelled_ = false;
};

} // namespace velmora::webupdate
