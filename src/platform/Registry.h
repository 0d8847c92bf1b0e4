#pragma once
// The current user's registry, kept as one text file in the registry export
// format ("Windows Registry Editor Version 5.00") so that every program of the
// collection reads and writes the same keys.
//
// Every read parses the file afresh, so a key always shows what other
// processes have written. Every write is a locked read-modify-write with an
// atomic replace of the file. A damaged file reads as if its damaged keys and
// values were missing; the next write keeps a copy of it aside first.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::platform {

// Value types, numbered as the Windows registry numbers them. Values of other
// types found in the file (hex:..., written by hand or by another tool) are
// kept as they are but cannot be read through this interface.
enum class RegistryType : uint32_t {
    Opaque = 0,
    String = 1, // REG_SZ
    Dword = 4, // REG_DWORD
};

// Names (key names and value names) fit a buffer of this size with their NUL.
inline constexpr std::size_t kRegistryNameBuffer = 1024;
// The buffer size text reads offer unless told otherwise.
inline constexpr std::size_t kRegistryTextBuffer = 1024;
// Longest text value the hive stores (bytes, without the NUL).
inline constexpr std::size_t kRegistryMaxText = 32 * 1024;
// Deepest key path, HKEY_CURRENT_USER included, as the Windows registry
// limits its tree; a deeper section in the file is damage.
inline constexpr std::size_t kRegistryMaxKeyDepth = 512;
// Largest registry file read or written.
inline constexpr std::size_t kRegistryMaxFileSize = 4 * 1024 * 1024;

struct RegistryValue {
    std::string name;
    RegistryType type = RegistryType::Opaque;
    uint32_t dword = 0;
    std::string text; // String: the text; Opaque: the raw data as written
};

// The registry file of this user: $KESTROVA3D_REGISTRY when set, otherwise
// $XDG_CONFIG_HOME/kestrova3d/registry.reg ($HOME/.config when unset).
std::string RegistryFilePath();

// An open key below HKEY_CURRENT_USER. Key paths use "\" between names, e.g.
// "Software\\Tarnwick\\Kestrova3D"; names compare without letter case.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens an existing key; fails when it is missing.
    bool Open(std::string_view subKey);
    bool Open(const RegistryKey& parent, std::string_view subKey);
    // Opens the key, creating it and any missing key above it.
    bool Create(std::string_view subKey);
    bool Create(const RegistryKey& parent, std::string_view subKey);
    void Close();

    bool IsOpen() const { return open_; }
    // The key's path below HKEY_CURRENT_USER.
    const std::string& Path() const { return path_; }

    // Reads a REG_DWORD value. A missing value, a value of another type or a
    // missing key fails and leaves `value` unchanged.
    bool QueryDword(std::string_view name, uint32_t& value) const;
    bool QueryDword(std::string_view name, int32_t& value) const;
    // Reads a REG_SZ value into a caller's buffer of `size` bytes, NUL
    // included. A text that does not fit fails like a missing value; the
    // buffer is left unchanged on every failure.
    bool QueryString(std::string_view name, char* buffer, std::size_t size) const;
    // The same with a std::string, bounded by the same buffer size.
    bool QueryString(
        std::string_view name, std::string& text, std::size_t bufferSize = kRegistryTextBuffer) const;
    // Reads a value of any type, with its type.
    bool QueryValue(std::string_view name, RegistryValue& value) const;
    // The value at `index` in stored order; false past the last one. The
    // text is cut (at a character boundary) to fit `textBufferSize` with NUL.
    bool EnumValue(
        std::size_t index, RegistryValue& value, std::size_t textBufferSize = kRegistryTextBuffer) const;

    // Writes add a missing value at the end of the key and replace an
    // existing one in its place. Text may not hold NUL, CR or LF.
    bool SetDword(std::string_view name, uint32_t value);
    bool SetString(std::string_view name, std::string_view text);
    bool DeleteValue(std::string_view name);
    // Deletes the sub-key below this key when it holds no value and no key
    // of its own; false when it is missing or not empty (then nothing
    // changes). An installer uses it to take back keys it made, without
    // ever taking anything another program put there.
    bool DeleteEmptySubKey(std::string_view subKey);

private:
    // Open (create false) or Create (create true) below an open parent.
    bool Attach(const RegistryKey& parent, std::string_view subKey, bool create);
    // Writes a checked Dword or String value under this key.
    bool StoreValue(RegistryValue value);
    std::string file_;
    std::string path_;
    bool open_ = false;
};

} // namespace velmora::platform
