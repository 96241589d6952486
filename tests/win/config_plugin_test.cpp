// The settings plug-in as the main window uses it: config.dll loaded by name,
// its one export called, its dialog worked from a second thread as a user would.
#include "config/config_plugin.h"
#include "config/config_resource.h"
#include "settings/sms_setting.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 5000;
constexpr wchar_t kDialogTitle[] = L"设置";
constexpr wchar_t kInputCaption[] = L"参数输入";
constexpr wchar_t kDialogClass[] = L"#32770";

// Loaded once and never freed, as the program does.
HMODULE ConfigLibrary() {
    static HMODULE library = LoadLibraryW(kConfigLibraryName);
    return library;
}

ExecConfigProc ExecConfigEntry() {
    HMODULE library = ConfigLibrary();
    return library ? reinterpret_cast<ExecConfigProc>(
                         reinterpret_cast<void*>(GetProcAddress(library, kConfigEntryName)))
                   : nullptr;
}

// A visible top-level dialog titled title and owned by owner, waited for.
HWND WaitForDialog(const wchar_t* title, HWND owner) {
    const ULONGLONG end = GetTickCount64() + kWaitMs;
    do {
        for (HWND w = FindWindowExW(nullptr, nullptr, kDialogClass, title); w;
             w = FindWindowExW(nullptr, w, kDialogClass, title)) {
            if (GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w)) {
                return w;
            }
        }
        Sleep(20);
    } while (GetTickCount64() < end);
    return nullptr;
}

bool WaitGone(HWND window) {
    const ULONGLONG end = GetTickCount64() + kWaitMs;
    while (IsWindow(window) && GetTickCount64() < end) {
        Sleep(20);
    }
    return !IsWindow(window);
}

bool Checked(HWND dialog, int id) {
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void Check(HWND dialog, int id, bool on) {
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}
std::wstring Text(HWND dialog, int id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, static_cast<int>(std::size(text)));
    return text;
}
// Posted, so the driver never waits on a message box the click opens.
void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Every edited field, in control order, for whole-object comparisons.
using CEdited = std::tuple<int32_t, std::wstring, std::wstring, std::wstring, int32_t, int32_t, int32_t,
                           int32_t, char, int32_t>;
CEdited Edited(const CSMSSetting& s) {
    return {s.isOpen,  s.soundPath[0], s.soundPath[1], s.soundPath[2], s.allowHotKey,
            s.ctrlKey, s.shiftKey,     s.altKey,       s.codeKey,      s.autoLogin};
}

// The object the main window would hand over, with a value in every edited field.
void Fill(CSMSSetting& s) {
    s.isOpen = 0;
    s.soundName = {L"新消息", L"", L"升级"};
    s.soundPath = {L"sound\\msg.wav", L"sound\\two.wav", L"sound\\up.wav"};
    s.allowHotKey = 0;
    s.ctrlKey = 1;
    s.shiftKey = 0;
    s.altKey = 1;
    s.codeKey = 'E';
    s.autoLogin = 1;
}

// Changes every control away from Fill's values; the check boxes not all alike,
// so that fields taken from the wrong control show.
void EditAll(HWND dialog) {
    Check(dialog, IDC_CONFIG_SOUND_ON, true);
    SetDlgItemTextW(dialog, IDC_CONFIG_SOUND_PATH1, L"C:\\声音\\新消息.wav");
    SetDlgItemTextW(dialog, IDC_CONFIG_SOUND_PATH2, L"");
    Check(dialog, IDC_CONFIG_HOTKEY_ON, true);
    Check(dialog, IDC_CONFIG_CTRL, false);
    Check(dialog, IDC_CONFIG_SHIFT, true);
    Check(dialog, IDC_CONFIG_ALT, false);
    SetDlgItemTextW(dialog, IDC_CONFIG_CODEKEY, L"9");
    Check(dialog, IDC_CONFIG_AUTOLOGIN, false);
}

struct CRun {
    int result = -1;
    bool found = false;
    bool forcedClosed = false; // the safety net had to end the dialog
};

// Calls the export on this thread while drive works the dialog on another.
// drive must end the dialog; anything it leaves open is closed so no run hangs.
CRun RunDialog(CSMSSetting& settings, const std::function<void(HWND owner, HWND dialog)>& drive) {
    CRun run;
    ExecConfigProc exec = ExecConfigEntry();
    if (!exec) {
        return run;
    }
    HWND owner = CreateWindowExW(0, L"STATIC", L"config owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<bool> returned{false};
    std::thread driver([&] {
        HWND dialog = WaitForDialog(kDialogTitle, owner);
        run.found = dialog != nullptr;
        if (dialog) {
            drive(owner, dialog);
            WaitGone(dialog);
        }
        const ULONGLONG end = GetTickCount64() + 2 * kWaitMs;
        while (!returned && GetTickCount64() < end) {
            EnumThreadWindows(
                uiThread,
                [](HWND w, LPARAM data) {
                    if (IsWindowVisible(w)) {
                        *reinterpret_cast<bool*>(data) = true;
                        PostMessageW(w, WM_CLOSE, 0, 0);
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&run.forcedClosed));
            Sleep(100);
        }
    });
    const std::wstring sessionId = L"S-0001";
    run.result = exec(owner, nullptr, &settings, sessionId.c_str());
    returned = true;
    driver.join();
    DestroyWindow(owner);
    return run;
}

TEST(ConfigPlugin, ExportsExactlyExecConfigUnderItsPlainName) {
    HMODULE library = ConfigLibrary();
    ASSERT_TRUE(library) << "config.dll beside the test program";
    // The one function, by ordinal, is the one found by the plain name.
    const FARPROC byName = GetProcAddress(library, kConfigEntryName);
    EXPECT_TRUE(byName);
    EXPECT_EQ(GetProcAddress(library, MAKEINTRESOURCEA(1)), byName);
    EXPECT_FALSE(GetProcAddress(library, MAKEINTRESOURCEA(2)));
}

TEST(ConfigPlugin, ShowsTheObjectAndOkAppliesEveryEdit) {
    CSMSSetting settings(L"unused.dat");
    Fill(settings);
    bool ownerDisabled = false;
    CEdited shown{};
    std::wstring label1, label2;
    const CRun run = RunDialog(settings, [&](HWND owner, HWND dialog) {
        ownerDisabled = !IsWindowEnabled(owner);
        shown = {Checked(dialog, IDC_CONFIG_SOUND_ON),
                 Text(dialog, IDC_CONFIG_SOUND_PATH1),
                 Text(dialog, IDC_CONFIG_SOUND_PATH2),
                 Text(dialog, IDC_CONFIG_SOUND_PATH3),
                 Checked(dialog, IDC_CONFIG_HOTKEY_ON),
                 Checked(dialog, IDC_CONFIG_CTRL),
                 Checked(dialog, IDC_CONFIG_SHIFT),
                 Checked(dialog, IDC_CONFIG_ALT),
                 static_cast<char>(Text(dialog, IDC_CONFIG_CODEKEY).c_str()[0]),
                 Checked(dialog, IDC_CONFIG_AUTOLOGIN)};
        label1 = Text(dialog, IDC_CONFIG_SOUND_NAME1);
        label2 = Text(dialog, IDC_CONFIG_SOUND_NAME2);
        EditAll(dialog);
        Click(dialog, IDOK);
    });
    ASSERT_TRUE(run.found) << "no dialog titled 设置 owned by the main window";
    EXPECT_FALSE(run.forcedClosed);
    EXPECT_EQ(run.result, 1);
    EXPECT_TRUE(ownerDisabled) << "the dialog is modal to its owner";

    CSMSSetting before(L"unused.dat");
    Fill(before);
    EXPECT_EQ(shown, Edited(before));
    EXPECT_EQ(label1, L"新消息：");
    EXPECT_EQ(label2, L"提示音2：") << "an entry without a name";

    const CEdited expected{1, L"C:\\声音\\新消息.wav", L"", L"sound\\up.wav", 1, 0, 1, 0, '9', 0};
    EXPECT_EQ(Edited(settings), expected);
}

// Every closed window costs about two seconds under Wine without a window
// manager, so the key cases are the range ends ('9' is EditAll's); each sets
// one modifier apart from the others.
TEST(ConfigPlugin, AppliesTheHotKeyAsTypedWithALetterOrDigit) {
    const struct {
        const wchar_t* typed;
        bool ctrl, shift, alt;
        char key;
    } cases[] = {{L"0", true, false, false, '0'},
                 {L"A", false, true, false, 'A'},
                 {L"Z", false, false, true, 'Z'},
                 {L"q", true, true, true, 'Q'}};
    for (const auto& c : cases) {
        CSMSSetting settings(L"unused.dat");
        Fill(settings);
        const CRun run = RunDialog(settings, [&](HWND, HWND dialog) {
            Check(dialog, IDC_CONFIG_CTRL, c.ctrl);
            Check(dialog, IDC_CONFIG_SHIFT, c.shift);
            Check(dialog, IDC_CONFIG_ALT, c.alt);
            SetDlgItemTextW(dialog, IDC_CONFIG_CODEKEY, c.typed);
            Click(dialog, IDOK);
        });
        const std::string typed = testing::PrintToString(std::wstring(c.typed));
        EXPECT_EQ(run.result, 1) << typed;
        EXPECT_FALSE(run.forcedClosed) << typed;
        EXPECT_EQ(settings.codeKey, c.key) << typed;
        EXPECT_EQ((std::array{settings.ctrlKey, settings.shiftKey, settings.altKey}),
                  (std::array<int32_t, 3>{c.ctrl, c.shift, c.alt}))
            << typed;
    }
}

TEST(ConfigPlugin, RejectsAnyOtherKeyWithAMessageAndStaysOpen) {
    CSMSSetting settings(L"unused.dat");
    Fill(settings);
    const CEdited before = Edited(settings);
    // Empty, several characters, and the neighbours of the digit and letter ranges.
    const std::vector<std::wstring> typed = {L"", L"AB", L"/", L":", L"@", L"["};
    std::vector<std::wstring> refused;
    const CRun run = RunDialog(settings, [&](HWND, HWND dialog) {
        EditAll(dialog);
        for (const std::wstring& key : typed) {
            SetDlgItemTextW(dialog, IDC_CONFIG_CODEKEY, key.c_str());
            Click(dialog, IDOK);
            HWND box = WaitForDialog(kInputCaption, dialog);
            if (!box) {
                return;
            }
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            if (WaitGone(box) && IsWindowVisible(dialog)) {
                refused.push_back(key);
            }
        }
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(refused, typed) << "each refused with a box owned by the dialog, which stays open";
    EXPECT_FALSE(run.forcedClosed);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Edited(settings), before);
}

TEST(ConfigPlugin, CancelEscapeAndCloseLeaveTheObjectUntouched) {
    const struct {
        const char* way;
        std::function<void(HWND dialog)> end;
    } cases[] = {
        {"Cancel button", [](HWND dialog) { Click(dialog, IDCANCEL); }},
        {"close box", [](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); }},
        {"Escape key",
         [](HWND dialog) {
             PostMessageW(GetDlgItem(dialog, IDC_CONFIG_SOUND_PATH1), WM_KEYDOWN, VK_ESCAPE, 0);
         }},
    };
    for (const auto& c : cases) {
        CSMSSetting settings(L"unused.dat");
        Fill(settings);
        const CEdited before = Edited(settings);
        const CRun run = RunDialog(settings, [&](HWND, HWND dialog) {
            EditAll(dialog);
            c.end(dialog);
        });
        EXPECT_TRUE(run.found) << c.way;
        EXPECT_FALSE(run.forcedClosed) << c.way;
        EXPECT_EQ(run.result, 0) << c.way;
        EXPECT_EQ(Edited(settings), before) << c.way;
    }
}

} // namespace
