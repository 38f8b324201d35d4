// The phaser as an engine of the synth framework: an in-place stereo audio
// effect. It maps the nine automatable parameters onto the phaser engine
// once per slice (a setter runs only when its value changed), accepts only
// 32-bit float stereo, copies the input through while switched off,
// follows the host's tempo for tempo sync and keeps the parameter values
// as its persistent state (84 bytes: a count of 10, then index and value
// pairs).
//
// Threads: Process on the streaming thread, the rest on the host's control
// thread; the framework's lock (this object) serialises them all, and the
// engine takes no lock of its own. Parameter changes arrive through the
// media-parameter object on other threads and are picked up per slice.
#pragma once

#include <memory>

#include "CPhaserEngine.h"
#include "ITempoSyncInfo.h"
#include "PhaserClass.h"
#include "plugins/synthframework/CDXi.h"
#include "plugins/synthframework/CFilter.h"

namespace mvphaser {

class CPhaser : public mvsynth::CDXi {
public:
    static constexpr ULONG kStateBytes = 84;
    static constexpr DWORD kSavedCount = 10;

    static const mvsynth::SynthClass& Class();

    CPhaser();
    ~CPhaser() override;

    HRESULT Initialize() override;
    HRESULT CheckInputFormat(const WAVEFORMATEX* format) override;
    HRESULT CheckOutputFormat(const WAVEFORMATEX* format) override;
    HRESULT CheckFormats(const WAVEFORMATEX* input, const WAVEFORMATEX* output) override;
    HRESULT AdjustOutputFormat(WAVEFORMATEX* format) override;
    // Audio thread: no allocation, no blocking.
    HRESULT Process(LONGLONG position, const mvsynth::DXiBuffer* input, mvsynth::DXiBuffer* outputs,
                    DWORD outputCount, LONGLONG renderedTotal, const mvsynth::DXiEventList& events) override;
    // Every note stays: an effect has none to end.
    HRESULT UpdateNote(const mvsynth::DXiEvent&, bool) override { return S_FALSE; }
    HRESULT SetFormat(WORD tag, WORD channels, DWORD rate, DWORD bytesPerSecond, WORD blockAlign) override;
    ULONG GetStateSize() override { return kStateBytes; }
    HRESULT LoadState(IStream* stream) override;
    HRESULT SaveState(IStream* stream) override;
    // Leaving the stopped state: the LFO starts over and the engine gets
    // every parameter that changed, its level without a glide.
    HRESULT OnStreamStart() override;
    HRESULT QueryEngineInterface(IUnknown* owner, REFIID riid, void** ppv) override;

    // Phase to 0, changed parameters to the engine, level snapped.
    void Reapply();
    BOOL IsTempoSyncAvailable();

    const CPhaserEngine& Engine() const { return *m_engine; }
    LONGLONG FramesProcessed() const { return m_framesProcessed; }

private:
    class CTempoSyncInfo;
    using Setter = void (CPhaserEngine::*)(float);

    // Hands the engine each parameter 0..7 whose value changed. Audio
    // thread: no allocation, no blocking.
    void ApplyChangedParams();
    float CurrentValue(DWORD index) const;

    std::unique_ptr<CPhaserEngine> m_engine;
    std::unique_ptr<CTempoSyncInfo> m_tempoSyncInfo;
    LONG m_lastTempo = 9;
    float m_lastValue[kPhaserParamCount];
    double m_bpm = 0.0;
    float m_frame[2] = {0.0f, 0.0f};
    LONGLONG m_framesProcessed = 0;
    Setter m_setter[kParamPower];
};

}  // namespace mvphaser
