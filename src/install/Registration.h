#pragma once
// The installer's part of the collection's shared settings: it enters an
// installed Velmora3D in the collection's list, with the path of its program
// and a data folder of the user's own, and makes it the collection's fallback
// member when no fallback is installed. Taking the registration back removes
// exactly that and nothing that another member of the collection wrote.
//
// Which values are ours is told by comparison with what registering this
// copy would write: the member's entry belongs to the copy whose program path
// it names, and the fallback entry is ours only while it names our program.

#include <string>
#include <string_view>
#include <vector>

namespace velmora::install {

// The entry's title in the collection's list.
inline constexpr std::string_view kListTitle = "Velmora 3D Screensaver";
// The member that randomstart falls back to, and the place where it looks.
inline constexpr std::string_view kFallbackMemberKey = "Corvane3D";
inline constexpr std::string_view kListKey = "List";
inline constexpr std::string_view kExecutablePathValue = "ExecutablePath";
inline constexpr std::string_view kInstallPathValue = "InstallPath";

struct Installation {
    std::string executablePath; // full path of the installed Velmora3D
    std::string installPath; // the user's data folder, with a final separator
};

struct Outcome {
    bool ok = true;
    std::string error; // when !ok: what failed, one line
    std::vector<std::string> changes; // what was done, one line each; empty: nothing to do
};

// $XDG_DATA_HOME/kestrova3d/velmora3d/ ($HOME/.local/share when unset or not
// absolute); empty when neither is usable. On Windows %LOCALAPPDATA%\Velmora
// 3D\, the folder the setup program gives a machine-wide installation.
std::string DefaultInstallPath();

// An absolute, normalised path with exactly one final separator ("/", on
// Windows "\").
std::string WithFinalSlash(std::string_view path);

// Writes the registration into the settings file of this user and makes the
// data folder. Running it again with the same installation changes nothing.
Outcome Register(const Installation& installation);

// The first run of a copy that no installer registered: registers
// `executablePath` as Register does, unless the settings already hold a
// working registration. The program's entry names one program file; when
// that file is gone (a moved or removed copy) the entry is updated to this
// one, and the data folder it names is kept. A registration of another copy
// whose program is still there is left exactly as it is. Nothing is written
// when this copy is registered completely.
Outcome EnsureRegistered(const std::string& executablePath);

// Takes back what Register wrote for this installation. With `purge` the
// program's own settings and the data folder's contents go as well.
Outcome Unregister(const Installation& installation, bool purge);

} // namespace velmora::install
