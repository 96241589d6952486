#pragma once
#include <windows.h>

#include <utility>

// Move-only owner of one handle, closed by Close when it goes; Invalid is the empty value.
template <typename T, auto Close, T Invalid = T{}> class unique_any {
public:
    unique_any() = default;
    explicit unique_any(T value) : m_value(value) {}
    unique_any(unique_any&& other) noexcept : m_value(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other)
            reset(other.release());
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
        if (old != Invalid)
            Close(old);
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
