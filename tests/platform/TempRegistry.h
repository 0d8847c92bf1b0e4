#pragma once
// A private temp folder per test with KESTROVA3D_REGISTRY pointing into it,
// so no test ever touches the user's own registry file.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace velmora::testing {

class TempRegistry {
public:
    TempRegistry()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-reg-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        dir_ = pattern;
        file_ = (dir_ / "registry.reg").string();
        ::setenv("KESTROVA3D_REGISTRY", file_.c_str(), 1);
    }
    ~TempRegistry()
    {
        ::unsetenv("KESTROVA3D_REGISTRY");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& File() const { return file_; }
    const std::filesystem::path& Dir() const { return dir_; }

    void Write(const std::string& text) const
    {
        std::ofstream out(file_, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::string Read() const
    {
        std::ifstream in(file_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // Writes a small file that a member's "ExecutablePath" can name.
    std::string MakeFile(const std::string& name) const
    {
        const std::string path = (dir_ / name).string();
        std::ofstream(path) << "#!/bin/sh\n";
        return path;
    }

private:
    std::filesystem::path dir_;
    std::string file_;
};

} // namespace velmora::testing
