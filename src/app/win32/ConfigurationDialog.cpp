#include "app/win32/ConfigurationDialog.h"

#include "app/win32/ProgramMessage.h"
#include "ui/win32/SettingsDialog.h"
#include "webupdate/ProductCatalogue.h"

namespace velmora::win32 {

void RunConfigurationDialog()
{
    // The web update's boxes: OK only, no icon.
    webupdate::ProductCatalogue catalogue(
        [](std::string_view text) { ShowProgramMessage(nullptr, text, 0); });
    ui::win32::SettingsDialog::Services services;
    services.products = [&catalogue](bool online, HWND) {
        catalogue.Build(online, nullptr);
        return ui::CatalogueRows(catalogue);
    };
    ui::win32::SettingsDialog dialog(std::move(services), ui::kOwnPageValue);
    dialog.RunModal();
}

} // namespace velmora::win32
