#include "ui/qt/SettingsDialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

#include <algorithm>

#include "ui/qt/DialogUnits.h"
#include "ui/qt/MemberHostPage.h"
#include "webupdate/qt/ProductPage.h"
#include "webupdate/qt/UpdateProgressDialog.h"

namespace velmora::ui {

namespace {

QString IdName(int id)
{
    return QString::number(id);
}

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPixmap ListImage(const QImage& image)
{
    if (image.isNull())
        return {};
    constexpr int side = SettingsDialog::kImageSide;
    return QPixmap::fromImage(image.size() == QSize(side, side)
            ? image
            : image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

} // namespace

QImage KeyOutMagenta(const QImage& image)
{
    QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if ((line[x] & 0xffffff) == 0xff00ff)
                line[x] = 0;
    }
    return keyed;
}

QPixmap ProgramIconImage()
{
    return ListImage(QImage(QStringLiteral(":/icons/velmora3d-32.png")));
}

QVector<QPixmap> StripImages()
{
    QVector<QPixmap> images;
    const QImage strip = KeyOutMagenta(QImage(QStringLiteral(":/icons/strip138.png")));
    constexpr int side = SettingsDialog::kImageSide;
    for (int x = 0; x + side <= strip.width(); x += side)
        images.push_back(ListImage(strip.copy(x, 0, side, side)));
    return images;
}

SettingsDialog::SettingsDialog(const Services& services, int initialPage, QWidget* parent)
    : QDialog(parent)
    , pageServices_(services.page)
    , catalogue_(services.showMessage)
    , model_(
          *this,
          services.products ? services.products : [this](bool online) { return BuildCatalogue(online); },
          services.readIcon ? services.readIcon : &ReadMemberIcon, initialPage)
{
    setObjectName(IdName(dialog102::kTemplateId));
    setWindowTitle(Text(dialog102::kCaption));
    setFont(TemplateFont());
    // Pop-up with caption, system menu and minimise box; not resizable.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    images_.push_back(ProgramIconImage());
    images_.append(StripImages());
    QIcon icon;
    for (int side : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/velmora3d-%1.png").arg(side), QSize(side, side));
    // On X11 the window manager draws this for the minimised dialog.
    setWindowIcon(icon);
    BuildControls();
    model_.Initialise();
}

SettingsDialog::~SettingsDialog()
{
    model_.Destroy();
}

QSize SettingsDialog::TemplateSize()
{
    return DialogUnits(TemplateFont()).ToPixels(kSizeUnits);
}

void SettingsDialog::BuildControls()
{
    const DialogUnits units(font());
    setFixedSize(units.ToPixels(kSizeUnits));
    const auto place = [&](QWidget* w, int id, int x, int y, int width, int height) {
        if (id != 0)
            w->setObjectName(IdName(id));
        w->setGeometry(units.ToPixels(QRect(x, y, width, height)));
    };

    auto* heading = new QLabel(Text(dialog102::kHeading), this);
    place(heading, 0, 8, 7, 60, 16);

    list_ = new QListWidget(this);
    list_->setViewMode(QListView::IconMode);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setMovement(QListView::Static);
    list_->setResizeMode(QListView::Adjust);
    list_->setWrapping(true);
    list_->setWordWrap(true);
    list_->setIconSize(QSize(kImageSide, kImageSide));
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    place(list_, dialog102::kProductList, 7, 26, 61, 133);
    // The icon spacing suits the template's small font. With a larger one the
    // cells widen to the list (one column, as the narrow list always shows)
    // and grow tall enough for an icon over two lines of title.
    const int inner = list_->width() - 2 * list_->frameWidth()
        - list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_);
    const int twoLines = kImageSide + 2 * list_->fontMetrics().lineSpacing() + 8;
    list_->setGridSize(
        QSize(std::max(kIconSpacing.width(), inner), std::max(kIconSpacing.height(), twoLines)));
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) { model_.RowFocused(row); });

    webUpdate_ = new QPushButton(Text(dialog102::kWebUpdateText), this);
    place(webUpdate_, dialog102::kWebUpdate, 7, 162, 62, 14);
    webUpdate_->setAutoDefault(false);
    connect(webUpdate_, &QPushButton::clicked, this, [this] { model_.WebUpdateClicked(); });

    startRandom_ = new QCheckBox(Text(dialog102::kStartRandomText), this);
    place(startRandom_, dialog102::kStartRandom, 8, 178, 60, 9);

    // Marks the page area only.
    pageFrame_ = new QFrame(this);
    place(pageFrame_, dialog102::kPageFrame, 76, 5, 276, 181);
    pageFrame_->hide();

    preview_ = new QPushButton(Text(dialog102::kPreviewText), this);
    place(preview_, dialog102::kPreview, 157, 189, 63, 14);
    preview_->setAutoDefault(false);
    connect(preview_, &QPushButton::clicked, this, [this] { model_.PreviewClicked(); });

    restoreDefaults_ = new QPushButton(Text(dialog102::kRestoreDefaultsText), this);
    place(restoreDefaults_, dialog102::kRestoreDefaults, 225, 189, 63, 14);
    restoreDefaults_->setAutoDefault(false);
    connect(restoreDefaults_, &QPushButton::clicked, this, [this] { model_.RestoreDefaultsClicked(); });

    ok_ = new QPushButton(Text(dialog102::kOkText), this);
    place(ok_, dialog102::kOk, 296, 189, 50, 14);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &SettingsDialog::accept);
}

std::vector<ProductRow> SettingsDialog::BuildCatalogue(bool online)
{
    if (!online) {
        catalogue_.Build(false, nullptr);
        return CatalogueRows(catalogue_);
    }
    webupdate::UpdateProgressDialog progress(this);
    progress.show();
    catalogue_.Build(true, &progress);
    progress.Finish();
    return CatalogueRows(catalogue_);
}

QRect SettingsDialog::PageArea() const
{
    return pageFrame_->geometry();
}

void SettingsDialog::accept()
{
    model_.OkClicked();
    QDialog::accept();
}

void SettingsDialog::PlacePage(QWidget* page)
{
    page->setAttribute(Qt::WA_ShowWithoutActivating);
    page->show();
    page_ = page;
}

// ---- SettingsDialogView ----------------------------------------------------

void SettingsDialog::DeleteAllRows()
{
    list_->clear();
}

void SettingsDialog::InsertRow(int position, const std::string& text, int image)
{
    auto* item = new QListWidgetItem(QString::fromStdString(text));
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    if (image >= 0 && image < images_.size() && !images_[image].isNull())
        item->setIcon(QIcon(images_[image]));
    list_->insertItem(position, item);
}

void SettingsDialog::MarkRow(int position)
{
    list_->setCurrentRow(position, QItemSelectionModel::ClearAndSelect);
}

void SettingsDialog::SelectRow(int position)
{
    list_->setCurrentRow(position, QItemSelectionModel::ClearAndSelect);
    if (QListWidgetItem* item = list_->item(position))
        list_->scrollToItem(item);
}

int SettingsDialog::SelectionMark() const
{
    return list_->currentRow();
}

void SettingsDialog::TrimImages(int count)
{
    if (images_.size() > count)
        images_.resize(count);
}

int SettingsDialog::AddIconImage(const std::vector<uint8_t>& png)
{
    const QImage image = QImage::fromData(png.data(), static_cast<int>(png.size()), "PNG");
    if (image.isNull())
        return kNoImage;
    images_.push_back(ListImage(image));
    return static_cast<int>(images_.size()) - 1;
}

int SettingsDialog::AddBitmapImage(const std::string& path)
{
    const QImage image(QString::fromStdString(path));
    if (image.isNull())
        return kNoImage;
    // Keyed before scaling, so no magenta fringe blends into the edges.
    images_.push_back(ListImage(KeyOutMagenta(image)));
    return static_cast<int>(images_.size()) - 1;
}

void SettingsDialog::FreeImages()
{
    images_.clear();
}

void SettingsDialog::CreateOwnPage()
{
    auto* page = new SettingsPage(pageServices_, this);
    page->setGeometry(QRect(PageArea().topLeft(), page->size()));
    PlacePage(page);
}

void SettingsDialog::CreateMemberPage(const std::string& executablePath)
{
    auto* page = new MemberHostPage(this);
    // A member that cannot be started leaves the page empty.
    page->Create(PageArea(), executablePath);
    // Tab reaches the member's page where it stands, after "Start random".
    QWidget::setTabOrder(startRandom_, page);
    PlacePage(page);
}

void SettingsDialog::CreateProductPage(const ProductRow& product)
{
    auto* page = new webupdate::ProductPage(this);
    page->Create(
        PageArea(), this, product.title, product.description, product.downloadUrl, product.screenshotPath);
    PlacePage(page);
}

void SettingsDialog::DestroyPage()
{
    // Deleted at once: this program's page stores its settings and a hosted
    // member ends before the next page is made.
    delete page_.data();
    page_ = nullptr;
}

void SettingsDialog::ForwardToPage(PageCommand command)
{
    if (auto* own = qobject_cast<SettingsPage*>(page_.data())) {
        if (command == PageCommand::Preview)
            own->Preview();
        else
            own->RestoreDefaults();
    } else if (auto* member = qobject_cast<MemberHostPage*>(page_.data())) {
        member->Forward(command);
    }
    // A product page has nothing to restore or preview.
}

void SettingsDialog::ShowPageButtons(bool visible)
{
    preview_->setVisible(visible);
    restoreDefaults_->setVisible(visible);
}

void SettingsDialog::SetStartRandom(bool checked)
{
    startRandom_->setChecked(checked);
}

bool SettingsDialog::StartRandomChecked() const
{
    return startRandom_->isChecked();
}

void SettingsDialog::EnableStartRandom(bool enabled)
{
    startRandom_->setEnabled(enabled);
}

} // namespace velmora::ui
