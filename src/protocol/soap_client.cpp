#include "protocol/soap_client.h"

#include "protocol/soap_reply.h"
#include "protocol/soap_request.h"

namespace ClientService {

namespace {

constexpr int kStatusOk = 200;
constexpr wchar_t kContentType[] = L"text/xml; charset=utf-8";
constexpr std::size_t kBlockSize = 4096;

} // namespace

CHttpRequest EntryHttpRequest(const std::wstring& requestData, const std::wstring& cookie,
                              const CEntryTimings& timings) {
    CHttpRequest request;
    request.method = L"POST";
    request.contentType = kContentType;
    request.extraHeaders = BuildEntryHeaders(cookie);
    request.body = BuildEntryRequest(requestData);
    request.timeoutMs = timings.timeoutMs;
    request.callDeadlineMs = timings.callDeadlineMs;
    request.sendBlockSize = kBlockSize;
    request.readBlockSize = kBlockSize;
    return request;
}

bool CClientServiceT::Entry(const std::wstring& requestData, const std::wstring& cookie,
                            std::optional<std::wstring>& result) {
    const CHttpRequest request = EntryHttpRequest(requestData, cookie, m_timings);
    // A 500 reply carries a SOAP fault, but no caller reads one: it fails like any other status.
    if (!m_http.Exchange(m_url, request) || m_http.Status() != kStatusOk || m_http.Body().empty()) {
        return false;
    }
    CSoapRootHandler handler;
    if (!handler.Parse(m_http.Body())) {
        return false;
    }
    result = handler.Result();
    return true;
}

} // namespace ClientService
