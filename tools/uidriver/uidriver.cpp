// uidriver: the end-to-end tests' eyes and hands on another program's windows in
// the same Wine session. One command per run, or many in serve mode; output is
// UTF-8 bytes so that scripts compare Chinese texts whatever the console's code page.
#include <windows.h>

#include "serve.h"

#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDefaultTimeoutMs = 10000;
constexpr DWORD kPollMs = 50;
// A window that takes longer than this to answer a text query is treated as hung.
constexpr UINT kAnswerTimeoutMs = 2000;
// How long a posted command may keep the target busy before the driver returns anyway.
constexpr UINT kSettleMs = 2000;
constexpr int kSettleRoundTrips = 3;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr wchar_t kUsage[] =
    L"usage: uidriver COMMAND [WINDOW] [options] [--timeout MS]\n"
    L"WINDOW is --title T and/or --class C: a visible top-level window, the topmost that matches;\n"
    L"or --handle H: that window, when visible.\n"
    L"  wait  WINDOW [--text S]         wait for the window (with a visible control saying S),\n"
    L"                                  print its handle\n"
    L"  gone  WINDOW                    wait until no such window is visible\n"
    L"  texts WINDOW                    print its title, then class<TAB>id<TAB>text of each\n"
    L"                                  visible control (line breaks and tabs as \\n \\r \\t)\n"
    L"  click WINDOW --id N | --text S  click a button or a notifying static control\n"
    L"  press WINDOW --id N | --text S  press and release the left mouse button at the\n"
    L"                                  control's centre (for controls that act on the mouse)\n"
    L"  check WINDOW --id N             print a check box's state: 0, 1 or 2 (indeterminate)\n"
    L"  focus WINDOW --id N             give control N the focus as the dialog manager does\n"
    L"  keys  WINDOW --keys K [--id N]  type K into the focused control (or control N);\n"
    L"                                  {ENTER} {ESC} {TAB} {BACKSPACE} {DELETE} {HOME} {END}\n"
    L"                                  {LEFT} {RIGHT} {UP} {DOWN} {SPACE} {LBRACE} {RBRACE}\n"
    L"  hotkey --keys K                 print \"taken\" when a window holds the key chord K (such as\n"
    L"                                  ctrl+alt+Z) as its hot key, else \"free\"\n"
    L"  close WINDOW                    send the window WM_CLOSE\n"
    L"  rect  WINDOW [--id N]           print the window's (or control's) screen rectangle as it\n"
    L"                                  is seen, a shaped window's cut to its shape's bounds:\n"
    L"                                  left top right bottom\n"
    L"  move  WINDOW --x X --y Y        move the window's top-left corner to X,Y on the screen\n"
    L"  owner WINDOW                    print the title of the window's owner (empty if none)\n"
    L"  send  WINDOW --message N [--wparam W] [--lparam L] [--hidden 1]  send message N (to a\n"
    L"                                  hidden window too with --hidden 1); print the answer\n"
    L"  list                            every top-level window: handle, class, title, visible\n"
    L"  activate WINDOW                 make the window the foreground window\n"
    L"  foreground                      print the foreground window's handle\n"
    L"  dismiss WINDOW --text S --id N [--count C]  as each window that shows a control saying S\n"
    L"                                  appears, click its control N and wait until it goes; end\n"
    L"                                  after C (default: no limit) or when none came for MS;\n"
    L"                                  print how many\n"
    L"  ping  WINDOW [--every E] [--limit L]  send the window WM_NULL every E ms (200),\n"
    L"                                  waiting up to L ms (1000) for each answer; print \"pinging\",\n"
    L"                                  then once a second: epoch-ms answered slowest-ms missed\n"
    L"                                  (tab-separated); end when the window goes or after MS\n"
    L"  hold-mutex --name N             create the named mutex, print \"held\", keep it for MS\n"
    L"  never [WINDOW] --while EXE      print \"watching\", then watch while the program EXE runs\n"
    L"                                  (it must start and end within MS): fail if it shows a\n"
    L"                                  visible top-level window (matching WINDOW, when given)\n"
    L"  serve                           run commands read from standard input, one a line: a\n"
    L"                                  token, the command and its arguments, separated by \\x1f;\n"
    L"                                  answer with the output, error lines marked \\x1d, then\n"
    L"                                  \\x1e, the token and the exit code; end after MS idle\n"
    L"Waits last up to MS milliseconds (10000); exit code 1 on a time-out, 2 on a usage error.\n";

struct Options {
    std::wstring command;
    std::optional<std::wstring> title;
    std::optional<std::wstring> className;
    std::optional<std::wstring> text;
    std::optional<std::wstring> keys;
    std::optional<std::wstring> name;
    std::optional<std::wstring> whileProgram;
    std::optional<int> id;
    std::optional<int> x;
    std::optional<int> y;
    std::optional<int> message;
    std::optional<long> handle;
    long every = 200;
    std::optional<long> count;
    long limit = 1000;
    long wParam = 0;
    long lParam = 0;
    // Hidden windows match too.
    bool hidden = false;
    DWORD timeout = kDefaultTimeoutMs;
};

// In serve mode error text goes down the one answer stream, each line marked.
bool g_serving = false;

void Write(FILE* stream, const std::wstring& text) {
    if (g_serving && stream == stderr) {
        std::wstring marked;
        bool lineStart = true;
        for (wchar_t c : text) {
            if (lineStart) {
                marked += static_cast<wchar_t>(uidriver::kErrorMark);
            }
            marked += c;
            lineStart = c == L'\n';
        }
        if (!lineStart) {
            marked += L'\n';
        }
        g_serving = false;
        Write(stdout, marked);
        g_serving = true;
        return;
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    fwrite(bytes.data(), 1, bytes.size(), stream);
    fflush(stream);
}

int Fail(const std::wstring& message) {
    Write(stderr, L"uidriver: " + message + L"\n");
    return kExitFailed;
}

int UsageError(const std::wstring& message) {
    Write(stderr, L"uidriver: " + message + L"\n" + kUsage);
    return kExitUsage;
}

std::wstring Hex(HWND hwnd) {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"0x%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return buffer;
}

// One line per control: line breaks and tabs inside a text are written as \n, \r and \t.
std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\r') {
            out += L"\\r";
        } else if (c == L'\t') {
            out += L"\\t";
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

// Top-level captions are kept by the system; reading them sends the window nothing.
std::wstring TitleOf(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(length + 1, L'\0');
    text.resize(GetWindowTextW(hwnd, text.data(), length + 1));
    return text;
}

// Controls keep their own text (an edit box, a combo box), so ask the control, without hanging on it.
std::wstring ControlText(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &copied)) {
        return {};
    }
    text.resize(copied);
    return text;
}

// A button's text as a person reads it: without the mnemonic marks.
std::wstring WithoutMnemonics(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            ++i;
        }
        out += text[i];
    }
    return out;
}

bool Matches(HWND hwnd, const Options& options) {
    if (options.title && TitleOf(hwnd) != *options.title) {
        return false;
    }
    return !options.className || _wcsicmp(ClassOf(hwnd).c_str(), options.className->c_str()) == 0;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND hwnd, LPARAM param) {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(
        parent,
        [](HWND hwnd, LPARAM param) {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The topmost visible top-level window that matches, or null. A handle names the window itself:
// a box may carry its owner's title and class.
HWND FindVisible(const Options& options) {
    if (options.handle) {
        HWND hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(*options.handle));
        return IsWindow(hwnd) && IsWindowVisible(hwnd) ? hwnd : nullptr;
    }
    for (HWND hwnd : TopLevelWindows()) {
        if ((options.hidden || IsWindowVisible(hwnd)) && Matches(hwnd, options)) {
            return hwnd;
        }
    }
    return nullptr;
}

// Polls find until it yields a value or the time-out has passed.
template <typename Find> auto PollFor(DWORD timeout, Find find) -> decltype(find()) {
    ULONGLONG deadline = GetTickCount64() + timeout;
    for (;;) {
        auto found = find();
        if (found || GetTickCount64() >= deadline) {
            return found;
        }
        Sleep(kPollMs);
    }
}

std::wstring Describe(const Options& options) {
    std::wstring out = L"visible window";
    if (options.title) {
        out += L" titled \"" + *options.title + L"\"";
    }
    if (options.className) {
        out += L" of class \"" + *options.className + L"\"";
    }
    return out;
}

std::wstring After(DWORD timeout) {
    return L" after " + std::to_wstring(timeout) + L" ms";
}

// Returns once the window's thread has taken what was posted to it before: each round trip of a
// sent message ends in a later call of its message loop, so after a few the posted messages have
// been dispatched, and the characters their translation posts are queued ahead of anything new.
// A thread kept busy longer than the settling time is left to finish on its own.
void Settle(HWND hwnd) {
    for (int i = 0; i < kSettleRoundTrips; ++i) {
        DWORD_PTR ignored = 0;
        if (!SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSettleMs, &ignored)) {
            return;
        }
    }
}

HWND FindSaying(const Options& options);

int Wait(const Options& options) {
    HWND hwnd =
        PollFor(options.timeout, [&] { return options.text ? FindSaying(options) : FindVisible(options); });
    if (!hwnd) {
        return Fail(L"no " + Describe(options) + After(options.timeout));
    }
    Write(stdout, Hex(hwnd) + L"\n");
    return kExitOk;
}

int Gone(const Options& options) {
    bool gone = PollFor(options.timeout, [&] { return FindVisible(options) == nullptr; });
    if (!gone) {
        return Fail(L"still a " + Describe(options) + After(options.timeout));
    }
    return kExitOk;
}

int Texts(const Options& options) {
    HWND hwnd = PollFor(options.timeout, [&] { return FindVisible(options); });
    if (!hwnd) {
        return Fail(L"no " + Describe(options) + After(options.timeout));
    }
    std::wstring out = Escaped(TitleOf(hwnd)) + L"\n";
    for (HWND child : Descendants(hwnd)) {
        if (IsWindowVisible(child)) {
            out += ClassOf(child) + L"\t" + std::to_wstring(GetDlgCtrlID(child)) + L"\t" +
                   Escaped(ControlText(child)) + L"\n";
        }
    }
    Write(stdout, out);
    return kExitOk;
}

// The visible control of the window named by --id or, for --text, by its text. The window's own
// controls come first: inner windows reuse ids (a drop-down combo box's edit is 1001).
HWND FindControl(HWND window, const Options& options) {
    std::vector<HWND> children = Descendants(window);
    for (bool ownOnly : {true, false}) {
        for (HWND child : children) {
            if ((GetParent(child) == window) != ownOnly || !IsWindowVisible(child)) {
                continue;
            }
            if (options.id ? GetDlgCtrlID(child) == *options.id
                           : WithoutMnemonics(ControlText(child)) == WithoutMnemonics(*options.text)) {
                return child;
            }
        }
    }
    return nullptr;
}

std::wstring DescribeControl(const Options& options) {
    return options.id ? L"control " + std::to_wstring(*options.id) : L"control \"" + *options.text + L"\"";
}

bool IsCheckOrRadio(HWND control) {
    if (_wcsicmp(ClassOf(control).c_str(), L"Button") != 0) {
        return false;
    }
    switch (GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return true;
    default:
        return false;
    }
}

// A window and one of its visible controls, found within the time-out.
struct Target {
    HWND window = nullptr;
    HWND control = nullptr;
    explicit operator bool() const { return control != nullptr; }
};

// Finds the control named by the options; on failure, error holds the message.
Target FindTarget(const Options& options, std::wstring& error) {
    Target target = PollFor(options.timeout, [&] {
        Target t;
        t.window = FindVisible(options);
        if (t.window) {
            t.control = FindControl(t.window, options);
        }
        return t;
    });
    if (!target.window) {
        error = L"no " + Describe(options) + After(options.timeout);
    } else if (!target.control) {
        error = L"no visible " + DescribeControl(options) + L" in the " + Describe(options) +
                After(options.timeout);
    }
    return target;
}

int Click(const Options& options) {
    std::wstring error;
    Target target = FindTarget(options, error);
    if (!target) {
        return Fail(error);
    }
    if (!IsWindowEnabled(target.control)) {
        return Fail(DescribeControl(options) + L" is disabled");
    }
    // Posted, not sent: a click that opens a modal box must not block the driver.
    if (IsCheckOrRadio(target.control)) {
        // The button's own click keeps its check state in step, as a mouse click would.
        PostMessageW(target.control, BM_CLICK, 0, 0);
    } else {
        // BN_CLICKED and STN_CLICKED are both 0: push buttons and notifying statics alike.
        int id = GetDlgCtrlID(target.control);
        PostMessageW(GetParent(target.control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(target.control));
    }
    Settle(target.window);
    return kExitOk;
}

// The mouse messages a person's click leaves in the control's queue, for controls that act on
// button down and up themselves (a link takes the capture on down and acts on up). Posted, so
// that what the click opens cannot block the driver.
int Press(const Options& options) {
    std::wstring error;
    Target target = FindTarget(options, error);
    if (!target) {
        return Fail(error);
    }
    if (!IsWindowEnabled(target.control)) {
        return Fail(DescribeControl(options) + L" is disabled");
    }
    RECT client{};
    GetClientRect(target.control, &client);
    LPARAM centre = MAKELPARAM((client.left + client.right) / 2, (client.top + client.bottom) / 2);
    PostMessageW(target.control, WM_MOUSEMOVE, 0, centre);
    PostMessageW(target.control, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageW(target.control, WM_LBUTTONUP, 0, centre);
    Settle(target.window);
    return kExitOk;
}

int Check(const Options& options) {
    std::wstring error;
    Target target = FindTarget(options, error);
    if (!target) {
        return Fail(error);
    }
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutW(target.control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &state)) {
        return Fail(DescribeControl(options) + L" did not answer");
    }
    Write(stdout, std::to_wstring(state) + L"\n");
    return kExitOk;
}

struct NamedKey {
    const wchar_t* name;
    UINT virtualKey;
};

constexpr NamedKey kNamedKeys[] = {
    {L"ENTER", VK_RETURN}, {L"ESC", VK_ESCAPE}, {L"TAB", VK_TAB},     {L"DELETE", VK_DELETE},
    {L"HOME", VK_HOME},    {L"END", VK_END},    {L"LEFT", VK_LEFT},   {L"RIGHT", VK_RIGHT},
    {L"UP", VK_UP},        {L"DOWN", VK_DOWN},  {L"SPACE", VK_SPACE},
};

// One step of a key sequence: a virtual key pressed and released, or a character typed.
struct KeyStroke {
    UINT virtualKey = 0;
    wchar_t character = 0;
};

std::optional<std::vector<KeyStroke>> ParseKeys(const std::wstring& keys) {
    std::vector<KeyStroke> strokes;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] != L'{') {
            strokes.push_back({0, keys[i]});
            continue;
        }
        size_t close = keys.find(L'}', i);
        if (close == std::wstring::npos) {
            return std::nullopt;
        }
        std::wstring name = keys.substr(i + 1, close - i - 1);
        i = close;
        if (name == L"LBRACE" || name == L"RBRACE") {
            strokes.push_back({0, name == L"LBRACE" ? L'{' : L'}'});
            continue;
        }
        // A box erases on the character: a pressed key's character would be queued behind the
        // characters typed after it, and take one of them.
        if (_wcsicmp(name.c_str(), L"BACKSPACE") == 0) {
            strokes.push_back({0, L'\b'});
            continue;
        }
        const NamedKey* found = nullptr;
        for (const NamedKey& key : kNamedKeys) {
            if (_wcsicmp(key.name, name.c_str()) == 0) {
                found = &key;
            }
        }
        if (!found) {
            return std::nullopt;
        }
        strokes.push_back({found->virtualKey, 0});
    }
    return strokes;
}

// The window's thread's focus when it lies in the window, else null.
HWND FocusInside(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == window || IsChild(window, info.hwndFocus))) {
        return info.hwndFocus;
    }
    return nullptr;
}

// The control that has the keyboard focus in the window's thread, else the window itself.
HWND FocusedIn(HWND window) {
    HWND focus = FocusInside(window);
    return focus ? focus : window;
}

// Posts one stroke to the control that has the focus at that moment, where the target's own
// message loop (with its dialog keys and pre-translation) handles it as a typed key. A character
// arrives as WM_CHAR; a virtual key as key-down and key-up, whose character the target's
// TranslateMessage makes.
void PostKey(HWND target, const KeyStroke& stroke) {
    if (stroke.character) {
        PostMessageW(target, WM_CHAR, stroke.character, 1);
        return;
    }
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(stroke.virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, stroke.virtualKey, scan | 1);
    PostMessageW(target, WM_KEYUP, stroke.virtualKey, scan | 1 | (1u << 30) | (1u << 31));
}

int Keys(const Options& options) {
    std::optional<std::vector<KeyStroke>> strokes = ParseKeys(*options.keys);
    if (!strokes) {
        return UsageError(L"cannot read the keys \"" + *options.keys + L"\"");
    }
    HWND window = PollFor(options.timeout, [&] { return FindVisible(options); });
    if (!window) {
        return Fail(L"no " + Describe(options) + After(options.timeout));
    }
    HWND control = nullptr;
    if (options.id) {
        control = PollFor(options.timeout, [&] { return FindControl(window, options); });
        if (!control) {
            return Fail(L"no visible " + DescribeControl(options) + After(options.timeout));
        }
        // Moves the focus the way the dialog manager does, with the focus notifications.
        PostMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        Settle(window);
    }
    // The focus moves when the window's thread takes the posted request, which a sent message may
    // overtake; just after a box owned by the window has gone, it comes back to the window a
    // moment later. Keys posted before then would reach another control or the window itself.
    PollFor(std::min<DWORD>(options.timeout, kSettleMs), [&] {
        HWND focus = FocusInside(window);
        return focus && (!control || focus == control || IsChild(control, focus));
    });
    // One stroke at a time: a key such as {TAB} moves the focus that the next stroke goes to.
    for (const KeyStroke& stroke : *strokes) {
        PostKey(FocusedIn(window), stroke);
        Settle(window);
    }
    return kExitOk;
}

// "ctrl+alt+Z": modifiers by name, then one letter or digit.
std::optional<std::vector<WORD>> ParseChord(const std::wstring& text) {
    std::vector<WORD> keys;
    std::size_t start = 0;
    for (;;) {
        const std::size_t plus = text.find(L'+', start);
        const std::wstring part =
            text.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start);
        if (part == L"ctrl") {
            keys.push_back(VK_CONTROL);
        } else if (part == L"alt") {
            keys.push_back(VK_MENU);
        } else if (part == L"shift") {
            keys.push_back(VK_SHIFT);
        } else if (part.size() == 1 && std::iswalnum(part[0]) && plus == std::wstring::npos) {
            keys.push_back(static_cast<WORD>(std::towupper(part[0])));
        } else {
            return std::nullopt;
        }
        if (plus == std::wstring::npos) {
            return keys;
        }
        start = plus + 1;
    }
}

// Hot keys are one per chord and desktop: the driver's own registration fails
// exactly when another window holds the chord.
int HotKey(const Options& options) {
    std::optional<std::vector<WORD>> keys = ParseChord(*options.keys);
    if (!keys) {
        return UsageError(L"cannot read the chord \"" + *options.keys + L"\"");
    }
    UINT modifiers = MOD_NOREPEAT;
    for (std::size_t i = 0; i + 1 < keys->size(); ++i) {
        modifiers |= (*keys)[i] == VK_CONTROL ? MOD_CONTROL : (*keys)[i] == VK_MENU ? MOD_ALT : MOD_SHIFT;
    }
    constexpr int kProbeId = 0xBEEF;
    if (RegisterHotKey(nullptr, kProbeId, modifiers, keys->back())) {
        UnregisterHotKey(nullptr, kProbeId);
        Write(stdout, L"free\n");
    } else {
        Write(stdout, L"taken\n");
    }
    return kExitOk;
}

int Rect(const Options& options) {
    HWND hwnd = nullptr;
    if (options.id) {
        std::wstring error;
        Target target = FindTarget(options, error);
        if (!target) {
            return Fail(error);
        }
        hwnd = target.control;
    } else {
        hwnd = PollFor(options.timeout, [&] { return FindVisible(options); });
        if (!hwnd) {
            return Fail(L"no " + Describe(options) + After(options.timeout));
        }
    }
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    // A window drawn from a bitmap may end inside its rectangle; what shows is its shape.
    RECT shape{};
    if (GetWindowRgnBox(hwnd, &shape) != ERROR && !IsRectEmpty(&shape)) {
        OffsetRect(&shape, rect.left, rect.top);
        IntersectRect(&rect, &rect, &shape);
    }
    Write(stdout, std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
                      std::to_wstring(rect.right) + L" " + std::to_wstring(rect.bottom) + L"\n");
    return kExitOk;
}

// Moves the window as a drag would end: its thread gets the position change and WM_MOVE.
int Move(const Options& options) {
    HWND hwnd = PollFor(options.timeout, [&] { return FindVisible(options); });
    if (!hwnd) {
        return Fail(L"no " + Describe(options) + After(options.timeout));
    }
    if (!SetWindowPos(hwnd, nullptr, *options.x, *options.y, 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
        return Fail(L"cannot move the " + Describe(options));
    }
    Settle(hwnd);
    return kExitOk;
}

int Owner(const Options& options) {
    HWND hwnd = PollFor(options.timeout, [&] { return FindVisible(options); });
    if (!hwnd) {
        return Fail(L"no " + Describe(options) + After(options.timeout));
    }
    HWND owner = GetWindow(hwnd, GW_OWNER);
    Write(stdout, (owner ? Escaped(TitleOf(owner)) : std::wstring()) + L"\n");
    return kExitOk;
}

// Stands for another running copy that holds a name: the name exists until the time-out or until
// the driver is killed. "held" tells the caller that the name is in place.
int HoldMutex(const Options& options) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, options.name->c_str());
    if (!mutex) {
        return Fail(L"cannot create the mutex " + *options.name);
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return Fail(L"the mutex " + *options.name + L" exists already");
    }
    Write(stdout, L"held\n");
    Sleep(options.timeout);
    CloseHandle(mutex);
    return kExitOk;
}

// The process ids of the running programs whose file name is exe (any case).
std::vector<DWORD> ProcessesNamed(const std::wstring& exe) {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return ids;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, exe.c_str()) == 0) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return ids;
}

// A visible top-level window of one of the processes that matches the options, or null.
HWND VisibleWindowOf(const std::vector<DWORD>& processes, const Options& options) {
    for (HWND hwnd : TopLevelWindows()) {
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        bool ours = false;
        for (DWORD id : processes) {
            ours = ours || id == process;
        }
        if (ours && IsWindowVisible(hwnd) && Matches(hwnd, options)) {
            return hwnd;
        }
    }
    return nullptr;
}

// Watches a program from its start to its end at a short interval: a window that shows for a
// moment between two polls of "list" is still caught.
int Never(const Options& options) {
    constexpr DWORD kWatchPollMs = 5;
    ULONGLONG deadline = GetTickCount64() + options.timeout;
    Write(stdout, L"watching\n");
    std::vector<DWORD> processes;
    while (processes.empty()) {
        if (GetTickCount64() >= deadline) {
            return Fail(L"no program " + *options.whileProgram + L" started" + After(options.timeout));
        }
        processes = ProcessesNamed(*options.whileProgram);
        Sleep(kWatchPollMs);
    }
    for (;;) {
        if (HWND shown = VisibleWindowOf(processes, options)) {
            return Fail(*options.whileProgram + L" showed a window: " + ClassOf(shown) + L" \"" +
                        Escaped(TitleOf(shown)) + L"\"");
        }
        if (ProcessesNamed(*options.whileProgram).empty()) {
            return kExitOk;
        }
        if (GetTickCount64() >= deadline) {
            return Fail(*options.whileProgram + L" still running" + After(options.timeout));
        }
        Sleep(kWatchPollMs);
    }
}

int Close(const Options& options) {
    HWND hwnd = PollFor(options.timeout, [&] { return FindVisible(options); });
    if (!hwnd) {
        return Fail(L"no " + Describe(options) + After(options.timeout));
    }
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    Settle(hwnd);
    return kExitOk;
}

// Sends the window a message and prints its answer;
// fails when the window's thread does not answer within the time-out.
int Send(const Options& options) {
    HWND hwnd = PollFor(options.timeout, [&] { return FindVisible(options); });
    if (!hwnd) {
        return Fail(L"no " + Describe(options) + After(options.timeout));
    }
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(hwnd, static_cast<UINT>(*options.message), static_cast<WPARAM>(options.wParam),
                             static_cast<LPARAM>(options.lParam), SMTO_ABORTIFHUNG, options.timeout,
                             &answer)) {
        return Fail(L"no answer from " + Describe(options) + After(options.timeout));
    }
    Write(stdout, std::to_wstring(answer) + L"\n");
    return kExitOk;
}

int Activate(const Options& options) {
    HWND hwnd = PollFor(options.timeout, [&] { return FindVisible(options); });
    if (!hwnd) {
        return Fail(L"no " + Describe(options) + After(options.timeout));
    }
    return SetForegroundWindow(hwnd) ? kExitOk : Fail(L"the window did not come to the foreground");
}

int Foreground() {
    Write(stdout, Hex(GetForegroundWindow()) + L"\n");
    return kExitOk;
}

ULONGLONG EpochMs() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr ULONGLONG kEpochTicks = 116444736000000000ULL; // 1601 to 1970 in 100 ns
    return (ticks - kEpochTicks) / 10000;
}

// Watches a window's thread: every answer to WM_NULL is timed, one that takes longer than the limit
// is counted as missed. A line a second, so that a caller can tell which stretch of time was slow.
int Ping(const Options& options) {
    HWND hwnd = PollFor(options.timeout, [&] { return FindVisible(options); });
    if (!hwnd || !IsWindow(hwnd)) {
        return Fail(L"no window to ping");
    }
    Write(stdout, L"pinging\n");
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    const ULONGLONG deadline = GetTickCount64() + options.timeout;
    ULONGLONG lineDue = GetTickCount64() + 1000;
    unsigned answered = 0, missed = 0;
    double slowest = 0;
    auto flush = [&] {
        Write(stdout, std::to_wstring(EpochMs()) + L"\t" + std::to_wstring(answered) + L"\t" +
                          std::to_wstring(static_cast<unsigned>(slowest)) + L"\t" + std::to_wstring(missed) +
                          L"\n");
        answered = missed = 0;
        slowest = 0;
    };
    for (;;) {
        LARGE_INTEGER start{}, end{};
        QueryPerformanceCounter(&start);
        DWORD_PTR ignored = 0;
        const bool ok = SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL,
                                            static_cast<UINT>(options.limit), &ignored) != 0;
        QueryPerformanceCounter(&end);
        if (!IsWindow(hwnd)) {
            break;
        }
        const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        if (ok && ms <= options.limit) {
            ++answered;
        } else {
            ++missed;
        }
        slowest = std::max(slowest, ms);
        if (GetTickCount64() >= lineDue) {
            flush();
            lineDue += 1000;
        }
        if (GetTickCount64() >= deadline) {
            break;
        }
        Sleep(static_cast<DWORD>(options.every));
    }
    flush();
    return kExitOk;
}

// A visible matching window with a visible control whose text is the given one, or null.
HWND FindSaying(const Options& options) {
    for (HWND hwnd : TopLevelWindows()) {
        if (!IsWindowVisible(hwnd) || !Matches(hwnd, options)) {
            continue;
        }
        for (HWND child : Descendants(hwnd)) {
            if (IsWindowVisible(child) && ControlText(child) == *options.text) {
                return hwnd;
            }
        }
    }
    return nullptr;
}

// Closes a stream of boxes at the pace the program opens them: one driver run for them all.
int Dismiss(const Options& options) {
    long dismissed = 0;
    while (!options.count || dismissed < *options.count) {
        HWND box = PollFor(options.timeout, [&] { return FindSaying(options); });
        if (!box) {
            break;
        }
        Options button = options;
        button.text.reset();
        HWND control = FindControl(box, button);
        if (!control) {
            return Fail(L"no visible " + DescribeControl(button) + L" in a box saying \"" + *options.text +
                        L"\"");
        }
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
        if (!PollFor(options.timeout, [&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
            return Fail(L"a box saying \"" + *options.text + L"\" stayed" + After(options.timeout));
        }
        ++dismissed;
    }
    Write(stdout, std::to_wstring(dismissed) + L"\n");
    return kExitOk;
}

int List() {
    std::wstring out;
    for (HWND hwnd : TopLevelWindows()) {
        out += Hex(hwnd) + L"\t" + ClassOf(hwnd) + L"\t" + Escaped(TitleOf(hwnd)) + L"\t" +
               (IsWindowVisible(hwnd) ? L"1" : L"0") + L"\n";
    }
    Write(stdout, out);
    return kExitOk;
}

std::optional<long> Number(const wchar_t* text) {
    wchar_t* end = nullptr;
    long value = wcstol(text, &end, 0);
    if (end == text || *end != L'\0' || value < 0) {
        return std::nullopt;
    }
    return value;
}

// Reads "COMMAND --name value ..."; an empty error text means success.
std::wstring ParseArguments(int argc, wchar_t** argv, Options& options) {
    if (argc < 2) {
        return L"no command";
    }
    options.command = argv[1];
    for (int i = 2; i < argc; i += 2) {
        std::wstring name = argv[i];
        if (i + 1 >= argc) {
            return name + L" needs a value";
        }
        const wchar_t* value = argv[i + 1];
        if (name == L"--title") {
            options.title = value;
        } else if (name == L"--class") {
            options.className = value;
        } else if (name == L"--text") {
            options.text = value;
        } else if (name == L"--keys") {
            options.keys = value;
        } else if (name == L"--hidden") {
            options.hidden = std::wcscmp(value, L"0") != 0;
        } else if (name == L"--name") {
            options.name = value;
        } else if (name == L"--while") {
            options.whileProgram = value;
        } else if (name == L"--id" || name == L"--timeout" || name == L"--x" || name == L"--y" ||
                   name == L"--message" || name == L"--wparam" || name == L"--lparam" ||
                   name == L"--handle" || name == L"--every" || name == L"--limit" || name == L"--count") {
            std::optional<long> number = Number(value);
            if (!number) {
                return name + L" needs a number";
            }
            if (name == L"--id") {
                options.id = static_cast<int>(*number);
            } else if (name == L"--x") {
                options.x = static_cast<int>(*number);
            } else if (name == L"--y") {
                options.y = static_cast<int>(*number);
            } else if (name == L"--message") {
                options.message = static_cast<int>(*number);
            } else if (name == L"--wparam") {
                options.wParam = *number;
            } else if (name == L"--lparam") {
                options.lParam = *number;
            } else if (name == L"--handle") {
                options.handle = *number;
            } else if (name == L"--every") {
                options.every = *number;
            } else if (name == L"--limit") {
                options.limit = *number;
            } else if (name == L"--count") {
                options.count = *number;
            } else {
                options.timeout = static_cast<DWORD>(*number);
            }
        } else {
            return L"unknown option " + name;
        }
    }
    return {};
}

int Run(const Options& options) {
    const std::wstring& command = options.command;
    if (command == L"list") {
        return List();
    }
    if (command == L"foreground") {
        return Foreground();
    }
    if (command == L"hold-mutex") {
        if (!options.name) {
            return UsageError(L"hold-mutex needs --name");
        }
        return HoldMutex(options);
    }
    if (command == L"never") {
        if (!options.whileProgram) {
            return UsageError(L"never needs --while");
        }
        return Never(options);
    }
    bool named = options.title || options.className || options.handle;
    if (command == L"activate") {
        if (!named) {
            return UsageError(L"activate needs --title or --class");
        }
        return Activate(options);
    }
    if (command == L"wait" || command == L"gone" || command == L"texts" || command == L"close" ||
        command == L"rect" || command == L"owner") {
        if (!named) {
            return UsageError(command + L" needs --title or --class");
        }
        return command == L"wait"    ? Wait(options)
               : command == L"gone"  ? Gone(options)
               : command == L"texts" ? Texts(options)
               : command == L"rect"  ? Rect(options)
               : command == L"owner" ? Owner(options)
                                     : Close(options);
    }
    if (command == L"click" || command == L"press") {
        if (!named || options.id.has_value() == options.text.has_value()) {
            return UsageError(command + L" needs --title or --class, and one of --id and --text");
        }
        return command == L"click" ? Click(options) : Press(options);
    }
    if (command == L"check" || command == L"focus") {
        if (!named || !options.id) {
            return UsageError(command + L" needs --title or --class, and --id");
        }
        if (command == L"check") {
            return Check(options);
        }
        Options focus = options;
        focus.keys = L"";
        return Keys(focus);
    }
    if (command == L"dismiss") {
        if (!named || !options.text || !options.id) {
            return UsageError(L"dismiss needs --title or --class, --text and --id");
        }
        return Dismiss(options);
    }
    if (command == L"ping") {
        if (!named) {
            return UsageError(L"ping needs --title, --class or --handle");
        }
        return Ping(options);
    }
    if (command == L"send") {
        if (!named || !options.message) {
            return UsageError(L"send needs --title or --class, and --message");
        }
        return Send(options);
    }
    if (command == L"move") {
        if (!named || !options.x || !options.y) {
            return UsageError(L"move needs --title or --class, --x and --y");
        }
        return Move(options);
    }
    if (command == L"hotkey") {
        if (!options.keys) {
            return UsageError(L"hotkey needs --keys");
        }
        return HotKey(options);
    }
    if (command == L"keys") {
        if (!named || !options.keys) {
            return UsageError(L"keys needs --title or --class, and --keys");
        }
        return Keys(options);
    }
    return UsageError(L"unknown command " + command);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (argc >= 2 && std::wcscmp(argv[1], L"serve") == 0) {
        Options options;
        std::wstring error = ParseArguments(argc, argv, options);
        if (!error.empty()) {
            return UsageError(error);
        }
        g_serving = true;
        return uidriver::Serve(options.timeout, [](const std::vector<std::wstring>& fields) {
            std::vector<wchar_t*> args{const_cast<wchar_t*>(L"uidriver")};
            for (const std::wstring& field : fields) {
                args.push_back(const_cast<wchar_t*>(field.c_str()));
            }
            Options options;
            std::wstring error = ParseArguments(static_cast<int>(args.size()), args.data(), options);
            if (!error.empty()) {
                return UsageError(error);
            }
            // One driver does not serve another.
            if (options.command == L"serve") {
                return UsageError(L"serve inside serve");
            }
            return Run(options);
        });
    }
    Options options;
    std::wstring error = ParseArguments(argc, argv, options);
    if (!error.empty()) {
        return UsageError(error);
    }
    return Run(options);
}
