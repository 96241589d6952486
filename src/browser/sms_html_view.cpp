#include "browser/sms_html_view.h"

#include "browser/browser_resource.h"
#include "framework/handles.h"
#include "protocol/index_page.h"

#include <mshtmcid.h>

#include <iterator>
#include <new>
#include <utility>

namespace {

constexpr wchar_t kNoScriptText[] = L"函数GetJScrip调用失败！";
constexpr wchar_t kNoSystemText[] = L"FormatMessage Netive Error";
constexpr wchar_t kInvokeWebserverName[] = L"InvokeWebserver";
constexpr DISPID kInvokeWebserverId = 1;

// The page menu's items, the edit commands the browser reports on, and the
// commands the browser's window takes for them.
struct CEditItem {
    UINT menuId;
    OLECMDID queried;
    WPARAM browserCommand;
};
constexpr CEditItem kEditItems[] = {
    {ID_PAGE_CUT, OLECMDID_CUT, IDM_CUT},
    {ID_PAGE_COPY, OLECMDID_COPY, IDM_COPY},
    {ID_PAGE_PASTE, OLECMDID_PASTE, IDM_PASTE},
};

// DISPPARAMS arguments, cleared when they go.
class CVariantArgs {
public:
    explicit CVariantArgs(size_t count) : m_values(count) {
        for (VARIANT& value : m_values) {
            VariantInit(&value);
        }
    }
    CVariantArgs(const CVariantArgs&) = delete;
    CVariantArgs& operator=(const CVariantArgs&) = delete;
    ~CVariantArgs() {
        for (VARIANT& value : m_values) {
            VariantClear(&value);
        }
    }
    VARIANT* Data() { return m_values.empty() ? nullptr : m_values.data(); }
    VARIANT& operator[](size_t i) { return m_values[i]; }

private:
    std::vector<VARIANT> m_values;
};

void FreeException(EXCEPINFO& exception) {
    unique_bstr source(exception.bstrSource);
    unique_bstr description(exception.bstrDescription);
    unique_bstr helpFile(exception.bstrHelpFile);
}

std::wstring FromBstr(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

} // namespace

std::wstring SystemErrorText(HRESULT code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT),
        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : kNoSystemText;
    if (buffer) {
        LocalFree(buffer);
    }
    return text;
}

bool SMSHtmlView::CallScript(const std::wstring& name, const std::vector<std::wstring>& args,
                             VARIANT* result) {
    com_ptr<IDispatch> script;
    if (!GetDocument() || FAILED(GetDocument()->get_Script(script.put())) || !script) {
        ShowError(kNoScriptText);
        return false;
    }
    HRESULT hr = E_OUTOFMEMORY;
    try {
        std::wstring member = name;
        LPOLESTR names[] = {member.data()};
        DISPID id = DISPID_UNKNOWN;
        hr = script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
        if (SUCCEEDED(hr)) {
            // Last argument first, so the script sees args[0] as its first.
            CVariantArgs values(args.size());
            for (size_t i = 0; i < args.size() && SUCCEEDED(hr); ++i) {
                VARIANT& value = values[args.size() - 1 - i];
                value.bstrVal = MakeBstr(args[i]).release();
                value.vt = VT_BSTR;
                if (!value.bstrVal) {
                    hr = E_OUTOFMEMORY;
                }
            }
            if (SUCCEEDED(hr)) {
                DISPPARAMS params{values.Data(), nullptr, static_cast<UINT>(args.size()), 0};
                unique_variant returned;
                EXCEPINFO exception{};
                UINT argError = 0;
                hr = script->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, returned.get(), &exception,
                                    &argError);
                FreeException(exception);
                if (SUCCEEDED(hr) && result) {
                    VariantClear(result);
                    *result = returned.release();
                }
            }
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        ShowError(SystemErrorText(hr));
        return false;
    }
    return true;
}

void SMSHtmlView::SetAppServer(const std::wstring& appServer) {
    m_appServer = appServer;
    SetTrustedOrigin(appServer);
}

void SMSHtmlView::OnInvokeWebserver(const std::wstring& command, const std::wstring& data) {
    // A copy: the handler may set another while it runs.
    if (PageCallHandler handler = m_pageCallHandler) {
        handler(GetParent(m_hWnd), command, data);
    }
}

UINT SMSHtmlView::TrackPageMenu(HMENU popup, POINT point, HWND owner) {
    return static_cast<UINT>(TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, point.x,
                                            point.y, 0, owner, nullptr));
}

void SMSHtmlView::PreCreateWindow(DWORD& style, DWORD& exStyle) {
    CKivHtmlView::PreCreateWindow(style, exStyle);
    style &= ~WS_BORDER;
    exStyle &= ~WS_EX_CLIENTEDGE;
}

void SMSHtmlView::OnDocumentComplete(const std::wstring& url) {
    if (IsIndexPageUrl(url, m_appServer)) {
        if (HWND wait = FindWindowW(nullptr, kWaitWindowTitle)) {
            DestroyWindow(wait);
        }
        SendMessageW(GetParent(m_hWnd), kStartSessionMessage, 0, 0);
    }
    CKivHtmlView::OnDocumentComplete(url);
}

HRESULT SMSHtmlView::OnOwnContextMenu(DWORD, POINT* point, IUnknown* commandTarget, IDispatch*) {
    // The program's menu 133; without it there is nothing to show.
    unique_hmenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_PAGE_MENU)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup) {
        return S_OK;
    }
    OLECMD states[std::size(kEditItems)]{};
    for (size_t i = 0; i < std::size(kEditItems); ++i) {
        states[i].cmdID = kEditItems[i].queried;
    }
    com_ptr<IOleCommandTarget> target;
    if (commandTarget) {
        commandTarget->QueryInterface(IID_IOleCommandTarget, reinterpret_cast<void**>(target.put()));
    }
    if (!target || FAILED(target->QueryStatus(nullptr, std::size(states), states, nullptr))) {
        for (OLECMD& state : states) {
            state.cmdf = 0;
        }
    }
    for (size_t i = 0; i < std::size(kEditItems); ++i) {
        EnableMenuItem(popup, kEditItems[i].menuId,
                       MF_BYCOMMAND | ((states[i].cmdf & OLECMDF_ENABLED) ? MF_ENABLED : MF_GRAYED));
    }

    POINT at{};
    if (point) {
        at = *point;
    } else {
        GetCursorPos(&at);
    }
    HWND owner = GetParent(m_hWnd);
    const UINT chosen = TrackPageMenu(popup, at, owner ? owner : m_hWnd);

    com_ptr<IOleWindow> window;
    if (commandTarget) {
        commandTarget->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(window.put()));
    }
    HWND browserWindow = nullptr;
    for (const CEditItem& item : kEditItems) {
        if (item.menuId == chosen && window && SUCCEEDED(window->GetWindow(&browserWindow)) &&
            browserWindow) {
            SendMessageW(browserWindow, WM_COMMAND, item.browserCommand, 0);
        }
    }
    return S_OK;
}

DISPID SMSHtmlView::GetAutomationId(const std::wstring& name) {
    if (CompareStringOrdinal(name.c_str(), static_cast<int>(name.size()), kInvokeWebserverName, -1, TRUE) ==
        CSTR_EQUAL) {
        return kInvokeWebserverId;
    }
    return CKivHtmlView::GetAutomationId(name);
}

HRESULT SMSHtmlView::InvokeAutomation(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                      UINT* argError) {
    if (id != kInvokeWebserverId) {
        return CKivHtmlView::InvokeAutomation(id, flags, params, result, argError);
    }
    if (!(flags & DISPATCH_METHOD)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (params->cNamedArgs) {
        return DISP_E_NONAMEDARGS;
    }
    if (params->cArgs != 2 || !params->rgvarg) {
        return DISP_E_BADPARAMCOUNT;
    }
    // (command, data), stored last first; a number or the like is taken as its text.
    std::wstring texts[2];
    for (UINT i = 0; i < 2; ++i) {
        const UINT position = 1 - i;
        unique_variant text;
        if (FAILED(VariantChangeType(text.get(), &params->rgvarg[position], 0, VT_BSTR))) {
            if (argError) {
                *argError = position;
            }
            return DISP_E_TYPEMISMATCH;
        }
        texts[i] = FromBstr(text->bstrVal);
    }
    OnInvokeWebserver(texts[0], texts[1]);
    return S_OK;
}
