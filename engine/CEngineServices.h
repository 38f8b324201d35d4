// The engine owner as model code finds it (GetEngineServices): the loop-clip
// pool the transport keeps from engine start to shut-down and the sample rate
// at which clip positions are counted in frames. The transport registers it
// once its clip pool exists and takes it back before the pool goes.
//
// No recorder is offered yet: the engine's recorder does not answer the
// model's questions about a running take, so rendering asks none.
//
// UI thread; GetRecorder and GetSampleRate may be asked from the audio thread.
#pragma once

#include "model/IEngineServices.h"

class CTransport;

class CEngineServices : public IEngineServices {
public:
    explicit CEngineServices(CTransport& transport) : m_transport(transport) {}
    CEngineServices(const CEngineServices&) = delete;
    CEngineServices& operator=(const CEngineServices&) = delete;
    virtual ~CEngineServices() = default;

    IClipPool* GetClipPool() override;
    // Audio thread: no allocation, no blocking.
    IRecorder* GetRecorder() override { return nullptr; }
    // Audio thread: no allocation, no blocking.
    DWORD GetSampleRate() override;

private:
    CTransport& m_transport;
};
