#pragma once
// The configuration run mode on Windows: the collection settings dialog,
// modal and without an owner, on this program's own page.

#include "platform/win32/WinHandles.h"

#include <functional>

#include "ui/win32/SettingsDialog.h"
#include "webupdate/ProductCatalogue.h"
#include "webupdate/win32/ProductPage.h"

namespace velmora::win32 {

// The dialog's services over a product catalogue: its rows, built online
// inside the web update's progress window over the dialog, and the product
// page of a product that is not installed. `catalogue` must outlive the
// dialog; `page` reaches every product page made.
ui::win32::SettingsDialog::Services CatalogueServices(
    webupdate::ProductCatalogue& catalogue, webupdate::win32::ProductPage::Services page = {});

void RunConfigurationDialog();

} // namespace velmora::win32
