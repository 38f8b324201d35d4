// A soft synth of a channel: the plug-in wrapper plus the bank and patch
// chosen on each of the 16 MIDI channels. Saved as format 0x6009, chunk 0:
// the wrapper's part, 16 banks (signed 32-bit) and 16 patches (bytes).
//
// Threads: UI thread.
#pragma once

#include "engine/hosting/CFilterWrap.h"
#include "engine/hosting/CLoopPlayerClipHost.h"
#include "engine/mixer/ISynthWrap.h"
#include "model/CKelPersistObject.h"

class CSynthWrap : public CFilterWrap, public CKelPersistObject, public ISynthWrap, public ISynthPlayer {
public:
    static constexpr WORD kMajor = 0x6009;
    static constexpr int kChannels = 16;

    // E_POINTER for a null out, graph or host. A synth that cannot be made
    // is replaced by the null synth with an empty name: S_FALSE with it.
    // `clipPool` goes to a loop player (the stand-in null synth gets none).
    static HRESULT Create(const GUID* clsid, const char* name, CDxFilterGraph* graph, IUnknown* host,
                          CSynthWrap** out, void* clipPool = nullptr);
    // The same synth with the source's state, display name and preset.
    static HRESULT Clone(CSynthWrap* source, CSynthWrap** out);
    ~CSynthWrap() override;

    // ISynthWrap
    IBaseFilter* GetFilter() override { return m_filter; }
    HRESULT CreateFilter() override { return m_filter ? S_OK : Reload(); }
    IUnknown* GetPlugIn() override { return m_filter; }
    ISynthNameLists* GetNameLists() override { return nullptr; }
    GUID GetClsid() override { return m_clsid; }
    GUID GetInstanceGuid() override { return m_instance; }
    BOOL IsLoopClipPlayer() override { return m_loopPlayer != nullptr; }
    // A loop player's clip host; null for any other synth, and for a loop
    // player without a pool to keep its clips in.
    ILoopClipHost* GetLoopClipHost() override
    {
        return m_loopPlayer != nullptr && m_clipPool != nullptr ? &m_clipHost : nullptr;
    }
    int GetOutputCount() override { return GetOutputPinCount() > 0 ? static_cast<int>(GetOutputPinCount()) : 1; }
    void SetConnected(BOOL connected) override { SetConnectedFlag(connected); }
    IPersistStreamInit* GetPersist() override { return static_cast<CKelPersistObject*>(this); }
    CString GetDisplayName() override { return CString(GetDisplayNameText()); }
    HRESULT RemoveFromGraph() override;
    ISynthPlayer* GetPlayer() override { return this; }

    // ISynthPlayer: the plug-in's soft-synth interface (S_FALSE without
    // it), the stored programs, and a loop player's pattern and preview
    // clip switches.
    HRESULT Start(LONG time) override;
    HRESULT Stop() override;
    HRESULT AdvanceTime(LONG loopStart, LONG loopEnd) override;
    HRESULT ProcessEvents(LONG from, LONG to, SHORT channelId, IMfxEventQueue* queue) override;
    HRESULT ProcessLiveEvents(SHORT channelId, IMfxDataQueue* queue) override;
    LONG GetChannelBank(int midiChannel) override;
    int GetChannelPatch(int midiChannel) override;
    HRESULT SetClipsPlaying(BOOL on) override;
    HRESULT SetClipsRecording(BOOL on) override;

    HRESULT ReleasePlugIn() override;

    // Channel 0..15, else E_INVALIDARG. A bank is -1 (none) .. 16383; a
    // patch -1 (none, kept as 255) .. 127.
    HRESULT GetChannelBank(int channel, LONG* bank) const;
    HRESULT SetChannelBank(int channel, LONG bank) override;
    HRESULT GetChannelPatch(int channel, int* patch) const;
    HRESULT SetChannelPatch(int channel, int patch) override;
    // The bank numbers of the synth's instrument (IMfxSoftSynth2), else of
    // the synth itself; E_FAIL without the soft-synth interface or a list.
    HRESULT GetBankList(int midiChannel, std::vector<LONG>* banks) override;
    // "bank-name" and "patch-name" of a channel ("patch ---" for a patch
    // without a name; a bank of -1 reads as 4294967295): E_INVALIDARG for a
    // bad channel or no text wanted; S_FALSE without a patch or without the
    // soft-synth interface.
    HRESULT FormatBankPatch(int channel, CString* bankText, CString* patchText);

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    CSynthWrap(const GUID* clsid, const char* name);

    LONG m_banks[kChannels];
    BYTE m_patches[kChannels];
    CLoopPlayerClipHost m_clipHost{*this};
};
