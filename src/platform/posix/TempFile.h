#pragma once
// Replacing a file atomically: the new content goes into a temporary file
// beside it, which is then renamed over it. A writer that dies in between
// leaves its temporary file behind; the next writer removes such strays, and
// only those (see RemoveStrayTemps).

#include <string>

namespace velmora::platform {

// The folder of `file`: "." for a bare name, "/" for a file in the root.
std::string ParentDirectory(const std::string& file);

// A temporary file "<target>.tmp-XXXXXX" beside the file it will replace. The
// writer holds an exclusive flock on it from creation until it is renamed or
// removed, so a temporary file whose lock can be taken belongs to a writer
// that died. Removed when it goes out of scope without being renamed.
class TempFile {
public:
    TempFile() = default;
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Create(const std::string& target);
    int Get() const { return fd_; }
    // Moves the written file into place; the lock is held until it is there.
    bool RenameTo(const std::string& target);

private:
    int fd_ = -1;
    std::string name_;
};

// Removes the temporary files of `target` left by writers that died in the
// middle of a write. A live writer holds the lock on its own, so its file is
// never touched. Callers hold the lock that serialises writers of `target`.
void RemoveStrayTemps(const std::string& target);

} // namespace velmora::platform
