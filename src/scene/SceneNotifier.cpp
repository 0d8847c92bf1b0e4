#include "scene/SceneNotifier.h"

#include <algorithm>
#include <cstdio>

namespace velmora {

void StderrNotifier::ShowError(std::string_view message)
{
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
    if (errorCount_++ == 0) {
        const std::size_t n = std::min(message.size(), sizeof(firstError_) - 1);
        message.copy(firstError_, n);
        firstError_[n] = '\0';
    }
}

} // namespace velmora
