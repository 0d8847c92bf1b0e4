#pragma once
// The registry file's text format, apart from any file access: parsing with
// damage detection and writing back in stored order. Used by RegistryKey and
// by the fuzz harness.

#include "platform/Registry.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform::regfile {

inline constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER";
// Longest line read: an escaped name and an escaped text of the largest sizes.
inline constexpr std::size_t kMaxLine = 2 * kRegistryMaxText + 2 * kRegistryNameBuffer + 64;

struct Key {
    std::string path; // full path including the root, e.g. "HKEY_CURRENT_USER\Software"
    std::vector<RegistryValue> values;
};

struct Hive {
    std::vector<Key> keys; // in stored order
    bool damaged = false; // something was unreadable and is left out of `keys`
};

// ASCII letters compare without case, as registry names do.
bool EqualNoCase(std::string_view a, std::string_view b);

// A key or value name that the file can hold: valid UTF-8, no control
// characters, shorter than kRegistryNameBuffer. Key names also exclude "\".
bool IsValidValueName(std::string_view name);
bool IsValidKeyName(std::string_view name);
// A path of valid key names joined by "\" (no empty name), at most
// kRegistryMaxKeyDepth names deep and short enough for its section line.
bool IsValidKeyPath(std::string_view path);
// Text that a REG_SZ value can hold: valid UTF-8 without NUL, CR or LF.
bool IsValidText(std::string_view text);

Hive Parse(std::string_view text);
std::string Serialize(const Hive& hive);

Key* FindKey(Hive& hive, std::string_view path);
const Key* FindKey(const Hive& hive, std::string_view path);
// A key exists when it has a section or a section lies below it, as importing
// the file would create it.
bool KeyExists(const Hive& hive, std::string_view path);
// Adds sections for the key and every missing key above it; true when added.
bool CreateKey(Hive& hive, std::string_view path);

enum class RemoveResult { Removed, NotEmpty, Missing };
// Removes the key's sections when it has no value and no key below it.
RemoveResult RemoveEmptyKey(Hive& hive, std::string_view path);

const RegistryValue* FindValue(const Key& key, std::string_view name);
// Replaces the value of that name in place or appends it.
void SetValue(Key& key, RegistryValue value);

} // namespace velmora::platform::regfile
