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
std::timed_mutex serviceLock;
std::unique_ptr<ClientService::CClientServiceT> serviceClient;
std::wstring endpointUrl;
std::wstring sessionCookie;

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
    sessionCookie = std::move(value);
    return true;
}

bool Call(const std::wstring& command, std::wstring& reply, std::optional<std::wstring>* setCookie) {
    std::optional<std::wstring> result;
    if (setCookie) {
        setCookie->reset();
    }
    try {
        {
            std::lock_guard lock(serviceLock);
            if (!serviceClient || !serviceClient->Entry(command, sessionCookie, result)) {
                return false;
            }
            if (setCookie) {
                std::wstring value;
                *setCookie = serviceClient->SetCookieHeader(value) ? std::optional(value) : std::nullopt;
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
    std::lock_guard lock(serviceLock);
    serviceClient = std::move(client);
    endpointUrl = url;
    sessionCookie.clear();
}

void DeleteServiceClient() {
    std::unique_ptr<ClientService::CClientServiceT> client;
    std::lock_guard lock(serviceLock);
    serviceClient.swap(client);
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
            std::unique_lock lock(serviceLock, end);
            if (!lock || !serviceClient) {
                return false;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) {
                return false;
            }
            const int leftMs = static_cast<int>(left);
            // A client of its own: the shared one keeps its patient timings.
            ClientService::CClientServiceT client(endpointUrl, {leftMs, leftMs});
            if (!client.Entry(command, sessionCookie, result)) {
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
        std::lock_guard lock(serviceLock);
        std::wstring value;
        return !serviceClient || !serviceClient->SetCookieHeader(value) || StoreCookie(value);
    } catch (const std::exception&) {
        return false;
    }
}

bool CaptureSessionCookie(const std::optional<std::wstring>& setCookie) {
    try {
        std::lock_guard lock(serviceLock);
        return StoreCookie(setCookie);
    } catch (const std::exception&) {
        return false;
    }
}

std::wstring SessionCookie() {
    std::lock_guard lock(serviceLock);
    return sessionCookie;
}
