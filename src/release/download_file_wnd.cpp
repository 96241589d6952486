#include "release/download_file_wnd.h"

#include "framework/handles.h"
#include "framework/internet_handles.h"
#include "release/core/download_headers.h"

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <iterator>
#include <limits>
#include <new>
#include <vector>

namespace {

constexpr wchar_t kAgent[] = L"Velmarin";
constexpr DWORD kConnectTimeoutMs = 30000;
constexpr DWORD kConnectBackoffMs = 1000;
constexpr DWORD kConnectRetries = 1;
// Always from the server, never from the browser's cache (0x84000002).
// Redirects are followed by the worker itself. No flag that ignores a
// certificate error: those fail the download.
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE | INTERNET_FLAG_TRANSFER_BINARY |
                             INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr int kMaxRedirects = 10;
constexpr DWORD_PTR kContext = 1;
constexpr DWORD kChunk = 8192;
// Behind every file, so that a text file reads as zero-terminated.
constexpr DWORD kZeroTail = 8;
constexpr wchar_t kTempPrefix[] = L"foo";
// What a 407 answer's own body may hold before it is given up on unread.
constexpr DWORD kMaxDrainBytes = 64 * 1024;
constexpr DWORD kStopWaitMs = 10000;
constexpr DWORD kTerminateWaitMs = 1000;

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    const std::size_t length = std::wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

bool IsHttps(const std::wstring& url) {
    return StartsWithNoCase(url, L"https://");
}

bool IsWebUrl(const std::wstring& url) {
    return IsHttps(url) || StartsWithNoCase(url, L"http://");
}

bool IsRedirect(const std::wstring& status) {
    for (const wchar_t* code : {L"301", L"302", L"303", L"307", L"308"}) {
        if (status == code) {
            return true;
        }
    }
    return false;
}

// A downloaded file with the zero tail behind it.
struct CBuffer {
    std::unique_ptr<BYTE[]> bytes;
    DWORD size = 0;

    // False when memory cannot hold length bytes and the tail; the size travels as a DWORD.
    bool Allocate(ULONGLONG length) {
        if (length > MAXDWORD - kZeroTail) {
            return false;
        }
        // Only the tail is cleared: the rest is either filled or thrown away,
        // and clearing a huge buffer would commit all of it at once.
        bytes.reset(new (std::nothrow) BYTE[static_cast<size_t>(length) + kZeroTail]);
        if (!bytes) {
            return false;
        }
        size = static_cast<DWORD>(length);
        ZeroMemory(bytes.get() + size, kZeroTail);
        return true;
    }
};

// The worker's temporary file; closed and deleted when it goes.
class CTempFile {
public:
    CTempFile() = default;
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile() {
        m_file.reset();
        if (!m_name.empty()) {
            DeleteFileW(m_name.c_str());
        }
    }

    bool Create() {
        wchar_t folder[MAX_PATH + 1];
        wchar_t path[MAX_PATH];
        const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
        if (length == 0 || length > MAX_PATH || !GetTempFileNameW(folder, kTempPrefix, 0, path)) {
            return false;
        }
        m_name = path;
        HANDLE handle = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY, nullptr);
        m_file.reset(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
        return static_cast<bool>(m_file);
    }

    bool Append(const BYTE* data, DWORD size) {
        DWORD written = 0;
        return WriteFile(m_file.get(), data, size, &written, nullptr) && written == size;
    }

    // The whole file, read back from its start.
    bool ReadAll(DWORD size, CBuffer& out) {
        CBuffer buffer;
        if (!buffer.Allocate(size) || SetFilePointer(m_file.get(), 0, nullptr, FILE_BEGIN) != 0) {
            return false;
        }
        for (DWORD done = 0, got = 0; done < size; done += got) {
            if (!ReadFile(m_file.get(), buffer.bytes.get() + done, size - done, &got, nullptr) || got == 0) {
                return false;
            }
        }
        out = std::move(buffer);
        return true;
    }

private:
    std::wstring m_name;
    unique_handle m_file;
};

// COM for the worker thread, for what the internet functions load.
class CComThreadScope {
public:
    CComThreadScope() : m_initialised(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    CComThreadScope(const CComThreadScope&) = delete;
    CComThreadScope& operator=(const CComThreadScope&) = delete;
    ~CComThreadScope() {
        if (m_initialised) {
            CoUninitialize();
        }
    }

private:
    bool m_initialised;
};

} // namespace

// What one download shares between the window's thread and its worker.
struct CDownloadSet::CJob {
    // Window thread only.
    std::wstring url;
    unique_handle thread;

    // Set by the window's thread; the worker looks before every send and every read.
    std::atomic<bool> stop{false};
    // The record the worker is sending until the window takes it; 0 otherwise.
    std::atomic<WPARAM> sending{0};

    // Whoever takes a handle out of its slot under the lock closes it, outside
    // the lock, so each closes once; closing from the window's thread aborts a
    // blocked call.
    SRWLOCK lock = SRWLOCK_INIT;
    unique_hinternet session;
    unique_hinternet request;

    bool Running() const { return WaitForSingleObject(thread.get(), 0) == WAIT_TIMEOUT; }

    // Moves a new handle of the worker into its slot; false once stopping,
    // when handle keeps it and closes it as it goes.
    bool Keep(unique_hinternet& slot, unique_hinternet& handle) {
        AcquireSRWLockExclusive(&lock);
        const bool kept = !stop;
        if (kept) {
            slot = std::move(handle);
        }
        ReleaseSRWLockExclusive(&lock);
        return kept;
    }

    void Close(unique_hinternet& slot) {
        AcquireSRWLockExclusive(&lock);
        unique_hinternet handle = std::move(slot);
        ReleaseSRWLockExclusive(&lock);
    }

    // Window thread: no more sends or reads, and a blocked transfer is cut off.
    void Stop() {
        AcquireSRWLockExclusive(&lock);
        stop = true;
        unique_hinternet openRequest = std::move(request);
        unique_hinternet openSession = std::move(session);
        ReleaseSRWLockExclusive(&lock);
    }
};

namespace {

// Made by Start, owned and freed by the worker.
struct CWorkerArgument {
    HWND window;
    std::wstring url;
    DWORD maxBytes;
    // Lives until the worker has ended: the set frees it only then.
    CDownloadSet::CJob* job;
};

// One download on the worker thread, from the opening to the last message.
class CDownloadWorker {
public:
    explicit CDownloadWorker(const CWorkerArgument& argument)
        : m_window(argument.window), m_url(argument.url), m_maxBytes(argument.maxBytes), m_job(*argument.job),
          m_ids(DownloadMessages()) {}

    void Run() noexcept {
        CBuffer data;
        bool fetched = false;
        try {
            fetched = Fetch(data);
        } catch (...) {
            // Out of memory on the way: a failure like any other.
        }
        m_job.Close(m_job.request);
        m_job.Close(m_job.session);
        if (fetched) {
            CDownloadFinished record{&m_url, data.bytes.get(), data.size};
            Send(m_ids.downFinished, &record);
        } else {
            Send(m_ids.error, &m_url);
        }
    }

private:
    // Whether reading on is of any use: not stopping and the window still there.
    bool Wanted() const { return !m_job.stop && IsWindow(m_window); }

    LRESULT Send(UINT message, const void* record) {
        if (!Wanted()) {
            return 0;
        }
        m_job.sending = reinterpret_cast<WPARAM>(record);
        const LRESULT result = SendMessageW(m_window, message, reinterpret_cast<WPARAM>(record), 0);
        m_job.sending = 0;
        return result;
    }

    // Steps up to a whole file in memory; false for every failure.
    bool Fetch(CBuffer& out) {
        unique_hinternet opened(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        const HINTERNET session = opened.get(); // borrowed: the job's slot owns it
        if (!session || !m_job.Keep(m_job.session, opened)) {
            return false;
        }
        SetNumber(session, INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
        SetNumber(session, INTERNET_OPTION_CONNECT_BACKOFF, kConnectBackoffMs);
        SetNumber(session, INTERNET_OPTION_CONNECT_RETRIES, kConnectRetries);

        if (m_job.stop || !OpenFollowingRedirects(session)) {
            return false;
        }

        std::wstring status = QueryText(HTTP_QUERY_STATUS_CODE);
        if (status == L"407") {
            if (!RetryWithProxyCredentials()) {
                return false;
            }
            status = QueryText(HTTP_QUERY_STATUS_CODE);
        }
        if (status != L"200") {
            return false;
        }

        const std::wstring time = ModificationTime();
        CDownloadCheckTime check{&m_url, &time};
        // 0 as well when the window has gone.
        if (Send(m_ids.checkTime, &check) == 0) {
            return false;
        }

        const ULONGLONG length = ParseContentLength(QueryText(HTTP_QUERY_CONTENT_LENGTH));
        if (length > m_maxBytes) {
            return false;
        }
        Send(m_ids.startDownload, &m_url);
        return length != 0 ? ReadKnownLength(length, out) : ReadToEnd(out);
    }

    // Opens the URL and follows its redirects here rather than inside the
    // internet functions: a download that began over https never goes on
    // over plain http, not even for one request that could carry a cookie.
    bool OpenFollowingRedirects(HINTERNET session) {
        std::wstring url = m_url;
        for (int redirects = 0;; ++redirects) {
            unique_hinternet opened(InternetOpenUrlW(session, url.c_str(), nullptr, 0, kOpenFlags, kContext));
            const HINTERNET request = opened.get();
            if (!request || !m_job.Keep(m_job.request, opened)) {
                return false;
            }
            m_request = request;
            if (!IsRedirect(QueryText(HTTP_QUERY_STATUS_CODE))) {
                return true;
            }
            const std::wstring next = Combined(url, QueryText(HTTP_QUERY_LOCATION));
            if (redirects == kMaxRedirects || !IsWebUrl(next) || (IsHttps(url) && !IsHttps(next))) {
                return false;
            }
            m_request = nullptr;
            m_job.Close(m_job.request);
            url = next;
        }
    }

    static std::wstring Combined(const std::wstring& base, const std::wstring& location) {
        if (location.empty()) {
            return {};
        }
        std::vector<wchar_t> text(INTERNET_MAX_URL_LENGTH);
        DWORD size = static_cast<DWORD>(text.size());
        if (!InternetCombineUrlW(base.c_str(), location.c_str(), text.data(), &size, ICU_NO_ENCODE)) {
            return {};
        }
        return std::wstring(text.data(), size);
    }

    static void SetNumber(HINTERNET handle, DWORD option, DWORD value) {
        InternetSetOptionW(handle, option, &value, sizeof(value));
    }

    // A header as text; empty when missing.
    std::wstring QueryText(DWORD info) const {
        std::vector<wchar_t> text(64);
        for (;;) {
            DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
            if (HttpQueryInfoW(m_request, info, text.data(), &size, nullptr)) {
                return std::wstring(text.data(), size / sizeof(wchar_t));
            }
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= text.size() * sizeof(wchar_t)) {
                return {};
            }
            text.resize(size / sizeof(wchar_t) + 1);
        }
    }

    // Last-Modified as sent (GMT), without conversion to local time.
    std::wstring ModificationTime() const {
        SYSTEMTIME time{};
        DWORD size = sizeof(time);
        if (!HttpQueryInfoW(m_request, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &time, &size,
                            nullptr)) {
            return kNoModificationTime;
        }
        return FormatModificationTime(
            {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond});
    }

    // One more try with the credentials the window gives for the proxy.
    bool RetryWithProxyCredentials() {
        std::wstring user;
        std::wstring password;
        CDownloadProxyValidate record{&m_url, &user, &password};
        Send(m_ids.proxyValidate, &record);
        if (m_job.stop) {
            return false;
        }
        InternetSetOptionW(m_request, INTERNET_OPTION_PROXY_USERNAME, user.data(),
                           static_cast<DWORD>(user.size() + 1));
        InternetSetOptionW(m_request, INTERNET_OPTION_PROXY_PASSWORD, password.data(),
                           static_cast<DWORD>(password.size() + 1));
        DrainSmallBody();
        return !m_job.stop && HttpSendRequestW(m_request, nullptr, 0, nullptr, 0);
    }

    // The 407 answer's own body, read off so the connection can carry the retry.
    void DrainSmallBody() {
        BYTE scrap[kChunk];
        DWORD got = 0;
        for (DWORD drained = 0; drained < kMaxDrainBytes && !m_job.stop; drained += got) {
            if (!InternetReadFile(m_request, scrap, sizeof(scrap), &got) || got == 0) {
                return;
            }
        }
    }

    // Waits for the next bytes of the body and reads what has come, up to room. 0 at the end of
    // the body (ended), on failure, or when no longer wanted. Reading only what is there keeps a
    // slow body from holding the worker (and its stopping) until a whole chunk has come in.
    DWORD ReadSome(BYTE* into, DWORD room, bool& ended) {
        DWORD available = 0;
        if (!Wanted() || !InternetQueryDataAvailable(m_request, &available, 0, 0)) {
            return 0;
        }
        ended = available == 0;
        DWORD got = 0;
        if (ended || !Wanted() ||
            !InternetReadFile(m_request, into, std::min({available, room, kChunk}), &got)) {
            return 0;
        }
        return std::min(got, room);
    }

    bool ReadKnownLength(ULONGLONG length, CBuffer& out) {
        CBuffer buffer;
        if (!buffer.Allocate(length)) {
            return false;
        }
        DWORD done = 0;
        bool ended = false;
        // Never more than is left: a longer body than announced stays outside the buffer.
        for (DWORD got;
             done < buffer.size && (got = ReadSome(buffer.bytes.get() + done, buffer.size - done, ended));) {
            done += got;
            CDownloadProgress progress{&m_url, done, buffer.size};
            Send(m_ids.progress, &progress);
        }
        if (done < buffer.size) {
            return false;
        }
        out = std::move(buffer);
        return true;
    }

    // No usable length: the body runs to the end of the connection, kept in a temporary file meanwhile.
    bool ReadToEnd(CBuffer& out) {
        CTempFile file;
        if (!file.Create()) {
            return false;
        }
        BYTE chunk[kChunk];
        DWORD total = 0;
        bool ended = false;
        for (DWORD got; (got = ReadSome(chunk, kChunk, ended));) {
            if (got > m_maxBytes - total || !file.Append(chunk, got)) {
                return false;
            }
            total += got;
            CDownloadProgress progress{&m_url, total, 0};
            Send(m_ids.progress, &progress);
        }
        return ended && file.ReadAll(total, out);
    }

    const HWND m_window;
    const std::wstring& m_url;
    // Never more than this, whatever the server announces or sends.
    const DWORD m_maxBytes;
    CDownloadSet::CJob& m_job;
    const CDownloadMessages& m_ids;
    // Borrowed: the job's slot owns it.
    HINTERNET m_request = nullptr;
};

DWORD WINAPI DownloadWorker(void* parameter) noexcept {
    std::unique_ptr<CWorkerArgument> argument(static_cast<CWorkerArgument*>(parameter));
    CComThreadScope com;
    CDownloadWorker(*argument).Run();
    return 0;
}

} // namespace

CDownloadSet::CDownloadSet() = default;

CDownloadSet::~CDownloadSet() {
    StopAll();
}

void CDownloadSet::Start(HWND window, const std::wstring& url, DWORD maxBytes) {
    if (url.empty() || !IsWindow(window)) {
        return;
    }
    auto same = std::find_if(m_jobs.begin(), m_jobs.end(), [&](const auto& job) { return job->url == url; });
    if (same != m_jobs.end()) {
        if ((*same)->Running()) {
            return;
        }
        m_jobs.erase(same);
    }
    try {
        m_jobs.push_back(std::make_unique<CJob>());
        CJob& job = *m_jobs.back();
        job.url = url;
        auto argument = std::make_unique<CWorkerArgument>(
            CWorkerArgument{window, url, std::min<DWORD>(maxBytes, MAXDWORD - kZeroTail), &job});
        job.thread.reset(CreateThread(nullptr, 0, DownloadWorker, argument.get(), CREATE_SUSPENDED, nullptr));
        if (!job.thread) {
            m_jobs.pop_back();
            return;
        }
        (void)argument.release(); // the worker frees it
        // Downloads never compete with the user interface.
        SetThreadPriority(job.thread.get(), THREAD_PRIORITY_IDLE);
        ResumeThread(job.thread.get());
    } catch (const std::bad_alloc&) {
        if (!m_jobs.empty() && !m_jobs.back()->thread) {
            m_jobs.pop_back();
        }
    }
}

void CDownloadSet::StopAll() {
    for (const auto& job : m_jobs) {
        job->Stop();
    }
    const ULONGLONG deadline = GetTickCount64() + kStopWaitMs;
    for (const auto& job : m_jobs) {
        if (JoinAnsweringSentMessages(job->thread.get(), deadline)) {
            continue;
        }
        // The last resort: it may leave the heap damaged, but the program does not hang.
        TerminateThread(job->thread.get(), 1);
        WaitForSingleObject(job->thread.get(), kTerminateWaitMs);
    }
    m_jobs.clear();
}

bool CDownloadSet::TakeSending(WPARAM wParam) {
    // Taken once: a second message with the same value, even while the record
    // lives, reaches no handler.
    return wParam != 0 && std::any_of(m_jobs.begin(), m_jobs.end(), [&](const auto& job) {
               WPARAM expected = wParam;
               return job->sending.compare_exchange_strong(expected, 0);
           });
}
