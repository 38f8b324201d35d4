#include "model/CMfxDataQueue.h"

#include <gtest/gtest.h>

TEST(CMfxDataQueue, HoldsAFixedNumberOfRecordsUntilReset)
{
    CMfxDataQueue* q = CMfxDataQueue::Create();
    ASSERT_NE(nullptr, q);
    for (DWORD i = 0; i < CMfxDataQueue::kCapacity; ++i) {
        const MfxData record{i, ~i};
        ASSERT_EQ(S_OK, q->Add(&record));
    }
    const MfxData extra{1, 2};
    EXPECT_EQ(E_FAIL, q->Add(&extra));
    int count = 0;
    ASSERT_EQ(S_OK, q->GetCount(&count));
    EXPECT_EQ(2048, count);
    MfxData out{};
    ASSERT_EQ(S_OK, q->GetAt(2047, &out));
    EXPECT_EQ(2047u, MfxCopy(out.m_dw1));
    EXPECT_EQ(~2047u, MfxCopy(out.m_dw2));
    EXPECT_EQ(E_INVALIDARG, q->GetAt(2048, &out));
    EXPECT_EQ(E_INVALIDARG, q->GetAt(-1, &out));
    EXPECT_EQ(E_POINTER, q->GetAt(0, nullptr));
    EXPECT_EQ(E_POINTER, q->GetCount(nullptr));
    EXPECT_EQ(E_POINTER, q->Add(nullptr));

    q->Reset();
    ASSERT_EQ(S_OK, q->GetCount(&count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(S_OK, q->Add(&extra));
    q->Release();
}

TEST(CMfxDataQueue, AnswersItsInterface)
{
    CMfxDataQueue* q = CMfxDataQueue::Create();
    void* p = nullptr;
    ASSERT_EQ(S_OK, q->QueryInterface(IID_IMfxDataQueue, &p));
    EXPECT_EQ(static_cast<IMfxDataQueue*>(q), p);
    EXPECT_EQ(1u, q->Release());
    p = q;
    EXPECT_EQ(E_NOINTERFACE, q->QueryInterface(IID_IMfxEventQueue, &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(E_POINTER, q->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(0u, q->Release());
}
