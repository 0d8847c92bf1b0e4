#include "install/Registration.h"

#include "platform/Files.h"
#include "platform/Registry.h"
#include "StringTable.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>

#include <shlobj.h>

#include "platform/win32/WideText.h"
#else
#include <unistd.h>
#endif

namespace velmora::install {
namespace {

namespace fs = std::filesystem;
using platform::RegistryKey;
using platform::RegistryType;
using platform::RegistryValue;

std::string Quoted(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

// Stored paths are UTF-8; Windows' file functions take them as UTF-16.
fs::path FsPath(std::string_view path)
{
#if defined(_WIN32)
    return fs::path(win32::Widen(path));
#else
    return fs::path(path);
#endif
}

std::string PathText(const fs::path& path)
{
#if defined(_WIN32)
    return win32::Narrow(path.wstring());
#else
    return path.string();
#endif
}

#if defined(_WIN32)
// The folder below the user's local application data, as the setup program
// names it for an installation whose program folder the user cannot write.
constexpr std::string_view kCollectionFolder = "Velmora 3D";
constexpr std::string_view kNoSettings = "no place for the settings";
#else
// The folder below the user's data folder that the collection's members share.
constexpr std::string_view kCollectionFolder = "kestrova3d";
constexpr std::string_view kNoSettings =
    "no place for the settings file: set HOME, XDG_CONFIG_HOME or KESTROVA3D_REGISTRY";
#endif

bool IsAbsolute(std::string_view path)
{
    return !path.empty() && FsPath(path).is_absolute();
}

Outcome Failure(std::string error)
{
    Outcome outcome;
    outcome.ok = false;
    outcome.error = std::move(error);
    return outcome;
}

std::string CannotWrite()
{
    return "cannot write the settings file " + platform::RegistryFilePath();
}

// The text of a REG_SZ value; empty when it is missing or of another type.
std::string ReadText(const RegistryKey& key, std::string_view name)
{
    RegistryValue value;
    if (!key.IsOpen() || !key.QueryValue(name, value) || value.type != RegistryType::String)
        return {};
    return value.text;
}

// Writes the text unless the key already holds exactly that; false on a
// failed write.
bool SetText(RegistryKey& key, std::string_view name, std::string_view text, Outcome& outcome)
{
    RegistryValue old;
    const bool had = key.QueryValue(name, old);
    if (had && old.type == RegistryType::String && old.text == text)
        return true;
    if (!key.SetString(name, text))
        return false;
    outcome.changes.push_back(
        (had ? "changed " : "added ") + key.Path() + "\\" + std::string(name) + " = " + Quoted(text));
    return true;
}

bool IsRunnableFile(const std::string& path)
{
    std::error_code ec;
#if defined(_WIN32)
    // Windows runs any program file it can read.
    return fs::is_regular_file(FsPath(path), ec);
#else
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
#endif
}

// An absolute folder that ends in exactly the system's separator.
bool IsDataFolder(std::string_view folder)
{
    return folder.size() > 1 && IsAbsolute(folder) && folder.back() == platform::kPathSeparator;
}

bool CheckInstallation(const Installation& installation, Outcome& outcome)
{
    const std::string& program = installation.executablePath;
    if (!IsAbsolute(program) || !IsRunnableFile(program)) {
        outcome = Failure("no program at " + Quoted(program));
        return false;
    }
    const std::string& folder = installation.installPath;
    if (!IsDataFolder(folder)) {
        outcome = Failure("the data folder " + Quoted(folder) + " is not an absolute path ending in \""
            + std::string(1, platform::kPathSeparator) + "\"");
        return false;
    }
    if (platform::RegistryFilePath().empty()) {
        outcome = Failure(std::string(kNoSettings));
        return false;
    }
    return true;
}

// Removes the folder when it is empty, or with everything in it on purge.
void TakeBackFolder(const std::string& folder, bool purge, Outcome& outcome)
{
    std::error_code ec;
    const fs::path path = FsPath(folder);
    if (folder.empty() || !fs::is_directory(path, ec))
        return;
    if (purge) {
        if (fs::remove_all(path, ec) != static_cast<std::uintmax_t>(-1) && !ec)
            outcome.changes.push_back("removed the data folder " + folder + " and its contents");
        else
            outcome.changes.push_back("could not remove the data folder " + folder + ": " + ec.message());
        return;
    }
    if (fs::is_empty(path, ec) && fs::remove(path, ec))
        outcome.changes.push_back("removed the empty data folder " + folder);
    else
        outcome.changes.push_back(
            "kept the data folder " + folder + ": it holds files (--purge removes them)");
}

// The collection's own folder above the default data folder, made together
// with it, goes too once no member's folder is left in it.
void TakeBackCollectionFolder(const std::string& folder, Outcome& outcome)
{
    const fs::path parent = FsPath(folder).parent_path().parent_path();
    std::error_code ec;
    if (PathText(parent.filename()) == kCollectionFolder && fs::is_directory(parent, ec)
        && fs::is_empty(parent, ec) && fs::remove(parent, ec))
        outcome.changes.push_back("removed the empty folder " + PathText(parent));
}

// Deletes `name` below `parentPath` when nothing is left in it.
void DeleteIfEmpty(std::string_view parentPath, std::string_view name, Outcome& outcome)
{
    RegistryKey parent;
    if (parent.Open(parentPath) && parent.DeleteEmptySubKey(name))
        outcome.changes.push_back("removed the empty key "
            + (parentPath.empty() ? std::string(name) : std::string(parentPath) + "\\" + std::string(name)));
}

} // namespace

std::string DefaultInstallPath()
{
    std::string base;
#if defined(_WIN32)
    // The environment first, as the setup program reads it; the shell's
    // answer when a starter left it out.
    if (const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA"); local != nullptr && local[0] != L'\0') {
        base = win32::Narrow(local);
    } else {
        wchar_t folder[MAX_PATH] {};
        if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
            return {};
        base = win32::Narrow(folder);
    }
    if (!IsAbsolute(base))
        return {};
    return WithFinalSlash(base + "\\" + std::string(kCollectionFolder));
#else
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        base = std::string(home) + "/.local/share";
    else
        return {};
    return WithFinalSlash(base + "/" + std::string(kCollectionFolder) + "/velmora3d");
#endif
}

std::string WithFinalSlash(std::string_view path)
{
    if (path.empty())
        return {};
    std::string text = PathText(FsPath(path).lexically_normal());
    while (text.size() > 1 && platform::IsPathSeparator(text.back()))
        text.pop_back();
    const std::string separator(1, platform::kPathSeparator);
    return text == separator ? text : text + separator;
}

Outcome Register(const Installation& installation)
{
    Outcome outcome;
    if (!CheckInstallation(installation, outcome))
        return outcome;

    std::error_code ec;
    const bool made = fs::create_directories(FsPath(installation.installPath), ec);
    if (ec)
        return Failure("cannot make the data folder " + installation.installPath + ": " + ec.message());
    if (made)
        outcome.changes.push_back("made the data folder " + installation.installPath);

    RegistryKey collection;
    RegistryKey list;
    RegistryKey member;
    if (!collection.Create(strings::kCollectionKey) || !list.Create(collection, kListKey)
        || !member.Create(collection, strings::kProgramKey))
        return Failure(CannotWrite());
    // The member's key first, so that a reader never meets a listed member
    // without its program.
    if (!SetText(member, kExecutablePathValue, installation.executablePath, outcome)
        || !SetText(member, kInstallPathValue, installation.installPath, outcome)
        || !SetText(list, strings::kProductKey, kListTitle, outcome))
        return Failure(CannotWrite());

    // randomstart needs a fallback member. An entry whose program file is
    // gone is as good as none, so it is replaced as well; a working one,
    // another member's, is left alone.
    RegistryKey fallback;
    const std::string fallbackPath = fallback.Open(collection, kFallbackMemberKey)
        ? ReadText(fallback, kExecutablePathValue)
        : std::string();
    if (fallbackPath.empty() || !IsRunnableFile(fallbackPath)) {
        if (!fallback.Create(collection, kFallbackMemberKey)
            || !SetText(fallback, kExecutablePathValue, installation.executablePath, outcome))
            return Failure(CannotWrite());
    }
    return outcome;
}

Outcome EnsureRegistered(const std::string& executablePath)
{
    std::string registered;
    std::string folder;
    {
        RegistryKey member;
        if (member.Open(std::string(strings::kCollectionKey) + "\\" + std::string(strings::kProgramKey))) {
            registered = ReadText(member, kExecutablePathValue);
            folder = ReadText(member, kInstallPathValue);
        }
    }
    if (!registered.empty() && registered != executablePath && IsRunnableFile(registered))
        return {}; // another copy's registration, and it works

    Installation installation;
    installation.executablePath = executablePath;
    // The data folder holds the kept product list; a registration that
    // named one keeps it.
    installation.installPath = IsDataFolder(folder) ? folder : DefaultInstallPath();
    if (installation.installPath.empty()) {
#if defined(_WIN32)
        return Failure("no data folder: the local application data folder is unknown");
#else
        return Failure("no data folder: set HOME or XDG_DATA_HOME");
#endif
    }
    return Register(installation);
}

Outcome Unregister(const Installation& installation, bool purge)
{
    Outcome outcome;
    if (platform::RegistryFilePath().empty())
        return Failure(std::string(kNoSettings));
    RegistryKey collection;
    if (!collection.Open(strings::kCollectionKey)) {
        if (purge) {
            TakeBackFolder(installation.installPath, purge, outcome);
            TakeBackCollectionFolder(installation.installPath, outcome);
        }
        return outcome; // nothing registered at all
    }

    bool touched = false;
    auto remove = [&](RegistryKey& key, std::string_view name) {
        if (!key.DeleteValue(name))
            return;
        outcome.changes.push_back("removed " + key.Path() + "\\" + std::string(name));
        touched = true;
    };

    // The member's entry is ours when it names our program; another copy's
    // registration stays as it is.
    RegistryKey member;
    std::string folder;
    if (member.Open(collection, strings::kProgramKey)) {
        const std::string registered = ReadText(member, kExecutablePathValue);
        if (registered == installation.executablePath) {
            folder = ReadText(member, kInstallPathValue);
            RegistryKey list;
            if (list.Open(collection, kListKey))
                remove(list, strings::kProductKey);
            remove(member, kExecutablePathValue);
            remove(member, kInstallPathValue);
        } else if (!registered.empty()) {
            outcome.changes.push_back("left the registration of another copy at " + Quoted(registered));
        }
        if (purge) {
            // The program's own settings; no other member writes here.
            RegistryValue value;
            while (member.EnumValue(0, value))
                if (!member.DeleteValue(value.name))
                    return Failure(CannotWrite());
            outcome.changes.push_back("removed the settings of Velmora 3D");
            touched = true;
        }
    }

    RegistryKey fallback;
    if (fallback.Open(collection, kFallbackMemberKey)
        && ReadText(fallback, kExecutablePathValue) == installation.executablePath)
        remove(fallback, kExecutablePathValue);

    if (touched) {
        const std::string collectionPath(strings::kCollectionKey);
        DeleteIfEmpty(collectionPath, kFallbackMemberKey, outcome);
        DeleteIfEmpty(collectionPath, strings::kProgramKey, outcome);
        DeleteIfEmpty(collectionPath, kListKey, outcome);
        // Then each key above, up to "Software", as long as it is left empty:
        // an empty key holds nothing of anyone's.
        std::string_view path = strings::kCollectionKey;
        for (std::size_t slash = path.rfind('\\'); slash != std::string_view::npos;
             slash = path.rfind('\\')) {
            DeleteIfEmpty(path.substr(0, slash), path.substr(slash + 1), outcome);
            path = path.substr(0, slash);
        }
        DeleteIfEmpty({}, path, outcome);
    }
    if (!folder.empty() || purge) {
        const std::string taken = folder.empty() ? installation.installPath : folder;
        TakeBackFolder(taken, purge, outcome);
        TakeBackCollectionFolder(taken, outcome);
    }
    return outcome;
}

} // namespace velmora::install
