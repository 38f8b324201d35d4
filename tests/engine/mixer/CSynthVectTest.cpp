#include "engine/mixer/CSynthVect.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MixerFakes.h"
#include "model/CMvCommand.h"
#include "model/CUndoHistory.h"
#include "model/CUndoInsertPtrStep.h"
#include "model/SubmitUndoStep.h"

namespace {

using namespace mixertest;
using Log = std::vector<std::string>;

struct SynthVectTest : ::testing::Test {
    void SetUp() override { CUndoHistory::Instance().Clear(); }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        for (int i = synths.GetSize() - 1; i >= 0; --i)
            delete synths[i];
    }
    // One undoable insert, as a channel's synth change files it.
    HRESULT InsertUndoable(FakeSynth* synth)
    {
        CMvCommand* command = BeginProjectCommand(&doc, "Set Synth", 0, TRUE, TRUE);
        try {
            SubmitUndoStep<CUndoInsertPtrStep<int, ISynthWrap>>(command, synths, 0, synth);
        } catch (const CHResultException& e) {
            command->AbortAndDelete();
            return e.Code();
        }
        return command->Commit(&CUndoHistory::Instance());
    }

    FakeMixerDoc doc{nullptr};
    FakeVectOwner owner{&doc.params};
    CSynthVect<ISynthWrap*> synths{&owner};
};

TEST_F(SynthVectTest, AttachAndDetachFollowEditsUndoAndRedo)
{
    auto* synth = new FakeSynth();
    synth->offersCallback = true;
    ASSERT_EQ(S_OK, InsertUndoable(synth));
    ASSERT_NE(nullptr, synth->GetFilter());
    EXPECT_NE(nullptr, synth->Plug()->callback);
    EXPECT_EQ((Log{"synth", "dirty"}), owner.log);

    // Undo: the property page closes and the filter is handed to the
    // keep-alive set before it leaves the graph.
    owner.log.clear();
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(0, synths.GetSize());
    EXPECT_EQ((Log{"close", "keep", "synth none", "dirty"}), owner.log);
    EXPECT_EQ(synth->GetFilter(), owner.kept.back());
    EXPECT_EQ(1, synth->removedFromGraph);
    EXPECT_EQ(nullptr, synth->Plug()->callback);

    owner.log.clear();
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo());
    EXPECT_EQ(synth, synths[0]);
    EXPECT_NE(nullptr, synth->Plug()->callback);
    EXPECT_EQ((Log{"synth", "dirty"}), owner.log);
    EXPECT_TRUE(owner.unlockedCalls.empty());
}

TEST_F(SynthVectTest, ALoopClipPlayerRegistersTheChannelsClips)
{
    auto* synth = new FakeSynth();
    synth->loopClips = TRUE;
    ASSERT_EQ(S_OK, synths.Insert(0, synth));
    EXPECT_EQ((Log{"clips", "synth", "dirty"}), owner.log);
}

struct AttachFailure {
    const char* name;
    bool failCreate;
    bool failSetCallback;
    HRESULT expected;
};

class SynthVectAttachFailure : public SynthVectTest, public ::testing::WithParamInterface<AttachFailure> {};

TEST_P(SynthVectAttachFailure, LeavesNothingBehind)
{
    int destroyed = 0;
    auto* synth = new FakeSynth(&destroyed);
    synth->failCreate = GetParam().failCreate;
    synth->offersCallback = true;
    synth->failSetCallback = GetParam().failSetCallback;
    EXPECT_EQ(GetParam().expected, InsertUndoable(synth));
    EXPECT_EQ(0, synths.GetSize());
    int commands = 0;
    CUndoHistory::Instance().GetCount(&commands);
    EXPECT_EQ(0, commands);
    EXPECT_EQ(S_FALSE, doc.params.RemoveUICallback({synth->GetClsid(), synth->GetInstanceGuid()}));
    EXPECT_TRUE(owner.log.empty());
    // The submitter still owns the wrapper.
    EXPECT_EQ(0, destroyed);
    delete synth;
}

INSTANTIATE_TEST_SUITE_P(Attach, SynthVectAttachFailure,
                         ::testing::Values(AttachFailure{"FilterNotMade", true, false, E_OUTOFMEMORY},
                                           AttachFailure{"EditorRefusesCallback", false, true, E_FAIL}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SynthVectTest, AnEmptySlotCannotBeAttached)
{
    EXPECT_EQ(E_UNEXPECTED, synths.Insert(0, nullptr));
    EXPECT_EQ(0, synths.GetSize());
    EXPECT_EQ(E_INVALIDARG, synths.Remove(0));
    EXPECT_EQ(E_INVALIDARG, synths.Insert(1, nullptr));
}

}  // namespace
