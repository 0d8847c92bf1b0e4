// randomstart: started by the desktop's screensaver host in a screensaver's
// place; starts a member of the Kestrova 3D collection with the same
// arguments.

#include "launcher/RandomStart.h"
#include "platform/PlainMessageBox.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return velmora::launcher::RunRandomStart(arguments, &velmora::platform::ShowPlainMessageBox);
}
