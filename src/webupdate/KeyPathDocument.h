#pragma once
// The reader of the product list document: a small XML-like text read by key
// paths. No tree is built; the document becomes an ordered list of
// (key path, text) pairs, the key path being the enclosing element names
// joined by "." ("English.ProductsList.Count"). Only nested elements with text
// are understood: attributes, entities, comments and CDATA are not part of the
// grammar.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::webupdate {

struct KeyPathPair {
    std::string key;
    std::string text;
};

class KeyPathDocument {
public:
    // A tag's content or a text run longer than this fails the parse.
    static constexpr std::size_t kMaxTokenLength = 1023;
    // Every text stores its own copy of its key path, so a document of deeply
    // nested elements could take far more memory than its own size; a
    // document whose pairs would take more than this is refused.
    static constexpr std::size_t kMaxStoredBytes = std::size_t {64} << 20;

    KeyPathDocument() = default;
    virtual ~KeyPathDocument() = default;
    KeyPathDocument(const KeyPathDocument&) = default;
    KeyPathDocument& operator=(const KeyPathDocument&) = default;

    // Reads the whole file and parses it; a NUL byte ends the text. 1 when the
    // file was read and parsed, else 0.
    int LoadFile(const std::string& path);
    // Parses a NUL-terminated text. Every parse starts by emptying the
    // document, and a failed one leaves it empty. 1 on success, else 0.
    int Parse(const char* text);

    // The text of the first pair whose key equals `key` without regard to
    // ASCII letter case. 0 with `out` unchanged when there is none.
    int GetString(std::string_view key, std::string& out) const;
    // The same pair's text read as C's "%d" reads it: leading white space, an
    // optional sign, decimal digits, anything after them ignored. A text
    // without digits gives 0; one beyond the int range gives the nearest
    // limit. 0 with `out` unchanged when the key is missing.
    int GetInt(std::string_view key, int& out) const;

    const std::vector<KeyPathPair>& Pairs() const { return pairs_; }

private:
    const KeyPathPair* Find(std::string_view key) const;

    std::vector<KeyPathPair> pairs_;
};

} // namespace velmora::webupdate
