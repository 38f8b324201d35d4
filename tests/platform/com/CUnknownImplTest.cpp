#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/com/CComPtr.h"
#include "platform/com/CUnknownImpl.h"
#include "platform/com/Persist.h"
#include "platform/com/TaskMemory.h"

namespace {

using mvcom::CComPtr;

// Two interfaces and a flag set when the object is deleted.
class CTwoFaced : public mvcom::CUnknownImpl<IPersist, IClassFactory> {
public:
    explicit CTwoFaced(bool& deleted) : m_deleted(deleted) {}

    STDMETHODIMP GetClassID(CLSID* clsid) override
    {
        *clsid = GUID_NULL;
        return S_OK;
    }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

protected:
    ~CTwoFaced() override { m_deleted = true; }
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override
    {
        static const mvcom::InterfaceEntry table[] = {
            Entry<CTwoFaced, IPersist>(IID_IPersist),
            Entry<CTwoFaced, IClassFactory>(IID_IClassFactory),
        };
        return table;
    }

private:
    bool& m_deleted;
};

TEST(UnknownImpl, QueryInterfaceAnswersTheTableAndAddRefs)
{
    bool deleted = false;
    auto* object = new CTwoFaced(deleted);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory, static_cast<IClassFactory*>(object));
    EXPECT_EQ(object->AddRef(), 3u) << "the creator's reference and the one QueryInterface added";
    EXPECT_EQ(object->Release(), 2u);

    // IUnknown is the same pointer whichever interface it is asked from.
    void* fromFactory = nullptr;
    void* fromPersist = nullptr;
    ASSERT_EQ(factory->QueryInterface(IID_IUnknown, &fromFactory), S_OK);
    ASSERT_EQ(static_cast<IPersist*>(object)->QueryInterface(IID_IUnknown, &fromPersist), S_OK);
    EXPECT_EQ(fromFactory, fromPersist);
    EXPECT_EQ(fromFactory, static_cast<void*>(static_cast<IPersist*>(object)));
    static_cast<IUnknown*>(fromFactory)->Release();
    static_cast<IUnknown*>(fromPersist)->Release();

    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_FALSE(deleted);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_TRUE(deleted);
}

TEST(UnknownImpl, FailedQueryInterfaceNullsTheOutPointerAndAddsNoReference)
{
    bool deleted = false;
    auto* object = new CTwoFaced(deleted);

    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(object->QueryInterface(IID_IPersistStream, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->QueryInterface(IID_IPersist, nullptr), E_POINTER);

    EXPECT_EQ(object->Release(), 0u);
    EXPECT_TRUE(deleted);
}

TEST(UnknownImpl, ReferenceCountHoldsUnderConcurrentAddRefAndRelease)
{
    bool deleted = false;
    CComPtr<IPersist> object;
    object.Attach(new CTwoFaced(deleted));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100000; ++i) {
                object->AddRef();
                object->Release();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_FALSE(deleted);
    EXPECT_EQ(object->AddRef(), 2u);
    object->Release();
    object.Reset();
    EXPECT_TRUE(deleted);
}

TEST(ComPtr, CopiesAddRefAndDestructionReleases)
{
    bool deleted = false;
    auto* raw = new CTwoFaced(deleted);
    {
        CComPtr<IPersist> a;
        a.Attach(raw);
        CComPtr<IPersist> b = a;
        EXPECT_EQ(raw->AddRef(), 3u);
        raw->Release();
        CComPtr<IPersist> c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(raw->AddRef(), 3u);
        raw->Release();
    }
    EXPECT_TRUE(deleted);
}

TEST(TaskMemory, AllocatesReallocatesAndFrees)
{
    void* p = CoTaskMemAlloc(0);
    EXPECT_NE(p, nullptr) << "an empty block is still a block";
    CoTaskMemFree(p);

    auto* text = static_cast<char*>(CoTaskMemAlloc(4));
    ASSERT_NE(text, nullptr);
    std::memcpy(text, "abc", 4);
    text = static_cast<char*>(CoTaskMemRealloc(text, 4096));
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(CoTaskMemRealloc(text, 0), nullptr) << "a zero size frees";
    void* fresh = CoTaskMemRealloc(nullptr, 8);
    EXPECT_NE(fresh, nullptr);
    CoTaskMemFree(fresh);
    CoTaskMemFree(nullptr);
}

}  // namespace
