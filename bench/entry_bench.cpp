// Prints how many Entry calls per second the client makes against a running
// service, and how long the first call took (its connect and, for an https
// base, its TLS handshake). Usage: entry_bench BASE_URL CALLS
#include "protocol/command_strings.h"
#include "protocol/service_client.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: entry_bench BASE_URL CALLS\n");
        return 2;
    }
    const std::string base = argv[1];
    const int calls = std::atoi(argv[2]);
    SetServiceEndpoint(std::wstring(base.begin(), base.end()) + L"/serv/clientservice.asmx");
    CCommandContext context(L"05512345678", L"abc123");
    const std::wstring command = BuildVersionRequest(context);

    int succeeded = 0;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::duration<double, std::milli> first{};
    for (int i = 0; i < calls; ++i) {
        std::wstring reply;
        if (CallEntry(command, reply)) {
            ++succeeded;
        }
        if (i == 0) {
            first = std::chrono::steady_clock::now() - start;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    DeleteServiceClient();

    std::printf("%d calls, %d succeeded, %.3f s, %.1f calls/s\n", calls, succeeded, elapsed.count(),
                calls / elapsed.count());
    std::printf("first call %.3f ms\n", first.count());
    return succeeded == calls ? 0 : 1;
}
