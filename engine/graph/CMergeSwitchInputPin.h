// An input of a merge switch ("MergeSwitchIPin"). In pass-through mode each
// block goes on through the switch's selected output; in level-only mode
// (set by a partner switch while it feeds silence into the path that ends
// here) blocks are only measured, and the silence countdown tells how long
// the path has been quiet. It keeps the rate and channel count of its type
// and the position (in frames) of the stream that passed it.
//
// Its lock is the switch's filter lock. Receive runs on the pushing thread.
#pragma once

#include "engine/graph/CDxInputPin.h"

class CMergeSwitch;

class CMergeSwitchInputPin : public CDxInputPin {
public:
    CMergeSwitchInputPin(CMergeSwitch* owner, HRESULT* phr, CDxFilterGraph* graph);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT BreakConnect() override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    // Audio thread: no allocation, no blocking.
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    int Rate() const { return m_rate; }
    WORD Channels() const { return m_channels; }
    BOOL IsLevelOnly() const { return m_levelOnly; }
    void SetLevelOnly(BOOL levelOnly) { m_levelOnly = levelOnly; }
    int Countdown() const { return m_countdown; }
    void SetCountdown(int frames) { m_countdown = frames; }
    LONGLONG Position() const { return m_position; }
    void SetPosition(LONGLONG frames) { m_position = frames; }

private:
    CMergeSwitch* m_switch;
    int m_rate = 44100;
    WORD m_channels = 2;
    BOOL m_levelOnly = FALSE;
    int m_countdown = 0;
    LONGLONG m_position = 0;
};
