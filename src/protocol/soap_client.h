#pragma once
// The client proxy of the service: its one operation, Entry, posted as a
// SOAP 1.1 document to the endpoint over the HTTP client.
#include "protocol/http_client.h"

#include <optional>
#include <string>
#include <utility>

namespace ClientService {

// How long one Entry call may wait. Tests shorten them; the program never does.
struct CEntryTimings {
    int timeoutMs = 10000;      // connect, each send and each receive
    int callDeadlineMs = 60000; // the whole call: a server trickling its reply cannot hold the lock for ever
};

// The HTTP request of one Entry call.
CHttpRequest EntryHttpRequest(const std::wstring& requestData, const std::wstring& cookie,
                              const CEntryTimings& timings);

class CClientServiceT {
public:
    explicit CClientServiceT(std::wstring url, CEntryTimings timings = {})
        : m_url(std::move(url)), m_timings(timings) {}

    // Calls Entry with the cookie line when cookie is not empty; result is
    // empty when the reply carried no EntryResult or a nil one.
    bool Entry(const std::wstring& requestData, const std::wstring& cookie,
               std::optional<std::wstring>& result);
    // The Set-Cookie header of the last reply received.
    bool SetCookieHeader(std::wstring& value) const { return m_http.HeaderValue(L"Set-Cookie", value); }

private:
    std::wstring m_url;
    CEntryTimings m_timings;
    CAtlHttpClientT m_http;
};

} // namespace ClientService
