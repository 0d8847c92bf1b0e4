#include "platform/Files.h"

#include "platform/posix/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace velmora::platform {

bool CanOpenForReading(const std::string& path)
{
    if (path.empty())
        return false;
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid())
        return false;
    // A directory opens for reading too, but is no program file.
    struct stat st { };
    return ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace velmora::platform
