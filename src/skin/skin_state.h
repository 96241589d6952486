#pragma once
// The library's process-wide state behind its five exports: the theme path,
// the shared push-button skin, the frame objects it made and the registry of
// skinned controls (the menus keep their settings and texts beside it, in
// skin_menu.cpp). UI thread only.
#include "skin/button_skin.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CSkinButton;
class CSkinWin;
class CWindow;

// One skinned control, filed under its dialog's handle.
struct ControlEntry {
    std::string className;
    std::unique_ptr<CSkinButton> skin; // owned for class "Button"
};

class CSkinState {
public:
    CSkinState();
    ~CSkinState();
    CSkinState(const CSkinState&) = delete;
    CSkinState& operator=(const CSkinState&) = delete;

    int InitSkin(const char* themePath);
    int InstallDlgSkin(CWindow* dialog);
    int InstallCtlSkin(HWND dialog, int controlId);
    int UnstallCtlSkin(HWND dialog);
    void ReleaseSkin();

    std::size_t FrameCount() const { return m_frames.size(); }
    std::size_t ControlCount() const { return m_controls.size(); }

private:
    std::string m_themePath;
    ButtonSkin m_buttonSkin;
    std::vector<std::unique_ptr<CSkinWin>> m_frames;
    // Dialog handle (as an integer) to its controls, in installation order.
    std::multimap<std::uintptr_t, ControlEntry> m_controls;
};

// The library's one state, made on first use.
CSkinState& SkinState();
