#include "platform/posix/TempFile.h"

#include <string_view>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/FileDescriptor.h"

namespace velmora::platform {
namespace {

constexpr std::string_view kTempInfix = ".tmp-";
constexpr std::size_t kTempSuffix = 6; // mkostemp's XXXXXX

std::string BaseName(const std::string& file)
{
    const std::size_t slash = file.find_last_of('/');
    return slash == std::string::npos ? file : file.substr(slash + 1);
}

} // namespace

std::string ParentDirectory(const std::string& file)
{
    const std::size_t slash = file.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

TempFile::~TempFile()
{
    if (fd_ >= 0) {
        if (!name_.empty())
            ::unlink(name_.c_str());
        ::close(fd_);
    }
}

bool TempFile::Create(const std::string& target)
{
    std::string name = target + std::string(kTempInfix) + std::string(kTempSuffix, 'X');
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0)
        return false;
    name_ = std::move(name);
    // A fresh file nobody else has open: the lock is free.
    return ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

bool TempFile::RenameTo(const std::string& target)
{
    if (::rename(name_.c_str(), target.c_str()) != 0)
        return false;
    name_.clear();
    return true;
}

void RemoveStrayTemps(const std::string& target)
{
    const std::string prefix = BaseName(target) + std::string(kTempInfix);
    DIR* dir = ::opendir(ParentDirectory(target).c_str());
    if (dir == nullptr)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + kTempSuffix || name.substr(0, prefix.size()) != prefix)
            continue;
        FileDescriptor fd(::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat held { };
        if (!fd.Valid() || ::fstat(fd.Get(), &held) != 0 || !S_ISREG(held.st_mode))
            continue;
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
            continue; // a writer still at work
        // Only the very file locked, should the name have moved on meanwhile.
        struct stat named { };
        if (::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev
            && named.st_ino == held.st_ino)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace velmora::platform
