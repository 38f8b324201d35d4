#include "model/CMeterKey.h"

#include <gtest/gtest.h>

#include "tests/model/ChunkBytes.h"

using chunktest::Bytes;

namespace {

TEST(CMeterKeyTest, StandsAloneAsOneSevenByteChunk)
{
    CMeterKey entry(9, 7, 3, -2);
    mvcom::CComPtr<IStream> stream = chunktest::StreamOf({});
    ASSERT_EQ(S_OK, entry.Save(stream.Get(), TRUE));
    Bytes payload;
    payload.U32(9).U8(7).U8(3).U8(0xFE);
    EXPECT_EQ(payload.AsChunk(0x600D0000), chunktest::BytesOf(stream.Get()));

    CMeterKey loaded;
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, loaded.Load(stream.Get()));
    EXPECT_EQ(9, loaded.m_measure);
    EXPECT_EQ(7, loaded.m_numerator);
    EXPECT_EQ(3, loaded.m_power);
    EXPECT_EQ(-2, loaded.m_key);
}

TEST(CMeterKeyTest, LoadingRefusesASignatureThatCannotBeDividedBy)
{
    for (auto [numerator, power] : {std::pair{0, 2}, std::pair{0xFF, 2}, std::pair{4, 12}}) {
        SCOPED_TRACE(testing::Message() << numerator << " " << power);
        Bytes payload;
        payload.U32(2).U8(static_cast<std::uint8_t>(numerator)).U8(static_cast<std::uint8_t>(power)).U8(0);
        CMeterKey entry(5, 6, 3, 1);
        EXPECT_EQ(E_INVALIDARG, entry.Load(chunktest::StreamOf(payload.AsChunk(0x600D0000)).Get()));
        EXPECT_EQ(5, entry.m_measure);
        EXPECT_EQ(6, entry.m_numerator);
        EXPECT_EQ(3, entry.m_power);
    }
}

TEST(CMeterKeyTest, ValidSignaturesSpanTheirBytesAndTheResolution)
{
    EXPECT_TRUE(CMeterKey::IsValid(1, 0, -128, 960));
    EXPECT_TRUE(CMeterKey::IsValid(127, 11, 127, 960));
    EXPECT_FALSE(CMeterKey::IsValid(4, 11, 0, 480));  // one tick per beat needs 480 x 4 >= 2^11
    EXPECT_FALSE(CMeterKey::IsValid(4, 31, 0, 960));
    EXPECT_FALSE(CMeterKey::IsValid(4, 2, -129, 960));
}

}  // namespace
