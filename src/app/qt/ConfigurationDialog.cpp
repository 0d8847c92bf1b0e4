#include "app/qt/ConfigurationDialog.h"

#include "app/qt/MessageBox.h"
#include "platform/AppDisplay.h"
#include "platform/Process.h"
#include "ui/qt/SettingsDialog.h"

namespace velmora {

void RunConfigurationDialog()
{
    // The services of this program's page live as long as the dialog.
    const std::unique_ptr<platform::DisplayModeSource> displayModes = platform::OpenDisplayModeSource();
    platform::SystemProcessStarter starter;
    ui::SettingsDialog::Services services;
    services.page.displayModes = displayModes.get();
    services.page.starter = &starter;
    services.page.programPath = &platform::RunningProgramPath;
    // The web update's boxes carry no icon.
    services.showMessage = [](std::string_view text) {
        ShowMessageBox(
            QMessageBox::NoIcon, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    ui::SettingsDialog dialog(services, ui::kOwnPageValue);
    dialog.exec();
}

} // namespace velmora
