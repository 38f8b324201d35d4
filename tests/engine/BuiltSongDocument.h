// A fake song of `channels` channels whose filters a test or benchmark
// builds into the engine owner's graph (with mvtest::GraphBuilder) once the
// device has set the block length. Each channel reaches the master bus
// twice at unity gain: through its own path and through its aux send.
// Header-only: benchmarks include it without the test support library.
#pragma once

#include "engine/graph/CDxBufRenderer.h"
#include "tests/engine/TransportFakes.h"

namespace mvtest {

class BuiltSongDocument : public FakeTransportDocument {
public:
    BuiltSongDocument(Journal* journal, int channels) : FakeTransportDocument(journal), m_channels(channels)
    {
        graphDirty = 0;
    }
    // The filters stay with the engine owner's graph, which releases them.
    ~BuiltSongDocument()
    {
        if (m_renderer)
            m_renderer->ReleaseSample();
    }

    // How many times the input reaches the master bus at unity gain.
    int Paths() const { return 2 * m_channels; }

protected:
    int m_channels;
    CDxBufRenderer* m_renderer = nullptr;
};

}  // namespace mvtest
