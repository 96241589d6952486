#include "protocol/service_client.h"

#include "protocol/soap_client.h"
#include "text/ansi_text.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <mutex>

namespace {

// Guards the client and the session cookie. The user-interface thread and the
// heartbeat worker take it; it is held for a whole Entry call. Timed, for
// the one call that may not wait long.
std::timed_mutex g_serviceLock;
std::unique_ptr<ClientService::CClientServiceT> g_serviceClient;
std::wstring g_endpointUrl;
std::wstring g_sessionCookie;

// The cookie goes into every request's Cookie line and the browser's store:
// a control character in it could end that line or smuggle another one.
bool StoreCookie(const std::optional<std::wstring>& setCookie) {
    if (!setCookie) {
        return true;
    }
    std::wstring value = setCookie->substr(0, setCookie->find(L';'));
    if (std::any_of(value.begin(), value.end(), [](wchar_t c) { return c < L' ' || c == 0x7F; })) {
        return false;
    }
    g_sessionCookie = std::move(value);
    return true;
}

bool Call(const std::wstring& command, std::wstring& reply, std::optional<std::wstring>* setCookie) {
    std::optional<std::wstring> result;
    if (setCookie) {
        setCookie->reset();
    }
    try {
        {
            std::lock_guard lock(g_serviceLock);
            if (!g_serviceClient || !g_serviceClient->Entry(command, g_sessionCookie, result)) {
                return false;
            }
            if (setCookie) {
                std::wstring value;
                *setCookie = g_serviceClient->SetCookieHeader(value) ? std::optional(value) : std::nullopt;
            }
        }
        // The text goes through the ANSI code page, as every reply of the service does.
        if (result) {
            reply += FromAnsi(ToAnsi(*result));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

void SetServiceEndpoint(const std::wstring& url) {
    auto client = std::make_unique<ClientService::CClientServiceT>(url);
    std::lock_guard lock(g_serviceLock);
    g_serviceClient = std::move(client);
    g_endpointUrl = url;
    g_sessionCookie.clear();
}

void DeleteServiceClient() {
    std::unique_ptr<ClientService::CClientServiceT> client;
    std::lock_guard lock(g_serviceLock);
    g_serviceClient.swap(client);
}

bool CallEntry(const std::wstring& command, std::wstring& reply) {
    return Call(command, reply, nullptr);
}

bool CallEntryWithin(const std::wstring& command, std::wstring& reply, int deadlineMs) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(deadlineMs);
    try {
        std::optional<std::wstring> result;
        {
            std::unique_lock lock(g_serviceLock, end);
            if (!lock || !g_serviceClient) {
                return false;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) {
                return false;
            }
            const int leftMs = static_cast<int>(left);
            // A client of its own: the shared one keeps its patient timings.
            ClientService::CClientServiceT client(g_endpointUrl, {leftMs, leftMs});
            if (!client.Entry(command, g_sessionCookie, result)) {
                return false;
            }
        }
        if (result) {
            reply += FromAnsi(ToAnsi(*result));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CallEntry(const std::wstring& command, std::wstring& reply, std::optional<std::wstring>& setCookie) {
    return Call(command, reply, &setCookie);
}

bool CaptureSessionCookie() {
    try {
        std::lock_guard lock(g_serviceLock);
        std::wstring value;
        return !g_serviceClient || !g_serviceClient->SetCookieHeader(value) || StoreCookie(value);
    } catch (const std::exception&) {
        return false;
    }
}

bool CaptureSessionCookie(const std::optional<std::wstring>& setCookie) {
    try {
        std::lock_guard lock(g_serviceLock);
        return StoreCookie(setCookie);
    } catch (const std::exception&) {
        return false;
    }
}

std::wstring SessionCookie() {
    std::lock_guard lock(g_serviceLock);
    return g_sessionCookie;
}
