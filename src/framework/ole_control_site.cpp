#include "framework/ole_control_site.h"

#include <ocidl.h>

#include <utility>

COleControlSite::~COleControlSite() = default;

HRESULT COleControlSite::CreateControl(REFCLSID clsid, const RECT& rect) {
    if (!m_host || m_object) {
        return E_UNEXPECTED;
    }
    m_rect = rect;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(m_object.put()));
    if (FAILED(hr) || !m_object) {
        m_object.reset();
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    // Hold this site across the control's calls back into it.
    const auto hold = Hold();
    DWORD misc = 0;
    m_object->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) {
        hr = m_object->SetClientSite(this);
    }
    if (SUCCEEDED(hr)) {
        if (auto persist = m_object.query<IPersistStreamInit>()) {
            hr = persist->InitNew();
            if (hr == E_NOTIMPL) {
                hr = S_OK;
            }
        }
    }
    if (SUCCEEDED(hr) && !siteFirst) {
        hr = m_object->SetClientSite(this);
    }
    if (SUCCEEDED(hr)) {
        hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_host, &m_rect);
    }
    if (FAILED(hr)) {
        DestroyControl();
    }
    return hr;
}

void COleControlSite::MoveControl(const RECT& rect) {
    m_rect = rect;
    if (m_inPlaceObject) {
        m_inPlaceObject->SetObjectRects(&m_rect, &m_rect);
    }
}

void COleControlSite::DestroyControl() {
    if (!m_object) {
        return;
    }
    const auto hold = Hold();
    com_ptr<IOleObject> object = std::move(m_object);
    // The control calls back OnInPlaceDeactivate, which drops the member.
    if (auto inPlace = com_ptr<IOleInPlaceObject>::copy_from(m_inPlaceObject.get())) {
        inPlace->InPlaceDeactivate();
    }
    m_activeObject.reset();
    m_inPlaceObject.reset();
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    object.reset();
}

void COleControlSite::Detach() {
    DestroyControl();
    m_host = nullptr;
}

HWND COleControlSite::GetControlWindow() const {
    HWND window = nullptr;
    if (!m_inPlaceObject || FAILED(m_inPlaceObject->GetWindow(&window))) {
        return nullptr;
    }
    return window;
}

bool COleControlSite::ForwardKeyMessage(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !m_activeObject) {
        return false;
    }
    auto active = com_ptr<IOleInPlaceActiveObject>::copy_from(m_activeObject.get());
    return active->TranslateAccelerator(&msg) == S_OK;
}

STDMETHODIMP COleControlSite::SaveObject() {
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) {
        *moniker = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::GetContainer(IOleContainer** container) {
    if (!container) {
        return E_POINTER;
    }
    *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP COleControlSite::ShowObject() {
    return m_host ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP COleControlSite::OnShowWindow(BOOL) {
    return S_OK;
}

STDMETHODIMP COleControlSite::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::GetWindow(HWND* window) {
    if (!window) {
        return E_POINTER;
    }
    *window = m_host;
    return m_host ? S_OK : E_FAIL;
}

STDMETHODIMP COleControlSite::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::CanInPlaceActivate() {
    return m_host ? S_OK : S_FALSE;
}

STDMETHODIMP COleControlSite::OnInPlaceActivate() {
    if (!m_host || !m_object) {
        return E_UNEXPECTED;
    }
    m_inPlaceObject = m_object.query<IOleInPlaceObject>();
    return m_inPlaceObject ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP COleControlSite::OnUIActivate() {
    return m_host ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP COleControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               RECT* position, RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) {
    if (frame) {
        *frame = nullptr;
    }
    if (document) {
        *document = nullptr;
    }
    if (!frame || !document || !position || !clip || !frameInfo) {
        return E_POINTER;
    }
    if (!m_host) {
        return E_UNEXPECTED;
    }
    CopyComOut(static_cast<IOleInPlaceFrame*>(this), frame);
    *position = m_rect;
    *clip = m_rect;
    // cb is the caller's size of the structure: fill no more than it has.
    if (frameInfo->cb >= sizeof(OLEINPLACEFRAMEINFO)) {
        frameInfo->fMDIApp = FALSE;
        frameInfo->hwndFrame = GetAncestor(m_host, GA_ROOT);
        frameInfo->haccel = nullptr;
        frameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP COleControlSite::Scroll(SIZE) {
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::OnUIDeactivate(BOOL) {
    m_activeObject.reset();
    return S_OK;
}

STDMETHODIMP COleControlSite::OnInPlaceDeactivate() {
    m_activeObject.reset();
    m_inPlaceObject.reset();
    return S_OK;
}

STDMETHODIMP COleControlSite::DiscardUndoState() {
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::DeactivateAndUndo() {
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::OnPosRectChange(const RECT* position) {
    if (!position) {
        return E_POINTER;
    }
    MoveControl(*position);
    return S_OK;
}

STDMETHODIMP COleControlSite::GetBorder(RECT* border) {
    if (!border) {
        return E_POINTER;
    }
    SetRectEmpty(border);
    return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP COleControlSite::RequestBorderSpace(const BORDERWIDTHS*) {
    return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP COleControlSite::SetBorderSpace(const BORDERWIDTHS* widths) {
    // Null asks for no tools at all, which is all this frame can give.
    return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
}

STDMETHODIMP COleControlSite::SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) {
    m_activeObject = com_ptr<IOleInPlaceActiveObject>::copy_from(m_host ? active : nullptr);
    return S_OK;
}

STDMETHODIMP COleControlSite::InsertMenus(HMENU, OLEMENUGROUPWIDTHS* widths) {
    if (widths) {
        for (LONG& width : widths->width) {
            width = 0;
        }
    }
    return S_OK;
}

STDMETHODIMP COleControlSite::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}

STDMETHODIMP COleControlSite::RemoveMenus(HMENU) {
    return S_OK;
}

STDMETHODIMP COleControlSite::SetStatusText(LPCOLESTR) {
    return S_OK;
}

STDMETHODIMP COleControlSite::EnableModeless(BOOL) {
    return S_OK;
}
