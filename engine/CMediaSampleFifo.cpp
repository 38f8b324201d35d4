#include "engine/CMediaSampleFifo.h"

void CMediaSampleFifo::Flush()
{
    while (m_count > 0)
        Pop();
}
