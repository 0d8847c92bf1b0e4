// Velmora3D: the screensaver program. The desktop's screensaver host, the
// settings page's Preview command, other members of the collection and
// randomstart start it with a run-mode switch.

#include "app/SaverApp.h"
#include "platform/InstanceGuard.h"
#include "StringTable.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    velmora::SaverApp app(velmora::SaverShell {},
        velmora::platform::InstanceGuard(velmora::strings::kGuardName),
        velmora::ProgramBaseName(argc > 0 ? argv[0] : "Velmora3D"));
    return app.Run(arguments);
}
