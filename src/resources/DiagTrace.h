#pragma once

#include <functional>
#include <string>

namespace velmora {

#if defined(__GNUC__)
#define VELMORA_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VELMORA_PRINTF_FORMAT(fmt, args)
#endif

// Diagnostic trace of the archive and the decoders. The program discards the
// messages (callers show their own boxes); tests install a sink to read them.
void DiagTrace(const char* format, ...) VELMORA_PRINTF_FORMAT(1, 2);

using DiagTraceSink = std::function<void(const std::string&)>;

// Installs the sink that receives every formatted message; an empty function
// restores discarding. Returns the sink that was installed before.
DiagTraceSink SetDiagTraceSink(DiagTraceSink sink);

// Installs a sink for the lifetime of the object and restores the previous one.
class ScopedDiagTraceSink {
public:
    explicit ScopedDiagTraceSink(DiagTraceSink sink)
        : previous_(SetDiagTraceSink(std::move(sink)))
    {
    }
    ~ScopedDiagTraceSink() { SetDiagTraceSink(std::move(previous_)); }
    ScopedDiagTraceSink(const ScopedDiagTraceSink&) = delete;
    ScopedDiagTraceSink& operator=(const ScopedDiagTraceSink&) = delete;

private:
    DiagTraceSink previous_;
};

} // namespace velmora
