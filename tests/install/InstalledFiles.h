#pragma once
// What this build installs, as the build tells the tests: every program with
// the section of its manual page, and the files a prefix must then hold.

#include <sstream>
#include <string>
#include <vector>

namespace velmora::test {

struct InstalledProgram {
    std::string name;
    std::string section; // of its manual page
    std::string builtFile; // in the build tree
};

// From VELMORA_INSTALLED_PROGRAMS, "name:section:file;...".
inline std::vector<InstalledProgram> InstalledPrograms()
{
    std::vector<InstalledProgram> list;
    std::stringstream entries(VELMORA_INSTALLED_PROGRAMS);
    for (std::string entry; std::getline(entries, entry, ';');) {
        const std::size_t first = entry.find(':');
        const std::size_t second = entry.find(':', first + 1);
        list.push_back(
            {entry.substr(0, first), entry.substr(first + 1, second - first - 1), entry.substr(second + 1)});
    }
    return list;
}

struct InstalledFile {
    std::string path; // below the prefix
    bool executable;
    bool gzip;
};

// The programs, their manual pages, the icon in every size the build paints
// (VELMORA_ICON_SIDES), the desktop entry, the host's settings file and the
// documents.
inline std::vector<InstalledFile> InstalledFiles()
{
    std::vector<InstalledFile> files = {
        {"share/applications/velmora3d.desktop", false, false},
        {"share/xscreensaver/config/velmora3d.xml", false, false},
        {"share/doc/velmora3d/copyright", false, false},
        {"share/doc/velmora3d/changelog.Debian.gz", false, true},
    };
    for (const InstalledProgram& program : InstalledPrograms()) {
        files.push_back({"bin/" + program.name, true, false});
        files.push_back(
            {"share/man/man" + program.section + "/" + program.name + "." + program.section + ".gz", false,
                true});
    }
    std::stringstream sides(VELMORA_ICON_SIDES);
    for (std::string side; std::getline(sides, side, ';');)
        files.push_back({"share/icons/hicolor/" + side + "x" + side + "/apps/velmora3d.png", false, false});
    return files;
}

} // namespace velmora::test
