#include "framework/com.h"
#include "framework/gdi.h"
#include "framework/handles.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

TEST(Handles, OwnersCloseOnResetMoveAndScopeEnd) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        unique_handle first(raw);
        unique_handle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        EXPECT_TRUE(HandleIsOpen(raw));
    }
    EXPECT_FALSE(HandleIsOpen(raw));

    HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unique_handle owner(a);
    unique_handle other(b);
    owner = std::move(other); // closes a, takes b
    EXPECT_FALSE(HandleIsOpen(a));
    EXPECT_EQ(owner.get(), b);
    HANDLE kept = owner.release();
    EXPECT_FALSE(owner);
    EXPECT_TRUE(HandleIsOpen(kept));
    CloseHandle(kept);

    unique_hbrush brush(CreateSolidBrush(RGB(1, 2, 3)));
    HBRUSH rawBrush = brush.get();
    EXPECT_EQ(GetObjectType(rawBrush), static_cast<DWORD>(OBJ_BRUSH));
    brush.reset();
    EXPECT_EQ(GetObjectType(rawBrush), 0u);
}

TEST(Handles, ModuleOwnerFreesTheLibrary) {
    const wchar_t* name = L"msimg32.dll";
    ASSERT_EQ(GetModuleHandleW(name), nullptr) << "pick a library the tests do not load otherwise";
    {
        unique_hmodule module(LoadLibraryW(name));
        ASSERT_TRUE(module);
        EXPECT_EQ(GetModuleHandleW(name), module.get());
    }
    EXPECT_EQ(GetModuleHandleW(name), nullptr);
}

TEST(Handles, SelectedObjectIsPutBack) {
    unique_hdc dc(CreateCompatibleDC(nullptr));
    unique_hbrush brush(CreateSolidBrush(RGB(9, 9, 9)));
    HGDIOBJ before = GetCurrentObject(dc.get(), OBJ_BRUSH);
    {
        unique_select_object selected(dc.get(), brush.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), brush.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), before);
}

// A COM object that counts its references.
class CCounted : public IUnknown {
public:
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(Com, PointerHoldsExactlyOneReference) {
    CCounted object;
    {
        com_ptr<IUnknown> first;
        first.attach(&object); // takes the creator's reference
        EXPECT_EQ(object.refs, 1u);
        auto copy = com_ptr<IUnknown>::copy_from(first.get());
        EXPECT_EQ(object.refs, 2u);
        com_ptr<IUnknown> moved(std::move(copy));
        EXPECT_EQ(object.refs, 2u);
        EXPECT_FALSE(copy);

        com_ptr<IUnknown> queried = first.query<IUnknown>();
        EXPECT_EQ(object.refs, 3u);
        EXPECT_FALSE(first.query<IDispatch>());
        EXPECT_EQ(object.refs, 3u);

        *queried.put() = nullptr; // put releases what it held
        EXPECT_EQ(object.refs, 2u);
        moved = std::move(first);
        EXPECT_EQ(object.refs, 1u);
    }
    EXPECT_EQ(object.refs, 0u);
}

TEST(Com, OleIsUninitialisedWhenTheOwnerGoes) {
    {
        auto ole = OleInitializeScoped();
        ASSERT_TRUE(ole);
        HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        EXPECT_EQ(again, S_FALSE) << "already initialised";
        CoUninitialize();
    }
    HRESULT fresh = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(fresh, S_OK) << "the owner uninitialised it";
    CoUninitialize();
}

} // namespace
