// What the audio renderer reads of the song document whose graph it renders:
// the push sources, the buffer matchers of the channel outputs, the aux buses
// and the master bus, and the master bus's buffer renderer. The song document
// implements it; every getter may return null for something that is absent.
//
// The renderer calls these on the audio thread inside its lock (RenderBuffer,
// BeginSegment, BeginBuffer), and on the UI thread when it prepares and
// restarts the matchers (Prepare, ResetRenderers). Audio thread: no
// allocation, no blocking (every method).
#pragma once

class CDxSource;
class CDxBufRenderer;
struct IBufferMatcher;

class IRenderDocument {
public:
    virtual ~IRenderDocument() = default;

    // The single input source, and the vector of further sources.
    virtual CDxSource* GetInputSource() = 0;
    virtual int GetPushSourceCount() = 0;
    virtual CDxSource* GetPushSource(int index) = 0;

    // Channels in the order of the channel map, each with its output branches.
    virtual int GetChannelCount() = 0;
    virtual int GetChannelOutputCount(int channel) = 0;
    virtual IBufferMatcher* GetChannelOutputMatcher(int channel, int output) = 0;

    // Aux buses in the order of the aux-bus map.
    virtual int GetAuxBusCount() = 0;
    virtual IBufferMatcher* GetAuxBusMatcher(int bus) = 0;
    virtual bool AuxBusHasConnectedInputs(int bus) = 0;

    // The first master bus: false when the document has none.
    virtual bool HasMasterBus() = 0;
    virtual IBufferMatcher* GetMasterChainMatcher() = 0;
    virtual IBufferMatcher* GetMasterBusMatcher() = 0;
    virtual CDxBufRenderer* GetMasterRenderer() = 0;
};
