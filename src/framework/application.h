#pragma once
#include "framework/window.h"

#include <string>

// The process's application object: start-up and shutdown hooks around the
// UI thread's message loop. One exists at a time; AppInstance() finds it.
class CApplication {
public:
    // name: the program's name, the caption of AppMessageBox.
    explicit CApplication(std::wstring name);
    virtual ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // InitInstance, the message loop when it succeeded, then ExitInstance
    // (always); returns ExitInstance's result.
    int Execute();

    const std::wstring& GetName() const { return m_name; }
    // The window whose destruction ends the message loop; borrowed.
    CWindow* GetMainWindow() const { return m_mainWindow; }
    void SetMainWindow(CWindow* window) { m_mainWindow = window; }

    // Called by every window object at its window's last message.
    void OnWindowDestroyed(CWindow* window);

protected:
    // False ends the program without running the message loop.
    virtual bool InitInstance();
    // Runs after the loop, or after InitInstance failed; returns the process exit code.
    virtual int ExitInstance();

private:
    void RunMessageLoop();

    std::wstring m_name;
    CWindow* m_mainWindow = nullptr;
    // The WM_QUIT code, or the failed-start code when InitInstance failed.
    int m_exitCode = 0;
};

// The application object, or null when there is none.
CApplication* AppInstance();

// The framework's standard message box: owned by the main window if there is
// one, captioned with the program's name. Returns MessageBoxW's result.
int AppMessageBox(const std::wstring& text, UINT type = MB_OK);

// The folder of the process's executable, without a trailing "\": where the
// program finds its files whatever the working folder.
std::wstring ProgramFolder();
