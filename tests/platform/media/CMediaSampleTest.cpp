#include <gtest/gtest.h>

#include "TestFilters.h"
#include "platform/media/CMemAllocator.h"

namespace {

struct SampleFixture : ::testing::Test {
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CMemAllocator::Create(&alloc));
        ALLOCATOR_PROPERTIES req{1, 64, 1, 0}, actual{};
        ASSERT_EQ(S_OK, alloc->SetProperties(&req, &actual));
        ASSERT_EQ(S_OK, alloc->Commit());
        ASSERT_EQ(S_OK, alloc->GetBuffer(&sample, nullptr, nullptr, 0));
    }
    void TearDown() override
    {
        if (sample)
            sample->Release();
        alloc->Decommit();
        alloc->Release();
    }
    IMemAllocator* alloc = nullptr;
    IMediaSample* sample = nullptr;
};

}  // namespace

TEST_F(SampleFixture, TimesReportWhatWasSet)
{
    REFERENCE_TIME start = 0, end = 0;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &end));
    REFERENCE_TIME t0 = 1000, t1 = 2000;
    sample->SetTime(&t0, nullptr);
    EXPECT_EQ(VFW_S_NO_STOP_TIME, sample->GetTime(&start, &end));
    EXPECT_EQ(1000, start);
    EXPECT_EQ(1001, end);
    sample->SetTime(&t0, &t1);
    EXPECT_EQ(S_OK, sample->GetTime(&start, &end));
    EXPECT_EQ(2000, end);
    sample->SetTime(nullptr, nullptr);
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &end));
}

TEST_F(SampleFixture, TheDataLengthStaysInsideTheBuffer)
{
    EXPECT_EQ(S_OK, sample->SetActualDataLength(64));
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(65));
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(-1));
    EXPECT_EQ(64, sample->GetActualDataLength());
}

TEST_F(SampleFixture, FlagsAndTypeAreClearedWhenTheSampleComesBack)
{
    sample->SetDiscontinuity(TRUE);
    sample->SetSyncPoint(TRUE);
    REFERENCE_TIME t = 5;
    sample->SetTime(&t, nullptr);
    CMediaType stereo = mvtest::FloatType(2);
    ASSERT_EQ(S_OK, sample->SetMediaType(&stereo));

    AM_MEDIA_TYPE* copy = nullptr;
    ASSERT_EQ(S_OK, sample->GetMediaType(&copy));
    EXPECT_EQ(CMediaType(*copy), stereo);
    EXPECT_NE(copy->pbFormat, stereo.pbFormat);
    DeleteMediaType(copy);

    sample->Release();
    sample = nullptr;
    ASSERT_EQ(S_OK, alloc->GetBuffer(&sample, nullptr, nullptr, 0));
    EXPECT_EQ(S_FALSE, sample->IsDiscontinuity());
    EXPECT_EQ(S_FALSE, sample->IsSyncPoint());
    REFERENCE_TIME s, e;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&s, &e));
    EXPECT_EQ(S_FALSE, sample->GetMediaType(&copy));
    EXPECT_EQ(nullptr, copy);
}

TEST_F(SampleFixture, AnswersOnlyItsInterfaces)
{
    IUnknown* unk = nullptr;
    ASSERT_EQ(S_OK, sample->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk)));
    EXPECT_EQ(unk, static_cast<IUnknown*>(sample));
    unk->Release();
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, sample->QueryInterface(IID_IPin, &none));
    EXPECT_EQ(nullptr, none);
}
