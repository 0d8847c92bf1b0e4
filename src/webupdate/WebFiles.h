#pragma once
// The file operations of the web update: paths with "/" separators, folders
// made on the way, whole files written or not at all.

#include <cstddef>
#include <string>

namespace velmora::webupdate {

// Name of the probe file that IsPathWritable writes into a folder path.
inline constexpr const char* kProbeFileName = "testfilename001.fileext";

// 1 when the path is not empty and names a file that opens for reading.
int FileExists(const std::string& path);

// 1 when the file at `path` can be written: an existing file counts as
// writable; otherwise a probe is created there, written and deleted. A path
// ending in "/" is tested through kProbeFileName inside that folder.
int IsPathWritable(const std::string& path);

// Creates every missing folder on `path` (the parts in front of each "/"),
// outermost first, then returns IsPathWritable(path).
int EnsureDirectories(const std::string& path);

// Writes the block as the whole file at `path`, making its folders first. The
// bytes go to a temporary file beside it that replaces the file only when
// everything was written, so a failed write leaves no partial file and keeps
// what stood there before. 0 for a failure or a size of 0.
int WriteWholeFile(const std::string& path, const void* block, std::size_t size);

} // namespace velmora::webupdate
