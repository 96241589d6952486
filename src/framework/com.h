#pragma once
#include <ole2.h>

#include <cstddef>
#include <utility>

// OleUninitialize when it goes, for an OleInitialize that succeeded.
class unique_oleuninitialize_call {
public:
    unique_oleuninitialize_call() = default;
    explicit unique_oleuninitialize_call(bool active) : m_active(active) {}
    unique_oleuninitialize_call(unique_oleuninitialize_call&& other) noexcept
        : m_active(std::exchange(other.m_active, false)) {}
    unique_oleuninitialize_call& operator=(unique_oleuninitialize_call&& other) noexcept {
        if (this != &other) {
            reset();
            m_active = std::exchange(other.m_active, false);
        }
        return *this;
    }
    unique_oleuninitialize_call(const unique_oleuninitialize_call&) = delete;
    unique_oleuninitialize_call& operator=(const unique_oleuninitialize_call&) = delete;
    ~unique_oleuninitialize_call() { reset(); }

    explicit operator bool() const { return m_active; }
    void reset() {
        if (std::exchange(m_active, false))
            OleUninitialize();
    }

private:
    bool m_active = false;
};

// Initialises OLE (and COM, single-threaded) for the calling thread.
[[nodiscard]] inline unique_oleuninitialize_call OleInitializeScoped() {
    return unique_oleuninitialize_call(SUCCEEDED(OleInitialize(nullptr)));
}

// Move-only owner of one COM reference.
template <typename T> class com_ptr {
public:
    com_ptr() = default;
    com_ptr(std::nullptr_t) {}
    com_ptr(com_ptr&& other) noexcept : m_ptr(other.detach()) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other)
            attach(other.detach());
        return *this;
    }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    ~com_ptr() { reset(); }

    // A new reference to a borrowed pointer.
    static com_ptr copy_from(T* ptr) {
        if (ptr)
            ptr->AddRef();
        com_ptr result;
        result.m_ptr = ptr;
        return result;
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

    void reset() {
        if (T* old = std::exchange(m_ptr, nullptr))
            old->Release();
    }
    // Takes over a reference the caller owns.
    void attach(T* ptr) {
        T* old = std::exchange(m_ptr, ptr);
        if (old)
            old->Release();
    }
    // Hands the reference to the caller.
    [[nodiscard]] T* detach() { return std::exchange(m_ptr, nullptr); }
    // For out-parameters: releases the held reference and returns where to write the new one.
    T** put() {
        reset();
        return &m_ptr;
    }
    // The interface U of the same object, or null when it has none.
    template <typename U> com_ptr<U> query() const {
        com_ptr<U> result;
        if (m_ptr)
            m_ptr->QueryInterface(__uuidof(U), reinterpret_cast<void**>(result.put()));
        return result;
    }

private:
    T* m_ptr = nullptr;
};
