// A song document as the audio renderer sees it, built from a real engine
// graph: push sources and a master-bus buffer renderer, with buffer matchers
// that record what they are told.
#pragma once

#include <string>
#include <vector>

#include "devices/IRenderDocument.h"
#include "engine/graph/CDxBufRenderer.h"
#include "engine/graph/CDxSource.h"
#include "platform/media/IBufferMatcher.h"

namespace mvtest {

// Records calls as text: "reset", "segment 64", "block 128".
class RecordingMatcher : public IBufferMatcher {
public:
    explicit RecordingMatcher(std::string name, std::vector<std::string>* journal) : m_name(std::move(name)), m_journal(journal) {}
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SetSegmentSize(LONG bytes) override { return Note("segment " + std::to_string(bytes)); }
    STDMETHODIMP Reset() override { return Note("reset"); }
    STDMETHODIMP SetBlockSize(LONG bytes) override { return Note("block " + std::to_string(bytes)); }

    HRESULT failWith = S_OK;

private:
    HRESULT Note(const std::string& what)
    {
        m_journal->push_back(m_name + " " + what);
        return failWith;
    }
    std::string m_name;
    std::vector<std::string>* m_journal;
};

class FakeRenderDocument : public IRenderDocument {
public:
    CDxSource* GetInputSource() override { return input; }
    int GetPushSourceCount() override { return static_cast<int>(sources.size()); }
    CDxSource* GetPushSource(int i) override { return sources[static_cast<std::size_t>(i)]; }
    int GetChannelCount() override { return static_cast<int>(channelOutputs.size()); }
    int GetChannelOutputCount(int c) override { return static_cast<int>(channelOutputs[static_cast<std::size_t>(c)].size()); }
    IBufferMatcher* GetChannelOutputMatcher(int c, int o) override
    {
        return channelOutputs[static_cast<std::size_t>(c)][static_cast<std::size_t>(o)];
    }
    int GetAuxBusCount() override { return static_cast<int>(auxBuses.size()); }
    IBufferMatcher* GetAuxBusMatcher(int b) override { return auxBuses[static_cast<std::size_t>(b)]; }
    bool AuxBusHasConnectedInputs(int b) override { return auxConnected[static_cast<std::size_t>(b)]; }
    bool HasMasterBus() override { return hasMaster; }
    IBufferMatcher* GetMasterChainMatcher() override { return masterChain; }
    IBufferMatcher* GetMasterBusMatcher() override { return masterBus; }
    CDxBufRenderer* GetMasterRenderer() override { return hasMaster ? renderer : nullptr; }

    CDxSource* input = nullptr;
    std::vector<CDxSource*> sources;
    std::vector<std::vector<IBufferMatcher*>> channelOutputs;
    std::vector<IBufferMatcher*> auxBuses;
    std::vector<bool> auxConnected;
    bool hasMaster = true;
    IBufferMatcher* masterChain = nullptr;
    IBufferMatcher* masterBus = nullptr;
    CDxBufRenderer* renderer = nullptr;
};

}  // namespace mvtest
