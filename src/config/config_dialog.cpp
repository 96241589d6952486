#include "config/config_dialog.h"

#include "config/config_resource.h"
#include "settings/sms_setting.h"

#include <commdlg.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kInputCaption[] = L"参数输入";
constexpr wchar_t kBadKeyText[] = L"热键的按键只能是一个字母（A-Z）或数字（0-9），请重新输入！";
constexpr wchar_t kUnnamedSound[] = L"提示音";
constexpr wchar_t kLabelEnd[] = L"：";
constexpr wchar_t kBrowseTitle[] = L"选择提示音文件";
// Pairs of description and pattern, ended by an empty pair.
constexpr wchar_t kSoundFilter[] = L"声音文件 (*.wav)\0*.wav\0所有文件 (*.*)\0*.*\0";
constexpr DWORD kPathCapacity = 1024;

int SoundNameId(std::size_t index) {
    return IDC_CONFIG_SOUND_NAME1 + static_cast<int>(index);
}
int SoundPathId(std::size_t index) {
    return IDC_CONFIG_SOUND_PATH1 + static_cast<int>(index);
}

std::wstring ItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1);
    GetWindowTextW(item, text.data(), static_cast<int>(text.size()));
    return text.data();
}

bool IsChecked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void SetChecked(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

// One letter or digit; a small letter counts as its capital, which is what
// the hot key registers.
std::optional<char> ParseCodeKey(const std::wstring& text) {
    if (text.size() != 1) {
        return std::nullopt;
    }
    wchar_t key = text.front();
    if (key >= L'a' && key <= L'z') {
        key = static_cast<wchar_t>(key - L'a' + L'A');
    }
    if ((key >= L'A' && key <= L'Z') || (key >= L'0' && key <= L'9')) {
        return static_cast<char>(key);
    }
    return std::nullopt;
}

} // namespace

const DLGTEMPLATE* FindDialogTemplate(HMODULE module, int id) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

CConfigDlg::CConfigDlg(const DLGTEMPLATE* dialogTemplate, CSMSSetting& settings)
    : CDialog(dialogTemplate), m_settings(settings) {}

bool CConfigDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetChecked(m_hWnd, IDC_CONFIG_SOUND_ON, m_settings.isOpen != 0);
    for (std::size_t i = 0; i < kSoundCount; ++i) {
        const std::wstring& name = m_settings.soundName[i];
        const std::wstring label = (name.empty() ? kUnnamedSound + std::to_wstring(i + 1) : name) + kLabelEnd;
        SetDlgItemTextW(m_hWnd, SoundNameId(i), label.c_str());
        SetDlgItemTextW(m_hWnd, SoundPathId(i), m_settings.soundPath[i].c_str());
    }
    SetChecked(m_hWnd, IDC_CONFIG_HOTKEY_ON, m_settings.allowHotKey != 0);
    SetChecked(m_hWnd, IDC_CONFIG_CTRL, m_settings.ctrlKey != 0);
    SetChecked(m_hWnd, IDC_CONFIG_SHIFT, m_settings.shiftKey != 0);
    SetChecked(m_hWnd, IDC_CONFIG_ALT, m_settings.altKey != 0);
    // A byte that is no visible ASCII character shows as an empty key to re-enter.
    const char key = m_settings.codeKey;
    const wchar_t keyText[] = {key > ' ' && key < 0x7f ? static_cast<wchar_t>(key) : L'\0', L'\0'};
    SetDlgItemTextW(m_hWnd, IDC_CONFIG_CODEKEY, keyText);
    SendDlgItemMessageW(m_hWnd, IDC_CONFIG_CODEKEY, EM_LIMITTEXT, 1, 0);
    SetChecked(m_hWnd, IDC_CONFIG_AUTOLOGIN, m_settings.autoLogin != 0);
    return true;
}

void CConfigDlg::OnOK() {
    const std::optional<char> key = ParseCodeKey(ItemText(m_hWnd, IDC_CONFIG_CODEKEY));
    if (!key) {
        MessageBoxW(m_hWnd, kBadKeyText, kInputCaption, MB_OK | MB_ICONWARNING);
        HWND edit = GetDlgItem(m_hWnd, IDC_CONFIG_CODEKEY);
        SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return;
    }
    m_settings.isOpen = IsChecked(m_hWnd, IDC_CONFIG_SOUND_ON);
    for (std::size_t i = 0; i < kSoundCount; ++i) {
        m_settings.soundPath[i] = ItemText(m_hWnd, SoundPathId(i));
    }
    m_settings.allowHotKey = IsChecked(m_hWnd, IDC_CONFIG_HOTKEY_ON);
    m_settings.ctrlKey = IsChecked(m_hWnd, IDC_CONFIG_CTRL);
    m_settings.shiftKey = IsChecked(m_hWnd, IDC_CONFIG_SHIFT);
    m_settings.altKey = IsChecked(m_hWnd, IDC_CONFIG_ALT);
    m_settings.codeKey = *key;
    m_settings.autoLogin = IsChecked(m_hWnd, IDC_CONFIG_AUTOLOGIN);
    CDialog::OnOK();
}

bool CConfigDlg::OnCommand(int id, int code, HWND control) {
    const int browse = id - IDC_CONFIG_SOUND_BROWSE1;
    if (code == BN_CLICKED && browse >= 0 && browse < static_cast<int>(kSoundCount)) {
        BrowseSound(static_cast<std::size_t>(browse));
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

void CConfigDlg::BrowseSound(std::size_t index) {
    std::vector<wchar_t> file(kPathCapacity, L'\0');
    const std::wstring current = ItemText(m_hWnd, SoundPathId(index));
    if (current.size() < file.size()) {
        current.copy(file.data(), current.size());
    }
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = kSoundFilter;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathCapacity;
    dialog.lpstrTitle = kBrowseTitle;
    // The program opens its theme and data by relative paths: keep its folder.
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    bool chosen = GetOpenFileNameW(&dialog);
    // A path the file dialog cannot start from: start it empty instead.
    if (!chosen && CommDlgExtendedError() != 0) {
        file.assign(kPathCapacity, L'\0');
        chosen = GetOpenFileNameW(&dialog);
    }
    if (chosen) {
        SetDlgItemTextW(m_hWnd, SoundPathId(index), file.data());
    }
}
