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

#ifdef VELMORA3D_FIRST_RUN_REGISTRATION
#include "install/Registration.h"
#include "platform/Process.h"
#endif

#include <cstdio>

#ifdef VELMORA3D_WINDOWED
#include "app/qt/WindowShell.h"
#include "app/WindowScene.h"
#endif

#include <string>
#include <vector>

namespace {

// A package cannot write each user's settings, so the program's first run
// does what the collection's installer would have done.
void RegisterFirstRun([[maybe_unused]] const std::string& programName)
{
#ifdef VELMORA3D_FIRST_RUN_REGISTRATION
    const std::string program = velmora::platform::RunningProgramPath();
    if (program.empty())
        return;
    const velmora::install::Outcome outcome = velmora::install::EnsureRegistered(program);
    if (!outcome.ok)
        std::fprintf(stderr, "%s: cannot enter the program in the collection's settings: %s\n",
            programName.c_str(), outcome.error.c_str());
#endif
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const std::string programName = velmora::ProgramBaseName(argc > 0 ? argv[0] : "Velmora3D");
#ifdef VELMORA3D_WEB_UPDATE
    // Long options fall outside the run modes of the host's switches; this one
    // refreshes the product list without a window, for people and scripts.
    if (arguments == std::vector<std::string> {"--web-update"}) {
        RegisterFirstRun(programName); // the kept list lives in the data folder
        return velmora::webupdate::RunWebUpdateCommand(stdout, stderr, velmora::platform::IsTerminal(stderr));
    }
#endif
#ifdef VELMORA3D_WINDOWED
    velmora::SaverShell shell = velmora::MakeWindowShell(argc, argv, &velmora::MakeSpaceScene);
#else
    velmora::SaverShell shell;
#endif
    shell.registerFirstRun = [programName] { RegisterFirstRun(programName); };
    velmora::SaverApp app(
        std::move(shell), velmora::platform::InstanceGuard(velmora::strings::kGuardName), programName);
    return app.Run(arguments);
}
