// A saved song sounds as it did: four channels of the sine instrument,
// saved, loaded into a fresh document and played again, give the same
// samples (their difference is silence).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/engine/hosting/ProjectTestSupport.h"
#include "tests/engine/hosting/SineSongFixture.h"

namespace {

using songplay::SineSongFixture;

class ProjectSoundTest : public SineSongFixture {};

TEST_F(ProjectSoundTest, LoadedSongPlaysTheSameSamples)
{
    BuildSong();
    const int blocks = SongBlocks();
    const std::vector<float> before = Play(blocks);
    double peak = 0;
    for (float s : before)
        peak = std::max(peak, static_cast<double>(std::fabs(s)));
    ASSERT_GT(peak, 0.1) << "the song is heard";

    projtest::FakeEngineOwner owner;
    std::vector<BYTE> saved;
    ASSERT_EQ(S_OK, projtest::SaveProject(doc, &owner, &saved));

    audio.SetDocument(nullptr);
    data.SetDocument(nullptr);
    SetSongDocument(nullptr);
    CUndoHistory::Instance().Clear();
    CMidiDoc::DestroyMidiDoc(doc);
    ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
    ASSERT_EQ(S_OK, projtest::LoadProject(doc, &owner, saved));
    SetSongDocument(doc);
    ASSERT_EQ(4, doc->GetChannelCount());
    ASSERT_EQ(S_OK, doc->RebuildGraph());
    audio.SetDocument(doc->GetRenderDocument());
    data.SetDocument(doc);
    ASSERT_EQ(S_OK, audio.Prepare());
    const std::vector<float> after = Play(blocks);

    ASSERT_EQ(before.size(), after.size());
    double residue = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        residue = std::max(residue, static_cast<double>(std::fabs(before[i] - after[i])));
    EXPECT_LT(residue, 1e-6);

    std::vector<BYTE> again;
    ASSERT_EQ(S_OK, projtest::SaveProject(doc, &owner, &again));
    EXPECT_EQ(saved, again);
}

}  // namespace
