#include "browser/page_caller.h"

#include <mshtmdid.h>
#include <mshtml.h>

namespace {

// A property read as a script would, into value.
bool GetProperty(IDispatch* object, DISPID id, unique_variant& value) {
    if (!object) {
        return false;
    }
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                    value.put(), nullptr, nullptr));
}

com_ptr<IDispatch> DispatchProperty(IDispatch* object, DISPID id) {
    unique_variant value;
    if (GetProperty(object, id, value) && value->vt == VT_DISPATCH) {
        return com_ptr<IDispatch>::copy_from(value->pdispVal);
    }
    return {};
}

} // namespace

bool DocumentUrl(IDispatch* document, std::wstring& url) {
    unique_variant value;
    const bool read = GetProperty(document, DISPID_IHTMLDOCUMENT2_URL, value) && value->vt == VT_BSTR;
    if (read) {
        url.assign(value->bstrVal ? value->bstrVal : L"", SysStringLen(value->bstrVal));
    }
    return read;
}

bool FramesAllOf(IDispatch* document, const std::function<bool(const std::wstring&)>& trusted, int depth) {
    // Deeper nesting or more frames than a real page holds are refused, not walked.
    constexpr int kMaxDepth = 4;
    constexpr long kMaxFrames = 64;
    com_ptr<IDispatch> frames = DispatchProperty(document, DISPID_IHTMLDOCUMENT2_FRAMES);
    unique_variant value;
    const bool read =
        GetProperty(frames.get(), DISPID_IHTMLFRAMESCOLLECTION2_LENGTH, value) && value->vt == VT_I4;
    const long count = read ? value->lVal : -1;
    if (count < 0 || count > kMaxFrames || (count > 0 && depth >= kMaxDepth)) {
        return false;
    }
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        DISPPARAMS params{&index, nullptr, 1, 0};
        unique_variant item;
        com_ptr<IDispatch> window;
        if (SUCCEEDED(frames->Invoke(DISPID_IHTMLFRAMESCOLLECTION2_ITEM, IID_NULL, LOCALE_USER_DEFAULT,
                                     DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, item.get(), nullptr,
                                     nullptr)) &&
            item->vt == VT_DISPATCH) {
            window = com_ptr<IDispatch>::copy_from(item->pdispVal);
        }
        com_ptr<IDispatch> frameDocument = DispatchProperty(window.get(), DISPID_IHTMLWINDOW2_DOCUMENT);
        std::wstring url;
        if (!DocumentUrl(frameDocument.get(), url) || !trusted(url) ||
            !FramesAllOf(frameDocument.get(), trusted, depth + 1)) {
            return false;
        }
    }
    return true;
}

com_ptr<IDispatch> CallerWindow(IServiceProvider* caller) {
    com_ptr<IDispatch> window;
    if (!caller || FAILED(caller->QueryService(SID_SHTMLWindow, IID_IDispatch,
                                               reinterpret_cast<void**>(window.put())))) {
        window.reset();
    }
    return window;
}

bool WindowDocumentUrl(IDispatch* window, std::wstring& url) {
    com_ptr<IDispatch> document = DispatchProperty(window, DISPID_IHTMLWINDOW2_DOCUMENT);
    return DocumentUrl(document.get(), url);
}
