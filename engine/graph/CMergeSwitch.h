// The routing filter of the effect paths: every block that arrives on any
// input leaves at once through the one selected output (widened to stereo
// or folded to mono when the output's channel count differs). Its second
// duty is tail flushing: while a switch target is set, every block that
// passes also sends one silent block into that output's path, and the
// partner switch at the end of the path measures what comes back without
// passing it on, until the path has been quiet for one second.
//
// Receive, the pin notifications and the setters run under the filter
// lock; Receive only tries it. Owners change the routing on the UI thread
// under the engine locks.
#pragma once

#include <vector>

#include "engine/graph/CMergeSwitchInputPin.h"
#include "engine/graph/CMergeSwitchOutputPin.h"
#include "platform/media/CBaseFilter.h"

class CDxFilterGraph;

MV_DEFINE_GUID(CLSID_MergeSwitch, 0xBF7C9A4B, 0xC52C, 0x4806, 0xA7, 0x4D, 0xD8, 0x81, 0x1C, 0x87, 0x8C, 0xC6);

class CMergeSwitch : public CCritSec, public CBaseFilter {
public:
    // A new switch with one reference. E_INVALIDARG for a negative count.
    static HRESULT Create(CDxFilterGraph* graph, int inputs, int outputs, CMergeSwitch** out);
    ~CMergeSwitch() override;

    int GetPinCount() override;
    // Inputs first, then outputs.
    CBasePin* GetPin(int n) override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;

    // E_INVALIDARG unless 0 <= n < outputs.
    HRESULT SetSelectedOutput(int n);
    // E_INVALIDARG unless -1 <= n < outputs. A real target restarts the
    // partner's one-second countdown on its input n.
    HRESULT SetSwitchTarget(int n);
    void SetPartner(CMergeSwitch* partner);
    void SetResume(BOOL resume);

    int GetSelectedOutput() const { return m_selected; }
    int GetSwitchTarget() const { return m_target; }
    BOOL GetResume() const { return m_resume; }
    CMergeSwitch* GetPartner() const { return m_partner; }
    int InputCount() const { return static_cast<int>(m_inputs.size()); }
    int OutputCount() const { return static_cast<int>(m_outputs.size()); }
    CMergeSwitchInputPin* InputPin(int n) const;
    CMergeSwitchOutputPin* OutputPin(int n) const;
    CDxFilterGraph* Graph() const { return m_graph; }

    // Audio thread: no allocation, no blocking. One block arriving on `in`.
    HRESULT ReceiveOn(CMergeSwitchInputPin* in, IMediaSample* sample);

    // The switch's own type test: float, 32 bits, 1 or 2 channels, with a
    // wave format (VFW_E_TYPE_NOT_ACCEPTED otherwise).
    static HRESULT CheckSwitchType(const AM_MEDIA_TYPE* mt);

    // Blocks quieter than this (a squared peak) count as silence.
    static constexpr float kQuietLevel = 1e-5f;

private:
    CMergeSwitch(CDxFilterGraph* graph);

    // Widens or folds the block in place to `channels`.
    // Audio thread: no allocation, no blocking (this and FeedTail).
    static HRESULT ConvertInPlace(IMediaSample* sample, WORD to);
    // Sends one silent block into the target output's path.
    HRESULT FeedTail(CMergeSwitchInputPin* in, LONG length);
    // With no input connected, end-of-stream goes out at once.
    void EndIfUnfed();

    CDxFilterGraph* m_graph;
    std::vector<CMergeSwitchInputPin*> m_inputs;
    std::vector<CMergeSwitchOutputPin*> m_outputs;
    int m_selected = 0;
    CMergeSwitch* m_partner = nullptr;
    int m_target = -1;
    BOOL m_resume = FALSE;
};
