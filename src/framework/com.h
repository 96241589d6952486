#pragma once
#include "framework/handles.h"

#include <ole2.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
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
        if (std::exchange(m_active, false)) {
            OleUninitialize();
        }
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
    // From an owner of a derived class.
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    com_ptr(com_ptr<U>&& other) noexcept : m_ptr(other.detach()) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other) {
            attach(other.detach());
        }
        return *this;
    }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    ~com_ptr() { reset(); }

    // A new reference to a borrowed pointer.
    static com_ptr copy_from(T* ptr) {
        if (ptr) {
            ptr->AddRef();
        }
        com_ptr result;
        result.m_ptr = ptr;
        return result;
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

    void reset() {
        if (T* old = std::exchange(m_ptr, nullptr)) {
            old->Release();
        }
    }
    // Takes over a reference the caller owns.
    void attach(T* ptr) {
        T* old = std::exchange(m_ptr, ptr);
        if (old) {
            old->Release();
        }
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
        if (m_ptr) {
            m_ptr->QueryInterface(__uuidof(U), reinterpret_cast<void**>(result.put()));
        }
        return result;
    }

private:
    T* m_ptr = nullptr;
};

// A new object of a COM class, owned by the one reference it starts with;
// empty when memory runs out.
template <typename T, typename... Args> com_ptr<T> make_com(Args&&... args) {
    com_ptr<T> result;
    result.attach(new (std::nothrow) T(std::forward<Args>(args)...));
    return result;
}

// The interfaces an interface derives from (IUnknown aside); an object that
// answers I answers these through I's pointer too.
template <typename... Is> struct com_interface_list {};
template <typename I> struct com_parents {
    using type = com_interface_list<>;
};
template <> struct com_parents<IOleInPlaceSite> {
    using type = com_interface_list<IOleWindow>;
};
template <> struct com_parents<IOleInPlaceFrame> {
    using type = com_interface_list<IOleInPlaceUIWindow, IOleWindow>;
};

namespace com_detail {

template <typename I, typename Object, typename... Parents>
void* Find(Object* self, REFIID iid, com_interface_list<Parents...>) {
    if (iid == __uuidof(I) || ((iid == __uuidof(Parents)) || ...)) {
        return static_cast<I*>(self);
    }
    return nullptr;
}

// The pointer of the first of Is that answers iid, or null.
template <typename... Is, typename Object> void* FindInterface(Object* self, REFIID iid) {
    void* found = nullptr;
    ((found = found ? found : Find<Is>(self, iid, typename com_parents<Is>::type{})), ...);
    return found;
}

} // namespace com_detail

// The IUnknown of a COM class that implements Interfaces: one reference
// count, and QueryInterface from the list (IUnknown through the first).
// Made with make_com; deleted by its last Release.
template <typename First, typename... Rest> class com_object : public First, public Rest... {
public:
    com_object() = default;
    com_object(const com_object&) = delete;
    com_object& operator=(const com_object&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        *object = iid == IID_IUnknown ? static_cast<First*>(this)
                                      : com_detail::FindInterface<First, Rest...>(this, iid);
        if (!*object) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0) {
            delete this;
        }
        return static_cast<ULONG>(refs);
    }

protected:
    virtual ~com_object() = default;

    // A reference that keeps this object alive over a call out of it that
    // may drop every other one.
    [[nodiscard]] com_ptr<IUnknown> Hold() { return com_ptr<IUnknown>::copy_from(static_cast<First*>(this)); }

private:
    LONG m_refs = 1; // the one make_com hands out
};

// A COM class Base (a com_object) that answers more Interfaces: their
// QueryInterface reaches Base's count and Base's list.
template <typename Base, typename... Interfaces> class com_object_more : public Base, public Interfaces... {
public:
    using Base::Base;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (void* found = com_detail::FindInterface<Interfaces...>(this, iid)) {
            *object = found;
            AddRef();
            return S_OK;
        }
        return Base::QueryInterface(iid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return Base::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Base::Release(); }
};

// Gives out, through out, a new reference to a borrowed pointer.
template <typename T, typename U> HRESULT CopyComOut(T* ptr, U** out) {
    if (!out) {
        return E_POINTER;
    }
    *out = ptr;
    if (ptr) {
        ptr->AddRef();
    }
    return ptr ? S_OK : E_NOINTERFACE;
}

// A BSTR freed when it goes.
using unique_bstr = unique_any<BSTR, &::SysFreeString>;

// A string the size of text, as a BSTR; empty when memory runs out.
inline unique_bstr MakeBstr(const std::wstring& text) {
    return unique_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A VARIANT cleared when it goes; VT_EMPTY to begin with.
class unique_variant {
public:
    unique_variant() { VariantInit(&m_value); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    ~unique_variant() { VariantClear(&m_value); }

    VARIANT* get() { return &m_value; }
    const VARIANT* get() const { return &m_value; }
    VARIANT* operator->() { return &m_value; }
    const VARIANT* operator->() const { return &m_value; }
    // For out-parameters: clears the held value and returns where to write the new one.
    VARIANT* put() {
        VariantClear(&m_value);
        return &m_value;
    }
    // Hands the value to the caller and holds VT_EMPTY again.
    [[nodiscard]] VARIANT release() {
        const VARIANT value = m_value;
        VariantInit(&m_value);
        return value;
    }

private:
    VARIANT m_value;
};

// A stream over its own copy of size bytes, in a memory block the stream
// frees: a picture may read its stream for as long as it lives. Empty when
// memory runs out.
inline com_ptr<IStream> StreamOnCopy(const void* bytes, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) {
        return {};
    }
    void* copy = GlobalLock(block);
    if (!copy) {
        GlobalFree(block);
        return {};
    }
    std::memcpy(copy, bytes, size);
    GlobalUnlock(block);
    com_ptr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.put())) || !stream) {
        GlobalFree(block);
        return {};
    }
    return stream;
}
