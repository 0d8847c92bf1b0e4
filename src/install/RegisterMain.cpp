// velmora3d-register: enters the installed Velmora3D in the Kestrova 3D
// collection's settings of the user who runs it, or takes that back.

#include "install/Registration.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

#ifndef VELMORA3D_VERSION
#error "VELMORA3D_VERSION must be set by the build"
#endif

namespace {

using namespace velmora::install;

constexpr const char* kProgramName = "velmora3d-register";

void PrintUsage(std::FILE* out)
{
    std::fprintf(out,
        "usage: %s [--program PATH] [--install-path DIR]\n"
        "       %s --uninstall [--purge] [--program PATH] [--install-path DIR]\n"
        "       %s --help | --version\n"
        "\n"
        "Enters Velmora 3D in the Kestrova 3D collection of the user who runs it: the\n"
        "collection's list, the path of the program, a data folder of the user's own,\n"
        "and the collection's fallback member when none is installed. Running it again\n"
        "changes nothing.\n"
        "\n"
        "  --program PATH       the Velmora3D program to register (default: the one\n"
        "                       installed beside this tool)\n"
        "  --install-path DIR   the data folder (default:\n"
        "                       $XDG_DATA_HOME/kestrova3d/velmora3d/)\n"
        "  --uninstall          take the registration back; values another member of\n"
        "                       the collection wrote stay\n"
        "  --purge              with --uninstall: also the program's own settings and\n"
        "                       the data folder's contents\n"
        "\n"
        "The settings file is $KESTROVA3D_REGISTRY, or else\n"
        "$XDG_CONFIG_HOME/kestrova3d/registry.reg.\n",
        kProgramName, kProgramName, kProgramName);
}

// The folder of this tool's own program file.
std::string OwnFolder()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string self(path, static_cast<std::size_t>(n));
    return self.substr(0, self.find_last_of('/'));
}

// An absolute path without links, as the collection's readers will open it.
std::string Canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", kProgramName, message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    bool uninstall = false;
    bool purge = false;
    std::string program;
    std::string installPath;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("%s %s\n", kProgramName, VELMORA3D_VERSION);
            return 0;
        }
        if (arg == "--uninstall") {
            uninstall = true;
        } else if (arg == "--purge") {
            purge = true;
        } else if ((arg == "--program" || arg == "--install-path") && i + 1 < argc) {
            (arg == "--program" ? program : installPath) = argv[++i];
        } else {
            std::fprintf(stderr, "%s: unknown argument \"%s\"\n", kProgramName, argv[i]);
            PrintUsage(stderr);
            return 2;
        }
    }
    if (purge && !uninstall) {
        std::fprintf(stderr, "%s: --purge goes with --uninstall\n", kProgramName);
        return 2;
    }

    Installation installation;
    installation.executablePath = Canonical(program.empty() ? OwnFolder() + "/Velmora3D" : program);
    installation.installPath = installPath.empty() ? DefaultInstallPath() : WithFinalSlash(installPath);
    if (installation.installPath.empty())
        return Fail("no data folder: set HOME or XDG_DATA_HOME, or give --install-path");
    if (installation.installPath.front() != '/')
        return Fail("the data folder must be an absolute path");

    const Outcome outcome = uninstall ? Unregister(installation, purge) : Register(installation);
    for (const std::string& line : outcome.changes)
        std::printf("%s\n", line.c_str());
    if (!outcome.ok)
        return Fail(outcome.error);
    if (outcome.changes.empty())
        std::printf(uninstall ? "Velmora 3D was not registered for %s; nothing to take back\n"
                              : "Velmora 3D is registered for %s; nothing to change\n",
            installation.executablePath.c_str());
    return 0;
}
