#include "engine/CEngineServices.h"

#include "engine/CTransport.h"

IClipPool* CEngineServices::GetClipPool() { return m_transport.GetClipPool(); }

DWORD CEngineServices::GetSampleRate()
{
    const int rate = m_transport.GetSampleRate();
    return rate > 0 ? DWORD(rate) : 0;
}
