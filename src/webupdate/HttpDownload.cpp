#include "webupdate/HttpDownload.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora::webupdate {
namespace {

using Clock = std::chrono::steady_clock;

struct Body {
    std::vector<unsigned char> bytes;
    std::size_t limit = 0;
    bool tooLong = false;
};

std::size_t AppendPiece(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* body = static_cast<Body*>(user);
    const std::size_t n = size * count;
    if (n > body->limit - body->bytes.size()) {
        body->tooLong = true;
        return 0; // makes the transfer fail with a write error
    }
    try {
        body->bytes.insert(body->bytes.end(), data, data + n);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return n;
}

// libcurl's global state is set up once, before the first handle.
bool GlobalInit()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

bool HasAcceptedScheme(const std::string& url)
{
    return url.find("http://") != std::string::npos || url.find("https://") != std::string::npos;
}

// Failures that the same request would meet again at once.
bool IsWorthRetrying(CURLcode rc)
{
    switch (rc) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_PEER_FAILED_VERIFICATION:
        return false;
    default:
        return true;
    }
}

long Milliseconds(Clock::duration d)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

bool IsCancelled(const HttpTransfer* transfer)
{
    return transfer && transfer->cancel && transfer->cancel->load();
}

struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

// How often a transfer that may be cancelled looks at its flag.
constexpr int kCancelPollMs = 50;

// One attempt. A transfer that may be cancelled runs through a multi handle
// whose wait this loop bounds, so the flag is seen within kCancelPollMs even
// while nothing arrives; the handle's own time-outs hold as with
// curl_easy_perform.
CURLcode Perform(CURL* easy, const HttpTransfer* transfer)
{
    if (!transfer || !transfer->cancel)
        return curl_easy_perform(easy);
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (bool done = false; !done;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        int left = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi.get(), &left))
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                result = message->data.result;
                done = true;
            }
        if (done || IsCancelled(transfer))
            break;
        if (running == 0) {
            result = CURLE_RECV_ERROR; // ended without a result: cannot happen, but must not loop
            break;
        }
        if (curl_multi_poll(multi.get(), nullptr, 0, kCancelPollMs, nullptr) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), easy);
    return result;
}

// Sleeps up to `ms`, in slices short enough to notice a cancel at once.
void PauseUnlessCancelled(long ms, const HttpTransfer* transfer)
{
    constexpr long kSliceMs = 20;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (!IsCancelled(transfer)) {
        const long left = Milliseconds(end - Clock::now());
        if (left <= 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kSliceMs)));
    }
}

} // namespace

int64_t HttpDownload(const std::string& url, HeapBlock& block, const ShowMessageFn& showMessage,
    const HttpDownloadLimits& limits, HttpTransfer* transfer)
{
    block.reset();
    if (transfer) {
        transfer->status = 0;
        transfer->cancelled = false;
    }
    if (!HasAcceptedScheme(url))
        return -1;
    if (IsCancelled(transfer)) {
        transfer->cancelled = true;
        return -1;
    }

    std::unique_ptr<CURL, EasyDeleter> curl(GlobalInit() ? curl_easy_init() : nullptr);
    std::unique_ptr<curl_slist, ListDeleter> headers;
    if (curl) {
        // Past every cache on the way: the list must be the server's current one.
        curl_slist* list = curl_slist_append(nullptr, "Cache-Control: no-cache");
        if (list) {
            headers.reset(list);
            list = curl_slist_append(list, "Pragma: no-cache");
            if (!list)
                headers.reset();
        }
    }
    if (!curl || !headers) {
        ShowMessage(showMessage, kInitFailedMessage);
        return -1;
    }

    Body body;
    body.limit = limits.maxBodyBytes;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    // "contains http://" lets other schemes through in the text; only HTTP
    // and HTTPS are ever spoken, redirects included.
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    // Time-outs without signals: the caller may have threads of its own.
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(
        c, CURLOPT_LOW_SPEED_TIME, std::max(1L, static_cast<long>((limits.stallTimeoutMs + 999) / 1000)));
    if (body.limit <= static_cast<std::size_t>(std::numeric_limits<curl_off_t>::max()))
        curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(body.limit));
    if (!limits.caFile.empty())
        curl_easy_setopt(c, CURLOPT_CAINFO, limits.caFile.c_str());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &AppendPiece);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limits.totalTimeoutMs);
    bool received = false;
    for (int attempt = 1; attempt <= limits.attempts; ++attempt) {
        const long remaining = Milliseconds(deadline - Clock::now());
        if (remaining <= 0)
            break;
        body.bytes.clear();
        curl_easy_setopt(
            c, CURLOPT_CONNECTTIMEOUT_MS, std::min(static_cast<long>(limits.connectTimeoutMs), remaining));
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, remaining);
        const CURLcode rc = Perform(c, transfer);
        if (rc == CURLE_OK) {
            received = true;
            break;
        }
        if (rc == CURLE_ABORTED_BY_CALLBACK || IsCancelled(transfer)) {
            transfer->cancelled = true;
            return -1;
        }
        // A body cut off part-way or refused for its size is no answer that
        // another attempt would mend.
        if (!body.bytes.empty() || body.tooLong || !IsWorthRetrying(rc))
            return -1;
        if (attempt < limits.attempts) {
            const long pause
                = std::min(static_cast<long>(limits.retryPauseMs), Milliseconds(deadline - Clock::now()));
            if (pause > 0)
                PauseUnlessCancelled(pause, transfer);
            if (IsCancelled(transfer)) {
                transfer->cancelled = true;
                return -1;
            }
        }
    }
    if (!received)
        return -1;
    if (transfer) {
        long status = 0;
        if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
            transfer->status = status;
    }

    const std::size_t size = body.bytes.size();
    if (size == 0)
        return 0;
    // Handed over as a C heap block of exactly the body's size.
    HeapBlock result(static_cast<unsigned char*>(std::malloc(size)));
    if (!result)
        return -1;
    std::memcpy(result.get(), body.bytes.data(), size);
    block = std::move(result);
    return static_cast<int64_t>(size);
}

} // namespace velmora::webupdate
