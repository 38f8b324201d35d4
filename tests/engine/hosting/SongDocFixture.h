// A fresh song document over the fake engine owner for each test, with the
// process-wide undo history empty before and after it.
#pragma once

#include <gtest/gtest.h>

#include "engine/hosting/CMidiDoc.h"
#include "model/CUndoHistory.h"
#include "tests/engine/hosting/DocumentEngineFake.h"

namespace songdoctest {

class SongDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        if (doc != nullptr)
            CMidiDoc::DestroyMidiDoc(doc);
    }

    FakeEngine engine;
    CMidiDoc* doc = nullptr;
};

}  // namespace songdoctest
