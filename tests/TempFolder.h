#pragma once
// A private folder below the temp folder for one test, removed with all it
// holds, and whole-file reads, for every suite that looks at what was written.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace velmora::testing {

// The bytes of the file at `path`; empty when it cannot be read.
inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "velmora-test")
    {
        // A new folder of a random name, made by this call (never one that
        // was there already), as mkdtemp does.
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path base = fs::temp_directory_path(ec);
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, "-%08x", static_cast<unsigned>(random()));
            const fs::path candidate = base / (prefix + suffix);
            if (fs::create_directory(candidate, ec))
                path_ = candidate;
        }
        if (path_.empty())
            ADD_FAILURE() << "cannot make a temp folder for " << prefix << " in " << base;
    }
    ~TempFolder()
    {
        if (path_.empty())
            return;
        namespace fs = std::filesystem;
        std::error_code ec;
        // Folders a test made read-only must not keep their contents.
        for (auto it = fs::recursive_directory_iterator(path_, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (!it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path()/relative, as text.
    std::string File(const std::string& relative) const { return (path_ / relative).string(); }
    // Writes `bytes` to Path()/relative, making its folders; returns its path.
    std::string Write(const std::string& relative, const std::string& bytes) const
    {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

} // namespace velmora::testing
