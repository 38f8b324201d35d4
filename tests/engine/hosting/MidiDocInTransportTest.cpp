// The song document attached to the engine owner: it listens to the
// engine's MIDI source while it lives, and a live tempo is written into the
// tempo map when the transport stops, the song staying where it was. The
// engine's other parts are the engine owner's test fakes.
#include <gtest/gtest.h>

#include "engine/hosting/CMidiDoc.h"
#include "model/CUndoHistory.h"
#include "tests/engine/TransportRig.h"

namespace {

class MidiDocInTransport : public mvtest::TransportRig {
protected:
    void SetUp() override
    {
        TransportRig::SetUp();
        transport = std::make_unique<CTransport>(&factory, RecordSleep);
        ASSERT_EQ(S_OK, transport->Init(FALSE));
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(transport.get(), &song));
    }
    void TearDown() override
    {
        if (song != nullptr)
            CMidiDoc::DestroyMidiDoc(song);
        CUndoHistory::Instance().Clear();
        TransportRig::TearDown();
    }

    CMidiDoc* song = nullptr;
};

TEST_F(MidiDocInTransport, TheSongIsANormalSinkOfTheEnginesMidiSourceWhileItLives)
{
    ASSERT_NE(nullptr, factory.midiSource);
    EXPECT_EQ(1u, factory.midiSource->normal.count(song));
    EXPECT_EQ(0u, factory.midiSource->priority.count(song));
    CMidiSink* sink = song;
    CMidiDoc::DestroyMidiDoc(song);
    EXPECT_EQ(0u, factory.midiSource->normal.count(sink));
}

TEST_F(MidiDocInTransport, StoppingWritesTheLiveTempoIntoTheMapAndKeepsThePosition)
{
    ASSERT_EQ(S_OK, transport->Locate(1920));
    ASSERT_EQ(S_OK, song->SetLiveTempo(0, 6000));
    ASSERT_EQ(S_OK, transport->Stop());
    const CTempoMap& map = *song->GetTempoMap();
    ASSERT_EQ(1, map.GetSize());
    EXPECT_EQ(6000, map[0].m_tempo);
    EXPECT_EQ(S_FALSE, map.GetFixedTempo(nullptr, nullptr, nullptr));
    EXPECT_STREQ("Change Tempo from 140.0 to 60.0", CUndoHistory::Instance().GetCommandName(0));
    EXPECT_EQ(1920, transport->GetNowTicks(FALSE));
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(14000, map[0].m_tempo);
}

}  // namespace
