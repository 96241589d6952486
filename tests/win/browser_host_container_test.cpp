// The OLE control container under a fake control registered for this
// process: how it sites, activates, moves and lets go of the control.
#include "browser_host_test_support.h"
#include "framework/ole_control_wnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace browserhosttest;

namespace {

// {6B1F5A0E-3C2D-4E8B-9A71-52D0C4E9B813}, registered by the suite alone.
constexpr CLSID kFakeControlClsid = {
    0x6b1f5a0e, 0x3c2d, 0x4e8b, {0x9a, 0x71, 0x52, 0xd0, 0xc4, 0xe9, 0xb8, 0x13}};

// What the fake control saw, kept apart so it outlives the control.
struct CControlRecord {
    std::vector<std::string> calls;
    bool failDoVerb = false;
    LONG verb = 0;
    HWND verbParent = nullptr;
    RECT verbRect{};
    HWND frameWindow = nullptr;
    std::vector<RECT> placed;
    DWORD closeOption = 0;
    com_ptr<IOleClientSite> heldSite; // the test's own reference, taken on request
    bool holdSite = false;
};

// A control that does the in-place handshake as a real one does and puts a
// child window of its own where the site says.
class CFakeControl : public CFake<IOleObject, IOleInPlaceObject> {
public:
    explicit CFakeControl(CControlRecord& record) : m_record(record) {}

    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        m_record.calls.push_back(site ? "SetClientSite(site)" : "SetClientSite(null)");
        m_site = com_ptr<IOleClientSite>::copy_from(site);
        if (site && m_record.holdSite) {
            m_record.heldSite = com_ptr<IOleClientSite>::copy_from(site);
        }
        return S_OK;
    }
    STDMETHODIMP DoVerb(LONG verb, MSG*, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override {
        m_record.calls.push_back("DoVerb");
        m_record.verb = verb;
        m_record.verbParent = parent;
        m_record.verbRect = *rect;
        if (m_record.failDoVerb) {
            return E_FAIL;
        }
        com_ptr<IOleInPlaceSite> inPlace;
        site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(inPlace.put()));
        if (!inPlace || inPlace->CanInPlaceActivate() != S_OK || FAILED(inPlace->OnInPlaceActivate())) {
            return E_FAIL;
        }
        com_ptr<IOleInPlaceFrame> frame;
        com_ptr<IOleInPlaceUIWindow> document;
        RECT position{}, clip{};
        OLEINPLACEFRAMEINFO info{sizeof(info), FALSE, nullptr, nullptr, 0};
        if (FAILED(inPlace->GetWindowContext(frame.put(), document.put(), &position, &clip, &info)) ||
            !frame) {
            return E_FAIL;
        }
        m_record.frameWindow = info.hwndFrame;
        m_inPlaceSite = std::move(inPlace);
        return S_OK;
    }
    STDMETHODIMP Close(DWORD option) override {
        m_record.calls.push_back("Close");
        m_record.closeOption = option;
        return S_OK;
    }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        *status = OLEMISC_SETCLIENTSITEFIRST;
        return S_OK;
    }

    STDMETHODIMP InPlaceDeactivate() override {
        m_record.calls.push_back("InPlaceDeactivate");
        if (m_inPlaceSite) {
            m_inPlaceSite->OnInPlaceDeactivate();
        }
        m_inPlaceSite.reset();
        return S_OK;
    }
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT) override {
        m_record.placed.push_back(*position);
        return S_OK;
    }

    // What the container never asks of this control.
    STDMETHODIMP GetClientSite(IOleClientSite**) override { return E_NOTIMPL; }
    STDMETHODIMP GetWindow(HWND*) override { return E_NOTIMPL; }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

private:
    ~CFakeControl() override { m_record.calls.push_back("deleted"); }

    CControlRecord& m_record;
    com_ptr<IOleClientSite> m_site;
    com_ptr<IOleInPlaceSite> m_inPlaceSite;
};

class CFakeFactory : public CFake<IClassFactory> {
public:
    CControlRecord* record = nullptr;

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        *object = nullptr;
        if (outer) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* control = new CFakeControl(*record);
        const HRESULT hr = control->QueryInterface(iid, object);
        control->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

class BrowserHostContainer : public CBrowserHostSuite {
public:
    static void SetUpTestSuite() {
        CBrowserHostSuite::SetUpTestSuite();
        s_factory = new CFakeFactory;
        CoRegisterClassObject(kFakeControlClsid, static_cast<IClassFactory*>(s_factory), CLSCTX_INPROC_SERVER,
                              REGCLS_MULTIPLEUSE, &s_cookie);
    }
    static void TearDownTestSuite() {
        CoRevokeClassObject(s_cookie);
        s_factory->Release();
        CBrowserHostSuite::TearDownTestSuite();
    }

protected:
    void SetUp() override {
        CBrowserHostSuite::SetUp();
        s_factory->record = &m_record;
    }
    bool CreateHost() {
        return m_host.Create(kFakeControlClsid, WS_CHILD | WS_VISIBLE, {10, 10, 310, 210}, s_parent->Hwnd(),
                             103);
    }

    CControlRecord m_record;
    COleControlWnd m_host;

    static inline CFakeFactory* s_factory = nullptr;
    static inline DWORD s_cookie = 0;
};

TEST_F(BrowserHostContainer, SitesTheControlAndActivatesItInPlaceOverTheClientArea) {
    ASSERT_TRUE(CreateHost());
    EXPECT_EQ(GetDlgItem(s_parent->Hwnd(), 103), m_host.GetSafeHwnd());
    EXPECT_EQ(m_record.calls, (std::vector<std::string>{"SetClientSite(site)", "DoVerb"}));
    EXPECT_EQ(m_record.verb, OLEIVERB_INPLACEACTIVATE);
    EXPECT_EQ(m_record.verbParent, m_host.GetSafeHwnd());
    const RECT client{0, 0, 300, 200};
    EXPECT_TRUE(EqualRect(&m_record.verbRect, &client));
    EXPECT_EQ(m_record.frameWindow, s_parent->Hwnd());
    ASSERT_TRUE(m_host.GetControlSite()->IsInPlaceActive());

    // The control follows its host's size.
    SetWindowPos(m_host.GetSafeHwnd(), nullptr, 0, 0, 120, 80, SWP_NOZORDER | SWP_NOMOVE);
    ASSERT_FALSE(m_record.placed.empty());
    const RECT expected{0, 0, 120, 80};
    EXPECT_TRUE(EqualRect(&m_record.placed.back(), &expected));
}

TEST_F(BrowserHostContainer, WindowsEndDeactivatesClosesUnsitesAndReleasesTheControl) {
    m_record.holdSite = true;
    ASSERT_TRUE(CreateHost());
    m_record.calls.clear();
    DestroyWindow(m_host.GetSafeHwnd());
    EXPECT_EQ(m_record.calls,
              (std::vector<std::string>{"InPlaceDeactivate", "Close", "SetClientSite(null)", "deleted"}));
    EXPECT_EQ(m_record.closeOption, static_cast<DWORD>(OLECLOSE_NOSAVE));
    EXPECT_EQ(m_host.GetControlSite(), nullptr);

    // A site kept past its window answers with errors, and its last reference goes cleanly.
    auto inPlace = m_record.heldSite.query<IOleInPlaceSite>();
    ASSERT_TRUE(inPlace);
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(inPlace->GetWindow(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(inPlace->CanInPlaceActivate(), S_FALSE);
    EXPECT_EQ(inPlace->OnInPlaceActivate(), E_UNEXPECTED);
    IOleInPlaceFrame* frame = reinterpret_cast<IOleInPlaceFrame*>(1);
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{sizeof(info), FALSE, nullptr, nullptr, 0};
    EXPECT_EQ(inPlace->GetWindowContext(&frame, &document, &position, &clip, &info), E_UNEXPECTED);
    EXPECT_EQ(frame, nullptr);
    inPlace.reset();
    m_record.heldSite.reset();
}

TEST_F(BrowserHostContainer, FailedCreationLeavesNoWindowAndNoControl) {
    constexpr CLSID kUnknown = {0x0d1a2b3c, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
    EXPECT_FALSE(m_host.Create(kUnknown, WS_CHILD, {0, 0, 10, 10}, s_parent->Hwnd(), 103));
    EXPECT_EQ(m_host.GetSafeHwnd(), nullptr);
    EXPECT_EQ(GetDlgItem(s_parent->Hwnd(), 103), nullptr);

    // A control that refuses activation is closed, unsited and released.
    m_record.failDoVerb = true;
    EXPECT_FALSE(CreateHost());
    EXPECT_EQ(m_host.GetSafeHwnd(), nullptr);
    EXPECT_EQ(m_record.calls, (std::vector<std::string>{"SetClientSite(site)", "DoVerb", "Close",
                                                        "SetClientSite(null)", "deleted"}));
}

} // namespace
