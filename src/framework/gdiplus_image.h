#pragma once
#include "framework/handles.h"

#include <gdiplus.h>

// A GDI+ image of the flat API, disposed when it goes.
using unique_gpimage = unique_any<Gdiplus::GpImage*, &Gdiplus::DllExports::GdipDisposeImage>;
// A GDI+ drawing surface of the flat API, deleted when it goes.
using unique_gpgraphics = unique_any<Gdiplus::GpGraphics*, &Gdiplus::DllExports::GdipDeleteGraphics>;
