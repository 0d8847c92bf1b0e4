// [SECTION] Text helpers: case, hex, trimming, UTF-8, quoting
// [SECTION] Line parsers
// [SECTION] Name and text checks
// [SECTION] Parse and serialise a hive
// [SECTION] Keys and values in a hive

#include "platform/RegistryFormat.h"

#include <cstdio>
#include <unordered_map>

namespace velmora::platform::regfile {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kDwordPrefix = "dword:";

// [SECTION] Text helpers: case, hex, trimming, UTF-8, quoting

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

uint32_t HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<uint32_t>(c - '0');
    return static_cast<uint32_t>(LowerAscii(c) - 'a' + 10);
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Well-formed UTF-8 without overlong forms, surrogates or code points past
// U+10FFFF; control characters other than tab are refused too, which is what
// turns binary noise into damaged lines.
bool IsCleanUtf8(std::string_view s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t') || c == 0x7f)
                return false;
            ++i;
            continue;
        }
        std::size_t len = 0;
        uint32_t cp = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        constexpr uint32_t kMinForLength[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinForLength[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

void AppendEscaped(std::string& out, std::string_view s)
{
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// Reads a quoted string with \\ and \" escapes starting at s[pos] == '"'.
// On success `pos` points past the closing quote.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& out)
{
    if (pos >= s.size() || s[pos] != '"')
        return false;
    ++pos;
    out.clear();
    while (pos < s.size()) {
        const char c = s[pos++];
        if (c == '"')
            return true;
        if (c == '\\') {
            if (pos >= s.size() || (s[pos] != '\\' && s[pos] != '"'))
                return false;
            out += s[pos++];
        } else {
            out += c;
        }
    }
    return false; // no closing quote: a cut line
}

// hex:01,02 or hex(7):00,ff (an empty list is allowed).
bool IsValidOpaque(std::string_view raw)
{
    if (raw.size() > kRegistryMaxText)
        return false;
    std::size_t pos = 0;
    if (raw.substr(0, 4) == "hex:") {
        pos = 4;
    } else if (raw.substr(0, 4) == "hex(") {
        pos = 4;
        const std::size_t start = pos;
        while (pos < raw.size() && IsHexDigit(raw[pos]) && pos - start < 8)
            ++pos;
        if (pos == start || raw.substr(pos, 2) != "):")
            return false;
        pos += 2;
    } else {
        return false;
    }
    if (pos == raw.size())
        return true;
    for (;;) {
        if (raw.size() - pos < 2 || !IsHexDigit(raw[pos]) || !IsHexDigit(raw[pos + 1]))
            return false;
        pos += 2;
        if (pos == raw.size())
            return true;
        if (raw[pos] != ',')
            return false;
        ++pos;
    }
}

// Splits the text into lines one at a time. A last line without its line end
// is a cut file: it is reported as damage, never parsed.
class LineReader {
public:
    explicit LineReader(std::string_view text)
        : text_(text)
    {
    }

    // False at the end. `tooLong` marks a line past kMaxLine (not returned).
    bool Next(std::string_view& line, bool& tooLong, bool& cut)
    {
        tooLong = false;
        cut = false;
        if (pos_ >= text_.size())
            return false;
        const std::size_t nl = text_.find('\n', pos_);
        const std::size_t end = nl == std::string_view::npos ? text_.size() : nl;
        line = text_.substr(pos_, end - pos_);
        pos_ = nl == std::string_view::npos ? text_.size() : nl + 1;
        if (nl == std::string_view::npos)
            cut = true;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > kMaxLine)
            tooLong = true;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Parses the path inside "[...]"; false for a damaged or deleting section.
// [SECTION] Line parsers

bool ParseSection(std::string_view line, std::string& path)
{
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return false;
    std::string_view inner = line.substr(1, line.size() - 2);
    if (!IsValidKeyPath(inner) || inner.front() == '-')
        return false;
    path.assign(inner);
    return true;
}

enum class ValueLine { Complete, NeedsMore, Damaged };

// Parses a value line; an opaque value whose line ends in "\" goes on in the
// next line (`raw` collects it).
ValueLine ParseValueStart(std::string_view line, RegistryValue& value, std::string& raw)
{
    std::size_t pos = 0;
    value = RegistryValue {};
    if (line[0] == '@') {
        pos = 1;
    } else if (!ReadQuoted(line, pos, value.name) || !IsValidValueName(value.name)) {
        return ValueLine::Damaged;
    }
    std::string_view rest = Trim(line.substr(pos));
    if (rest.empty() || rest.front() != '=')
        return ValueLine::Damaged;
    rest = Trim(rest.substr(1));
    if (!rest.empty() && rest.front() == '"') {
        std::size_t p = 0;
        if (!ReadQuoted(rest, p, value.text) || p != rest.size() || value.text.size() > kRegistryMaxText
            || !IsValidText(value.text))
            return ValueLine::Damaged;
        value.type = RegistryType::String;
        return ValueLine::Complete;
    }
    if (rest.size() >= kDwordPrefix.size()
        && EqualNoCase(rest.substr(0, kDwordPrefix.size()), kDwordPrefix)) {
        // Exactly eight digits, as exports write them: a shorter number is
        // how a cut file looks, and must not read as a smaller value.
        const std::string_view digits = rest.substr(kDwordPrefix.size());
        if (digits.size() != 8)
            return ValueLine::Damaged;
        uint32_t v = 0;
        for (char c : digits) {
            if (!IsHexDigit(c))
                return ValueLine::Damaged;
            v = (v << 4) | HexValue(c);
        }
        value.type = RegistryType::Dword;
        value.dword = v;
        return ValueLine::Complete;
    }
    raw.assign(LowerAscii(rest));
    if (!raw.empty() && raw.back() == '\\') {
        raw.pop_back();
        return raw.size() > kRegistryMaxText ? ValueLine::Damaged : ValueLine::NeedsMore;
    }
    if (!IsValidOpaque(raw))
        return ValueLine::Damaged;
    value.type = RegistryType::Opaque;
    value.text = raw;
    return ValueLine::Complete;
}

} // namespace

// [SECTION] Name and text checks

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool IsValidValueName(std::string_view name)
{
    return name.size() < kRegistryNameBuffer && IsCleanUtf8(name)
        && name.find('\t') == std::string_view::npos;
}

bool IsValidKeyName(std::string_view name)
{
    return !name.empty() && IsValidValueName(name) && name.find('\\') == std::string_view::npos;
}

bool IsValidKeyPath(std::string_view path)
{
    // "[" path "]" must fit one line, or a written section would read back
    // as damage.
    if (path.empty() || path.size() + 2 > kMaxLine)
        return false;
    std::size_t start = 0;
    for (std::size_t depth = 1;; ++depth) {
        if (depth > kRegistryMaxKeyDepth)
            return false;
        const std::size_t sep = path.find('\\', start);
        const std::string_view name
            = path.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
        if (!IsValidKeyName(name))
            return false;
        if (sep == std::string_view::npos)
            return true;
        start = sep + 1;
    }
}

bool IsValidText(std::string_view text)
{
    return text.size() <= kRegistryMaxText && IsCleanUtf8(text);
}

// [SECTION] Parse and serialise a hive

Hive Parse(std::string_view text)
{
    Hive hive;
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        text.remove_prefix(kUtf8Bom.size());

    // Lookups during the parse go through maps so that a large file of many
    // sections or values stays linear.
    std::unordered_map<std::string, std::size_t> keyIndex;
    std::unordered_map<std::string, std::size_t> valueIndex; // "<key index>\n<lower name>"

    constexpr std::size_t kNoKey = static_cast<std::size_t>(-1);
    std::size_t current = kNoKey;
    bool skipping = false; // inside a damaged section: its values count as missing
    bool headerSeen = false;
    bool contentSeen = false;

    LineReader reader(text);
    std::string_view rawLine;
    bool tooLong = false;
    bool cut = false;
    while (reader.Next(rawLine, tooLong, cut)) {
        if (tooLong || cut) {
            if (!Trim(rawLine).empty())
                hive.damaged = true;
            continue;
        }
        const std::string_view line = Trim(rawLine);
        if (line.empty() || line.front() == ';')
            continue;
        if (!IsCleanUtf8(line)) {
            hive.damaged = true;
            continue;
        }
        if (!contentSeen) {
            contentSeen = true;
            if (line == kHeader || line == kOldHeader) {
                headerSeen = true;
                continue;
            }
        }
        if (line.front() == '[') {
            std::string path;
            if (!ParseSection(line, path)) {
                hive.damaged = true;
                skipping = true;
                current = kNoKey;
                continue;
            }
            skipping = false;
            const std::string lower = LowerAscii(path);
            auto it = keyIndex.find(lower);
            if (it == keyIndex.end()) {
                it = keyIndex.emplace(lower, hive.keys.size()).first;
                hive.keys.push_back(Key {std::move(path), {}});
            }
            current = it->second;
            continue;
        }
        if (line.front() != '"' && line.front() != '@') {
            hive.damaged = true;
            continue;
        }
        RegistryValue value;
        std::string raw;
        ValueLine state = ParseValueStart(line, value, raw);
        while (state == ValueLine::NeedsMore) {
            std::string_view next;
            if (!reader.Next(next, tooLong, cut) || tooLong || cut) {
                state = ValueLine::Damaged;
                break;
            }
            next = Trim(next);
            if (!IsCleanUtf8(next)) {
                state = ValueLine::Damaged;
                break;
            }
            const bool more = !next.empty() && next.back() == '\\';
            if (more)
                next.remove_suffix(1);
            if (raw.size() + next.size() > kRegistryMaxText) {
                state = ValueLine::Damaged;
                break;
            }
            raw += LowerAscii(next);
            if (!more) {
                state = IsValidOpaque(raw) ? ValueLine::Complete : ValueLine::Damaged;
                value.type = RegistryType::Opaque;
                value.text = raw;
            }
        }
        if (state == ValueLine::Damaged || current == kNoKey) {
            // A value outside any section has no key to belong to.
            if (state == ValueLine::Damaged || !skipping)
                hive.damaged = true;
            continue;
        }
        Key& key = hive.keys[current];
        const std::string id = std::to_string(current) + '\n' + LowerAscii(value.name);
        auto it = valueIndex.find(id);
        if (it == valueIndex.end()) {
            valueIndex.emplace(id, key.values.size());
            key.values.push_back(std::move(value));
        } else {
            // Import semantics: the later line wins, the first place is kept.
            std::string name = std::move(key.values[it->second].name);
            key.values[it->second] = std::move(value);
            key.values[it->second].name = std::move(name);
        }
    }
    if (contentSeen && !headerSeen)
        hive.damaged = true;
    return hive;
}

std::string Serialize(const Hive& hive)
{
    std::string out;
    out += kHeader;
    out += '\n';
    for (const Key& key : hive.keys) {
        out += "\n[";
        out += key.path;
        out += "]\n";
        for (const RegistryValue& v : key.values) {
            if (v.name.empty())
                out += '@';
            else
                AppendEscaped(out, v.name);
            out += '=';
            switch (v.type) {
            case RegistryType::String:
                AppendEscaped(out, v.text);
                break;
            case RegistryType::Dword: {
                char digits[16];
                std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(v.dword));
                out += digits;
                break;
            }
            case RegistryType::Opaque:
                out += v.text;
                break;
            }
            out += '\n';
        }
    }
    return out;
}

// [SECTION] Keys and values in a hive

Key* FindKey(Hive& hive, std::string_view path)
{
    for (Key& k : hive.keys)
        if (EqualNoCase(k.path, path))
            return &k;
    return nullptr;
}

const Key* FindKey(const Hive& hive, std::string_view path)
{
    for (const Key& k : hive.keys)
        if (EqualNoCase(k.path, path))
            return &k;
    return nullptr;
}

bool KeyExists(const Hive& hive, std::string_view path)
{
    for (const Key& k : hive.keys) {
        const std::string_view p = k.path;
        if (p.size() == path.size() ? EqualNoCase(p, path)
                                    : p.size() > path.size() && p[path.size()] == '\\'
                    && EqualNoCase(p.substr(0, path.size()), path))
            return true;
    }
    return false;
}

bool CreateKey(Hive& hive, std::string_view path)
{
    if (KeyExists(hive, path))
        return false;
    // Sections for every missing key from the first below the root down.
    bool added = false;
    std::size_t sep = path.find('\\');
    while (sep != std::string_view::npos) {
        sep = path.find('\\', sep + 1);
        const std::string_view prefix = path.substr(0, sep);
        if (!KeyExists(hive, prefix)) {
            hive.keys.push_back(Key {std::string(prefix), {}});
            added = true;
        }
    }
    return added;
}

RemoveResult RemoveEmptyKey(Hive& hive, std::string_view path)
{
    if (!KeyExists(hive, path))
        return RemoveResult::Missing;
    for (const Key& k : hive.keys) {
        const std::string_view p = k.path;
        if (p.size() == path.size()) {
            if (EqualNoCase(p, path) && !k.values.empty())
                return RemoveResult::NotEmpty;
        } else if (p.size() > path.size() && p[path.size()] == '\\'
            && EqualNoCase(p.substr(0, path.size()), path)) {
            return RemoveResult::NotEmpty; // a key lies below it
        }
    }
    std::erase_if(
        hive.keys, [&](const Key& k) { return k.path.size() == path.size() && EqualNoCase(k.path, path); });
    return RemoveResult::Removed;
}

const RegistryValue* FindValue(const Key& key, std::string_view name)
{
    for (const RegistryValue& v : key.values)
        if (EqualNoCase(v.name, name))
            return &v;
    return nullptr;
}

void SetValue(Key& key, RegistryValue value)
{
    for (RegistryValue& v : key.values) {
        if (EqualNoCase(v.name, value.name)) {
            value.name = std::move(v.name); // keep the stored spelling
            v = std::move(value);
            return;
        }
    }
    key.values.push_back(std::move(value));
}

} // namespace velmora::platform::regfile
