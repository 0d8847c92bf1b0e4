#pragma once
// Fetches one URL whole into memory with libcurl: a plain GET with the update
// checker's user agent, past any cache, through the proxy the environment
// names, with bounded retries and time-outs so that an unreachable or silent
// server costs the caller a bounded wait.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "resources/HeapBlock.h"
#include "webupdate/ProgressSink.h"

namespace velmora::webupdate {

inline constexpr const char* kUserAgent = "Velmora 3D update checker";
inline constexpr const char* kInitFailedMessage = "Can't init internet connection!";

struct HttpDownloadLimits {
    int attempts = 5;
    int retryPauseMs = 250;
    // Time to open the connection, per attempt.
    int connectTimeoutMs = 10000;
    // An attempt fails when no byte arrives for this long (whole seconds).
    int stallTimeoutMs = 15000;
    // The whole download, retries and pauses included, gives up after this.
    int totalTimeoutMs = 60000;
    // Longer bodies are refused; the product list and its pictures are small.
    std::size_t maxBodyBytes = std::size_t {16} << 20;
    // A file of trusted certificates in place of the system's (empty: the
    // system's). Lets a test trust its own server.
    std::string caFile;
};

// What a caller may follow of one download. `cancel` may be set from any
// thread: a transfer under way is then dropped within a twentieth of a
// second, also while nothing arrives, a pause between attempts ends at once,
// and the download fails.
struct HttpTransfer {
    const std::atomic<bool>* cancel = nullptr;
    // Set by the download: the answer's HTTP status (the last one when
    // redirected; 0 when none came), and whether it ended by cancelling.
    long status = 0;
    bool cancelled = false;
};

// Returns the number of body bytes received (0 or more) and hands the body
// over in `block` (none for an empty body), or returns -1 with no block. The
// body is returned whatever the HTTP status, so an error page is a body too;
// `transfer` tells the status.
// The URL must contain "http://" or "https://" as written (letter case
// included); other URLs are refused without a message. Only a failure to set
// up the client is shown, through `showMessage`. An attempt that fails before
// any body byte arrives is retried after a pause; a failure in the middle of
// a body, or a body beyond the size limit, fails at once.
int64_t HttpDownload(const std::string& url, HeapBlock& block, const ShowMessageFn& showMessage = {},
    const HttpDownloadLimits& limits = {}, HttpTransfer* transfer = nullptr);

// True for the status of an answer that carries what was asked for (2xx).
constexpr bool IsSuccessStatus(long status)
{
    return status >= 200 && status <= 299;
}

} // namespace velmora::webupdate
