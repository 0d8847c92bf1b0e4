#include "platform/InstanceGuard.h"

#include "platform/posix/FileDescriptor.h"
#include "platform/posix/TempFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace velmora::platform {
namespace {

struct Owner {
    long pid = 0;
    unsigned long long startTime = 0; // 0: unknown
};

std::string DefaultPath(std::string_view name)
{
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run != nullptr && run[0] == '/')
        return std::string(run) + "/" + std::string(name);
    std::string temp = "/tmp";
    if (const char* t = std::getenv("TMPDIR"); t != nullptr && t[0] == '/')
        temp = t;
    return temp + "/" + std::string(name) + "-" + std::to_string(::geteuid());
}

// Field 22 of /proc/<pid>/stat: the start time in clock ticks since boot.
unsigned long long ProcessStartTime(long pid)
{
    const std::string name = "/proc/" + std::to_string(pid) + "/stat";
    std::FILE* f = std::fopen(name.c_str(), "re");
    if (f == nullptr)
        return 0;
    char buf[1024];
    const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    // The command name (field 2) may hold blanks and parentheses: count from
    // the last ')'.
    std::string_view s(buf, n);
    const std::size_t close = s.rfind(')');
    if (close == std::string_view::npos)
        return 0;
    s.remove_prefix(close + 1);
    for (int field = 3; field < 22; ++field) {
        const std::size_t start = s.find_first_not_of(' ');
        if (start == std::string_view::npos)
            return 0;
        const std::size_t end = s.find(' ', start);
        if (end == std::string_view::npos)
            return 0;
        s.remove_prefix(end);
    }
    const std::string rest(s);
    return std::strtoull(rest.c_str(), nullptr, 10);
}

bool IsAlive(const Owner& owner)
{
    if (owner.pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(owner.pid), 0) != 0 && errno != EPERM)
        return false;
    if (owner.startTime == 0)
        return true;
    const unsigned long long now = ProcessStartTime(owner.pid);
    return now == 0 || now == owner.startTime;
}

// Reads the guard file. Only a small regular file of this user counts: in a
// shared temp folder anyone could put a file of that name there.
bool ReadOwner(const std::string& path, Owner& owner)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid())
        return false;
    struct stat st { };
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_size > 64)
        return false;
    char buf[65];
    const ssize_t n = ::read(fd.Get(), buf, sizeof buf - 1);
    if (n <= 0)
        return false;
    buf[n] = '\0';
    long pid = 0;
    unsigned long long start = 0;
    const int fields = std::sscanf(buf, "%ld %llu", &pid, &start);
    if (fields < 1 || pid <= 0)
        return false;
    owner.pid = pid;
    owner.startTime = fields == 2 ? start : 0;
    return true;
}

// Writes the guard file whole or not at all, through a locked temporary file
// that a later writer removes should this process die before the rename.
bool WriteOwner(const std::string& path)
{
    const long pid = static_cast<long>(::getpid());
    const std::string text = std::to_string(pid) + " " + std::to_string(ProcessStartTime(pid)) + "\n";
    RemoveStrayTemps(path);
    TempFile temp;
    if (!temp.Create(path))
        return false;
    const bool ok = ::write(temp.Get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return ok && temp.RenameTo(path);
}

// Serialises guard operations between processes.
class GuardLock {
public:
    explicit GuardLock(const std::string& path)
        : fd_(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600))
    {
        if (fd_.Valid())
            while (::flock(fd_.Get(), LOCK_EX) != 0 && errno == EINTR) { }
    }
    // Without a lock the operations still work, just not atomically.

private:
    FileDescriptor fd_;
};

} // namespace

InstanceGuard::InstanceGuard(std::string_view name)
    : path_(DefaultPath(name))
{
}

InstanceGuard::InstanceGuard(std::string_view name, std::string directory)
    : path_(std::move(directory) + "/" + std::string(name))
{
}

bool InstanceGuard::Exists() const
{
    Owner owner;
    return ReadOwner(path_, owner) && IsAlive(owner);
}

bool InstanceGuard::Add()
{
    GuardLock lock(path_);
    return WriteOwner(path_);
}

bool InstanceGuard::TryAdd()
{
    GuardLock lock(path_);
    if (Exists())
        return false;
    return WriteOwner(path_);
}

bool InstanceGuard::Delete()
{
    GuardLock lock(path_);
    Owner owner;
    if (!ReadOwner(path_, owner))
        return false;
    const bool live = IsAlive(owner);
    return ::unlink(path_.c_str()) == 0 && live;
}

} // namespace velmora::platform
