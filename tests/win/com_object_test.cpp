// The COM object base: QueryInterface from its list, one identity and one
// count across the interfaces, and the object gone with its last reference.
#include "framework/com.h"

#include <gtest/gtest.h>

#include <functional>
#include <ocidl.h>
#include <oleidl.h>

namespace {

// Records its own end in a flag that outlives it.
class CSite : public com_object<IOleClientSite, IOleInPlaceSite> {
public:
    explicit CSite(bool& gone) : m_gone(gone) {}

    // Runs call, which may drop every other reference, then reads a member.
    bool CallOut(const std::function<void()>& call) {
        const auto hold = Hold();
        call();
        return !m_gone;
    }

    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOTIMPL; }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    STDMETHODIMP GetWindow(HWND*) override { return E_NOTIMPL; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame**, IOleInPlaceUIWindow**, RECT*, RECT*,
                                  OLEINPLACEFRAMEINFO*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(const RECT*) override { return E_NOTIMPL; }

protected:
    ~CSite() override { m_gone = true; }

private:
    bool& m_gone;
};

// The same site answering one interface more.
class CWiderSite : public com_object_more<CSite, IPropertyNotifySink> {
public:
    using com_object_more::com_object_more;

    STDMETHODIMP OnChanged(DISPID) override { return S_OK; }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
};

IUnknown* Identity(IUnknown* object) {
    com_ptr<IUnknown> identity;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.put()));
    return identity.get();
}

TEST(ComObject, AnswersItsListAndTheirBasesAsOneObjectWithOneCount) {
    bool gone = false;
    com_ptr<CWiderSite> site = make_com<CWiderSite>(gone);
    ASSERT_TRUE(site);
    IUnknown* const identity = Identity(static_cast<IOleClientSite*>(site.get()));
    struct Case {
        const char* name;
        const IID& iid;
        bool answered;
    };
    const Case cases[] = {
        {"IUnknown", IID_IUnknown, true},
        {"first of the list", IID_IOleClientSite, true},
        {"second of the list", IID_IOleInPlaceSite, true},
        {"a base of the second", IID_IOleWindow, true},
        {"added by the wider site", IID_IPropertyNotifySink, true},
        {"none of them", IID_IDispatch, false},
        {"a base the list does not derive from", IID_IOleInPlaceFrame, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        com_ptr<IUnknown> answer;
        const HRESULT hr = static_cast<IPropertyNotifySink*>(site.get())
                               ->QueryInterface(c.iid, reinterpret_cast<void**>(answer.put()));
        EXPECT_EQ(SUCCEEDED(hr), c.answered);
        EXPECT_EQ(static_cast<bool>(answer), c.answered);
        if (answer) {
            EXPECT_EQ(Identity(answer.get()), identity) << "every interface leads back to one IUnknown";
        }
    }
    EXPECT_EQ(site->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // References taken through any interface are one count.
    com_ptr<IPropertyNotifySink> sink = site.query<IPropertyNotifySink>();
    com_ptr<IOleWindow> window = site.query<IOleWindow>();
    site.reset();
    sink.reset();
    EXPECT_FALSE(gone);
    window.reset();
    EXPECT_TRUE(gone) << "the last reference, whichever interface it came through, deletes the object";
}

TEST(ComObject, HoldKeepsTheObjectThroughACallThatDropsTheLastOtherReference) {
    bool gone = false;
    com_ptr<CSite> site = make_com<CSite>(gone);
    ASSERT_TRUE(site);
    CSite* const raw = site.get();
    EXPECT_TRUE(raw->CallOut([&] { site.reset(); })) << "deleted during its own call";
    EXPECT_TRUE(gone) << "deleted once the call returned";
}

TEST(ComObject, CopyComOutGivesTheCallerItsOwnReference) {
    bool gone = false;
    com_ptr<CSite> site = make_com<CSite>(gone);
    IOleClientSite* out = nullptr;
    EXPECT_EQ(CopyComOut(static_cast<IOleClientSite*>(site.get()), &out), S_OK);
    site.reset();
    EXPECT_FALSE(gone);
    out->Release();
    EXPECT_TRUE(gone);
    EXPECT_EQ(CopyComOut(static_cast<IOleClientSite*>(nullptr), &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST(ComObject, StreamOnCopyKeepsItsOwnBytes) {
    char bytes[] = "picture";
    com_ptr<IStream> stream = StreamOnCopy(bytes, sizeof bytes);
    ASSERT_TRUE(stream);
    bytes[0] = 'X';
    char read[sizeof bytes]{};
    ULONG got = 0;
    ASSERT_EQ(stream->Read(read, sizeof read, &got), S_OK);
    EXPECT_EQ(got, sizeof bytes);
    EXPECT_STREQ(read, "picture");
}

} // namespace
