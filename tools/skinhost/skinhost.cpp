// Shows a skinned dialog the way the program does: InitSkin with
// "skin\theme.ini" (run it from the folder that holds skin\), InstallDlgSkin
// and InstallCtlSkin from the dialog's initialisation, ReleaseSkin at the end.
//
//   skinhost.exe [scenario] [seconds]
//
// Scenarios: active (default), inactive, maximized, hover (a push button),
// closehover (the close caption button), menu, menusel (an item under the
// pointer), sysmenu, fixed (no sizing border, no maximize box), and with real
// input: pressleave (close pressed, released over the client area), maxhover
// (maximize clicked, then the pointer back on the same button), focus (Tab
// onto a push button), skincheck (the check box skinned too, as the library
// does for any "Button"). With seconds the host closes itself after that
// long; without, it stays until closed.
//
// Only push buttons are skinned unless asked: they are what the program skins.
#include "framework/dialog.h"
#include "skin/skin.h"

#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kMenuButton = 1002;
constexpr int kDisabledButton = 1003;
constexpr int kNameEdit = 1004;
constexpr int kCheckBox = 1005;
constexpr UINT_PTR kScenarioTimer = 1;
constexpr UINT_PTR kExitTimer = 2;
constexpr UINT_PTR kPointTimer = 3;
constexpr UINT_PTR kStepTimer = 4;
constexpr UINT kScenarioDelayMs = 700;
constexpr UINT kStepMs = 400;

constexpr UINT kMenuOpen = 40001;
constexpr UINT kMenuChecked = 40002;
constexpr UINT kMenuRadio = 40003;
constexpr UINT kMenuGrayed = 40004;
constexpr UINT kMenuExit = 40005;
constexpr UINT kMenuSubItem = 40006;

// A dialog template in memory: the host needs no resource script.
class CTemplate {
public:
    CTemplate(DWORD style, const std::wstring& title, short cx, short cy) {
        PutDword(style | DS_SETFONT | DS_MODALFRAME);
        PutDword(0);
        m_words.push_back(0); // item count
        for (short v : {short(0), short(0), cx, cy}) {
            m_words.push_back(static_cast<WORD>(v));
        }
        m_words.push_back(0); // no menu
        m_words.push_back(0); // default class
        PutText(title);
        m_words.push_back(9); // point size
        PutText(L"\u5B8B\u4F53");
    }

    void Add(WORD classAtom, int id, DWORD style, const std::wstring& text, short x, short y, short cx,
             short cy) {
        if (m_words.size() % 2) {
            m_words.push_back(0);
        }
        PutDword(style | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        for (short v : {x, y, cx, cy}) {
            m_words.push_back(static_cast<WORD>(v));
        }
        m_words.push_back(static_cast<WORD>(id));
        m_words.push_back(0xFFFF);
        m_words.push_back(classAtom);
        PutText(text);
        m_words.push_back(0);
        ++m_words[4];
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void PutDword(DWORD v) {
        m_words.push_back(LOWORD(v));
        m_words.push_back(HIWORD(v));
    }
    void PutText(const std::wstring& text) {
        m_words.insert(m_words.end(), text.begin(), text.end());
        m_words.push_back(0);
    }
    std::vector<WORD> m_words;
};

constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

CTemplate MakeTemplate(bool fixed) {
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    if (!fixed) {
        style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    }
    CTemplate t(style, L"Velmarin \u7ED3\u679C\u9884\u89C8", 220, 120);
    t.Add(kStaticClass, -1, SS_LEFT, L"\u7528\u6237\u53F7\u7801\uFF1A", 12, 14, 50, 10);
    t.Add(kEditClass, kNameEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, L"0571-88888888", 64, 12, 140, 13);
    t.Add(kButtonClass, kCheckBox, BS_AUTOCHECKBOX | WS_TABSTOP, L"\u8BB0\u4F4F\u5BC6\u7801", 64, 32, 80, 12);
    t.Add(kButtonClass, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, L"\u786E\u5B9A", 12, 92, 44, 16);
    t.Add(kButtonClass, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, L"\u53D6\u6D88", 62, 92, 44, 16);
    t.Add(kButtonClass, kMenuButton, BS_PUSHBUTTON | WS_TABSTOP, L"\u83DC\u5355(&M)", 112, 92, 44, 16);
    t.Add(kButtonClass, kDisabledButton, BS_PUSHBUTTON | WS_DISABLED, L"\u7981\u7528", 162, 92, 44, 16);
    return t;
}

class CHostDialog : public CDialog {
public:
    CHostDialog(const CTemplate& t, std::wstring scenario, UINT seconds)
        : CDialog(t.get()), m_scenario(std::move(scenario)), m_seconds(seconds) {}

protected:
    bool OnInitDialog() override {
        SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(LoadIconW(nullptr, MAKEINTRESOURCEW(32512))));
        InstallDlgSkin(this);
        for (int id : {IDOK, IDCANCEL, kMenuButton, kDisabledButton}) {
            InstallCtlSkin(m_hWnd, id);
        }
        if (m_scenario == L"skincheck") {
            InstallCtlSkin(m_hWnd, kCheckBox);
        }
        SetWindowPos(m_hWnd, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetTimer(m_hWnd, kScenarioTimer, kScenarioDelayMs, nullptr);
        if (m_seconds > 0) {
            SetTimer(m_hWnd, kExitTimer, m_seconds * 1000, nullptr);
        }
        return true;
    }

    bool OnTimer(UINT_PTR id) override {
        if (id == kStepTimer) {
            if (m_nextStep < m_steps.size()) {
                m_steps[m_nextStep++]();
            }
            if (m_nextStep >= m_steps.size()) {
                KillTimer(m_hWnd, id);
            }
            return true;
        }
        KillTimer(m_hWnd, id);
        if (id == kPointTimer) {
            // Inside the open menu: the pointer onto its second item.
            SetCursorPos(m_menuAt.x + 60, m_menuAt.y + 32);
        } else if (id == kExitTimer) {
            EndMenu();
            if (m_other != nullptr) {
                DestroyWindow(m_other);
            }
            EndDialog(IDCANCEL);
        } else {
            RunScenario();
        }
        return true;
    }

    bool OnCommand(int id, int code, HWND control) override {
        if (id == kMenuButton && code == BN_CLICKED) {
            ShowPopupMenu();
            return true;
        }
        return CDialog::OnCommand(id, code, control);
    }

private:
    void RunScenario() {
        if (m_scenario == L"inactive") {
            // Another top-level window takes the activation.
            m_other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE | WS_BORDER | SS_CENTER,
                                      700, 500, 200, 80, nullptr, nullptr, nullptr, nullptr);
            SetForegroundWindow(m_other);
            SetActiveWindow(m_other);
        } else if (m_scenario == L"maximized") {
            SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        } else if (m_scenario == L"closehover") {
            // The close button's theme place: 28 from the right edge, 6 down.
            RECT r{};
            GetWindowRect(m_hWnd, &r);
            SetCursorPos(r.right - 18, r.top + 12);
        } else if (m_scenario == L"hover") {
            RECT r{};
            GetWindowRect(GetDlgItem(m_hWnd, IDOK), &r);
            SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        } else if (m_scenario == L"menu" || m_scenario == L"menusel") {
            if (m_scenario == L"menusel") {
                SetTimer(m_hWnd, kPointTimer, kScenarioDelayMs, nullptr);
            }
            ShowPopupMenu();
        } else if (m_scenario == L"pressleave") {
            RunSteps({[this] { PointAt(HTCLOSE); }, [] { Mouse(MOUSEEVENTF_LEFTDOWN); },
                      [this] { PointAtClient(); }, [] { Mouse(MOUSEEVENTF_LEFTUP); }});
        } else if (m_scenario == L"maxhover") {
            RunSteps({[this] { PointAt(HTMAXBUTTON); }, [] { Mouse(MOUSEEVENTF_LEFTDOWN); },
                      [] { Mouse(MOUSEEVENTF_LEFTUP); }, [this] { PointAtClient(); },
                      [this] { PointAt(HTMAXBUTTON); }, [this] { PointAt(HTMAXBUTTON, 1); }});
        } else if (m_scenario == L"focus") {
            // From the edit box past the check box onto OK.
            RunSteps({[this] { SetForegroundWindow(m_hWnd); }, [] { Key(VK_TAB); }, [] { Key(VK_TAB); }});
        } else if (m_scenario == L"sysmenu") {
            RECT r{};
            GetWindowRect(m_hWnd, &r);
            PostMessageW(m_hWnd, WM_NCRBUTTONDOWN, HTCAPTION, MAKELPARAM(r.left + 120, r.top + 15));
        }
    }

    void RunSteps(std::vector<std::function<void()>> steps) {
        m_steps = std::move(steps);
        m_nextStep = 0;
        SetTimer(m_hWnd, kStepTimer, kStepMs, nullptr);
    }

    // Puts the pointer on the first point of the top band that the frame
    // answers with hit, shifted right by nudge.
    void PointAt(int hit, int nudge = 0) {
        RECT r{};
        GetWindowRect(m_hWnd, &r);
        for (int y = r.top; y < r.top + 40; ++y) {
            for (int x = r.right - 1; x > r.right - 160; --x) {
                if (SendMessageW(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == hit) {
                    // A few pixels in, so the nudge stays on the button.
                    SetCursorPos(x - 4 + nudge, y + 3);
                    return;
                }
            }
        }
    }

    void PointAtClient() {
        RECT r{};
        GetClientRect(m_hWnd, &r);
        POINT p{r.right / 2, r.bottom - 8};
        ClientToScreen(m_hWnd, &p);
        SetCursorPos(p.x, p.y);
    }

    static void Mouse(DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        SendInput(1, &input, sizeof(input));
    }

    static void Key(WORD vk) {
        INPUT inputs[2]{};
        for (INPUT& input : inputs) {
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
        }
        inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, inputs, sizeof(INPUT));
    }

    void ShowPopupMenu() {
        HMENU sub = CreatePopupMenu();
        AppendMenuW(sub, MF_STRING, kMenuSubItem, L"\u5B50\u83DC\u5355\u9879");
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, kMenuOpen, L"\u6253\u5F00\u4E3B\u9762\u677F(&O)\tCtrl+O");
        AppendMenuW(menu, MF_STRING | MF_CHECKED, kMenuChecked, L"\u58F0\u97F3\u63D0\u793A(&S)");
        AppendMenuW(menu, MF_STRING | MF_CHECKED | MFT_RADIOCHECK, kMenuRadio, L"\u5728\u7EBF(&L)");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING | MF_GRAYED, kMenuGrayed, L"\u68C0\u67E5\u66F4\u65B0(&U)");
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"\u66F4\u591A(&M)");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kMenuExit, L"\u9000\u51FA(&X)\tAlt+F4");
        SetMenuDefaultItem(menu, kMenuOpen, FALSE);
        RECT r{};
        GetWindowRect(GetDlgItem(m_hWnd, kMenuButton), &r);
        m_menuAt = {r.left, r.bottom};
        SetForegroundWindow(m_hWnd);
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_LEFTBUTTON, r.left, r.bottom, 0, m_hWnd, nullptr);
        DestroyMenu(menu);
    }

    std::wstring m_scenario;
    UINT m_seconds;
    HWND m_other = nullptr;
    POINT m_menuAt{};
    std::vector<std::function<void()>> m_steps;
    std::size_t m_nextStep = 0;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring scenario = argc > 1 ? argv[1] : L"active";
    const UINT seconds = argc > 2 ? static_cast<UINT>(_wtoi(argv[2])) : 0;
    LocalFree(argv);

    OleInitialize(nullptr);
    InitSkin("skin\\theme.ini");
    {
        const CTemplate t = MakeTemplate(scenario == L"fixed");
        CHostDialog dialog(t, scenario, seconds);
        dialog.DoModal();
    }
    ReleaseSkin();
    OleUninitialize();
    return 0;
}
