#pragma once
// The program's string table: names, registry keys and fixed texts shared by
// every part of the program. Indexed by the entry numbers the other members of
// the collection and the installer know.

#include <string_view>

namespace velmora::strings {

// Entry 1: name of the single-instance guard of full-screen runs.
inline constexpr std::string_view kGuardName = "VELMORA 3D ScreenSaver";
// Entry 2: this program's key in the collection list and its product id.
inline constexpr std::string_view kProductKey = "VELMORA3D";
// Entry 3: the product list document on the maker's update server.
inline constexpr std::string_view kProductListUrl = "http://www.kestrova3d.com/update/products.xml";
// Entry 4: the collection key below HKEY_CURRENT_USER.
inline constexpr std::string_view kCollectionKey = "Software\\Tarnwick\\Kestrova3D";
// Entry 5: this program's key below the collection key.
inline constexpr std::string_view kProgramKey = "Velmora3D";
// Entry 15: the slow-machine warning.
inline constexpr std::string_view kSlowMachineWarning =
    "The screensaver seems to run very slow...\n"
    "To run it smoother and faster you need OpenGL compatible 3D accelerated videocard.\n"
    "If you have it, please install latest device drivers. (Usually available for free on "
    "manufacturer's website).\n\n"
    "If your videocard does not supports OpenGL hardware acceleration, you can try to switch\n"
    " videomode to lower resolution & color-depth in screensaver settings dialog.";

struct StringEntry {
    int id;
    std::string_view text;
};

// Lookup by entry number, for code that is handed an id.
inline constexpr StringEntry kStringTable[] = {
    {1, kGuardName},    {2, kProductKey}, {3, kProductListUrl},
    {4, kCollectionKey}, {5, kProgramKey}, {15, kSlowMachineWarning},
};

constexpr std::string_view LoadString(int id)
{
    for (const auto& e : kStringTable)
        if (e.id == id)
            return e.text;
    return {};
}

} // namespace velmora::strings
