// Starts bench subjects in this Wine session and measures them from outside:
// the time from process creation to a window, the process's private bytes and
// its CPU time. One command per run; figures on stdout as name=value lines.
//   probe show EXE DIR TITLE CLASS SETTLE_MS
//       time to the first visible top-level window of the process with that
//       title and class ("-": any); after SETTLE_MS more, its private bytes.
//   probe signin EXE DIR NUMBER PASSWORD [TYPING_MS]
//       fills in the login dialog and presses its sign-in button TYPING_MS
//       (0) after the dialog showed: the time from the press to the main window.
//   probe idle SECONDS EXE DIR FLOOR_EXE FLOOR_DIR
//       starts both; the first is the program: it is taken past its wait
//       window and into its session as the page would; then the CPU time of
//       each over the same SECONDS, and the private bytes at the end.
//   probe stall EXE DIR HOST PORT
//       takes the program into its session, has the service at HOST:PORT hold
//       the next heartbeat past its time-out, and asks the main window for an
//       answer every few milliseconds meanwhile: the slowest answer.
// Every process started is ended before the probe ends. Wine answers neither
// private bytes nor the CPU time of another process, so both come from the
// Linux process behind it, read through the Z: drive.
#include "raw_http.h"
#include "unix_proc.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr UINT kStartSession = 1224;
constexpr DWORD kWindowTimeoutMs = 60000;
constexpr DWORD kIdleWarmUpMs = 8000; // the first heartbeat and the update check

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Search {
    DWORD pid;
    const wchar_t* title; // nullptr: any
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search.pid || !IsWindowVisible(window)) {
        return TRUE;
    }
    wchar_t text[256] = {};
    if (search.title) {
        GetWindowTextW(window, text, 256);
        if (std::wcscmp(text, search.title) != 0) {
            return TRUE;
        }
    }
    if (search.className) {
        GetClassNameW(window, text, 256);
        if (std::wcscmp(text, search.className) != 0) {
            return TRUE;
        }
    }
    search.found = window;
    return FALSE;
}

HWND FindVisible(DWORD pid, const wchar_t* title, const wchar_t* className) {
    Search search{pid, title, className, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls every millisecond; nullptr on time-out or when the process ended.
HWND AwaitVisible(const PROCESS_INFORMATION& process, const wchar_t* title, const wchar_t* className,
                  DWORD timeoutMs) {
    const double end = NowMs() + timeoutMs;
    while (NowMs() < end) {
        if (HWND found = FindVisible(process.dwProcessId, title, className)) {
            return found;
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) {
            return nullptr;
        }
    }
    return nullptr;
}

bool AwaitGone(const PROCESS_INFORMATION& process, const wchar_t* title, DWORD timeoutMs) {
    const double end = NowMs() + timeoutMs;
    while (NowMs() < end) {
        if (!FindVisible(process.dwProcessId, title, nullptr)) {
            return true;
        }
        Sleep(5);
    }
    return false;
}

bool Launch(const wchar_t* exe, const wchar_t* dir, PROCESS_INFORMATION& process) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + std::wstring(exe) + L"\"";
    return CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir, &startup,
                          &process) != FALSE;
}

void End(PROCESS_INFORMATION& process) {
    if (!process.hProcess) {
        return;
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = {};
}

const wchar_t* AnyIfDash(const wchar_t* text) {
    return std::wcscmp(text, L"-") == 0 ? nullptr : text;
}

int Fail(const wchar_t* what) {
    std::fwprintf(stderr, L"probe: %ls\n", what);
    return 1;
}

int Show(wchar_t** argv) {
    const wchar_t* exe = argv[2];
    const wchar_t* dir = argv[3];
    const DWORD settleMs = static_cast<DWORD>(_wtoi(argv[6]));
    PROCESS_INFORMATION process{};
    const double start = NowMs();
    if (!Launch(exe, dir, process)) {
        return Fail(L"cannot start the program");
    }
    const HWND window = AwaitVisible(process, AnyIfDash(argv[4]), AnyIfDash(argv[5]), kWindowTimeoutMs);
    const double elapsed = NowMs() - start;
    if (!window) {
        End(process);
        return Fail(L"no such window");
    }
    std::printf("ms=%.1f\n", elapsed);
    if (settleMs > 0) {
        Sleep(settleMs);
        std::printf("private=%lld\n", PrivateBytes(UnixProcess(exe)));
    }
    End(process);
    return 0;
}

int SignIn(int argc, wchar_t** argv) {
    constexpr int kNumber = 1007, kPassword = 1008, kSignIn = 1003;
    const DWORD typingMs = argc > 6 ? static_cast<DWORD>(_wtoi(argv[6])) : 0;
    PROCESS_INFORMATION process{};
    if (!Launch(argv[2], argv[3], process)) {
        return Fail(L"cannot start the program");
    }
    const HWND dialog = AwaitVisible(process, L"Velmarin登录", nullptr, kWindowTimeoutMs);
    if (!dialog) {
        End(process);
        return Fail(L"no login dialog");
    }
    Sleep(typingMs);
    SendMessageW(GetDlgItem(dialog, kNumber), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
    SendMessageW(GetDlgItem(dialog, kPassword), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[5]));
    const double start = NowMs();
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kSignIn, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kSignIn)));
    const HWND main = AwaitVisible(process, L"Velmarin", L"#32770", kWindowTimeoutMs);
    const double elapsed = NowMs() - start;
    End(process);
    if (!main) {
        return Fail(L"no main window");
    }
    std::printf("ms=%.1f\n", elapsed);
    return 0;
}

// As the page would: the wait window goes, then WM_START_SESSION.
bool StartSession(const PROCESS_INFORMATION& process) {
    const HWND wait = AwaitVisible(process, L"loading", nullptr, kWindowTimeoutMs);
    if (!wait) {
        return false;
    }
    PostMessageW(wait, WM_CLOSE, 0, 0);
    if (!AwaitGone(process, L"loading", 15000)) {
        return false;
    }
    const HWND main = FindVisible(process.dwProcessId, L"Velmarin", L"#32770");
    DWORD_PTR answer = 0;
    return main && SendMessageTimeoutW(main, kStartSession, 0, 0, SMTO_NORMAL, 10000, &answer) != 0;
}

int Idle(wchar_t** argv) {
    const DWORD seconds = static_cast<DWORD>(_wtoi(argv[2]));
    PROCESS_INFORMATION program{}, floor{};
    if (!Launch(argv[3], argv[4], program) || !Launch(argv[5], argv[6], floor)) {
        End(program);
        return Fail(L"cannot start the programs");
    }
    if (!StartSession(program)) {
        End(program);
        End(floor);
        return Fail(L"the program did not reach its session");
    }
    Sleep(kIdleWarmUpMs);
    const std::wstring programUnix = UnixProcess(argv[3]), floorUnix = UnixProcess(argv[5]);
    if (programUnix.empty() || floorUnix.empty()) {
        End(program);
        End(floor);
        return Fail(L"cannot find the Linux processes");
    }
    const double programBefore = CpuMs(programUnix), floorBefore = CpuMs(floorUnix);
    const double start = NowMs();
    Sleep(seconds * 1000);
    const double wall = NowMs() - start;
    const double programCpu = CpuMs(programUnix) - programBefore;
    const double floorCpu = CpuMs(floorUnix) - floorBefore;
    std::printf("wall_ms=%.1f\nprogram_cpu_ms=%.1f\nfloor_cpu_ms=%.1f\n", wall, programCpu, floorCpu);
    std::printf("program_private=%lld\nfloor_private=%lld\n", PrivateBytes(programUnix),
                PrivateBytes(floorUnix));
    const bool alive = WaitForSingleObject(program.hProcess, 0) == WAIT_TIMEOUT;
    End(program);
    End(floor);
    return alive ? 0 : Fail(L"the program ended during the idle minute");
}

// The heartbeat waits up to 5 s, then the service holds it 12 s, 2 s past its time-out.
constexpr DWORD kStallWatchMs = 5000 + 12000 + 2000;

int Stall(wchar_t** argv) {
    PROCESS_INFORMATION program{};
    if (!Launch(argv[2], argv[3], program)) {
        return Fail(L"cannot start the program");
    }
    if (!StartSession(program)) {
        End(program);
        return Fail(L"the program did not reach its session");
    }
    const HWND main = FindVisible(program.dwProcessId, L"Velmarin", L"#32770");
    const std::wstring host = argv[4];
    CRawHttp service(std::string(host.begin(), host.end()), static_cast<unsigned short>(_wtoi(argv[5])));
    const std::string body = R"({"fault": "delay", "code": "9999", "count": 1, "seconds": 12})";
    const std::string request =
        "POST /control/fault HTTP/1.1\r\nHost: service\r\nContent-Type: application/json\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    if (!main || service.Exchange(request) != 200) {
        End(program);
        return Fail(L"cannot stall the heartbeat");
    }
    double slowest = 0;
    int answers = 0;
    for (const double end = NowMs() + kStallWatchMs; NowMs() < end; Sleep(5)) {
        const double start = NowMs();
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer)) {
            break;
        }
        ++answers;
        slowest = std::max(slowest, NowMs() - start);
    }
    const bool alive = WaitForSingleObject(program.hProcess, 0) == WAIT_TIMEOUT;
    End(program);
    if (!alive || answers == 0) {
        return Fail(L"the main window stopped answering");
    }
    std::printf("slowest_answer_ms=%.1f\nanswers=%d\n", slowest, answers);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 7 && std::wcscmp(argv[1], L"show") == 0) {
        return Show(argv);
    }
    if ((argc == 6 || argc == 7) && std::wcscmp(argv[1], L"signin") == 0) {
        return SignIn(argc, argv);
    }
    if (argc == 7 && std::wcscmp(argv[1], L"idle") == 0) {
        return Idle(argv);
    }
    if (argc == 6 && std::wcscmp(argv[1], L"stall") == 0) {
        return Stall(argv);
    }
    std::fwprintf(stderr, L"usage: probe show EXE DIR TITLE CLASS SETTLE_MS\n"
                          L"       probe signin EXE DIR NUMBER PASSWORD [TYPING_MS]\n"
                          L"       probe idle SECONDS EXE DIR FLOOR_EXE FLOOR_DIR\n"
                          L"       probe stall EXE DIR HOST PORT\n");
    return 2;
}
