// Reading a program file's icon straight from the file: only the headers and
// the one section are read, never the whole file.

#include "platform/ProgramIcon.h"

#include "platform/posix/FileDescriptor.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::platform {
namespace {

class FileSource final : public IconByteSource {
public:
    explicit FileSource(int fd, uint64_t size)
        : fd_(fd)
        , size_(size)
    {
    }
    uint64_t Size() const override { return size_; }
    bool Read(uint64_t offset, void* out, std::size_t size) const override
    {
        if (offset > size_ || size > size_ - offset)
            return false;
        auto* bytes = static_cast<uint8_t*>(out);
        while (size > 0) {
            const ssize_t n = ::pread(fd_, bytes, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            // A file that shrinks while it is read just has no icon.
            if (n <= 0)
                return false;
            bytes += n;
            offset += static_cast<uint64_t>(n);
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_;
};

} // namespace

ProgramIcon ReadProgramIcon(const std::string& path)
{
    ProgramIcon icon;
    if (path.empty())
        return icon;
    // Non-blocking, so a FIFO named as a program cannot hang the caller.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid())
        return icon;
    struct stat st { };
    if (::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode))
        icon = ReadProgramIconFrom(FileSource(fd.Get(), static_cast<uint64_t>(st.st_size)));
    return icon;
}

} // namespace velmora::platform
