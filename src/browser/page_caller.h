#pragma once
// Who is calling the bridge: the URL of the calling document, found through
// the browser's own objects by their dispatch interfaces.
#include "framework/com.h"

#include <oaidl.h>
#include <servprov.h>

#include <functional>
#include <string>

// The window whose script makes a call, from the caller's service provider
// that the script engine hands in; null when the caller names none.
com_ptr<IDispatch> CallerWindow(IServiceProvider* caller);

// The URL of the window's document; false when it cannot be read.
bool WindowDocumentUrl(IDispatch* window, std::wstring& url);

// The document's URL; false when it cannot be read (a foreign frame's, say).
bool DocumentUrl(IDispatch* document, std::wstring& url);

// True when every frame of the document, and every frame within those, holds a
// readable document whose URL trusted accepts; false when any cannot be read.
bool FramesAllOf(IDispatch* document, const std::function<bool(const std::wstring&)>& trusted, int depth = 0);
