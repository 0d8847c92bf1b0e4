#include "ui/model/SettingsDialogModel.h"

#include <cstdio>
#include <utility>

#include "settings/SaverSettings.h"
#include "webupdate/ProductCatalogue.h"

namespace velmora::ui {

std::vector<ProductRow> CatalogueRows(const webupdate::ProductCatalogue& catalogue)
{
    std::vector<ProductRow> rows;
    rows.reserve(catalogue.Size());
    for (const webupdate::ProductEntry& entry : catalogue.Entries())
        rows.push_back(ProductRow {entry.title, entry.icon, entry.executablePath, entry.description,
            entry.downloadUrl, entry.screenshot});
    return rows;
}

SettingsDialogModel::SettingsDialogModel(
    SettingsDialogView& view, ProductSource products, IconReader readIcon, int initialPage)
    : view_(view)
    , source_(std::move(products))
    , readIcon_(std::move(readIcon))
    , initialPage_(initialPage)
{
}

void SettingsDialogModel::Initialise()
{
    FillList(false);
    SelectValue(initialPage_);
    ShowPage(initialPage_);
    startRandom_ = ReadStartRandom() != 0 ? 1 : 0;
    view_.SetStartRandom(startRandom_ != 0);
    view_.EnableStartRandom(installedCount_ > 0);
}

bool SettingsDialogModel::FillList(bool withWebUpdate)
{
    filling_ = true;
    view_.DeleteAllRows();
    rowValues_.clear();
    // Images of earlier fills belong to rows that are gone.
    view_.TrimImages(kBaseImageCount);

    // Only this program's row shows while the product list is built, which
    // for the web update takes a while.
    view_.InsertRow(0, std::string(dialog102::kOwnRowText), kOwnIconImage);
    rowValues_.push_back(kOwnPageValue);
    view_.MarkRow(0);

    std::vector<ProductRow> before = std::move(products_);
    products_ = source_ ? source_(withWebUpdate) : std::vector<ProductRow> {};

    installedCount_ = 0;
    for (std::size_t i = 0; i < products_.size(); ++i) {
        const ProductRow& product = products_[i];
        int image = kNoImage;
        if (product.IsInstalled()) {
            const MemberIcon icon = readIcon_ ? readIcon_(product.executablePath) : MemberIcon {};
            switch (icon.status) {
            case MemberIconStatus::Found:
                image = view_.AddIconImage(icon.png);
                // An icon that does not decode is shown as no icon at all.
                if (image < 0)
                    image = kInstalledWithoutIconImage;
                ++installedCount_;
                break;
            case MemberIconStatus::NoIcon:
                // A program file that reads but carries no icon section (an
                // older member, or one built without it) is still an
                // installed member: it counts for "Start random" and shows
                // the strip's image of an installed member without an icon.
                image = kInstalledWithoutIconImage;
                ++installedCount_;
                break;
            case MemberIconStatus::Unreadable:
                image = kInstalledWithoutIconImage;
                break;
            }
        } else {
            image = view_.AddBitmapImage(product.imagePath);
        }
        view_.InsertRow(static_cast<int>(i) + 1, product.title, image);
        rowValues_.push_back(static_cast<int>(i));
    }
    filling_ = false;

    FollowRefreshedProducts(before);
    // Whether any member can be started at random follows the rows shown.
    if (pageId_ != kNoPageValue)
        view_.EnableStartRandom(installedCount_ > 0);
    return true;
}

void SettingsDialogModel::FollowRefreshedProducts(const std::vector<ProductRow>& before)
{
    if (pageId_ < 0 || pageId_ == kNoPageValue)
        return; // no page yet, or this program's page: row 0 is marked already
    const auto index = static_cast<std::size_t>(pageId_);
    if (index < products_.size() && index < before.size() && products_[index] == before[index]) {
        SelectValue(pageId_);
        return;
    }
    // The row the page was made for is gone or now names another product:
    // leaving the page would show one product beside another's row.
    ShowPage(kOwnPageValue);
}

void SettingsDialogModel::ShowPage(int value)
{
    if (value == pageId_)
        return;
    if (page_ != PageKind::Nothing) {
        // A settings page stores its values as it goes; a hosted member ends.
        view_.DestroyPage();
        page_ = PageKind::Nothing;
    }
    if (value == kOwnPageValue) {
        view_.CreateOwnPage();
        page_ = PageKind::Own;
        view_.ShowPageButtons(true);
    } else if (value >= 0 && static_cast<std::size_t>(value) < products_.size()) {
        const ProductRow product = products_[static_cast<std::size_t>(value)];
        if (product.IsInstalled()) {
            view_.CreateMemberPage(product.executablePath);
            page_ = PageKind::Member;
            view_.ShowPageButtons(true);
        } else {
            view_.CreateProductPage(product);
            page_ = PageKind::Product;
            view_.ShowPageButtons(false);
        }
    }
    // Any other value leaves no page and the buttons as they are.
    pageId_ = value;
}

void SettingsDialogModel::SelectValue(int value)
{
    const int mark = view_.SelectionMark();
    if (mark >= 0 && static_cast<std::size_t>(mark) < rowValues_.size()
        && rowValues_[static_cast<std::size_t>(mark)] == value)
        return;
    for (std::size_t row = 0; row < rowValues_.size(); ++row)
        if (rowValues_[row] == value) {
            view_.SelectRow(static_cast<int>(row));
            return;
        }
}

void SettingsDialogModel::RowFocused(int position)
{
    if (filling_ || position < 0 || static_cast<std::size_t>(position) >= rowValues_.size())
        return;
    ShowPage(rowValues_[static_cast<std::size_t>(position)]);
}

void SettingsDialogModel::WebUpdateClicked()
{
    FillList(true);
}

void SettingsDialogModel::PreviewClicked()
{
    if (page_ != PageKind::Nothing)
        view_.ForwardToPage(PageCommand::Preview);
}

void SettingsDialogModel::RestoreDefaultsClicked()
{
    if (page_ != PageKind::Nothing)
        view_.ForwardToPage(PageCommand::RestoreDefaults);
}

void SettingsDialogModel::OkClicked()
{
    startRandom_ = view_.StartRandomChecked() ? 1 : 0;
    WriteStartRandom(startRandom_);
}

void SettingsDialogModel::Destroy()
{
    // The page first: a hosted member must still find its host window to
    // store its settings, and this program's page stores them as it goes.
    if (page_ != PageKind::Nothing) {
        view_.DestroyPage();
        page_ = PageKind::Nothing;
    }
    pageId_ = kNoPageValue;
    view_.FreeImages();
}

std::vector<std::string> MemberCommandLine(const std::string& executablePath, unsigned long hostWindow)
{
    char argument[32];
    std::snprintf(argument, sizeof argument, "-1:%lX", hostWindow);
    return {executablePath, argument};
}

IconOrigin MinimisedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

} // namespace velmora::ui
