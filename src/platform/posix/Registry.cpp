// [SECTION] File location and reading
// [SECTION] Writing: directories, temporaries, damaged copies, replacement
// [SECTION] Keys: open, create, attach
// [SECTION] Values: query, enumerate, set, delete

#include "platform/Registry.h"

#include "platform/posix/FileDescriptor.h"
#include "platform/posix/TempFile.h"
#include "platform/RegistryFormat.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace velmora::platform {
namespace {

using regfile::Hive;

// [SECTION] File location and reading

std::string CurrentUserPath(std::string_view subKey)
{
    std::string path(regfile::kCurrentUser);
    if (!subKey.empty()) {
        path += '\\';
        path += subKey;
    }
    return path;
}

bool IsRoot(std::string_view fullPath)
{
    return fullPath == regfile::kCurrentUser;
}

enum class ReadResult { Ok, Missing, Failed };

// Reads at most kRegistryMaxFileSize bytes; a longer file reads as cut.
ReadResult ReadRegistryFile(const std::string& file, std::string& text, bool& oversize)
{
    text.clear();
    oversize = false;
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid())
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat st { };
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return ReadResult::Failed;
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        const std::size_t room = kRegistryMaxFileSize - text.size();
        if (static_cast<std::size_t>(n) > room) {
            text.append(chunk, room);
            oversize = true;
            break;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    return ReadResult::Ok;
}

// The hive as other processes last wrote it; a missing or unreadable file
// reads as an empty hive (every key missing).
Hive LoadForReading(const std::string& file)
{
    std::string text;
    bool oversize = false;
    if (ReadRegistryFile(file, text, oversize) != ReadResult::Ok)
        return {};
    Hive hive = regfile::Parse(text);
    if (oversize)
        hive.damaged = true;
    return hive;
}

// [SECTION] Writing: directories, temporaries, damaged copies, replacement

bool MakeDirectories(const std::string& dir)
{
    struct stat st { };
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const std::size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash)))
        return false;
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool SyncDirectory(const std::string& dir)
{
    FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Valid() && ::fsync(fd.Get()) == 0;
}

std::string TimeStamp()
{
    const std::time_t now = std::time(nullptr);
    struct tm parts { };
    ::localtime_r(&now, &parts);
    char buf[32];
    if (std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &parts) == 0)
        return "unknown";
    return buf;
}

// Streams `from` into a new file `to` (used where a hard link is refused).
// The copy is made under a temporary name first, so that a crash leaves no
// half copy under the kept name.
bool CopyFile(const std::string& from, const std::string& to)
{
    FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in.Valid())
        return false;
    TempFile out;
    if (!out.Create(from))
        return false;
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || !WriteAll(out.Get(), std::string_view(chunk, static_cast<std::size_t>(n))))
            return false;
        if (n == 0)
            break;
    }
    return ::fsync(out.Get()) == 0 && out.RenameTo(to);
}

// Keeps the damaged file under a new name before it is replaced, so nothing
// in it is lost for good: a hard link keeps the very same bytes. Only writers
// holding the write lock make these names, so a free name stays free.
bool KeepDamagedCopy(const std::string& file)
{
    const std::string base = file + ".damaged-" + TimeStamp();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        struct stat st { };
        if (::lstat(name.c_str(), &st) == 0 || errno != ENOENT)
            continue;
        if (::link(file.c_str(), name.c_str()) == 0)
            return true;
        return errno != EEXIST && CopyFile(file, name);
    }
    return false;
}

// Symbolic links followed at most on the way to the file a write replaces.
constexpr int kMaxLinkHops = 40;

// The file a write replaces: the target of a symbolic link, so that a linked
// registry file stays linked. False when the links lead nowhere (a loop), and
// nothing may be written then.
bool WriteTarget(const std::string& file, std::string& target)
{
    std::string path = file;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st { };
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ELOOP)
                return false; // a loop in the folders above
            target = path; // not written yet: the write creates it here
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            target = resolved;
            return true;
        }
        if (errno == ELOOP)
            return false;
        // A link to a file not written yet: follow the link text itself.
        char text[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), text, sizeof text - 1);
        if (n <= 0)
            return false;
        const std::string link(text, static_cast<std::size_t>(n));
        path = link[0] == '/' ? link : ParentDirectory(path) + "/" + link;
    }
    return false; // more links than any sane chain: a loop
}

bool ReplaceFile(const std::string& target, std::string_view data, mode_t mode)
{
    TempFile temp;
    if (!temp.Create(target))
        return false;
    const bool written
        = ::fchmod(temp.Get(), mode) == 0 && WriteAll(temp.Get(), data) && ::fsync(temp.Get()) == 0;
    if (!written || !temp.RenameTo(target))
        return false; // the temporary file goes with `temp`
    SyncDirectory(ParentDirectory(target)); // the rename is done; a failed sync only weakens crash safety
    return true;
}

// The write lock: an exclusive flock on "<target>.lock". The lock lives in
// its own file because the registry file itself is replaced by every write.
// The holder removes the lock file before letting go, so none stays behind;
// a waiter whose lock turns out to be on a removed file tries again.
class WriteLock {
public:
    WriteLock() = default;
    ~WriteLock()
    {
        if (fd_ >= 0) {
            ::unlink(name_.c_str());
            ::close(fd_);
        }
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    bool Acquire(const std::string& name)
    {
        for (;;) {
            FileDescriptor fd(::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
            if (!fd.Valid())
                return false;
            int locked = 0;
            while ((locked = ::flock(fd.Get(), LOCK_EX)) != 0 && errno == EINTR) { }
            struct stat held { };
            if (locked != 0 || ::fstat(fd.Get(), &held) != 0)
                return false;
            struct stat named { };
            if (::lstat(name.c_str(), &named) == 0 && named.st_dev == held.st_dev
                && named.st_ino == held.st_ino) {
                name_ = name;
                fd_ = fd.Release();
                return true;
            }
        }
    }

private:
    int fd_ = -1;
    std::string name_;
};

enum class Change { None, Changed, Refused };

// Locked read-modify-write. `change` edits the hive in memory; the file is
// replaced atomically only when it changed.
template<class F> bool ModifyHive(const std::string& file, F&& change)
{
    if (file.empty())
        return false;
    std::string target;
    if (!WriteTarget(file, target) || !MakeDirectories(ParentDirectory(target)))
        return false;
    WriteLock lock;
    if (!lock.Acquire(target + ".lock"))
        return false;
    RemoveStrayTemps(target);

    std::string text;
    bool oversize = false;
    const ReadResult read = ReadRegistryFile(target, text, oversize);
    if (read == ReadResult::Failed)
        return false; // never replace what could not be read
    Hive hive = read == ReadResult::Ok ? regfile::Parse(text) : Hive {};
    if (oversize)
        hive.damaged = true;
    text.clear();
    text.shrink_to_fit();

    const Change result = change(hive);
    if (result == Change::Refused)
        return false;
    if (result == Change::None)
        return true;
    const std::string data = regfile::Serialize(hive);
    if (data.size() > kRegistryMaxFileSize)
        return false;
    mode_t mode = 0600;
    struct stat st { };
    if (read == ReadResult::Ok && ::stat(target.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    if (hive.damaged && !KeepDamagedCopy(target))
        return false;
    return ReplaceFile(target, data, mode);
}

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
void CutText(std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

} // namespace

std::string RegistryFilePath()
{
    if (const char* env = std::getenv("KESTROVA3D_REGISTRY"); env != nullptr && *env != '\0')
        return env;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.config";
    } else {
        return {}; // nowhere to keep settings: every key reads as missing
    }
    return base + "/kestrova3d/registry.reg";
}

// [SECTION] Keys: open, create, attach

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : file_(std::move(other.file_))
    , path_(std::move(other.path_))
    , open_(std::exchange(other.open_, false))
{
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        file_ = std::move(other.file_);
        path_ = std::move(other.path_);
        open_ = std::exchange(other.open_, false);
    }
    return *this;
}

void RegistryKey::Close()
{
    open_ = false;
    file_.clear();
    path_.clear();
}

bool RegistryKey::Open(std::string_view subKey)
{
    Close();
    if (!subKey.empty() && !regfile::IsValidKeyPath(subKey))
        return false;
    std::string file = RegistryFilePath();
    const std::string full = CurrentUserPath(subKey);
    if (!regfile::IsValidKeyPath(full))
        return false; // deeper or longer than the file can hold
    if (!IsRoot(full) && !regfile::KeyExists(LoadForReading(file), full))
        return false;
    file_ = std::move(file);
    path_.assign(subKey);
    open_ = true;
    return true;
}

bool RegistryKey::Create(std::string_view subKey)
{
    Close();
    if (!subKey.empty() && !regfile::IsValidKeyPath(subKey))
        return false;
    std::string file = RegistryFilePath();
    const std::string full = CurrentUserPath(subKey);
    if (!regfile::IsValidKeyPath(full))
        return false; // deeper or longer than the file can hold
    if (!IsRoot(full)) {
        const bool ok = ModifyHive(file,
            [&](Hive& hive) { return regfile::CreateKey(hive, full) ? Change::Changed : Change::None; });
        if (!ok)
            return false;
    }
    file_ = std::move(file);
    path_.assign(subKey);
    open_ = true;
    return true;
}

namespace {

std::string JoinKey(const std::string& parent, std::string_view subKey)
{
    if (parent.empty())
        return std::string(subKey);
    if (subKey.empty())
        return parent;
    return parent + '\\' + std::string(subKey);
}

} // namespace

bool RegistryKey::Open(const RegistryKey& parent, std::string_view subKey)
{
    return Attach(parent, subKey, false);
}

bool RegistryKey::Create(const RegistryKey& parent, std::string_view subKey)
{
    return Attach(parent, subKey, true);
}

bool RegistryKey::Attach(const RegistryKey& parent, std::string_view subKey, bool create)
{
    if (!parent.open_ || (!subKey.empty() && !regfile::IsValidKeyPath(subKey))) {
        Close();
        return false;
    }
    // Copies first: `parent` may be this very key.
    const std::string file = parent.file_;
    const std::string path = JoinKey(parent.path_, subKey);
    Close();
    const std::string full = CurrentUserPath(path);
    if (!regfile::IsValidKeyPath(full))
        return false; // deeper or longer than the file can hold
    if (!IsRoot(full)) {
        const bool ok = create
            ? ModifyHive(file,
                [&](Hive& hive) { return regfile::CreateKey(hive, full) ? Change::Changed : Change::None; })
            : regfile::KeyExists(LoadForReading(file), full);
        if (!ok)
            return false;
    }
    file_ = file;
    path_ = path;
    open_ = true;
    return true;
}

// [SECTION] Values: query, enumerate, set, delete

bool RegistryKey::QueryValue(std::string_view name, RegistryValue& value) const
{
    if (!open_)
        return false;
    const Hive hive = LoadForReading(file_);
    const regfile::Key* key = regfile::FindKey(hive, CurrentUserPath(path_));
    if (key == nullptr)
        return false;
    const RegistryValue* found = regfile::FindValue(*key, name);
    if (found == nullptr)
        return false;
    value = *found;
    return true;
}

bool RegistryKey::QueryDword(std::string_view name, uint32_t& value) const
{
    RegistryValue v;
    if (!QueryValue(name, v) || v.type != RegistryType::Dword)
        return false;
    value = v.dword;
    return true;
}

bool RegistryKey::QueryDword(std::string_view name, int32_t& value) const
{
    uint32_t raw = 0;
    if (!QueryDword(name, raw))
        return false;
    value = static_cast<int32_t>(raw); // the stored four bytes, as the record's signed field
    return true;
}

bool RegistryKey::QueryString(std::string_view name, char* buffer, std::size_t size) const
{
    if (buffer == nullptr || size == 0)
        return false;
    std::string text;
    if (!QueryString(name, text, size))
        return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

bool RegistryKey::QueryString(std::string_view name, std::string& text, std::size_t bufferSize) const
{
    RegistryValue v;
    if (bufferSize == 0 || !QueryValue(name, v) || v.type != RegistryType::String)
        return false;
    if (v.text.size() >= bufferSize)
        return false; // does not fit with its NUL, as a too small buffer fails
    text = std::move(v.text);
    return true;
}

bool RegistryKey::EnumValue(std::size_t index, RegistryValue& value, std::size_t textBufferSize) const
{
    if (!open_)
        return false;
    const Hive hive = LoadForReading(file_);
    const regfile::Key* key = regfile::FindKey(hive, CurrentUserPath(path_));
    if (key == nullptr || index >= key->values.size())
        return false;
    value = key->values[index];
    if (value.type == RegistryType::String)
        CutText(value.text, textBufferSize == 0 ? 0 : textBufferSize - 1);
    return true;
}

bool RegistryKey::SetDword(std::string_view name, uint32_t value)
{
    if (!open_ || !regfile::IsValidValueName(name))
        return false;
    RegistryValue v;
    v.name.assign(name);
    v.type = RegistryType::Dword;
    v.dword = value;
    return StoreValue(std::move(v));
}

bool RegistryKey::SetString(std::string_view name, std::string_view text)
{
    if (!open_ || !regfile::IsValidValueName(name) || !regfile::IsValidText(text))
        return false;
    RegistryValue v;
    v.name.assign(name);
    v.type = RegistryType::String;
    v.text.assign(text);
    return StoreValue(std::move(v));
}

// Leaves the file untouched when the value is already stored as it is.
bool RegistryKey::StoreValue(RegistryValue v)
{
    const std::string full = CurrentUserPath(path_);
    return ModifyHive(file_, [&](Hive& hive) {
        regfile::CreateKey(hive, full);
        regfile::Key* key = regfile::FindKey(hive, full);
        if (key == nullptr)
            key = &hive.keys.emplace_back(regfile::Key {full, {}});
        const RegistryValue* old = regfile::FindValue(*key, v.name);
        if (old != nullptr && old->type == v.type
            && (v.type == RegistryType::Dword ? old->dword == v.dword : old->text == v.text))
            return Change::None;
        regfile::SetValue(*key, std::move(v));
        return Change::Changed;
    });
}

bool RegistryKey::DeleteValue(std::string_view name)
{
    if (!open_)
        return false;
    const std::string full = CurrentUserPath(path_);
    bool found = false;
    const bool ok = ModifyHive(file_, [&](Hive& hive) {
        regfile::Key* key = regfile::FindKey(hive, full);
        if (key == nullptr)
            return Change::None;
        for (auto it = key->values.begin(); it != key->values.end(); ++it) {
            if (regfile::EqualNoCase(it->name, name)) {
                key->values.erase(it);
                found = true;
                return Change::Changed;
            }
        }
        return Change::None;
    });
    return ok && found;
}

bool RegistryKey::DeleteEmptySubKey(std::string_view subKey)
{
    if (!open_ || subKey.empty() || !regfile::IsValidKeyPath(subKey))
        return false;
    const std::string full = CurrentUserPath(JoinKey(path_, subKey));
    bool removed = false;
    const bool ok = ModifyHive(file_, [&](Hive& hive) {
        removed = regfile::RemoveEmptyKey(hive, full) == regfile::RemoveResult::Removed;
        return removed ? Change::Changed : Change::None;
    });
    return ok && removed;
}

} // namespace velmora::platform
