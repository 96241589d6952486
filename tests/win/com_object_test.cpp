// The COM object base: QueryInterface from its list, one identity and one
// count across the interfaces, and the object gone with its last reference.
#include "framework/com.h"

#include <gtest/gtest.h>

#include <functional>
#include <ocidl.h>

template <> struct com_parents<IPersistStream> {
    using type = com_interface_list<IPersist>;
};

namespace {

// Records its own end in a flag that outlives it.
class CObject : public com_object<IPropertyNotifySink, IPersistStream> {
public:
    explicit CObject(bool& gone) : m_gone(gone) {}

    // Runs call, which may drop every other reference, then reads a member.
    bool CallOut(const std::function<void()>& call) {
        const auto hold = Hold();
        call();
        return !m_gone;
    }

    STDMETHODIMP OnChanged(DISPID) override { return S_OK; }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

protected:
    ~CObject() override { m_gone = true; }

private:
    bool& m_gone;
};

// The same object answering one interface more.
class CWiderObject : public com_object_more<CObject, IOleWindow> {
public:
    using com_object_more::com_object_more;

    STDMETHODIMP GetWindow(HWND*) override { return E_NOTIMPL; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
};

IUnknown* Identity(IUnknown* object) {
    com_ptr<IUnknown> identity;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.put()));
    return identity.get();
}

TEST(ComObject, AnswersItsListAndTheirBasesAsOneObjectWithOneCount) {
    bool gone = false;
    com_ptr<CWiderObject> object = make_com<CWiderObject>(gone);
    ASSERT_TRUE(object);
    IUnknown* const identity = Identity(static_cast<IPersistStream*>(object.get()));
    struct Case {
        const char* name;
        const IID& iid;
        bool answered;
    };
    const Case cases[] = {
        {"IUnknown", IID_IUnknown, true},
        {"first of the list", IID_IPropertyNotifySink, true},
        {"second of the list", IID_IPersistStream, true},
        {"a base of the second", IID_IPersist, true},
        {"added by the wider object", IID_IOleWindow, true},
        {"none of them", IID_IDispatch, false},
        {"one that derives from a listed one", IID_IPersistStreamInit, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        com_ptr<IUnknown> answer;
        const HRESULT hr = static_cast<IOleWindow*>(object.get())
                               ->QueryInterface(c.iid, reinterpret_cast<void**>(answer.put()));
        EXPECT_EQ(SUCCEEDED(hr), c.answered);
        EXPECT_EQ(static_cast<bool>(answer), c.answered);
        if (answer) {
            EXPECT_EQ(Identity(answer.get()), identity) << "every interface leads back to one IUnknown";
        }
    }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // References taken through any interface are one count.
    com_ptr<IPersist> persist = object.query<IPersist>();
    com_ptr<IOleWindow> window = object.query<IOleWindow>();
    object.reset();
    persist.reset();
    EXPECT_FALSE(gone);
    window.reset();
    EXPECT_TRUE(gone) << "the last reference, whichever interface it came through, deletes the object";
}

TEST(ComObject, HoldKeepsTheObjectThroughACallThatDropsTheLastOtherReference) {
    bool gone = false;
    com_ptr<CObject> object = make_com<CObject>(gone);
    ASSERT_TRUE(object);
    CObject* const raw = object.get();
    EXPECT_TRUE(raw->CallOut([&] { object.reset(); })) << "deleted during its own call";
    EXPECT_TRUE(gone) << "deleted once the call returned";
}

TEST(ComObject, CopyComOutGivesTheCallerItsOwnReference) {
    bool gone = false;
    com_ptr<CObject> object = make_com<CObject>(gone);
    IPersistStream* out = nullptr;
    EXPECT_EQ(CopyComOut(static_cast<IPersistStream*>(object.get()), &out), S_OK);
    object.reset();
    EXPECT_FALSE(gone);
    out->Release();
    EXPECT_TRUE(gone);
    EXPECT_EQ(CopyComOut(static_cast<IPersistStream*>(nullptr), &out), E_NOINTERFACE);
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
