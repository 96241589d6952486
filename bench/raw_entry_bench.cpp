// The floor of the Entry figures: the same request bytes the client sends,
// posted again and again by a plain blocking HTTP client over one connection
// (a new one whenever the service closes it). Usage: raw_entry_bench BASE_URL CALLS
#include "protocol/command_strings.h"
#include "protocol/http_client.h"
#include "protocol/soap_request.h"
#include "raw_http.h"
#include "text/ansi_text.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: raw_entry_bench BASE_URL CALLS\n");
        return 2;
    }
    const std::string base = argv[1];
    const int calls = std::atoi(argv[2]);
    CHttpUrl url;
    if (!ParseHttpUrl(std::wstring(base.begin(), base.end()) + L"/serv/clientservice.asmx", url)) {
        std::fprintf(stderr, "raw_entry_bench: not an http URL\n");
        return 2;
    }
    CCommandContext context(L"05512345678", L"abc123");
    CHttpRequest request;
    request.method = L"POST";
    request.contentType = L"text/xml; charset=utf-8";
    request.extraHeaders = BuildEntryHeaders(L"");
    request.body = BuildEntryRequest(BuildVersionRequest(context));
    const std::string bytes = ToAnsi(BuildRequestText(url, request)) + request.body;

    CRawHttp http(ToAnsi(url.host), url.port);
    int succeeded = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        if (http.Exchange(bytes) == 200) {
            ++succeeded;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%d calls, %d succeeded, %.3f s, %.1f calls/s\n", calls, succeeded, elapsed.count(),
                calls / elapsed.count());
    return succeeded == calls ? 0 : 1;
}
