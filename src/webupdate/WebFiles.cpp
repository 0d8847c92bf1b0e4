#include "webupdate/WebFiles.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/Files.h"

namespace velmora::webupdate {

int FileExists(const std::string& path)
{
    return platform::CanOpenForReading(path) ? 1 : 0;
}

int IsPathWritable(const std::string& path)
{
    if (path.empty())
        return 0;
    const std::string probe = platform::IsPathSeparator(path.back()) ? path + kProbeFileName : path;
    if (platform::CanOpenForReading(probe))
        return 1;
    std::FILE* file = std::fopen(probe.c_str(), "wb");
    if (!file)
        return 0;
    const bool written = std::fwrite("12345", 1, 5, file) == 5;
    const bool closed = std::fclose(file) == 0;
    // The probe goes whether or not it could be written: a failed test must
    // not leave a stray file behind.
    std::remove(probe.c_str());
    return written && closed ? 1 : 0;
}

int EnsureDirectories(const std::string& path)
{
    if (IsPathWritable(path))
        return 1;
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (!platform::IsPathSeparator(path[i]))
            continue;
        std::error_code ignored;
        std::filesystem::create_directory(path.substr(0, i), ignored);
    }
    return IsPathWritable(path);
}

int WriteWholeFile(const std::string& path, const void* block, std::size_t size)
{
    if (size == 0 || !block || path.empty() || platform::IsPathSeparator(path.back()))
        return 0;
    if (!EnsureDirectories(path))
        return 0;
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return 0;
    const bool written = std::fwrite(block, size, 1, file) == 1;
    const bool closed = std::fclose(file) == 0;
    std::error_code ec;
    if (written && closed) {
        std::filesystem::rename(temporary, path, ec);
        if (!ec)
            return 1;
    }
    std::filesystem::remove(temporary, ec);
    return 0;
}

} // namespace velmora::webupdate
