#include "skin/skin_state.h"

#include "skin/skin_button.h"
#include "skin/skin_menu.h"
#include "skin/skin_win.h"

#include "framework/window.h"

#include <cstring>

namespace {

constexpr char kButtonClass[] = "Button";
constexpr int kClassNameBuffer = 100;

} // namespace

CSkinState::CSkinState() {
    // The framework's handle map must outlive the buttons this object owns:
    // making it first makes it go last.
    CWindow::FromHandle(nullptr);
}

CSkinState::~CSkinState() {
    ReleaseSkin();
}

int CSkinState::InitSkin(const char* path) {
    m_themePath = path != nullptr ? path : "";
    return LoadButtonSkin(m_buttonSkin, m_themePath) ? 1 : 0;
}

int CSkinState::InstallDlgSkin(CWindow* dialog) {
    auto frame = std::make_unique<CSkinWin>(m_themePath);
    HWND hwnd = dialog != nullptr ? dialog->GetSafeHwnd() : nullptr;
    if (hwnd == nullptr || !IsWindow(hwnd) || !frame->IsLoaded()) {
        return 0;
    }
    frame->Uninstall();
    frame->Install(hwnd);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    frame->SetStyleBits(style & WS_THICKFRAME, style & WS_MINIMIZEBOX, style & WS_MAXIMIZEBOX);
    LoadMenuSettings(m_themePath);
    SetPropA(hwnd, kSkinMenuProperty, reinterpret_cast<HANDLE>(1));
    m_frames.push_back(std::move(frame));
    return 1;
}

int CSkinState::InstallCtlSkin(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    if (control == nullptr || CWindow::FromHandle(control) != nullptr) {
        return 0;
    }
    char className[kClassNameBuffer] = {};
    GetClassNameA(control, className, kClassNameBuffer);
    if (std::strcmp(className, kButtonClass) != 0) {
        return 1;
    }
    auto button = std::make_unique<CSkinButton>();
    if (!button->Subclass(control)) {
        return 0;
    }
    button->SetSkin(&m_buttonSkin);
    m_controls.emplace(reinterpret_cast<std::uintptr_t>(dialog),
                       ControlEntry{kButtonClass, std::move(button)});
    return 1;
}

int CSkinState::UnstallCtlSkin(HWND dialog) {
    return static_cast<int>(m_controls.erase(reinterpret_cast<std::uintptr_t>(dialog)));
}

void CSkinState::ReleaseSkin() {
    m_frames.clear();
    m_controls.clear();
}

CSkinState& SkinState() {
    static CSkinState registry;
    return registry;
}
