// Velmora3D: the screensaver program. The desktop's screensaver host, the
// settings page's Preview command, other members of the collection and
// randomstart start it with a run-mode switch.

#include "app/SaverApp.h"
#include "platform/Console.h"
#include "platform/InstanceGuard.h"
#include "StringTable.h"
#ifdef VELMORA3D_WEB_UPDATE
#include "webupdate/TextProgress.h"
#endif

#include <cstdio>

#ifdef VELMORA3D_WINDOWED
#include "app/WindowScene.h"
#include "app/WindowShell.h"
#endif

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
#ifdef VELMORA3D_WEB_UPDATE
    // Long options fall outside the run modes of the host's switches; this one
    // refreshes the product list without a window, for people and scripts.
    if (arguments == std::vector<std::string> {"--web-update"})
        return velmora::webupdate::RunWebUpdateCommand(stdout, stderr, velmora::platform::IsTerminal(stderr));
#endif
#ifdef VELMORA3D_WINDOWED
    velmora::SaverShell shell = velmora::MakeWindowShell(argc, argv, &velmora::MakeSpaceScene);
#else
    velmora::SaverShell shell;
#endif
    velmora::SaverApp app(std::move(shell), velmora::platform::InstanceGuard(velmora::strings::kGuardName),
        velmora::ProgramBaseName(argc > 0 ? argv[0] : "Velmora3D"));
    return app.Run(arguments);
}
