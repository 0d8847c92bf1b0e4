#include "webupdate/ProgressSink.h"

#include <cstdio>

namespace velmora::webupdate {

void ShowMessage(const ShowMessageFn& show, std::string_view text)
{
    if (show) {
        show(text);
        return;
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

std::string DisplayText(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                shown += '&';
                ++i;
            }
            continue;
        }
        shown += text[i];
    }
    return shown;
}

} // namespace velmora::webupdate
