// HttpDownload on Windows, through WinInet: a plain GET with the update
// checker's user agent and the system's proxy settings, past the cache, with
// the same bounded attempts, time-outs, size limit and cancelling as the
// other builds.
//
// WinInet's calls block. A watchdog thread ends a call that must not go on
// (cancel, the total time-out) the one way WinInet allows: by closing the
// handle the call works on, which makes it return with an error at once.
// Not every WinInet keeps that promise (Wine's, waiting for a first byte,
// neither times out nor returns on the close), so the transfer runs on a
// thread of its own that the caller leaves behind when it must.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <wininet.h>

#include "webupdate/HttpDownload.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/win32/WideText.h"

namespace velmora::webupdate {

namespace {

using Clock = std::chrono::steady_clock;

// WinInet's reads come in pieces of at most this many bytes.
constexpr DWORD kPieceBytes = 20000;
// How often the watchdog looks at the cancel flag and the clock.
constexpr auto kWatchInterval = std::chrono::milliseconds(20);

bool IsCancelled(const HttpTransfer* transfer)
{
    return transfer && transfer->cancel && transfer->cancel->load();
}

// Only HTTP and HTTPS are spoken, whatever else the text holds.
bool SpeaksHttp(const std::wstring& url)
{
    URL_COMPONENTSW parts {};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = 1; // asks for the scheme without copying it
    if (!::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return false;
    return parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS;
}

// The handles of one download, and the watchdog that may close them under
// the caller's feet.
class Session {
public:
    Session(const HttpTransfer* transfer, Clock::time_point deadline)
        : transfer_(transfer)
        , deadline_(deadline)
    {
    }
    ~Session()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        if (watchdog_.joinable())
            watchdog_.join();
        CloseUrl();
        if (internet_)
            ::InternetCloseHandle(internet_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Open()
    {
        internet_ = ::InternetOpenW(
            velmora::win32::Widen(kUserAgent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!internet_)
            return false;
        watchdog_ = std::thread([this] { Watch(); });
        return true;
    }

    void SetTimeouts(DWORD connectMs, DWORD stallMs)
    {
        std::lock_guard lock(mutex_);
        if (!internet_ || aborted_)
            return;
        ::InternetSetOptionW(internet_, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
        ::InternetSetOptionW(internet_, INTERNET_OPTION_RECEIVE_TIMEOUT, &stallMs, sizeof stallMs);
        ::InternetSetOptionW(internet_, INTERNET_OPTION_SEND_TIMEOUT, &stallMs, sizeof stallMs);
    }

    // One attempt at the URL; false when it cannot be opened (or was ended).
    bool OpenUrl(const std::wstring& url)
    {
        HINTERNET session = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (aborted_)
                return false;
            session = internet_;
        }
        // Never from the cache, never into it: the list must be the server's
        // current one.
        const DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY
            | INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES
            | INTERNET_FLAG_NO_UI;
        // The flag asks HTTP/1.0 caches only; proxies of today read this.
        static constexpr wchar_t kNoCache[] = L"Cache-Control: no-cache\r\n";
        HINTERNET opened
            = ::InternetOpenUrlW(session, url.c_str(), kNoCache, static_cast<DWORD>(-1), flags, 1);
        std::lock_guard lock(mutex_);
        if (aborted_) {
            if (opened && internet_)
                ::InternetCloseHandle(opened);
            return false;
        }
        url_ = opened;
        return url_ != nullptr;
    }

    // The body's announced length; -1 when the answer names none.
    int64_t ContentLength()
    {
        std::lock_guard lock(mutex_);
        wchar_t text[32] = {};
        DWORD size = sizeof text;
        if (!url_ || !::HttpQueryInfoW(url_, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
            return -1;
        wchar_t* end = nullptr;
        const long long length = std::wcstoll(text, &end, 10);
        return end != text && length >= 0 ? length : -1;
    }

    // The answer's HTTP status; 0 when it has none.
    long Status()
    {
        std::lock_guard lock(mutex_);
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!url_
            || !::HttpQueryInfoW(
                url_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            return 0;
        return static_cast<long>(status);
    }

    // Reads the next piece into `piece`; false on an error (or an end by
    // the watchdog), true with `read` 0 at the end of the body.
    bool Read(unsigned char* piece, DWORD& read)
    {
        HINTERNET url = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (aborted_ || !url_)
                return false;
            url = url_;
        }
        read = 0;
        const BOOL ok = ::InternetReadFile(url, piece, kPieceBytes, &read);
        std::lock_guard lock(mutex_);
        return ok && !aborted_;
    }

    void CloseUrl()
    {
        std::lock_guard lock(mutex_);
        if (url_ && internet_)
            ::InternetCloseHandle(url_);
        url_ = nullptr;
    }

    bool Aborted()
    {
        std::lock_guard lock(mutex_);
        return aborted_;
    }

private:
    void Watch()
    {
        std::unique_lock lock(mutex_);
        while (!done_) {
            if (IsCancelled(transfer_) || Clock::now() >= deadline_) {
                // Closing the root handle closes the request below it too,
                // and every call on either returns at once.
                aborted_ = true;
                url_ = nullptr;
                ::InternetCloseHandle(internet_);
                internet_ = nullptr;
                return;
            }
            wake_.wait_for(lock, kWatchInterval);
        }
    }

    const HttpTransfer* transfer_;
    const Clock::time_point deadline_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread watchdog_;
    HINTERNET internet_ = nullptr;
    HINTERNET url_ = nullptr;
    bool aborted_ = false;
    bool done_ = false;
};

// Sleeps up to `ms`, in slices short enough to notice a cancel at once.
void PauseUnlessCancelled(long ms, const HttpTransfer* transfer)
{
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (!IsCancelled(transfer) && Clock::now() < end)
        std::this_thread::sleep_for(std::min<Clock::duration>(kWatchInterval, end - Clock::now()));
}

long Milliseconds(Clock::duration d)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

} // namespace

namespace {

// The whole download on the calling thread; `activity` (when given) is
// stamped with the clock at every attempt and every piece read.
int64_t DownloadHere(const std::string& url, HeapBlock& block, const ShowMessageFn& showMessage,
    const HttpDownloadLimits& limits, HttpTransfer* transfer, std::atomic<Clock::rep>* activity = nullptr)
{
    block.reset();
    if (transfer) {
        transfer->status = 0;
        transfer->cancelled = false;
    }
    if (url.find("http://") == std::string::npos && url.find("https://") == std::string::npos)
        return -1;
    const std::wstring wideUrl = velmora::win32::Widen(url);
    if (!SpeaksHttp(wideUrl))
        return -1;
    if (IsCancelled(transfer)) {
        transfer->cancelled = true;
        return -1;
    }
    const auto ended = [&] {
        if (IsCancelled(transfer)) {
            transfer->cancelled = true;
            return true;
        }
        return false;
    };

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limits.totalTimeoutMs);
    Session session(transfer, deadline);
    std::vector<unsigned char> piece;
    try {
        piece.resize(kPieceBytes);
    } catch (const std::bad_alloc&) {
    }
    if (piece.empty() || !session.Open()) {
        ShowMessage(showMessage, kInitFailedMessage);
        return -1;
    }
    session.SetTimeouts(static_cast<DWORD>(std::max(limits.connectTimeoutMs, 1)),
        static_cast<DWORD>(std::max(limits.stallTimeoutMs, 1)));

    std::vector<unsigned char> body;
    bool received = false;
    for (int attempt = 1; attempt <= limits.attempts && !received; ++attempt) {
        if (Milliseconds(deadline - Clock::now()) <= 0)
            break;
        // A connection closed before any status line is no answer: WinInet
        // hands it over as an empty one.
        if (activity)
            *activity = Clock::now().time_since_epoch().count();
        const long status = session.OpenUrl(wideUrl) ? session.Status() : 0;
        if (status == 0) {
            session.CloseUrl();
        } else {
            if (transfer)
                transfer->status = status;
            for (;;) {
                DWORD read = 0;
                if (!session.Read(piece.data(), read)) {
                    // Cut off part-way (or ended): no answer another attempt
                    // would mend.
                    ended();
                    return -1;
                }
                if (activity)
                    *activity = Clock::now().time_since_epoch().count();
                if (read == 0) {
                    // A connection closed before the announced length is a
                    // cut body, though WinInet reports a plain end.
                    const int64_t announced = session.ContentLength();
                    if (announced >= 0 && static_cast<uint64_t>(announced) != body.size())
                        return -1;
                    received = true;
                    break;
                }
                if (read > limits.maxBodyBytes - std::min(body.size(), limits.maxBodyBytes))
                    return -1; // longer than any list or picture the update needs
                try {
                    body.insert(body.end(), piece.data(), piece.data() + read);
                } catch (const std::bad_alloc&) {
                    return -1;
                }
            }
            session.CloseUrl();
            break;
        }
        if (ended() || session.Aborted())
            return -1;
        if (attempt < limits.attempts) {
            const long pause
                = std::min(static_cast<long>(limits.retryPauseMs), Milliseconds(deadline - Clock::now()));
            if (pause > 0)
                PauseUnlessCancelled(pause, transfer);
            if (ended())
                return -1;
        }
    }
    if (!received)
        return -1;

    const std::size_t size = body.size();
    if (size == 0)
        return 0;
    // Handed over as a C heap block of exactly the body's size.
    HeapBlock result(static_cast<unsigned char*>(std::malloc(size)));
    if (!result)
        return -1;
    std::memcpy(result.get(), body.data(), size);
    block = std::move(result);
    return static_cast<int64_t>(size);
}

// What the caller and the transfer's thread share; it outlives whichever
// of the two ends last.
struct SharedDownload {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::atomic<bool> cancel {false};
    std::atomic<Clock::rep> activity {Clock::now().time_since_epoch().count()};
    HttpTransfer transfer;
    HeapBlock block;
    int64_t size = -1;
    std::vector<std::string> messages;
};

// How long past its own limit the caller waits for a transfer that should
// have ended (the watchdog's close normally ends it at once).
constexpr auto kGrace = std::chrono::seconds(1);

} // namespace

int64_t HttpDownload(const std::string& url, HeapBlock& block, const ShowMessageFn& showMessage,
    const HttpDownloadLimits& limits, HttpTransfer* transfer)
{
    block.reset();
    if (transfer) {
        transfer->status = 0;
        transfer->cancelled = false;
    }
    auto shared = std::make_shared<SharedDownload>();
    shared->transfer.cancel = &shared->cancel;
    shared->cancel = IsCancelled(transfer);
    std::thread worker;
    try {
        worker = std::thread([shared, url, limits] {
            HeapBlock got;
            const int64_t size = DownloadHere(
                url, got, [&](std::string_view text) { shared->messages.emplace_back(text); }, limits,
                &shared->transfer, &shared->activity);
            std::lock_guard lock(shared->mutex);
            shared->block = std::move(got);
            shared->size = size;
            shared->done = true;
            shared->finished.notify_all();
        });
    } catch (const std::system_error&) {
        return DownloadHere(url, block, showMessage, limits, transfer);
    }

    const Clock::time_point giveUp
        = Clock::now() + std::chrono::milliseconds(std::max(limits.totalTimeoutMs, 0)) + kGrace;
    // A transfer that has neither read nor started an attempt for longer
    // than the stall limit is stuck in a call its time-out did not end.
    const auto stuck
        = std::chrono::milliseconds(std::max(limits.stallTimeoutMs, limits.connectTimeoutMs)) + kGrace;
    std::optional<Clock::time_point> cancelledAt;
    std::unique_lock lock(shared->mutex);
    while (!shared->done) {
        const Clock::time_point now = Clock::now();
        if (!cancelledAt && IsCancelled(transfer)) {
            shared->cancel = true;
            cancelledAt = now;
        }
        const Clock::time_point lastActivity {Clock::duration {shared->activity.load()}};
        if (now >= giveUp || now - lastActivity > stuck || (cancelledAt && now >= *cancelledAt + kGrace / 2))
            break;
        shared->finished.wait_for(lock, kWatchInterval);
    }
    if (!shared->done) {
        // Left behind: it ends when its call returns, touching only `shared`.
        lock.unlock();
        worker.detach();
        if (transfer)
            transfer->cancelled = cancelledAt.has_value();
        return -1;
    }
    lock.unlock();
    worker.join();
    for (const std::string& text : shared->messages)
        ShowMessage(showMessage, text);
    if (transfer)
        *transfer = HttpTransfer {transfer->cancel, shared->transfer.status, shared->transfer.cancelled};
    block = std::move(shared->block);
    return shared->size;
}

} // namespace velmora::webupdate
