// The UI thread's slowest answer while a page command waits on a stalled
// service: the command runs on the UI thread, as the main window runs the
// page's commands, and holds it until the call's time-out. Another thread asks
// the UI thread for an answer every few milliseconds. The service must hold
// the next Entry call past the time-out. Usage: stall_bench BASE_URL
#include "protocol/command_strings.h"
#include "protocol/service_client.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr UINT kRunPageCommand = WM_APP + 1;
using Clock = std::chrono::steady_clock;

LRESULT CALLBACK UiProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunPageCommand) {
        CCommandContext context(L"05512345678", L"abc123");
        std::wstring reply;
        CallEntry(BuildPageCommand(context, L"type=1&to=13800000000&text=stall"), reply);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: stall_bench BASE_URL\n");
        return 2;
    }
    const std::string base = argv[1];
    SetServiceEndpoint(std::wstring(base.begin(), base.end()) + L"/serv/clientservice.asmx");
    WNDCLASSW type{};
    type.lpfnWndProc = UiProc;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"StallBenchUi";
    RegisterClassW(&type);
    HWND ui = CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              type.hInstance, nullptr);
    if (!ui) {
        return 1;
    }

    std::atomic<bool> done{false}, finished{false};
    double slowestMs = 0;
    std::thread watcher([&] {
        while (!done) {
            const auto start = Clock::now();
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(ui, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer);
            slowestMs =
                std::max(slowestMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            Sleep(5);
        }
        finished = true;
    });
    const auto start = Clock::now();
    PostMessageW(ui, kRunPageCommand, 0, 0);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    const double callMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // The watcher's last question may wait for this thread: answer it as it ends.
    done = true;
    while (!finished) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
        Sleep(1);
    }
    watcher.join();
    DeleteServiceClient();
    std::printf("call_ms=%.1f\nslowest_answer_ms=%.1f\n", callMs, slowestMs);
    return 0;
}
