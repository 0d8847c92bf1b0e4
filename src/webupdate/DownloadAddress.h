#pragma once
// Which download addresses of the product list the product page hands on.
// The list comes from the network, so its text is hostile: only a web
// address goes to the desktop's handler, never a file, a program or
// another scheme that handler would act on.

#include <cstddef>
#include <string_view>

namespace velmora::webupdate {

// Longest address handed on, the limit of the system's own URL handling.
inline constexpr std::size_t kMaxDownloadAddressBytes = 2083;

// True for "http://" or "https://" (any letter case) followed by a host,
// in printable ASCII without quotes or angle brackets, at most
// kMaxDownloadAddressBytes long.
bool IsWebAddress(std::string_view address);

} // namespace velmora::webupdate
