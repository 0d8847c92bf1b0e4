#include "app/win32/ConfigurationDialog.h"

#include "app/win32/ProgramMessage.h"
#include "webupdate/win32/UpdateProgressWindow.h"

namespace velmora::win32 {

ui::win32::SettingsDialog::Services CatalogueServices(
    webupdate::ProductCatalogue& catalogue, webupdate::win32::ProductPage::Services page)
{
    ui::win32::SettingsDialog::Services services;
    services.products = [&catalogue](bool online, HWND owner) {
        if (!online) {
            catalogue.Build(false, nullptr);
            return ui::CatalogueRows(catalogue);
        }
        // The dialog stays disabled under the window while the update runs.
        webupdate::win32::UpdateProgressWindow progress;
        if (progress.Create(owner)) {
            catalogue.Build(true, &progress);
            progress.Finish();
        } else {
            catalogue.Build(true, nullptr);
        }
        return ui::CatalogueRows(catalogue);
    };
    services.createProductPage
        = [page = std::move(page)](HWND parent, const RECT& rect, const ui::ProductRow& product) {
              return webupdate::win32::CreateOwnedProductPage(parent, rect, product.title,
                  product.description, product.downloadUrl, product.screenshotPath, page);
          };
    return services;
}

void RunConfigurationDialog()
{
    // The web update's boxes: OK only, no icon, over the program's active
    // window (the progress window while it runs).
    webupdate::ProductCatalogue catalogue(
        [](std::string_view text) { ShowProgramMessage(::GetActiveWindow(), text, 0); });
    ui::win32::SettingsDialog dialog(CatalogueServices(catalogue), ui::kOwnPageValue);
    dialog.RunModal();
}

} // namespace velmora::win32
