#pragma once
#include "framework/handles.h"

#include <gdiplus.h>

// The token of one GDI+ session; GdiplusShutdown when it goes.
using unique_gdiplus_token = unique_any<ULONG_PTR, &Gdiplus::GdiplusShutdown>;

// Starts GDI+ with the default start-up input; empty on failure.
[[nodiscard]] inline unique_gdiplus_token GdiplusStartupScoped() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
        return {};
    }
    return unique_gdiplus_token(token);
}

// The program's one GDI+ session, started by the first picture that needs it
// rather than at start-up. True when GDI+ runs; a failed start is tried again.
bool EnsureGdiplusStarted();
// Ends that session, if it started; only once every GDI+ image is gone.
void ShutdownGdiplus();
