#include "engine/graph/CMediaSampleFifo.h"

void CMediaSampleFifo::Flush()
{
    while (m_count > 0)
        Pop();
}
