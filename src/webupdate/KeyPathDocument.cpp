#include "webupdate/KeyPathDocument.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace velmora::webupdate {
namespace {

// [SECTION] Tokens

enum class TokenKind { Error, End, Open, Close, Text };

struct Token {
    TokenKind kind = TokenKind::Error;
    std::string_view value; // points into the text being parsed
};

// The C locale's white space; bytes of 0x80 and above never are.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* SkipSpace(const char* p)
{
    while (IsSpace(*p))
        ++p;
    return p;
}

// Reads one token at `cursor` and moves the cursor past it. Text keeps the
// white space on both sides of it; white space between two tags never forms
// a text token because the skip finds the next "<" first.
Token NextToken(const char*& cursor)
{
    const char* p = SkipSpace(cursor);
    if (*p == '\0')
        return {TokenKind::End, {}};
    if (*p == '<') {
        p = SkipSpace(p + 1);
        if (*p == '\0')
            return {TokenKind::End, {}};
        const char* start = p;
        while (*p != '>' && *p != '\0') {
            if (static_cast<std::size_t>(p - start) >= KeyPathDocument::kMaxTokenLength)
                return {TokenKind::Error, {}};
            ++p;
        }
        if (*p == '\0')
            return {TokenKind::Error, {}};
        const std::string_view content(start, static_cast<std::size_t>(p - start));
        cursor = p + 1;
        if (!content.empty() && content.front() == '/')
            return {TokenKind::Close, content.substr(1)};
        // A processing instruction reads as an opening tag without a name.
        if (!content.empty() && content.front() == '?' && content.back() == '?')
            return {TokenKind::Open, {}};
        return {TokenKind::Open, content};
    }
    const char* start = cursor;
    p = cursor;
    while (*p != '<' && *p != '\0') {
        if (static_cast<std::size_t>(p - start) >= KeyPathDocument::kMaxTokenLength)
            return {TokenKind::Error, {}};
        ++p;
    }
    if (*p == '\0')
        return {TokenKind::Error, {}};
    cursor = p;
    return {TokenKind::Text, std::string_view(start, static_cast<std::size_t>(p - start))};
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

// [SECTION] Loading and parsing

int KeyPathDocument::LoadFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    // Read in pieces of 256 bytes into a buffer that grows as the file
    // goes on; a failed allocation fails the load.
    constexpr std::size_t kPiece = 256;
    std::string text;
    bool readFailed = false;
    try {
        char piece[kPiece];
        for (;;) {
            const std::size_t n = std::fread(piece, 1, kPiece, file);
            text.append(piece, n);
            if (n < kPiece) {
                readFailed = std::ferror(file) != 0;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        return 0;
    }
    std::fclose(file);
    if (readFailed) {
        pairs_.clear();
        return 0;
    }
    // c_str() ends the text at its first NUL, as the reader expects.
    return Parse(text.c_str());
}

int KeyPathDocument::Parse(const char* text)
{
    pairs_.clear();
    if (!text)
        return 0;
    std::string path;
    std::size_t stored = 0;
    const char* cursor = text;
    const auto fail = [this] {
        pairs_.clear();
        pairs_.shrink_to_fit();
        return 0;
    };
    try {
        for (;;) {
            const Token token = NextToken(cursor);
            switch (token.kind) {
            case TokenKind::Error:
                return fail();
            case TokenKind::End:
                if (!path.empty())
                    return fail(); // elements still open
                return 1;
            case TokenKind::Open:
                if (token.value.empty())
                    break;
                if (!path.empty())
                    path += '.';
                path += token.value;
                break;
            case TokenKind::Close: {
                // The name must match the end of the path exactly, letter
                // case included; that end and the separator in front of it
                // are dropped.
                const std::string_view name = token.value;
                if (name.size() > path.size()
                    || path.compare(path.size() - name.size(), name.size(), name) != 0)
                    return fail();
                const std::size_t keep = path.size() > name.size() ? path.size() - name.size() - 1 : 0;
                path.resize(keep);
                break;
            }
            case TokenKind::Text:
                stored += path.size() + token.value.size() + sizeof(KeyPathPair);
                if (stored > kMaxStoredBytes)
                    return fail();
                pairs_.push_back({path, std::string(token.value)});
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return fail();
    }
}

// [SECTION] Lookups

const KeyPathPair* KeyPathDocument::Find(std::string_view key) const
{
    for (const KeyPathPair& pair : pairs_)
        if (EqualsIgnoringCase(pair.key, key))
            return &pair;
    return nullptr;
}

int KeyPathDocument::GetString(std::string_view key, std::string& out) const
{
    const KeyPathPair* pair = Find(key);
    if (!pair)
        return 0;
    out = pair->text;
    return 1;
}

int KeyPathDocument::GetInt(std::string_view key, int& out) const
{
    const KeyPathPair* pair = Find(key);
    if (!pair)
        return 0;
    const std::string& text = pair->text;
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Gathered as a negative number, whose range is the larger one; beyond
    // the range the value stays at the limit.
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < static_cast<long long>(INT_MIN) - 1)
            value = static_cast<long long>(INT_MIN) - 1;
    }
    if (negative)
        out = value < INT_MIN ? INT_MIN : static_cast<int>(value);
    else
        out = -value > INT_MAX ? INT_MAX : static_cast<int>(-value);
    return 1;
}

} // namespace velmora::webupdate
