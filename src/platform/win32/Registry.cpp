// [SECTION] Paths and conversion
// [SECTION] Keys: open, create, attach
// [SECTION] Values: query, enumerate, set, delete
//
// The current user's registry itself. A key object keeps its path, not an
// open handle: every call opens the key, does its work and closes it again,
// so a key another program deletes or creates in between is seen as it is.

#include "platform/Registry.h"

#include "platform/RegistryFormat.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinHandles.h"

#include <cstring>
#include <utility>
#include <vector>

namespace velmora::platform {
namespace {

using win32::Narrow;
using win32::UniqueHKey;
using win32::Widen;

// [SECTION] Paths and conversion

std::string JoinKey(const std::string& parent, std::string_view subKey)
{
    if (parent.empty())
        return std::string(subKey);
    if (subKey.empty())
        return parent;
    return parent + '\\' + std::string(subKey);
}

// Opens HKEY_CURRENT_USER\path; the root itself when path is empty.
UniqueHKey OpenPath(const std::string& path, REGSAM access)
{
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, access, key.Receive()) != ERROR_SUCCESS)
        key.Reset();
    return key;
}

UniqueHKey CreatePath(const std::string& path)
{
    UniqueHKey key;
    if (path.empty())
        return OpenPath(path, KEY_ALL_ACCESS);
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
            KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr)
        != ERROR_SUCCESS)
        key.Reset();
    return key;
}

// A REG_SZ's bytes as text: an odd last byte is dropped, and the text ends
// at the first NUL (a value stored without its NUL, or with several, reads
// as the system's own text functions would show it).
std::string TextOf(const std::vector<BYTE>& data)
{
    std::wstring wide(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), data.data(), wide.size() * sizeof(wchar_t));
    const std::size_t end = wide.find(L'\0');
    if (end != std::wstring::npos)
        wide.resize(end);
    return Narrow(wide);
}

// Raw data of other types, written as the export format writes it.
std::string HexOf(const std::vector<BYTE>& data)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0)
            out += ',';
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

// Fills `value` from what the system returned for one value.
bool Decode(std::string name, DWORD type, const std::vector<BYTE>& data, RegistryValue& value)
{
    RegistryValue v;
    v.name = std::move(name);
    if (type == REG_DWORD && data.size() == sizeof(DWORD)) {
        v.type = RegistryType::Dword;
        std::memcpy(&v.dword, data.data(), sizeof(DWORD));
    } else if (type == REG_SZ) {
        v.type = RegistryType::String;
        v.text = TextOf(data);
        // Longer than any text this program stores or reads: damage.
        if (v.text.size() > kRegistryMaxText) {
            v.type = RegistryType::Opaque;
            v.text.clear();
        }
    } else {
        // Other types, and a DWORD of another size (damage), cannot be read
        // as text or number; small ones keep their bytes for inspection.
        v.type = RegistryType::Opaque;
        if (data.size() <= kRegistryMaxText / 3)
            v.text = HexOf(data);
    }
    value = std::move(v);
    return true;
}

// Reads one value whole, whatever its size (the size may change between
// asking and reading when another program writes it).
bool ReadValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LSTATUS rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return false;
        data.assign(size, 0);
        rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
        if (rc == ERROR_SUCCESS) {
            data.resize(size);
            return true;
        }
        if (rc != ERROR_MORE_DATA)
            return false;
    }
    return false;
}

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
void CutText(std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

} // namespace

std::string RegistryFilePath()
{
    // The system keeps the registry; there is no file of this program's.
    return "HKEY_CURRENT_USER";
}

// [SECTION] Keys: open, create, attach

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : file_(std::move(other.file_))
    , path_(std::move(other.path_))
    , open_(std::exchange(other.open_, false))
{
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        file_ = std::move(other.file_);
        path_ = std::move(other.path_);
        open_ = std::exchange(other.open_, false);
    }
    return *this;
}

void RegistryKey::Close()
{
    open_ = false;
    path_.clear();
}

bool RegistryKey::Open(std::string_view subKey)
{
    Close();
    if (!subKey.empty() && !regfile::IsValidKeyPath(subKey))
        return false;
    const std::string path(subKey);
    if (!OpenPath(path, KEY_READ))
        return false;
    path_ = path;
    open_ = true;
    return true;
}

bool RegistryKey::Create(std::string_view subKey)
{
    Close();
    if (!subKey.empty() && !regfile::IsValidKeyPath(subKey))
        return false;
    const std::string path(subKey);
    if (!CreatePath(path))
        return false;
    path_ = path;
    open_ = true;
    return true;
}

bool RegistryKey::Open(const RegistryKey& parent, std::string_view subKey)
{
    return Attach(parent, subKey, false);
}

bool RegistryKey::Create(const RegistryKey& parent, std::string_view subKey)
{
    return Attach(parent, subKey, true);
}

bool RegistryKey::Attach(const RegistryKey& parent, std::string_view subKey, bool create)
{
    if (!parent.open_ || (!subKey.empty() && !regfile::IsValidKeyPath(subKey))) {
        Close();
        return false;
    }
    // A copy first: `parent` may be this very key.
    const std::string path = JoinKey(parent.path_, subKey);
    Close();
    if (!path.empty() && !regfile::IsValidKeyPath(path))
        return false; // deeper or longer than a key path can be
    if (!(create ? CreatePath(path) : OpenPath(path, KEY_READ)))
        return false;
    path_ = path;
    open_ = true;
    return true;
}

// [SECTION] Values: query, enumerate, set, delete

bool RegistryKey::QueryValue(std::string_view name, RegistryValue& value) const
{
    if (!open_)
        return false;
    const UniqueHKey key = OpenPath(path_, KEY_QUERY_VALUE);
    if (!key)
        return false;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!ReadValue(key.Get(), Widen(name), type, data))
        return false;
    return Decode(std::string(name), type, data, value);
}

bool RegistryKey::QueryDword(std::string_view name, uint32_t& value) const
{
    RegistryValue v;
    if (!QueryValue(name, v) || v.type != RegistryType::Dword)
        return false;
    value = v.dword;
    return true;
}

bool RegistryKey::QueryDword(std::string_view name, int32_t& value) const
{
    uint32_t raw = 0;
    if (!QueryDword(name, raw))
        return false;
    value = static_cast<int32_t>(raw); // the stored four bytes, as the record's signed field
    return true;
}

bool RegistryKey::QueryString(std::string_view name, char* buffer, std::size_t size) const
{
    if (buffer == nullptr || size == 0)
        return false;
    std::string text;
    if (!QueryString(name, text, size))
        return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

bool RegistryKey::QueryString(std::string_view name, std::string& text, std::size_t bufferSize) const
{
    RegistryValue v;
    if (bufferSize == 0 || !QueryValue(name, v) || v.type != RegistryType::String)
        return false;
    if (v.text.size() >= bufferSize)
        return false; // does not fit with its NUL, as a too small buffer fails
    text = std::move(v.text);
    return true;
}

bool RegistryKey::EnumValue(std::size_t index, RegistryValue& value, std::size_t textBufferSize) const
{
    if (!open_ || index > MAXDWORD)
        return false;
    const UniqueHKey key = OpenPath(path_, KEY_QUERY_VALUE);
    if (!key)
        return false;
    DWORD maxName = 0;
    DWORD maxData = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
            &maxData, nullptr, nullptr)
        != ERROR_SUCCESS)
        return false;
    // Another program may add a longer value between the two calls; try again
    // with room to spare then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::wstring name(static_cast<std::size_t>(maxName) + 1, L'\0');
        std::vector<BYTE> data(static_cast<std::size_t>(maxData));
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LSTATUS rc = ::RegEnumValueW(key.Get(), static_cast<DWORD>(index), name.data(), &nameSize,
            nullptr, &type, data.empty() ? nullptr : data.data(), &dataSize);
        if (rc == ERROR_MORE_DATA) {
            maxName = maxName * 2 + 256;
            maxData = std::max<DWORD>(dataSize, maxData * 2 + 256);
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return false; // past the last value
        name.resize(nameSize);
        data.resize(dataSize);
        Decode(Narrow(name), type, data, value);
        if (value.type == RegistryType::String)
            CutText(value.text, textBufferSize == 0 ? 0 : textBufferSize - 1);
        return true;
    }
    return false;
}

bool RegistryKey::SetDword(std::string_view name, uint32_t value)
{
    if (!open_ || !regfile::IsValidValueName(name))
        return false;
    const UniqueHKey key = CreatePath(path_);
    if (!key)
        return false;
    const DWORD data = value;
    return ::RegSetValueExW(key.Get(), Widen(name).c_str(), 0, REG_DWORD,
               reinterpret_cast<const BYTE*>(&data), sizeof data)
        == ERROR_SUCCESS;
}

bool RegistryKey::SetString(std::string_view name, std::string_view text)
{
    if (!open_ || !regfile::IsValidValueName(name) || !regfile::IsValidText(text)
        || text.size() > kRegistryMaxText)
        return false;
    const UniqueHKey key = CreatePath(path_);
    if (!key)
        return false;
    const std::wstring wide = Widen(text);
    // With its NUL, as every reader of REG_SZ expects.
    const DWORD bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(
               key.Get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()), bytes)
        == ERROR_SUCCESS;
}

bool RegistryKey::StoreValue(RegistryValue value)
{
    switch (value.type) {
    case RegistryType::Dword:
        return SetDword(value.name, value.dword);
    case RegistryType::String:
        return SetString(value.name, value.text);
    case RegistryType::Opaque:
        break;
    }
    return false;
}

bool RegistryKey::DeleteValue(std::string_view name)
{
    if (!open_)
        return false;
    const UniqueHKey key = OpenPath(path_, KEY_SET_VALUE);
    return key && ::RegDeleteValueW(key.Get(), Widen(name).c_str()) == ERROR_SUCCESS;
}

bool RegistryKey::DeleteEmptySubKey(std::string_view subKey)
{
    if (!open_ || subKey.empty() || !regfile::IsValidKeyPath(subKey))
        return false;
    const std::string path = JoinKey(path_, subKey);
    {
        const UniqueHKey sub = OpenPath(path, KEY_READ);
        if (!sub)
            return false;
        DWORD subKeys = 0;
        DWORD values = 0;
        if (::RegQueryInfoKeyW(sub.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                nullptr, nullptr, nullptr, nullptr)
                != ERROR_SUCCESS
            || subKeys != 0 || values != 0)
            return false;
    }
    // RegDeleteKey refuses a key that has keys below it, so a key filled in
    // after the check above is still not taken.
    return ::RegDeleteKeyW(HKEY_CURRENT_USER, Widen(path).c_str()) == ERROR_SUCCESS;
}

} // namespace velmora::platform
