#include "engine/CMediaSampleFifo.h"

bool CMediaSampleFifo::Push(IMediaSample* sample)
{
    if (m_count == kCapacity || !sample)
        return false;
    // The query's reference is the one the ring holds.
    IDeferZeroFill* face = nullptr;
    if (FAILED(sample->QueryInterface(IID_IDeferZeroFill, reinterpret_cast<void**>(&face)))) {
        face = nullptr;
        sample->AddRef();
    }
    m_ring[m_write] = Entry{sample, face};
    m_write = (m_write + 1) % kCapacity;
    ++m_count;
    return true;
}

void CMediaSampleFifo::Pop()
{
    if (m_count == 0)
        return;
    Entry& e = m_ring[m_read];
    IMediaSample* sample = e.sample;
    e = Entry{};
    m_read = (m_read + 1) % kCapacity;
    --m_count;
    sample->Release();
}

void CMediaSampleFifo::Flush()
{
    while (m_count > 0)
        Pop();
}
