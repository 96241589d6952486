#include "session/tray_icon.h"

#include "framework/handles.h"
#include "session/notice_resource.h"

#include <cwchar>
#include <iterator>

static_assert(CTrayIcon::kIconId == IDR_TRAY_MENU, "the icon and its menu share the number");

namespace {

constexpr wchar_t kTip[] = L"Velmarin";

// The tray menu of the program's own resources (menus are not in res.dll).
unique_hmenu LoadTrayMenu() {
    return unique_hmenu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU)));
}

} // namespace

CTrayIcon::~CTrayIcon() {
    Remove();
}

bool CTrayIcon::Create(HWND owner, HICON icon) {
    // The shell's icon record needs system version 4; every Windows this
    // program builds for (_WIN32_WINNT) is far past it, so no run-time check.
    static_assert(_WIN32_WINNT >= 0x0400);
    std::lock_guard lock(m_lock);
    if (m_enabled) {
        m_data.uFlags = 0;
        Shell_NotifyIconW(NIM_DELETE, &m_data);
    }
    m_enabled = false;
    m_wanted = false;
    if (!owner || !IsWindow(owner)) {
        return false;
    }
    m_data = {};
    m_data.cbSize = sizeof(m_data);
    m_data.hWnd = owner;
    m_data.uID = kIconId;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.uCallbackMessage = kCallbackMessage;
    m_data.hIcon = icon;
    wcsncpy(m_data.szTip, kTip, std::size(m_data.szTip) - 1);
    m_wanted = true;
    m_enabled = Shell_NotifyIconW(NIM_ADD, &m_data) != FALSE;
    return m_enabled;
}

bool CTrayIcon::SetIcon(HICON icon) {
    std::lock_guard lock(m_lock);
    if (!m_enabled) {
        return false;
    }
    m_data.uFlags = NIF_ICON;
    m_data.hIcon = icon;
    return Shell_NotifyIconW(NIM_MODIFY, &m_data) != FALSE;
}

HICON CTrayIcon::CurrentIcon() const {
    std::lock_guard lock(m_lock);
    return m_data.hIcon;
}

bool CTrayIcon::IsEnabled() const {
    std::lock_guard lock(m_lock);
    return m_enabled;
}

void CTrayIcon::Remove() {
    std::lock_guard lock(m_lock);
    m_wanted = false;
    if (!m_enabled) {
        return;
    }
    m_data.uFlags = 0;
    Shell_NotifyIconW(NIM_DELETE, &m_data);
    m_enabled = false;
}

bool CTrayIcon::Restore() {
    std::lock_guard lock(m_lock);
    if (!m_wanted || !IsWindow(m_data.hWnd)) {
        return false;
    }
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    // "TaskbarCreated" also comes when the shell still has the icon.
    m_enabled =
        Shell_NotifyIconW(NIM_ADD, &m_data) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &m_data) != FALSE;
    return m_enabled;
}

LRESULT CTrayIcon::OnTrayNotification(WPARAM wParam, LPARAM lParam) {
    if (wParam != kIconId) {
        return 0;
    }
    HWND owner = nullptr;
    {
        std::lock_guard lock(m_lock);
        owner = m_data.hWnd;
    }
    // Outside the lock: the menu's loop and the owner's command handler may
    // well call SetIcon.
    switch (LOWORD(lParam)) {
    case WM_RBUTTONUP:
        ShowMenu(owner);
        break;
    case WM_LBUTTONDBLCLK:
        SendShowCommand(owner);
        break;
    default:
        break;
    }
    return 1;
}

void CTrayIcon::ShowMenu(HWND owner) {
    unique_hmenu menu = LoadTrayMenu();
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup || !owner) {
        return;
    }
    SetMenuDefaultItem(popup, 0, TRUE);
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without the owner in the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(owner);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, owner, nullptr);
    // Lets the owner's queue move on, so the next right click opens the menu again.
    PostMessageW(owner, WM_NULL, 0, 0);
}

void CTrayIcon::SendShowCommand(HWND owner) {
    unique_hmenu menu = LoadTrayMenu();
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup || !owner) {
        return;
    }
    SetForegroundWindow(owner);
    SendMessageW(owner, WM_COMMAND, MAKEWPARAM(GetMenuItemID(popup, 0), 0), 0);
}
