#include "PageWidgetFixture.h"

#include <QApplication>

#include <string>

namespace velmora::testing {

void EnsureOffscreenApplication()
{
    static int argc = 1;
    static char name[] = "ui_widget_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QApplication::instance())
        new QApplication(argc, argv); // lives for the whole process
}

ui::SettingsPage::Services PageWidgetFixture::PageServices()
{
    ui::SettingsPage::Services services;
    services.displayModes = &modes_;
    services.starter = &starter_;
    services.programPath = [] { return std::string(kProgram); };
    return services;
}

} // namespace velmora::testing
