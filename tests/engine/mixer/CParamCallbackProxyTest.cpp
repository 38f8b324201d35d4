#include "engine/mixer/CParamCallbackProxy.h"

#include <gtest/gtest.h>

#include "tests/engine/mixer/ParamSetFakes.h"

using namespace paramtest;

namespace {

// A set that notes every touch the relay makes.
class TouchedSet : public TestParamSet {
public:
    using TestParamSet::TestParamSet;
    HRESULT BeginTouch(DWORD id, DWORD bits) override
    {
        touches.push_back({'B', id, bits});
        return TestParamSet::BeginTouch(id, bits);
    }
    HRESULT EndTouch(DWORD id, DWORD bits) override
    {
        touches.push_back({'E', id, bits});
        return TestParamSet::EndTouch(id, bits);
    }
    struct Touch {
        char what;
        DWORD id, bits;
        bool operator==(const Touch&) const = default;
    };
    std::vector<Touch> touches;
};

class CParamCallbackProxyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.Add(Info("Rate", 0.0f, 10.0f, 0.0f), 0.0f);
        fx.Add(Info("Depth", 0.0f, 10.0f, 0.0f), 0.0f);
        ASSERT_EQ(S_OK, set.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
        ASSERT_EQ(S_OK, set.AddUICallback(key, &proxy));
    }

    FakeParamDocument doc;
    TouchedSet set{&doc};
    FakePlugIn fx;
    const GroupKey key{kFxClass, kInstanceB};
    CParamCallbackProxy* proxy = nullptr;
};

TEST_F(CParamCallbackProxyTest, AnswersOnlyItsOwnInterfaces)
{
    void* a = nullptr;
    void* b = nullptr;
    ASSERT_EQ(S_OK, proxy->QueryInterface(IID_IUnknown, &a));
    ASSERT_EQ(S_OK, proxy->QueryInterface(IID_IMediaParamsUICallback, &b));
    EXPECT_EQ(a, b);
    void* c = &a;
    EXPECT_EQ(E_NOINTERFACE, proxy->QueryInterface(IID_IMediaParams, &c));
    EXPECT_EQ(nullptr, c);
    EXPECT_EQ(E_POINTER, proxy->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(1u, proxy->Release());
    EXPECT_EQ(0u, proxy->Release());
    // The set owns it: released to 0 it is still there.
    EXPECT_EQ(0u, proxy->Release());
    EXPECT_EQ(1u, proxy->AddRef());
    EXPECT_EQ(0u, proxy->Release());

    CParamCallbackProxy* second = nullptr;
    EXPECT_EQ(E_UNEXPECTED, set.AddUICallback(key, &second));
    EXPECT_EQ(S_OK, set.RemoveUICallback(key));
    EXPECT_EQ(S_FALSE, set.RemoveUICallback(key));
}

TEST_F(CParamCallbackProxyTest, ACaptureTouchesTheGlobalParametersAsThePlugInEditor)
{
    DWORD local[] = {1, 0};
    ASSERT_EQ(S_OK, proxy->ParamsBeginCapture(local, 2));
    float values[] = {5.0f, 10.0f};
    ASSERT_EQ(S_OK, proxy->ParamsChanged(local, 2, values));
    ASSERT_EQ(S_OK, proxy->ParamsEndCapture(local, 2));
    using T = TouchedSet::Touch;
    EXPECT_EQ((std::vector<T>{{'B', 0x10001, 4}, {'B', 0x10000, 4}, {'E', 0x10001, 4}, {'E', 0x10000, 4}}),
              set.touches);
    float v = 0;
    set.GetParamValue(0x10001, &v);
    EXPECT_FLOAT_EQ(0.5f, v);
    // Both values changed during the gesture: two end notices.
    EXPECT_EQ(2u, doc.posted.size());
}

TEST_F(CParamCallbackProxyTest, ACaptureOfMoreParametersThanTheGroupHasTouchesNothing)
{
    DWORD local[] = {0, 1, 2};
    EXPECT_EQ(E_UNEXPECTED, proxy->ParamsBeginCapture(local, 3));
    EXPECT_EQ(E_UNEXPECTED, proxy->ParamsEndCapture(local, 3));
    EXPECT_EQ(S_OK, proxy->ParamsBeginCapture(local, 0));
    EXPECT_TRUE(set.touches.empty());
    float values[] = {1, 1, 1};
    EXPECT_EQ(E_UNEXPECTED, proxy->ParamsChanged(local, 3, values));
}

TEST_F(CParamCallbackProxyTest, LocalIndicesCountFromTheGroupsFirstId)
{
    FakeParamDocument otherDoc;
    TouchedSet other(&otherDoc);
    DWORD first = 0;
    ASSERT_EQ(S_OK, other.RegisterGroup(kFxClass, GUID_NULL, 0, &first));  // block 0
    FakePlugIn synthFx;
    synthFx.Add(Info("A", 0, 1, 0), 0);
    ASSERT_EQ(S_OK, other.AddPlugInParams(kFxClass, kInstanceC, static_cast<IMediaParams*>(&synthFx)));
    CParamCallbackProxy* relay = nullptr;
    ASSERT_EQ(S_OK, CreateParamCallbackProxy(&other, GroupKey{kFxClass, kInstanceC}, &relay));
    DWORD local[] = {0};
    ASSERT_EQ(S_OK, relay->ParamsBeginCapture(local, 1));
    ASSERT_EQ(1u, other.touches.size());
    EXPECT_EQ(0x10000u, other.touches[0].id);
    DestroyParamCallbackProxy(relay);

    EXPECT_EQ(E_POINTER, CreateParamCallbackProxy(&other, key, nullptr));
    EXPECT_EQ(E_INVALIDARG, CreateParamCallbackProxy(nullptr, key, &relay));
    EXPECT_EQ(nullptr, relay);
}

// A plug-in kept alive past its parameter group (a removed synth waits for
// the next rebuild) still holds the relay: the relay outlives the group, cut
// off from the set, and goes with the plug-in's last reference.
TEST_F(CParamCallbackProxyTest, APlugInHoldingTheRelayPastItsGroupReleasesItSafely)
{
    EXPECT_EQ(1u, proxy->AddRef());
    EXPECT_EQ(2u, proxy->AddRef());
    ASSERT_EQ(S_OK, set.RemoveUICallback(key));
    DWORD local[] = {0};
    MP_DATA value[] = {1.0f};
    EXPECT_EQ(E_UNEXPECTED, proxy->ParamsBeginCapture(local, 1));
    EXPECT_EQ(E_UNEXPECTED, proxy->ParamsChanged(local, 1, value));
    EXPECT_EQ(E_UNEXPECTED, proxy->ParamsEndCapture(local, 1));
    EXPECT_TRUE(set.touches.empty());
    EXPECT_EQ(1u, proxy->Release());
    // The last reference deletes it (a memory checker sees no leak and no
    // use after free).
    EXPECT_EQ(0u, proxy->Release());
}

}  // namespace
