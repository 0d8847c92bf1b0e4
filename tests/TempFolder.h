#pragma once
// A private folder below the temp folder for one test, removed with all it
// holds, and whole-file reads, for every suite that looks at what was written.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "mkdtemp failed for " << pattern;
        else
            path_ = pattern;
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
