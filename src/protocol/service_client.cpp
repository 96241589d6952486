#include "protocol/service_client.h"

#include "protocol/soap_client.h"
#include "text/ansi_text.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>

namespace {

// Guards the client and the session cookie. The user-interface thread and the
// heartbeat worker take it; it is held for a whole Entry call.
std::mutex serviceLock;
std::unique_ptr<ClientService::CClientServiceT> serviceClient;
std::wstring sessionCookie;

// The cookie goes into every request's Cookie line and the browser's store:
// a control character in it could end that line or smuggle another one.
bool StoreCookie(const std::optional<std::wstring>& setCookie) {
    if (!setCookie)
        return true;
    std::wstring value = setCookie->substr(0, setCookie->find(L';'));
    if (std::any_of(value.begin(), value.end(), [](wchar_t c) { return c < L' ' || c == 0x7F; }))
        return false;
    sessionCookie = std::move(value);
    return true;
}

bool Call(const std::wstring& command, std::wstring& reply, std::optional<std::wstring>* setCookie) {
    std::optional<std::wstring> result;
    if (setCookie)
        setCookie->reset();
    try {
        {
            std::lock_guard<std::mutex> lock(serviceLock);
            if (!serviceClient || !serviceClient->Entry(command, sessionCookie, result))
                return false;
            if (setCookie) {
                std::wstring value;
                *setCookie = serviceClient->SetCookieHeader(value) ? std::optional(value) : std::nullopt;
            }
        }
        // The text goes through the ANSI code page, as every reply of the service does.
        if (result)
            reply += FromAnsi(ToAnsi(*result));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

void SetServiceEndpoint(const std::wstring& url) {
    auto client = std::make_unique<ClientService::CClientServiceT>(url);
    std::lock_guard<std::mutex> lock(serviceLock);
    serviceClient = std::move(client);
    sessionCookie.clear();
}

void DeleteServiceClient() {
    std::unique_ptr<ClientService::CClientServiceT> client;
    std::lock_guard<std::mutex> lock(serviceLock);
    serviceClient.swap(client);
}

bool CallEntry(const std::wstring& command, std::wstring& reply) {
    return Call(command, reply, nullptr);
}

bool CallEntry(const std::wstring& command, std::wstring& reply, std::optional<std::wstring>& setCookie) {
    return Call(command, reply, &setCookie);
}

bool CaptureSessionCookie() {
    try {
        std::lock_guard<std::mutex> lock(serviceLock);
        std::wstring value;
        return !serviceClient || !serviceClient->SetCookieHeader(value) || StoreCookie(value);
    } catch (const std::exception&) {
        return false;
    }
}

bool CaptureSessionCookie(const std::optional<std::wstring>& setCookie) {
    try {
        std::lock_guard<std::mutex> lock(serviceLock);
        return StoreCookie(setCookie);
    } catch (const std::exception&) {
        return false;
    }
}

std::wstring SessionCookie() {
    std::lock_guard<std::mutex> lock(serviceLock);
    return sessionCookie;
}
