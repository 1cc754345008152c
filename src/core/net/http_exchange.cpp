#include "core/net/http_exchange.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <new>

namespace tallyhawk
{

namespace
{

using SteadyClock = std::chrono::steady_clock;

// The easy handle runs inside a multi handle of its own, so that the stop flag and the stall clock
// are looked at every slice even while the server sends nothing (libcurl's blocking call would wake
// only about once a second then).
constexpr int kPollSliceMs = 50;

enum class End
{
    None,
    Cancelled,
    HeadersDone,
    BodyEnough,
    HeadersTooLarge,
    Stalled,
    TimeLimit,
    OutOfMemory,
};

struct Transfer
{
    CURL* easy = nullptr;
    std::stop_token stop;
    std::chrono::milliseconds stall{0};
    SteadyClock::time_point deadline;
    const HttpExchange::WantBody* wantBody = nullptr;
    const HttpExchange::TakeBody* takeBody = nullptr;
    HttpExchange::Outcome* outcome = nullptr;

    End end = End::None;
    bool connected = false;
    bool headersDone = false; // the final response's headers are complete
    bool interimEnded = false; // a 1xx response ended; the next line begins the next response
    bool bodyWanted = false;
    SteadyClock::time_point lastActivity = SteadyClock::now();
    curl_off_t lastDown = 0;
    curl_off_t lastUp = 0;

    bool StopRequested() const { return stop.stop_requested(); }

    // True when the transfer must end now: a callback decided so, the caller asked to stop, the
    // deadline passed, or no byte moved for the stall time once the connection stood.
    bool CheckAbort()
    {
        if (end != End::None) {
            return true;
        }
        const SteadyClock::time_point now = SteadyClock::now();
        if (StopRequested()) {
            end = End::Cancelled;
        } else if (now >= deadline) {
            end = End::TimeLimit;
        } else if (connected && now - lastActivity >= stall) {
            end = End::Stalled;
        }
        return end != End::None;
    }

    bool DecideBody()
    {
        headersDone = true;
        long code = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        outcome->httpStatus = code;
        bodyWanted = (*wantBody)(code, outcome->rawHeaders);
        if (!bodyWanted) {
            end = End::HeadersDone;
        }
        return bodyWanted;
    }
};

// Callbacks run inside libcurl's C code: no exception may leave them.

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user)
{
    Transfer& transfer = *static_cast<Transfer*>(user);
    std::size_t length = size * count;
    transfer.lastActivity = SteadyClock::now();
    if (transfer.headersDone) {
        return length; // trailers after a chunked body
    }
    if (transfer.StopRequested()) {
        transfer.end = End::Cancelled;
        return 0;
    }
    try {
        std::string& raw = transfer.outcome->rawHeaders;
        if (transfer.interimEnded) {
            raw.clear();
            transfer.interimEnded = false;
        }
        if (length > HttpExchange::kMaxHeaderBytes - raw.size()) {
            transfer.end = End::HeadersTooLarge;
            return 0;
        }
        raw.append(data, length);
        std::string_view line(data, length);
        if (line == "\r\n" || line == "\n") {
            long code = 0;
            curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &code);
            if (code >= 100 && code < 200) {
                transfer.interimEnded = true;
                return length;
            }
            if (!transfer.DecideBody()) {
                return 0;
            }
        }
    } catch (const std::bad_alloc&) {
        transfer.end = End::OutOfMemory;
        return 0;
    }
    return length;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user)
{
    Transfer& transfer = *static_cast<Transfer*>(user);
    std::size_t length = size * count;
    transfer.lastActivity = SteadyClock::now();
    if (transfer.StopRequested()) {
        transfer.end = End::Cancelled;
        return length == 0 ? CURL_WRITEFUNC_ERROR : 0;
    }
    try {
        if (!transfer.headersDone && !transfer.DecideBody()) {
            return 0;
        }
        if (!(*transfer.takeBody)(std::string_view(data, length))) {
            transfer.end = End::BodyEnough;
            return length == 0 ? CURL_WRITEFUNC_ERROR : 0;
        }
    } catch (const std::bad_alloc&) {
        transfer.end = End::OutOfMemory;
        return 0;
    }
    return length;
}

int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up)
{
    Transfer& transfer = *static_cast<Transfer*>(user);
    if (down != transfer.lastDown || up != transfer.lastUp) {
        transfer.lastDown = down;
        transfer.lastUp = up;
        transfer.lastActivity = SteadyClock::now();
    }
    return transfer.CheckAbort() ? 1 : 0;
}

int OnConnected(void* user, char*, char*, int, int)
{
    Transfer& transfer = *static_cast<Transfer*>(user);
    transfer.connected = true;
    transfer.lastActivity = SteadyClock::now();
    return CURL_PREREQFUNC_OK;
}

struct EasyDeleter
{
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

struct MultiDeleter
{
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

struct HeaderListDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::int32_t FromMultiCode(CURLMcode code)
{
    return code == CURLM_OUT_OF_MEMORY ? FETCH_OUT_OF_MEMORY : static_cast<std::int32_t>(CURLE_FAILED_INIT);
}

} // namespace

void EnsureHttpClientReady()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpExchange::HttpExchange(const HttpFetcher::Timeouts& timeouts,
                           std::chrono::steady_clock::time_point deadline,
                           std::stop_token stop)
    : timeouts_(timeouts)
    , deadline_(deadline)
    , stop_(std::move(stop))
{ }

HttpExchange::Outcome HttpExchange::Run(const std::string& url,
                                        const std::vector<std::string>& requestHeaders,
                                        const WantBody& wantBody,
                                        const TakeBody& takeBody) const
{
    EnsureHttpClientReady();
    Outcome outcome;
    Transfer transfer;
    transfer.stop = stop_;
    transfer.stall = std::max(timeouts_.stall, std::chrono::milliseconds(1));
    transfer.deadline = deadline_;
    transfer.wantBody = &wantBody;
    transfer.takeBody = &takeBody;
    transfer.outcome = &outcome;
    if (transfer.StopRequested()) {
        outcome.status = FETCH_CANCELLED;
        return outcome;
    }
    if (SteadyClock::now() >= deadline_) {
        outcome.status = FETCH_TIME_LIMIT;
        return outcome;
    }

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    curl_slist* list = nullptr;
    for (const std::string& line : requestHeaders) {
        curl_slist* longer = curl_slist_append(list, line.c_str());
        if (longer == nullptr) {
            curl_slist_free_all(list);
            outcome.status = FETCH_OUT_OF_MEMORY;
            return outcome;
        }
        list = longer;
    }
    std::unique_ptr<curl_slist, HeaderListDeleter> headers(list);
    if (!easy || !multi) {
        outcome.status = FETCH_OUT_OF_MEMORY;
        return outcome;
    }
    transfer.easy = easy.get();
    CURL* e = easy.get();
    long connectMs = static_cast<long>(std::max<long long>(timeouts_.connect.count(), 1));
    CURLcode set = CURLE_OK;
    auto apply = [&set](CURLcode code) {
        if (set == CURLE_OK) {
            set = code;
        }
    };
    apply(curl_easy_setopt(e, CURLOPT_URL, url.c_str()));
    apply(curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https"));
    apply(curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
    // libcurl's defaults, said here because the fetcher relies on them: the peer's certificate must
    // chain up to the system's store and name the host.
    apply(curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L));
    apply(curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L));
    apply(curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L));
    apply(curl_easy_setopt(e, CURLOPT_HTTPGET, 1L));
    apply(curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)));
    // Worker threads: no signals for name look-up time-outs.
    apply(curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L));
    // A stopped transfer still in its name lookup leaves the lookup to finish alone instead of waiting
    // for a slow name server.
    apply(curl_easy_setopt(e, CURLOPT_QUICK_EXIT, 1L));
    apply(curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get()));
    apply(curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, connectMs));
    apply(curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &OnHeader));
    apply(curl_easy_setopt(e, CURLOPT_HEADERDATA, &transfer));
    apply(curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody));
    apply(curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer));
    apply(curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L));
    apply(curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &OnProgress));
    apply(curl_easy_setopt(e, CURLOPT_XFERINFODATA, &transfer));
    apply(curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &OnConnected));
    apply(curl_easy_setopt(e, CURLOPT_PREREQDATA, &transfer));
    if (set != CURLE_OK) {
        outcome.status = set == CURLE_OUT_OF_MEMORY ? FETCH_OUT_OF_MEMORY : static_cast<std::int32_t>(set);
        return outcome;
    }

    CURLMcode added = curl_multi_add_handle(multi.get(), e);
    if (added != CURLM_OK) {
        outcome.status = FromMultiCode(added);
        return outcome;
    }
    std::int32_t loopError = FETCH_OK;
    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        CURLMcode code = curl_multi_perform(multi.get(), &running);
        if (code != CURLM_OK) {
            loopError = FromMultiCode(code);
            break;
        }
        if (running == 0) {
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == e) {
                    result = message->data.result;
                }
            }
            break;
        }
        if (transfer.CheckAbort()) {
            break;
        }
        code = curl_multi_poll(multi.get(), nullptr, 0, kPollSliceMs, nullptr);
        if (code != CURLM_OK) {
            loopError = FromMultiCode(code);
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), e);

    switch (transfer.end) {
    case End::Cancelled:
        outcome.status = FETCH_CANCELLED;
        break;
    case End::HeadersDone:
        outcome.status = FETCH_OK;
        break;
    case End::BodyEnough:
        outcome.status = FETCH_OK;
        outcome.bodyRead = true;
        break;
    case End::HeadersTooLarge:
        outcome.status = FETCH_BAD_STATUS;
        outcome.headersTooLarge = true;
        break;
    case End::Stalled:
        outcome.status = CURLE_OPERATION_TIMEDOUT;
        break;
    case End::TimeLimit:
        outcome.status = FETCH_TIME_LIMIT;
        break;
    case End::OutOfMemory:
        outcome.status = FETCH_OUT_OF_MEMORY;
        break;
    case End::None:
        if (loopError != FETCH_OK) {
            outcome.status = loopError;
        } else if (result == CURLE_OUT_OF_MEMORY && transfer.connected && !transfer.headersDone) {
            // libcurl refuses a single header line over its own limit (100 KiB) this way.
            outcome.status = FETCH_BAD_STATUS;
            outcome.headersTooLarge = true;
        } else if (result == CURLE_OUT_OF_MEMORY) {
            outcome.status = FETCH_OUT_OF_MEMORY;
        } else if (result == CURLE_PEER_FAILED_VERIFICATION) {
            outcome.status = FETCH_BAD_CERTIFICATE;
        } else if (result != CURLE_OK) {
            outcome.status = result;
        } else if (!transfer.headersDone) {
            outcome.status = CURLE_GOT_NOTHING;
        } else {
            outcome.bodyRead = transfer.bodyWanted;
        }
        break;
    }
    return outcome;
}

} // namespace tallyhawk
