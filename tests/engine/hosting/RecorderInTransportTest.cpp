// The recorder inside the engine owner: made by the program's factory, told
// the song document when the document attaches itself, and committed when
// the transport stops. The engine's other parts are the engine owner's test
// fakes.
#include <gtest/gtest.h>

#include "engine/hosting/CHostingEngineFactory.h"
#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CRecorder.h"
#include "model/IEngineServices.h"
#include "tests/engine/TransportRig.h"
#include "tests/engine/hosting/RecorderFixture.h"

namespace {

using namespace rectest;

class RealRecorderFactory : public mvtest::FakeEngineFactory {
public:
    ITransportRecorder* CreateRecorder() override { return CHostingEngineFactory().CreateRecorder(); }
};

class RecorderInTransport : public mvtest::TransportRig {
protected:
    void SetUp() override
    {
        TransportRig::SetUp();
        transport = std::make_unique<CTransport>(&realFactory, RecordSleep);
        ASSERT_EQ(S_OK, transport->Init(FALSE));
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(transport.get(), &song));
        ASSERT_EQ(S_OK, song->InsertChannel(0, FALSE, &CLSID_NoSynth, "", nullptr));
        ASSERT_EQ(S_OK, song->SetActiveContainer(song->GetChannelIdAt(0), TRUE, nullptr));
        recorder = dynamic_cast<CRecorder*>(transport->GetRecorder());
        ASSERT_NE(nullptr, recorder);
    }
    void TearDown() override
    {
        if (song != nullptr)
            CMidiDoc::DestroyMidiDoc(song);
        CUndoHistory::Instance().Clear();
        TransportRig::TearDown();
    }

    RealRecorderFactory realFactory;
    CMidiDoc* song = nullptr;
    CRecorder* recorder = nullptr;
};

TEST_F(RecorderInTransport, StoppingTheTransportCommitsTheTakeIntoTheAttachedSong)
{
    ASSERT_EQ(S_OK, recorder->BeginTake(CRecorder::kModeStep));
    const SHORT id = song->GetActivePatternIdRaw();
    recorder->OnShortMsg(NoteOn(60), 0, 0);
    recorder->OnShortMsg(NoteOff(60), 0, 0);
    recorder->OnShortMsg(NoteOn(62), 0, 0);
    recorder->OnShortMsg(NoteOff(62), 0, 0);
    ASSERT_EQ(S_OK, transport->Stop());
    EXPECT_FALSE(recorder->IsRecording());
    CPattern* made = nullptr;
    ASSERT_EQ(S_OK, song->GetPattern(id, &made));
    EXPECT_EQ((std::vector<Heard>{{0, 60, 90, 960}, {960, 62, 90, 960}}), NotesOf(made));
    int steps = 0;
    CUndoHistory::Instance().GetCount(&steps);
    EXPECT_EQ(1, steps);
}

TEST_F(RecorderInTransport, PatternPlaybackFindsTheRunningTakeThroughTheEngineServices)
{
    IEngineServices* services = GetEngineServices();
    ASSERT_NE(nullptr, services);
    ASSERT_EQ(static_cast<IRecorder*>(recorder), services->GetRecorder());
    ASSERT_EQ(S_OK, recorder->BeginTake(CRecorder::kModePattern));
    const SHORT id = song->GetActivePatternIdRaw();
    EXPECT_TRUE(services->GetRecorder()->IsRecordingPattern(id));
    ASSERT_EQ(S_OK, transport->Stop());
    EXPECT_FALSE(services->GetRecorder()->IsRecordingPattern(id));
    transport->Shutdown();
    EXPECT_EQ(nullptr, GetEngineServices()) << "gone with the engine";
}

TEST_F(RecorderInTransport, DetachingTheSongDiscardsARunningTake)
{
    const int patterns = song->GetPatternCount();
    ASSERT_EQ(S_OK, recorder->BeginTake(CRecorder::kModePattern));
    EXPECT_EQ(patterns + 1, song->GetPatternCount());
    ASSERT_EQ(S_OK, transport->SetDocument(nullptr));
    EXPECT_FALSE(recorder->IsRecording());
    EXPECT_EQ(patterns, song->GetPatternCount());
    EXPECT_EQ(E_UNEXPECTED, recorder->BeginTake(CRecorder::kModePattern)) << "no song any more";
}

}  // namespace
