// Stand-ins for what the buses talk to: the song document (which aux buses
// are used, positions, the automation switch, the undo and recorder logs,
// the metronome's click players), the engine's audio properties, a time
// converter at 120 beats a minute, and a click player whose filter adds a
// constant to every sample while its metronome is on and notes every call.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "../graph/InPlaceFilter.h"
#include "MixerFakes.h"
#include "engine/IMfxTimeConverter.h"
#include "engine/graph/IAudioProperties.h"
#include "engine/mixer/IBusDocument.h"
#include "engine/mixer/IMetronomePlayer.h"
#include "platform/com/CUnknownImpl.h"

namespace bustest {

using namespace mixertest;

inline bool InGraph(CDxFilterGraph* graph, const char16_t* name)
{
    IBaseFilter* f = nullptr;
    if (graph->GetGraph()->FindFilterByName(name, &f) != S_OK)
        return false;
    f->Release();
    return true;
}

class FakeAudio final : public IAudioProperties {
public:
    int GetSampleRate() override { return 48000; }
    LONGLONG GetSamplePosition() override { return 0; }
};

// 960 ticks a beat at 120 beats a minute: a tick is 1/1920 s.
class TickConverter final : public mvcom::CUnknownImpl<IMfxTimeConverter> {
public:
    STDMETHODIMP ConvertTime(MFX_TIME* time, DWORD target) override
    {
        if (time->format != MfxTimeTicks || target != MfxTimeSeconds)
            return E_INVALIDARG;
        time->seconds = static_cast<double>(time->ticks) / 1920.0;
        time->format = MfxTimeSeconds;
        return S_OK;
    }

protected:
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override
    {
        static const mvcom::InterfaceEntry table[] = {Entry<TickConverter, IMfxTimeConverter>(IID_IMfxTimeConverter)};
        return table;
    }
};

// The click filter adds `click` to every sample while the metronome is on.
class FakeClickPlayer final : public mvcom::CUnknownImpl<IMetronomePlayer> {
public:
    explicit FakeClickPlayer(std::vector<std::string>* log)
        : m_filter(new mvtest::InPlaceFilter([this](float* p, int n) {
              for (int i = 0; i < n; ++i)
                  p[i] += m_on ? click : 0.0f;
          })),
          m_log(log)
    {
        m_filter->AddRef();
    }
    IBaseFilter* GetFilter() override { return m_filter; }
    HRESULT Start(LONG t) override { return Note("start " + std::to_string(t)); }
    HRESULT Stop() override { return Note("stop"); }
    HRESULT SetEnabled(BOOL on) override
    {
        m_on = on != 0;
        return Note(std::string("enabled ") + (on ? "1" : "0"));
    }
    HRESULT SetVolume(float v) override { return Note("volume " + std::to_string(v)); }
    HRESULT SetFirstBeatUsesWave(BOOL w) override { return Note("first wave " + std::to_string(w)); }
    HRESULT SetOtherBeatsUseWave(BOOL w) override { return Note("other wave " + std::to_string(w)); }
    HRESULT SetBeatWave(BOOL first, const char* path) override
    {
        return Note(std::string(first ? "First" : "Other") + " " + path);
    }
    HRESULT SetFirstBeatPitch(LONG v) override { return Note("first pitch " + std::to_string(v)); }
    HRESULT SetFirstBeatVelocity(LONG v) override { return Note("first velocity " + std::to_string(v)); }
    HRESULT SetOtherBeatsPitch(LONG v) override { return Note("other pitch " + std::to_string(v)); }
    HRESULT SetOtherBeatsVelocity(LONG v) override { return Note("other velocity " + std::to_string(v)); }
    HRESULT SetToneDuration(LONG v) override { return Note("tone " + std::to_string(v)); }

    float click = 0.125f;

protected:
    ~FakeClickPlayer() override { m_filter->Release(); }
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override
    {
        static const mvcom::InterfaceEntry table[] = {Entry<FakeClickPlayer, IMetronomePlayer>(IID_IUnknown)};
        return table;
    }

private:
    HRESULT Note(const std::string& what)
    {
        if (m_log)
            m_log->push_back(what);
        return S_OK;
    }
    mvtest::InPlaceFilter* m_filter;
    std::vector<std::string>* m_log;
    bool m_on = false;
};

class BusDoc final : public ForwardingMixerDoc<IBusDocument> {
public:
    explicit BusDoc(CDxFilterGraph* g) : ForwardingMixerDoc(g) {}
    ~BusDoc() { converter->Release(); }

    IAudioProperties* GetAudioProperties() override { return hasRenderer ? &audio : nullptr; }
    BOOL IsAuxBusUsed(WORD index) override { return used.count(index) ? TRUE : FALSE; }
    int GetAuxBusPosition(WORD index) override { return index; }
    void InvalidateMuteState() override { ++muteInvalidations; }
    HRESULT SetAuxBusParam(WORD index, DWORD id, float value) override
    {
        return Note("aux " + std::to_string(index) + " " + std::to_string(id) + " " + std::to_string(value));
    }
    HRESULT SetMainBusParam(DWORD id, float value) override
    {
        return Note("main " + std::to_string(id) + " " + std::to_string(value));
    }
    HRESULT RecordBusParamValue(DWORD id, WORD bus, float) override
    {
        return Note("record " + std::to_string(id) + " " + std::to_string(bus));
    }
    HRESULT BeginBusParamTouch(DWORD id, WORD bus) override
    {
        return Note("begin " + std::to_string(id) + " " + std::to_string(bus));
    }
    HRESULT EndBusParamTouch(DWORD id, WORD bus) override
    {
        return Note("end " + std::to_string(id) + " " + std::to_string(bus));
    }
    BOOL IsAutomationPlaybackOn() override { return automationOn; }
    HRESULT CreateMetronomePlayer(IMetronomePlayer** player) override
    {
        *player = nullptr;
        if (FAILED(playerResult))
            return playerResult;
        lastPlayer = new FakeClickPlayer(&log);
        *player = lastPlayer;
        return S_OK;
    }

    HRESULT Note(const std::string& what)
    {
        log.push_back(what);
        return S_OK;
    }

    FakeAudio audio;
    TickConverter* converter = new TickConverter;
    bool hasRenderer = true;
    BOOL automationOn = TRUE;
    std::set<WORD> used;
    int muteInvalidations = 0;
    HRESULT playerResult = S_OK;
    FakeClickPlayer* lastPlayer = nullptr;
    std::vector<std::string> log;
};

}  // namespace bustest
