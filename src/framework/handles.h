#pragma once
#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

// Move-only owner of one handle, closed by Close when it goes; Invalid is the empty value.
template <typename T, auto Close, T Invalid = T{}> class unique_any {
public:
    unique_any() = default;
    explicit unique_any(T value) : m_value(value) {}
    unique_any(unique_any&& other) noexcept : m_value(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    ~unique_any() { reset(); }

    T get() const { return m_value; }
    explicit operator bool() const { return m_value != Invalid; }
    // Closes the held value and takes value.
    void reset(T value = Invalid) {
        T old = std::exchange(m_value, value);
        if (old != Invalid) {
            Close(old);
        }
    }
    // Gives the value up without closing it.
    [[nodiscard]] T release() { return std::exchange(m_value, Invalid); }
    // For out-parameters: closes the held value and returns where to write the new one.
    T* put() {
        reset();
        return &m_value;
    }

private:
    T m_value = Invalid;
};

using unique_handle = unique_any<HANDLE, &::CloseHandle>;
using unique_hmodule = unique_any<HMODULE, &::FreeLibrary>;
using unique_hhook = unique_any<HHOOK, &::UnhookWindowsHookEx>;
using unique_hicon = unique_any<HICON, &::DestroyIcon>;
using unique_hmenu = unique_any<HMENU, &::DestroyMenu>;

// The two handles of a started process.
struct unique_process_information {
    unique_handle process;
    unique_handle thread;

    explicit operator bool() const { return static_cast<bool>(process); }
};

// Starts program (a full path) with command as its whole command line, in
// folder (the caller's own when null); empty when it did not start, and
// GetLastError says why.
[[nodiscard]] inline unique_process_information
StartProcess(const std::wstring& program, std::wstring command, const wchar_t* folder = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    unique_process_information result;
    if (CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                       &started)) {
        result.process.reset(started.hProcess);
        result.thread.reset(started.hThread);
    }
    return result;
}

// A GetTickCount64 time that never comes.
inline constexpr ULONGLONG kNoDeadline = ~0ULL;

// Waits for thread to end while answering the messages other threads send
// this one, so that a thread blocked in SendMessage to our windows can go on
// and end; posted messages stay queued. False when deadline (a
// GetTickCount64 time) passes first.
inline bool JoinAnsweringSentMessages(HANDLE thread, ULONGLONG deadline = kNoDeadline) {
    for (;;) {
        DWORD left = INFINITE;
        if (deadline != kNoDeadline) {
            const ULONGLONG now = GetTickCount64();
            left =
                now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, INFINITE - 1));
        }
        // A sent message already waiting wakes the wait too, even when this
        // thread has looked at its queue since it arrived.
        const DWORD result =
            MsgWaitForMultipleObjectsEx(1, &thread, left, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0) {
            return true;
        }
        if (result != WAIT_OBJECT_0 + 1) {
            return false;
        }
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
