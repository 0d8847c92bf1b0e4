#include "webupdate/DownloadAddress.h"

#include <array>
#include <cstddef>

namespace velmora::webupdate {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace

bool IsWebAddress(std::string_view address)
{
    if (address.size() > kMaxDownloadAddressBytes)
        return false;
    // Control characters, quotes and anything beyond ASCII would let the
    // handler's command line or the user read the text as something else
    // than one address; a blank stays inside the quotes the handler adds.
    for (const char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '"' || c == '<' || c == '>')
            return false;
    }
    for (const std::string_view scheme : std::array<std::string_view, 2> {"http://", "https://"}) {
        if (!StartsWithNoCase(address, scheme))
            continue;
        const std::string_view rest = address.substr(scheme.size());
        // A host must follow: not empty, and not another path or a port.
        return !rest.empty() && rest.front() != ' ' && rest.front() != '/' && rest.front() != '\\'
            && rest.front() != ':' && rest.front() != '?' && rest.front() != '#' && rest.front() != '@';
    }
    return false;
}

} // namespace velmora::webupdate
