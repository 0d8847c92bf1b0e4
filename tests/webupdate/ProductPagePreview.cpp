// Shows the product page of the first listed product that is not installed,
// after an online build of the catalogue from $KESTROVA3D_UPDATE_URL, in a
// window of the page area's size. For looking at the page by hand; with
// --grab FILE it saves a picture of the window and quits.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>

#include "ui/qt/DialogUnits.h"
#include "webupdate/ProductCatalogue.h"
#include "webupdate/qt/ProductPage.h"
#include "webupdate/qt/UpdateProgressDialog.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const char* grab = argc == 3 && std::strcmp(argv[1], "--grab") == 0 ? argv[2] : nullptr;

    using namespace velmora::webupdate;
    ProductCatalogue catalogue;
    {
        UpdateProgressDialog progress;
        progress.show();
        catalogue.Build(true, &progress);
        progress.Finish();
    }
    const ProductEntry* product = nullptr;
    for (const ProductEntry& entry : catalogue.Entries())
        if (!entry.IsInstalled()) {
            product = &entry;
            break;
        }
    if (!product) {
        std::fprintf(stderr, "no listed product that is not installed\n");
        return 1;
    }

    // The page area of the collection dialog: 276 x 181 dialog units.
    QWidget window;
    window.setWindowTitle(QString::fromStdString(product->title));
    window.setFont(velmora::ui::TemplateFont());
    const velmora::ui::DialogUnits units(window.font());
    window.resize(units.ToPixels(QSize(276, 181)));
    auto* page = new ProductPage(&window);
    page->Create(window.rect(), &window, product->title, product->description, product->downloadUrl,
        product->screenshot);
    window.show();
    if (grab)
        QTimer::singleShot(500, &window, [&] {
            const bool saved = window.grab().save(QString::fromLocal8Bit(grab));
            QApplication::exit(saved ? 0 : 1);
        });
    return QApplication::exec();
}
