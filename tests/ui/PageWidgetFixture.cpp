#include "PageWidgetFixture.h"

#include <string>

namespace velmora::testing {

ui::SettingsPage::Services PageWidgetFixture::PageServices()
{
    ui::SettingsPage::Services services;
    services.displayModes = &modes_;
    services.starter = &starter_;
    services.programPath = [] { return std::string(kProgram); };
    return services;
}

} // namespace velmora::testing
