#pragma once
// Runs this thread's queue as the program's message loop does, dialog keys
// and pre-translation included, until a condition holds.
#include "framework/window.h"

#include <functional>

// Pumps until done() holds or timeoutMs have passed; returns done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 8000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
            if (CWindow::PreTranslateTree(msg)) {
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Pumps for ms, whatever comes.
inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}
