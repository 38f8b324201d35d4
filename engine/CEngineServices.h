// The engine owner as model code finds it (GetEngineServices): the loop-clip
// pool the transport keeps from engine start to shut-down, its recorder when
// that answers the model's questions about a running take, and the sample
// rate at which clip positions are counted in frames. The transport
// registers it once its clip pool and recorder exist and takes it back before
// they go.
//
// UI thread; GetRecorder and GetSampleRate may be asked from the audio thread.
#pragma once

#include <atomic>

#include "model/IEngineServices.h"

class CTransport;

class CEngineServices : public IEngineServices {
public:
    explicit CEngineServices(CTransport& transport) : m_transport(transport) {}
    CEngineServices(const CEngineServices&) = delete;
    CEngineServices& operator=(const CEngineServices&) = delete;
    virtual ~CEngineServices() = default;

    IClipPool* GetClipPool() override;
    // UI thread, before the services are registered and after they are
    // taken back: the recorder that playback asks, or null.
    void SetRecorder(IRecorder* recorder) { m_recorder.store(recorder, std::memory_order_release); }
    // Audio thread: no allocation, no blocking.
    IRecorder* GetRecorder() override { return m_recorder.load(std::memory_order_acquire); }
    // Audio thread: no allocation, no blocking.
    DWORD GetSampleRate() override;

private:
    CTransport& m_transport;
    std::atomic<IRecorder*> m_recorder{nullptr};
};
