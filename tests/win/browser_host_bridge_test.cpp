// The script bridge both ways: the page's window.external as the page calls
// it, CallScript against a fake document, and the document-complete path.
#include "browser/browser_events.h"
#include "browser_host_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace browserhosttest;

namespace {

constexpr DISPID kPutMsgId = 7;
constexpr wchar_t kServer[] = L"http://h:8080";

// A page's script object: knows putMsg and records what reaches it.
class CFakeScript : public CFakeDispatch<IDispatch> {
public:
    std::vector<std::wstring> names;
    LCID nameLocale = 99;
    std::vector<std::vector<std::wstring>> calls; // each call's arguments, the first first
    WORD flags = 0;
    LCID invokeLocale = 99;
    UINT namedArgs = 99;
    HRESULT invokeAnswer = S_OK;

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* asked, UINT, LCID locale, DISPID* ids) override {
        names.push_back(asked[0]);
        nameLocale = locale;
        ids[0] = names.back() == L"putMsg" ? kPutMsgId : DISPID_UNKNOWN;
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID locale, WORD invokeFlags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT*) override {
        if (id != kPutMsgId) {
            return DISP_E_MEMBERNOTFOUND;
        }
        flags = invokeFlags;
        invokeLocale = locale;
        namedArgs = params->cNamedArgs;
        std::vector<std::wstring> args;
        for (UINT i = params->cArgs; i-- > 0;) {
            args.push_back(params->rgvarg[i].vt == VT_BSTR ? FromBstr(params->rgvarg[i].bstrVal) : L"?");
        }
        calls.push_back(args);
        if (FAILED(invokeAnswer)) {
            exception->bstrDescription = SysAllocString(L"the page failed");
            return invokeAnswer;
        }
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(L"done");
        return S_OK;
    }
};

// Invokes id on object with args, the first first; clears them afterwards.
HRESULT Call(IDispatch* object, DISPID id, std::vector<VARIANT> args, WORD flags = DISPATCH_METHOD) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = object->Invoke(id, IID_NULL, 0, flags, &params, &result, nullptr, nullptr);
    for (VARIANT& arg : args) {
        VariantClear(&arg);
    }
    VariantClear(&result);
    return hr;
}

DISPID IdOf(IDispatch* object, const wchar_t* name, HRESULT* answer = nullptr) {
    std::wstring copy = name;
    LPOLESTR names[] = {copy.data()};
    DISPID id = 12345;
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (answer) {
        *answer = hr;
    }
    return id;
}

struct CPageCall {
    HWND parent;
    std::wstring command;
    std::wstring data;
};

class BrowserHostBridge : public CBrowserHostSuite {
protected:
    void SetUp() override {
        CBrowserHostSuite::SetUp();
        ASSERT_TRUE(m_view.Create(WS_CHILD | WS_VISIBLE, ParentArea(), s_parent->Hwnd(), 103));
        // The server's own page, without frames: calls naming no caller are its.
        m_view.SetAppServer(kServer);
        auto* page = new CFakeDocument(nullptr, L"http://h:8080/chat/clientindex.aspx?kptsessionid=S1");
        ASSERT_TRUE(m_view.SetDocument(static_cast<IHTMLDocument*>(page)));
        page->Release();
        m_view.SetPageCallHandler(
            [this](HWND parentWindow, const std::wstring& command, const std::wstring& data) {
                m_pageCalls.push_back({parentWindow, command, data});
            });
    }
    com_ptr<IDispatch> External(CKivHtmlView& from) {
        auto handler = com_ptr<IOleClientSite>::copy_from(from.GetControlSite()).query<IDocHostUIHandler>();
        com_ptr<IDispatch> external;
        EXPECT_EQ(handler->GetExternal(external.put()), S_OK);
        return external;
    }

    CTestView m_view;
    std::vector<CPageCall> m_pageCalls;
};

TEST_F(BrowserHostBridge, PageCallsReachTheHandlerWithTheParentAndTheExactStrings) {
    auto external = External(m_view);
    ASSERT_TRUE(external);
    HRESULT answer = E_FAIL;
    const DISPID id = IdOf(external.get(), L"InvokeWebserver", &answer);
    ASSERT_EQ(answer, S_OK);
    EXPECT_EQ(IdOf(external.get(), L"invokewebserver"), id);

    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"1003", L"type=1&to=13800000000&text=你好"},
        {L"1004", L""},
        {L"", std::wstring(L"a\0b", 3)},
    };
    for (const auto& [command, data] : cases) {
        m_pageCalls.clear();
        EXPECT_EQ(Call(external.get(), id, {Text(command), Text(data)}), S_OK);
        ASSERT_EQ(m_pageCalls.size(), 1u);
        EXPECT_EQ(m_pageCalls[0].parent, s_parent->Hwnd());
        EXPECT_EQ(m_pageCalls[0].command, command);
        EXPECT_EQ(m_pageCalls[0].data, data);
    }

    // A page passing a number gets it taken as its text.
    m_pageCalls.clear();
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 1004;
    EXPECT_EQ(Call(external.get(), id, {number, Text(L"")}), S_OK);
    ASSERT_EQ(m_pageCalls.size(), 1u);
    EXPECT_EQ(m_pageCalls[0].command, L"1004");
}

TEST_F(BrowserHostBridge, MalformedPageCallsReachNoHandler) {
    auto external = External(m_view);
    HRESULT answer = S_OK;
    EXPECT_EQ(IdOf(external.get(), L"putMsg", &answer), DISPID_UNKNOWN);
    EXPECT_EQ(answer, DISP_E_UNKNOWNNAME);
    const DISPID id = IdOf(external.get(), L"InvokeWebserver");

    EXPECT_EQ(Call(external.get(), id, {Text(L"1003")}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(external.get(), id, {Text(L"1"), Text(L"2"), Text(L"3")}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(external.get(), id, {Text(L"1"), Text(L"2")}, DISPATCH_PROPERTYGET),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(external.get(), id + 1, {Text(L"1"), Text(L"2")}), DISP_E_MEMBERNOTFOUND);
    VARIANT nothing;
    VariantInit(&nothing);
    nothing.vt = VT_NULL;
    EXPECT_EQ(Call(external.get(), id, {Text(L"1003"), nothing}), DISP_E_TYPEMISMATCH);
    EXPECT_TRUE(m_pageCalls.empty());

    // Without a handler a call is a silent no-op.
    m_view.SetPageCallHandler(nullptr);
    EXPECT_EQ(Call(external.get(), id, {Text(L"1004"), Text(L"")}), S_OK);
}

TEST_F(BrowserHostBridge, AnExternalObjectOutlivingItsViewFailsCalls) {
    auto other = std::make_unique<CTestView>();
    ASSERT_TRUE(other->Create(WS_CHILD, ParentArea(), s_parent->Hwnd(), 104));
    other->SetPageCallHandler([this](HWND, const std::wstring& command, const std::wstring& data) {
        m_pageCalls.push_back({nullptr, command, data});
    });
    auto external = External(*other);
    const DISPID id = IdOf(external.get(), L"InvokeWebserver");
    other.reset();
    EXPECT_EQ(Call(external.get(), id, {Text(L"1004"), Text(L"")}), E_UNEXPECTED);
    HRESULT answer = S_OK;
    IdOf(external.get(), L"InvokeWebserver", &answer);
    EXPECT_EQ(answer, DISP_E_UNKNOWNNAME);
    EXPECT_TRUE(m_pageCalls.empty());
}

TEST_F(BrowserHostBridge, CallScriptPassesTheStringsInOrderAndGivesTheResult) {
    auto* script = new CFakeScript;
    auto* document = new CFakeDocument(script);
    ASSERT_TRUE(m_view.SetDocument(static_cast<IHTMLDocument*>(document)));

    VARIANT result;
    VariantInit(&result);
    ASSERT_TRUE(m_view.CallScript(L"putMsg", {L"13800000000", L"二〇二四", L"", L"text", L"5"}, &result));
    EXPECT_EQ(script->names, (std::vector<std::wstring>{L"putMsg"}));
    EXPECT_EQ(script->nameLocale, static_cast<LCID>(0x0800));
    ASSERT_EQ(script->calls.size(), 1u);
    EXPECT_EQ(script->calls[0], (std::vector<std::wstring>{L"13800000000", L"二〇二四", L"", L"text", L"5"}));
    EXPECT_EQ(script->flags, DISPATCH_METHOD);
    EXPECT_EQ(script->invokeLocale, 0u);
    EXPECT_EQ(script->namedArgs, 0u);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(FromBstr(result.bstrVal), L"done");
    VariantClear(&result);

    EXPECT_TRUE(m_view.CallScript(L"putMsg", {}));
    ASSERT_EQ(script->calls.size(), 2u);
    EXPECT_TRUE(script->calls[1].empty());
    EXPECT_TRUE(m_view.errors.empty());

    // A completed navigation without a document drops the one held before.
    const ULONG held = document->refs;
    m_view.OnDocumentComplete(L"http://h/chat/inbox.aspx");
    EXPECT_EQ(m_view.GetDocument(), nullptr);
    EXPECT_EQ(document->refs, held - 1);
    document->Release();
    script->Release();
}

TEST_F(BrowserHostBridge, CallScriptFailuresShowOneBoxEachAndGiveFalse) {
    auto systemText = [](HRESULT code) {
        wchar_t* buffer = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, code, 0x0800, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
        std::wstring text = length ? std::wstring(buffer, length) : L"FormatMessage Netive Error";
        LocalFree(buffer);
        return text;
    };
    const std::wstring noScript = L"函数GetJScrip调用失败！";

    EXPECT_FALSE(m_view.CallScript(L"putMsg", {L"a"}));
    EXPECT_EQ(m_view.errors, (std::vector<std::wstring>{noScript}));

    // Something that is no HTML document leaves the view without one.
    auto* script = new CFakeScript;
    m_view.errors.clear();
    EXPECT_FALSE(m_view.SetDocument(static_cast<IDispatch*>(script)));
    EXPECT_EQ(m_view.errors, (std::vector<std::wstring>{L"Failed to get HTML document COM object"}));

    auto* scriptless = new CFakeDocument(nullptr);
    ASSERT_TRUE(m_view.SetDocument(static_cast<IHTMLDocument*>(scriptless)));
    m_view.errors.clear();
    EXPECT_FALSE(m_view.CallScript(L"putMsg", {L"a"}));
    EXPECT_EQ(m_view.errors, (std::vector<std::wstring>{noScript}));

    auto* document = new CFakeDocument(script);
    ASSERT_TRUE(m_view.SetDocument(static_cast<IHTMLDocument*>(document)));
    m_view.errors.clear();
    EXPECT_FALSE(m_view.CallScript(L"noSuchFunction", {L"a"}));
    EXPECT_EQ(m_view.errors, (std::vector<std::wstring>{systemText(DISP_E_UNKNOWNNAME)}));
    EXPECT_TRUE(script->calls.empty());

    script->invokeAnswer = DISP_E_EXCEPTION;
    m_view.errors.clear();
    VARIANT result;
    VariantInit(&result);
    EXPECT_FALSE(m_view.CallScript(L"putMsg", {L"a"}, &result));
    EXPECT_EQ(m_view.errors, (std::vector<std::wstring>{systemText(DISP_E_EXCEPTION)}));
    EXPECT_EQ(result.vt, VT_EMPTY);

    EXPECT_EQ(SystemErrorText(static_cast<HRESULT>(0xA0DE0001)), L"FormatMessage Netive Error");
    scriptless->Release();
    document->Release();
    script->Release();
}

TEST_F(BrowserHostBridge, TheIndexPageEndsTheWaitWindowAndTellsTheParentOnce) {
    CRecorderWnd wait(L"loading");
    // Another page, or another site's page named like it, is no index page.
    for (const wchar_t* url : {L"http://h:8080/chat/inbox.aspx?kptsessionid=S1",
                               L"http://evil.example/chat/clientindex.aspx?kptsessionid=S1",
                               L"http://h:8080/chat/inbox.aspx?back=/chat/clientindex.aspx",
                               L"http://evil.example/?u=http://h:8080/chat/clientindex.aspx"}) {
        m_view.OnDocumentComplete(url);
    }
    EXPECT_TRUE(s_parent->seen.empty());
    EXPECT_TRUE(IsWindow(wait.Hwnd()));

    m_view.errors.clear();
    m_view.OnDocumentComplete(L"http://h:8080/chat/clientindex.aspx?kptsessionid=S1");
    EXPECT_EQ(wait.Hwnd(), nullptr);
    EXPECT_EQ(FindWindowW(nullptr, L"loading"), nullptr);
    ASSERT_EQ(s_parent->seen.size(), 1u);
    EXPECT_EQ(s_parent->seen[0], std::make_tuple(SMSHtmlView::kStartSessionMessage, WPARAM{0}, LPARAM{0}));
    // Wine's browser never holds a document: the completion says so.
    EXPECT_EQ(m_view.errors, std::vector<std::wstring>{L"Failed to get HTML document COM object"});
}

TEST_F(BrowserHostBridge, TheEventSinkPassesOnTheCompletedUrlOnly) {
    std::vector<std::wstring> urls;
    CBrowserEventHandlers handlers;
    handlers.documentComplete = [&](const std::wstring& url) { urls.push_back(url); };
    com_ptr<CBrowserEventSink> sink = make_com<CBrowserEventSink>(std::move(handlers));
    auto complete = [&](VARIANT url, DISPID id = CBrowserEventSink::kDocumentComplete) {
        VARIANT args[2];
        VariantInit(&args[1]);
        args[1].vt = VT_DISPATCH;
        args[1].pdispVal = nullptr;
        args[0] = url;
        DISPPARAMS params{args, nullptr, 2, 0};
        return sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    };
    VARIANT url = Text(L"http://h/chat/clientindex.aspx");
    VARIANT byReference;
    VariantInit(&byReference);
    byReference.vt = VT_BYREF | VT_VARIANT;
    byReference.pvarVal = &url;
    EXPECT_EQ(complete(byReference), S_OK);
    EXPECT_EQ(complete(url), S_OK);
    EXPECT_EQ(complete(url, 251), DISP_E_MEMBERNOTFOUND);
    sink->Disconnect();
    EXPECT_EQ(complete(url), S_OK);
    EXPECT_EQ(urls, std::vector<std::wstring>(2, L"http://h/chat/clientindex.aspx"));
    VariantClear(&url);
}

} // namespace
