#pragma once
// The client proxy of the service: its one operation, Entry, posted as a
// SOAP 1.1 document to the endpoint over the HTTP client.
#include "protocol/http_client.h"

#include <optional>
#include <string>
#include <utility>

namespace ClientService {

class CClientServiceT {
public:
    static constexpr int kTimeoutMs = 10000;
    static constexpr std::size_t kBlockSize = 4096;

    explicit CClientServiceT(std::wstring url) : url(std::move(url)) {}

    // Calls Entry with the cookie line when cookie is not empty; result is
    // empty when the reply carried no EntryResult or a nil one.
    bool Entry(const std::wstring& requestData, const std::wstring& cookie,
               std::optional<std::wstring>& result);
    // The Set-Cookie header of the last reply received.
    bool SetCookieHeader(std::wstring& value) const { return http.HeaderValue(L"Set-Cookie", value); }

private:
    std::wstring url;
    CAtlHttpClientT http;
};

} // namespace ClientService
