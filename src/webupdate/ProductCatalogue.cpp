#include "webupdate/ProductCatalogue.h"

#include <algorithm>

#include "settings/SaverSettings.h"
#include "StringTable.h"
#include "webupdate/WebProductList.h"

namespace velmora::webupdate {

ProductCatalogue::ProductCatalogue(ShowMessageFn showMessage)
    : showMessage_(std::move(showMessage))
{
}

int ProductCatalogue::Build(bool online, ProgressSink* progress)
{
    entries_.clear();
    listLoaded_ = false;

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
        if (!listLoaded_)
            ShowMessage(showMessage_, kOnlineFailedMessage);
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
