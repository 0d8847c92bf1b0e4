#include "webupdate/ProductCatalogue.h"

#include <algorithm>

#include "settings/SaverSettings.h"
#include "StringTable.h"
#include "webupdate/WebProductList.h"

namespace velmora::webupdate {

namespace {

bool IsScanSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::array<std::string, 3> SplitDescription(std::string_view description)
{
    // A NUL ends the text as it ends a C string.
    description = description.substr(0, description.find('\0'));
    std::array<std::string, 3> lines;
    std::size_t pos = 0;
    for (std::string& line : lines) {
        const std::size_t start = pos;
        while (pos < description.size() && description[pos] != '\n')
            ++pos;
        if (pos == start)
            break; // nothing before the line feed: the scan stops here
        std::size_t length = pos - start;
        if (length > kMaxDescriptionLineBytes) {
            length = kMaxDescriptionLineBytes;
            // Back to the first byte of a UTF-8 character.
            while (length > 0 && (static_cast<unsigned char>(description[start + length]) & 0xC0) == 0x80)
                --length;
        }
        line.assign(description.substr(start, length));
        while (pos < description.size() && IsScanSpace(description[pos]))
            ++pos;
    }
    return lines;
}

ProductCatalogue::ProductCatalogue(ShowMessageFn showMessage)
    : showMessage_(std::move(showMessage))
{
}

int ProductCatalogue::Build(bool online, ProgressSink* progress)
{
    entries_.clear();
    listLoaded_ = false;
    cancelled_ = false;

    SaverSettings settings;
    settings.Load();
    for (const CollectionMember& member : settings.collectionList) {
        if (member.key == strings::kProductKey)
            continue;
        ProductEntry entry;
        entry.id = member.key;
        entry.title = member.title;
        entry.executablePath = member.executablePath;
        entries_.push_back(std::move(entry));
    }

    WebProductList list(showMessage_);
    if (online) {
        listLoaded_ = list.Download(ProductListUrl(), progress) != 0;
        cancelled_ = list.Cancelled();
        if (!listLoaded_) {
            // A cancel was the user's own doing: no failure to tell of.
            if (!cancelled_)
                ShowMessage(showMessage_, kOnlineFailedMessage);
            // The kept list is whole on disk (a new one replaces it only once
            // it reads): its rows stay. Quiet, the failure has been told.
            list = WebProductList([](std::string_view) {});
            list.LoadCached();
        }
    } else {
        listLoaded_ = list.LoadCached() != 0;
    }

    // An installed member hides a listed product of the same id, and the
    // first of two listed products with one id wins.
    for (const WebProduct& product : list.Products()) {
        const bool known = std::any_of(
            entries_.begin(), entries_.end(), [&](const ProductEntry& e) { return e.id == product.id; });
        if (known)
            continue;
        ProductEntry entry;
        entry.id = product.id;
        entry.title = product.title;
        entry.version = product.version;
        entry.description = product.description;
        entry.downloadUrl = product.downloadUrl;
        entry.screenshot = product.screenshot;
        entry.icon = product.icon;
        entries_.push_back(std::move(entry));
    }
    return 1;
}

} // namespace velmora::webupdate
