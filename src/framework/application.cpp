#include "framework/application.h"

#include <utility>

namespace {

// Exit code of a program whose InitInstance failed.
constexpr int kFailedStartExitCode = 1;

CApplication* g_application = nullptr;

} // namespace

CApplication::CApplication(std::wstring name) : m_name(std::move(name)) {
    g_application = this;
}

CApplication::~CApplication() {
    if (g_application == this) {
        g_application = nullptr;
    }
}

CApplication* AppInstance() {
    return g_application;
}

int CApplication::Execute() {
    if (InitInstance()) {
        RunMessageLoop();
    } else {
        m_exitCode = kFailedStartExitCode;
    }
    return ExitInstance();
}

bool CApplication::InitInstance() {
    return true;
}

int CApplication::ExitInstance() {
    return m_exitCode;
}

void CApplication::RunMessageLoop() {
    // Start-up may succeed without opening a window: then there is nothing to run.
    if (!m_mainWindow || !IsWindow(m_mainWindow->GetSafeHwnd())) {
        return;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!CWindow::PreTranslateTree(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    m_exitCode = static_cast<int>(msg.wParam);
}

void CApplication::OnWindowDestroyed(CWindow* window) {
    if (window != m_mainWindow) {
        return;
    }
    m_mainWindow = nullptr;
    PostQuitMessage(0);
}

int AppMessageBox(const std::wstring& text, UINT type) {
    CApplication* app = AppInstance();
    CWindow* mainWindow = app ? app->GetMainWindow() : nullptr;
    HWND owner = mainWindow ? mainWindow->GetSafeHwnd() : nullptr;
    return MessageBoxW(owner, text.c_str(), app ? app->GetName().c_str() : nullptr, type);
}

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.rfind(L'\\'));
}
