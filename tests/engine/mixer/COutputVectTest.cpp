#include "engine/mixer/COutputVect.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MixerFakes.h"
#include "model/CUndoHistory.h"

namespace {

using namespace mixertest;
using Log = std::vector<std::string>;

struct OutputVectTest : ::testing::Test {
    void SetUp() override
    {
        HRESULT hr = E_FAIL;
        graph = new CDxFilterGraph(&hr);
        ASSERT_EQ(S_OK, hr);
        doc = new FakeMixerDoc(graph);
        owner = new FakeVectOwner(&doc->params);
        outputs.emplace(owner);
    }
    void TearDown() override
    {
        for (int i = outputs->GetSize() - 1; i >= 0; --i) {
            COutputBranch* b = (*outputs)[i];
            b->RemoveFromGraph();
            DestroyOutputBranch(b);
        }
        outputs.reset();
        delete owner;
        doc->FlushKept();
        delete doc;
        delete graph;
    }
    COutputBranch* NewBranch()
    {
        COutputBranch* b = nullptr;
        EXPECT_EQ(S_OK, CreateOutputBranch(doc, doc, &b));
        return b;
    }

    CDxFilterGraph* graph = nullptr;
    FakeMixerDoc* doc = nullptr;
    FakeVectOwner* owner = nullptr;
    std::optional<COutputVect<COutputBranch*>> outputs;
};

TEST_F(OutputVectTest, InsertBuildsTheBranchAndRemoveReleasesIt)
{
    COutputBranch* b = NewBranch();
    ASSERT_EQ(S_OK, outputs->Insert(0, b));
    EXPECT_TRUE(b->IsBuilt());
    EXPECT_EQ((Log{"current", "outputParams", "refresh", "routing"}), owner->log);

    // A removal rebuilds the output parameters and the routing, but does not
    // send the channel's parameters again.
    owner->log.clear();
    ASSERT_EQ(S_OK, outputs->Remove(0));
    EXPECT_FALSE(b->IsBuilt());
    EXPECT_EQ((Log{"current", "outputParams", "routing"}), owner->log);
    EXPECT_TRUE(owner->unlockedCalls.empty());
    doc->FlushKept();
    DestroyOutputBranch(b);
}

TEST_F(OutputVectTest, ABranchThatCannotBeBuiltDoesNotStay)
{
    ASSERT_EQ(S_OK, outputs->Insert(0, NewBranch()));
    COutputBranch* b = NewBranch();
    // The engine has gone: the branch cannot enter the graph.
    doc->graph = nullptr;
    owner->log.clear();
    EXPECT_EQ(E_UNEXPECTED, outputs->Insert(1, b));
    EXPECT_EQ(1, outputs->GetSize());
    EXPECT_TRUE(owner->log.empty());
    EXPECT_EQ(E_UNEXPECTED, outputs->Insert(0, nullptr));
    EXPECT_EQ(1, outputs->GetSize());
    doc->graph = graph;
    DestroyOutputBranch(b);
}

}  // namespace
