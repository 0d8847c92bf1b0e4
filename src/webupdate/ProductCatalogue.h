#pragma once
// The products the collection settings dialog lists next to this program:
// the other installed members of the collection, then the products of the
// maker's product list that are not installed.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "webupdate/ProgressSink.h"

namespace velmora::webupdate {

inline constexpr std::string_view kOnlineFailedMessage = "Failed to update products list Online!";

struct ProductEntry {
    std::string id;
    std::string title; // the row's display name
    std::string version;
    std::string description;
    std::string downloadUrl;
    std::string screenshot; // file path
    std::string icon; // file path: the row's image
    std::string spare; // always empty
    std::string executablePath; // installed members only

    bool IsInstalled() const { return !executablePath.empty(); }
};

// The three lines of a description as the product page shows them: each the
// run up to the next line feed, any white space after a line feed (blank
// lines, indentation) skipped before the next. A description that is empty
// or starts with a line feed gives three empty lines; lines after the third
// are ignored. A line is kept to kMaxDescriptionLineBytes, cut where a UTF-8
// character starts, and the rest of that line is dropped.
inline constexpr std::size_t kMaxDescriptionLineBytes = 255;
std::array<std::string, 3> SplitDescription(std::string_view description);

class ProductCatalogue {
public:
    // Messages go through `showMessage` (stderr when it is empty).
    explicit ProductCatalogue(ShowMessageFn showMessage = {});

    // Rebuilds the catalogue: the installed members of the collection list
    // other than this program, in list order, then every listed product whose
    // id no earlier entry has. With `online` the list is downloaded first
    // (from ProductListUrl(), with progress when `progress` is given); a
    // failure is shown, and the products of the kept copy stay; the
    // sink's cancel request ends the download at once. Without it the kept
    // copy is read. Returns 1.
    int Build(bool online, ProgressSink* progress);

    // Whether the last Build read a product list: the downloaded one when
    // online, the kept one otherwise.
    bool ListLoaded() const { return listLoaded_; }
    // Whether the last online Build ended at the progress sink's cancel
    // request; it shows no failure then.
    bool Cancelled() const { return cancelled_; }

    const std::vector<ProductEntry>& Entries() const { return entries_; }
    std::size_t Size() const { return entries_.size(); }
    const ProductEntry& operator[](std::size_t i) const { return entries_[i]; }

private:
    ShowMessageFn showMessage_;
    std::vector<ProductEntry> entries_;
    bool listLoaded_ = false;
    bool cancelled_ = false;
};

} // namespace velmora::webupdate
