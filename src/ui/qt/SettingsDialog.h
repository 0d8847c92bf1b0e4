#pragma once
// The collection settings dialog (template 102): the products of the
// collection as large icons on the left, the page of the selected one on the
// right: this program's settings page, another installed member's own page
// hosted from its process, or the page of a product that is not installed.
// Its behaviour lives in SettingsDialogModel; this class is the Qt view.

#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QVector>

#include "ui/model/SettingsDialogModel.h"
#include "ui/qt/SettingsPage.h"
#include "webupdate/ProductCatalogue.h"

class QCheckBox;
class QFrame;
class QListWidget;
class QPushButton;

namespace velmora::ui {

class SettingsDialog final : public QDialog, private SettingsDialogView {
    Q_OBJECT
public:
    // Template size in dialog units.
    static constexpr QSize kSizeUnits {354, 210};
    // The list's icon spacing in pixels.
    static constexpr QSize kIconSpacing {70, 72};
    static constexpr int kImageSide = kListImageSide;

    struct Services {
        SettingsPage::Services page; // for this program's page
        // Empty: the collection's catalogue, with the web update's progress
        // window over this dialog.
        ProductSource products;
        // Empty: the icon section of each member's program file.
        IconReader readIcon;
        // The web update's message boxes; empty: stderr.
        webupdate::ShowMessageFn showMessage;
    };

    // The services must outlive the dialog. `initialPage` is the row value
    // shown first (kOwnPageValue: this program).
    SettingsDialog(const Services& services, int initialPage, QWidget* parent = nullptr);
    // The page goes first, then the image list, then the dialog's window.
    ~SettingsDialog() override;

    static QSize TemplateSize();

    // The image list: the program's icon and bitmap 138, then the rows' own.
    const QVector<QPixmap>& Images() const { return images_; }
    const SettingsDialogModel& Model() const { return model_; }
    QListWidget* ProductList() const { return list_; }
    QCheckBox* StartRandomBox() const { return startRandom_; }
    QPushButton* WebUpdateButton() const { return webUpdate_; }
    QPushButton* PreviewButton() const { return preview_; }
    QPushButton* RestoreDefaultsButton() const { return restoreDefaults_; }
    QPushButton* OkButton() const { return ok_; }
    // The page shown now; null when none.
    QWidget* Page() const { return page_; }
    QRect PageArea() const;

public slots:
    // OK: stores "Start random", then closes.
    void accept() override;

private:
    void BuildControls();
    // The catalogue's rows, after downloading the product list with
    // progress shown when `online`.
    std::vector<ProductRow> BuildCatalogue(bool online);
    void PlacePage(QWidget* page);

    // SettingsDialogView
    void DeleteAllRows() override;
    void InsertRow(int position, const std::string& text, int image) override;
    void MarkRow(int position) override;
    void SelectRow(int position) override;
    int SelectionMark() const override;
    void TrimImages(int count) override;
    int AddIconImage(const std::vector<uint8_t>& png) override;
    int AddBitmapImage(const std::string& path) override;
    void FreeImages() override;
    void CreateOwnPage() override;
    void CreateMemberPage(const std::string& executablePath) override;
    void CreateProductPage(const ProductRow& product) override;
    void DestroyPage() override;
    void ForwardToPage(PageCommand command) override;
    void ShowPageButtons(bool visible) override;
    void SetStartRandom(bool checked) override;
    bool StartRandomChecked() const override;
    void EnableStartRandom(bool enabled) override;

    SettingsPage::Services pageServices_;
    webupdate::ProductCatalogue catalogue_;
    QListWidget* list_ = nullptr;
    QPushButton* webUpdate_ = nullptr;
    QCheckBox* startRandom_ = nullptr;
    QFrame* pageFrame_ = nullptr;
    QPushButton* preview_ = nullptr;
    QPushButton* restoreDefaults_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPointer<QWidget> page_;
    QVector<QPixmap> images_;
    SettingsDialogModel model_;
};

// The program's icon (icon 128) at the list's image size, and the six
// images of bitmap 138 with magenta keyed out.
QPixmap ProgramIconImage();
QVector<QPixmap> StripImages();
// Makes every pixel of the key colour magenta (255, 0, 255) transparent.
QImage KeyOutMagenta(const QImage& image);

} // namespace velmora::ui
