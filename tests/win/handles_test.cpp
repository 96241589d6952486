#include "framework/com.h"
#include "framework/gdi.h"
#include "framework/handles.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace {

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

// A COM object that counts its references.
class CCounted : public IUnknown {
public:
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown ? this : nullptr;
        if (*out) {
            AddRef();
        }
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

// A variant that holds a new reference to object.
std::unique_ptr<unique_variant> VariantHolding(IUnknown* object) {
    auto value = std::make_unique<unique_variant>();
    value->get()->vt = VT_UNKNOWN;
    value->get()->punkVal = object;
    object->AddRef();
    return value;
}

// An owner of the given kind, type-erased so that one table holds them all.
template <typename Owner, typename... Args> std::shared_ptr<void> Own(Args&&... args) {
    return std::make_shared<Owner>(std::forward<Args>(args)...);
}

TEST(Handles, EachOwnerClosesWhatItHoldsWhenItGoes) {
    constexpr wchar_t kLibrary[] = L"dciman32.dll"; // one the tests do not load otherwise
    ASSERT_EQ(GetModuleHandleW(kLibrary), nullptr);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    unique_hdc dc(CreateCompatibleDC(nullptr));
    HBRUSH selected = GetSysColorBrush(COLOR_WINDOW);
    HMENU menu = CreatePopupMenu();
    CCounted object;
    struct Case {
        const char* name;
        std::function<std::shared_ptr<void>()> own;
        std::function<bool()> held;
    };
    const Case cases[] = {
        {"kernel handle", [&] { return Own<unique_handle>(event); }, [&] { return HandleIsOpen(event); }},
        {"GDI object", [&] { return Own<unique_hbrush>(brush); }, [&] { return GetObjectType(brush) != 0; }},
        {"library", [&] { return Own<unique_hmodule>(LoadLibraryW(kLibrary)); },
         [&] { return GetModuleHandleW(kLibrary) != nullptr; }},
        {"selection", [&] { return Own<unique_select_object>(dc.get(), selected); },
         [&] { return GetCurrentObject(dc.get(), OBJ_BRUSH) == selected; }},
        {"COM reference",
         [&] { return Own<com_ptr<IUnknown>>(com_ptr<IUnknown>::copy_from(&object).query<IUnknown>()); },
         [&] { return object.refs > 1; }},
        {"menu", [&] { return Own<unique_hmenu>(menu); }, [&] { return IsMenu(menu) != FALSE; }},
        {"VARIANT", [&] { return std::shared_ptr<void>(VariantHolding(&object)); },
         [&] { return object.refs > 1; }},
        {"OLE", [] { return Own<unique_oleuninitialize_call>(OleInitializeScoped()); },
         [] {
             HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
             CoUninitialize();
             return again == S_FALSE;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::shared_ptr<void> owner = c.own();
        EXPECT_TRUE(c.held());
        owner.reset();
        EXPECT_FALSE(c.held());
    }
}

TEST(Handles, ReplacingAValueClosesItAndReleasingDoesNot) {
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unique_handle owner(first);
    owner = unique_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(HandleIsOpen(first));
    HANDLE kept = owner.release();
    EXPECT_TRUE(HandleIsOpen(kept));
    CloseHandle(kept);

    CCounted object;
    com_ptr<IUnknown> held = com_ptr<IUnknown>::copy_from(&object);
    EXPECT_FALSE(held.query<IDispatch>());
    *held.put() = nullptr; // put releases what it held
    EXPECT_EQ(object.refs, 1u);
}

TEST(Handles, SelectionPutBackOnceWhetherResetOrMoved) {
    unique_hdc dc(CreateCompatibleDC(nullptr));
    const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BRUSH);
    HBRUSH first = GetSysColorBrush(COLOR_WINDOW), second = GetSysColorBrush(COLOR_HIGHLIGHT);
    unique_select_object outer(dc.get(), first);
    {
        unique_select_object inner(dc.get(), second);
        unique_select_object moved = std::move(inner);
        EXPECT_FALSE(inner);
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), second);
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), first) << "put back once, by the one it moved to";
    outer.reset();
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), original);
    outer = unique_select_object(dc.get(), nullptr);
    EXPECT_FALSE(outer) << "a null object selects nothing";
}

// Sends this thread a message from another, then ends.
TEST(Handles, JoinAnswersWhatTheThreadSendsAndGivesUpAtItsDeadline) {
    HWND window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    unique_handle sender(CreateThread(
        nullptr, 0,
        [](void* target) -> DWORD {
            SetWindowTextW(static_cast<HWND>(target), L"answered");
            return 0;
        },
        window, 0, nullptr));
    ASSERT_TRUE(sender);
    // A plain wait here would never end: the sender waits for this thread.
    EXPECT_TRUE(JoinAnsweringSentMessages(sender.get(), GetTickCount64() + 10000));
    wchar_t text[16]{};
    GetWindowTextW(window, text, 16);
    EXPECT_STREQ(text, L"answered");
    DestroyWindow(window);

    unique_handle sleeper(CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            Sleep(1000);
            return 0;
        },
        nullptr, 0, nullptr));
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(JoinAnsweringSentMessages(sleeper.get(), start + 100));
    EXPECT_LT(GetTickCount64() - start, 2000u);
    EXPECT_TRUE(JoinAnsweringSentMessages(sleeper.get()));
}

TEST(Handles, StartProcessOwnsBothHandlesOrSaysWhyItStartedNothing) {
    wchar_t system[MAX_PATH]{};
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    unique_process_information started = StartProcess(cmd, L"cmd.exe /c exit 7");
    ASSERT_TRUE(started);
    EXPECT_TRUE(HandleIsOpen(started.thread.get()));
    ASSERT_EQ(WaitForSingleObject(started.process.get(), 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(started.process.get(), &code));
    EXPECT_EQ(code, 7u);

    const std::wstring missing = std::wstring(system) + L"\\no-such-program.exe";
    unique_process_information none = StartProcess(missing, L"x");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(none);
    EXPECT_FALSE(none.thread);
}

} // namespace
