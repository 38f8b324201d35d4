// Media samples on the streaming thread, watched: every IMediaSample call a
// filter makes while a block passes, attaching a media type included (the
// merge switch attaches its output's type to every silent block it feeds
// into an effect's tail), touches no heap.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/media/CMediaType.h"
#include "platform/media/CMemAllocator.h"
#include "platform/media/MediaTypes.h"
#include "tests/rt/RtProbe.h"

namespace {

// An audio type whose format block is a WAVEFORMATEX followed by `extra`
// bytes of its own.
CMediaType AudioTypeWithFormatBytes(ULONG extra)
{
    std::vector<BYTE> block(sizeof(WAVEFORMATEX) + extra, 0x5A);
    WAVEFORMATEX wfx{WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 48000 * 8, 8, 32, static_cast<WORD>(extra)};
    std::memcpy(block.data(), &wfx, sizeof wfx);
    CMediaType mt;
    mt.InitMediaType();
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_IEEE_FLOAT;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.SetFormat(block.data(), static_cast<ULONG>(block.size()));
    return mt;
}

TEST(MediaSampleRtTest, AttachingATypeNeverAllocatesAndATypeWithNoRoomLeavesTheSampleAsItWas)
{
    IMemAllocator* alloc = nullptr;
    ASSERT_EQ(S_OK, CMemAllocator::Create(&alloc));
    ALLOCATOR_PROPERTIES request{1, 256, 1, 0}, actual{};
    ASSERT_EQ(S_OK, alloc->SetProperties(&request, &actual));
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, alloc->GetBuffer(&sample, nullptr, nullptr, 0));

    CMediaType engineType = AudioTypeWithFormatBytes(0);
    CMediaType extensible = AudioTypeWithFormatBytes(22);
    CMediaType oversized = AudioTypeWithFormatBytes(200);
    HRESULT small = E_FAIL, wide = E_FAIL, big = S_OK;
    mvrt::ResetCounts();
    {
        mvrt::WatchedScope watched;
        small = sample->SetMediaType(&engineType);
        wide = sample->SetMediaType(&extensible);
        big = sample->SetMediaType(&oversized);
    }
    const mvrt::Counts c = mvrt::ReadCounts();
    EXPECT_EQ(0, c.allocations);
    EXPECT_EQ(0, c.releases);
    EXPECT_EQ(S_OK, small);
    EXPECT_EQ(S_OK, wide);
    EXPECT_EQ(E_OUTOFMEMORY, big) << "a format block beyond the sample's own room is refused, not allocated";

    // The sample still carries the last type it took.
    AM_MEDIA_TYPE* carried = nullptr;
    ASSERT_EQ(S_OK, sample->GetMediaType(&carried));
    EXPECT_EQ(CMediaType(*carried), extensible);
    DeleteMediaType(carried);

    sample->Release();
    alloc->Decommit();
    alloc->Release();
}

}  // namespace
