#include "resources/DiagTrace.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>

namespace velmora {

namespace {

std::mutex& SinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

DiagTraceSink& Sink()
{
    static DiagTraceSink sink;
    return sink;
}

} // namespace

void DiagTrace(const char* format, ...)
{
    std::lock_guard lock(SinkMutex());
    if (!Sink() || format == nullptr)
        return; // the default: discard without formatting

    char small[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string text;
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(length));
    } else if (length >= 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    Sink()(text);
}

DiagTraceSink SetDiagTraceSink(DiagTraceSink sink)
{
    std::lock_guard lock(SinkMutex());
    return std::exchange(Sink(), std::move(sink));
}

} // namespace velmora
