#include "install/Registration.h"

#include "platform/Registry.h"
#include "StringTable.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace velmora::install {
namespace {

namespace fs = std::filesystem;
using platform::RegistryKey;
using platform::RegistryType;
using platform::RegistryValue;

std::string Quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

// The folder below the user's data folder that the collection's members share.
constexpr std::string_view kCollectionFolder = "kestrova3d";

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
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

bool CheckInstallation(const Installation& installation, Outcome& outcome)
{
    const std::string& program = installation.executablePath;
    if (program.empty() || program.front() != '/' || !IsRunnableFile(program)) {
        outcome = Failure("no program at " + Quoted(program));
        return false;
    }
    const std::string& folder = installation.installPath;
    if (folder.size() < 2 || folder.front() != '/' || folder.back() != '/') {
        outcome = Failure("the data folder " + Quoted(folder) + " is not an absolute path ending in \"/\"");
        return false;
    }
    if (platform::RegistryFilePath().empty()) {
        outcome = Failure("no place for the settings file: set HOME, XDG_CONFIG_HOME or KESTROVA3D_REGISTRY");
        return false;
    }
    return true;
}

// Removes the folder when it is empty, or with everything in it on purge.
void TakeBackFolder(const std::string& folder, bool purge, Outcome& outcome)
{
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        return;
    if (purge) {
        if (fs::remove_all(folder, ec) != static_cast<std::uintmax_t>(-1) && !ec)
            outcome.changes.push_back("removed the data folder " + folder + " and its contents");
        else
            outcome.changes.push_back("could not remove the data folder " + folder + ": " + ec.message());
        return;
    }
    if (fs::is_empty(folder, ec) && fs::remove(folder, ec))
        outcome.changes.push_back("removed the empty data folder " + folder);
    else
        outcome.changes.push_back(
            "kept the data folder " + folder + ": it holds files (--purge removes them)");
}

// The collection's own folder above the default data folder, made together
// with it, goes too once no member's folder is left in it.
void TakeBackCollectionFolder(const std::string& folder, Outcome& outcome)
{
    const fs::path parent = fs::path(folder).parent_path().parent_path();
    std::error_code ec;
    if (parent.filename() == kCollectionFolder && fs::is_directory(parent, ec) && fs::is_empty(parent, ec)
        && fs::remove(parent, ec))
        outcome.changes.push_back("removed the empty folder " + parent.string());
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
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        base = std::string(home) + "/.local/share";
    else
        return {};
    return WithFinalSlash(base + "/" + std::string(kCollectionFolder) + "/velmora3d");
}

std::string WithFinalSlash(std::string_view path)
{
    if (path.empty())
        return {};
    std::string text = fs::path(path).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text == "/" ? text : text + "/";
}

Outcome Register(const Installation& installation)
{
    Outcome outcome;
    if (!CheckInstallation(installation, outcome))
        return outcome;

    std::error_code ec;
    const bool made = fs::create_directories(installation.installPath, ec);
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
    const bool usableFolder = folder.size() > 1 && folder.front() == '/' && folder.back() == '/';
    installation.installPath = usableFolder ? folder : DefaultInstallPath();
    if (installation.installPath.empty())
        return Failure("no data folder: set HOME or XDG_DATA_HOME");
    return Register(installation);
}

Outcome Unregister(const Installation& installation, bool purge)
{
    Outcome outcome;
    if (platform::RegistryFilePath().empty())
        return Failure("no place for the settings file: set HOME, XDG_CONFIG_HOME or KESTROVA3D_REGISTRY");
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
