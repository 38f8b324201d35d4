#include <gtest/gtest.h>

#include <cstring>

#include "engine/graph/DxSampleOps.h"
#include "engine/graph/SampleKernels.h"

namespace {

struct SilentSampleFixture : ::testing::Test {
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CreateDxAllocator(&alloc));
        ALLOCATOR_PROPERTIES req{1, 64, 1, 0}, actual{};
        ASSERT_EQ(S_OK, alloc->SetProperties(&req, &actual));
        ASSERT_EQ(S_OK, alloc->Commit());
        ASSERT_EQ(S_OK, alloc->GetBuffer(&sample, nullptr, nullptr, 0));
        BYTE* p = nullptr;
        GetWritePointer(sample, &p);
        data = reinterpret_cast<float*>(p);
        for (int i = 0; i < 16; ++i)
            data[i] = 0.5f;
    }
    void TearDown() override
    {
        sample->Release();
        alloc->Decommit();
        alloc->Release();
    }
    std::vector<float> Read()
    {
        BYTE* p = nullptr;
        EXPECT_EQ(S_OK, sample->GetPointer(&p));
        const float* f = reinterpret_cast<const float*>(p);
        return std::vector<float>(f, f + 16);
    }
    CDxAllocator* alloc = nullptr;
    IMediaSample* sample = nullptr;
    float* data = nullptr;
};

constexpr float z = 0.0f;
constexpr float t = 1e-20f;
constexpr float h = 0.5f;

}  // namespace

TEST(SilencePattern, UsesTheTinyValueWithItsExactBits)
{
    std::uint32_t bits;
    std::memcpy(&bits, &kSilenceValue, 4);
    EXPECT_EQ(0x1E3CE508u, bits);
}

TEST_F(SilentSampleFixture, AMarkedSampleReadsAsTheSilencePatternOverItsLength)
{
    sample->SetActualDataLength(8 * 4);
    MarkSilent(sample);
    EXPECT_EQ((std::vector<float>{z, z, t, t, z, z, t, t, h, h, h, h, h, h, h, h}), Read());
    EXPECT_FALSE(IsZeroFillPending(sample));
}

TEST_F(SilentSampleFixture, AShortLengthStartsWithTheHeadOfTinyValues)
{
    sample->SetActualDataLength(3 * 4);
    MarkSilent(sample);
    EXPECT_EQ((std::vector<float>{t, t, t, h, h, h, h, h, h, h, h, h, h, h, h, h}), Read());
}

TEST_F(SilentSampleFixture, GetPointerNoFillGivesTheOldContentsAndClearsTheMark)
{
    sample->SetActualDataLength(16 * 4);
    MarkSilent(sample);
    BYTE* p = nullptr;
    ASSERT_EQ(S_OK, GetWritePointer(sample, &p));
    EXPECT_EQ(h, reinterpret_cast<float*>(p)[0]);
    EXPECT_FALSE(IsZeroFillPending(sample));
    EXPECT_EQ(std::vector<float>(16, h), Read());
}

TEST_F(SilentSampleFixture, AnUnmarkedSampleReadsAsWritten)
{
    sample->SetActualDataLength(16 * 4);
    EXPECT_EQ(std::vector<float>(16, h), Read());
}
