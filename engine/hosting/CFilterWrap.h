// The engine's handle on one plug-in instance (soft synth, audio effect or
// MIDI effect): which plug-in (CLSID) and which instance (a GUID of its
// own), its name and preset name, and the plug-in's own saved state, so
// the instance can be unloaded and loaded again, copied, and written into
// the project even while the plug-in is missing. A plug-in that cannot be
// made while a project loads is replaced by the built-in null synth (a
// placeholder shown as "(name)") and listed for a report to the user; its
// saved state and class stay, so saving writes it back unchanged.
//
// Every call into a plug-in runs with all floating-point exceptions masked.
//
// Threads: UI thread, while the graph is stopped or rebuilt. The failed
// plug-in lists have no lock.
#pragma once

#include <string>
#include <vector>

#include "engine/hosting/IMfxSoftSynth.h"
#include "engine/hosting/ITamblor.h"
#include "engine/mixer/ISynthWrap.h"
#include "model/CKelPersistArchive.h"
#include "platform/com/ComStream.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/win/CString.h"

class CDxFilterGraph;

class CFilterWrap {
public:
    static constexpr int kNameBytes = 120;
    static constexpr int kMaxOutputs = 16;

    CFilterWrap(const GUID* clsid, const char* name);
    virtual ~CFilterWrap();
    CFilterWrap(const CFilterWrap&) = delete;
    CFilterWrap& operator=(const CFilterWrap&) = delete;

    virtual IUnknown* GetFilterObject() { return m_filter; }
    IBaseFilter* GetBaseFilter() const { return m_filter; }
    virtual IPin* GetInputPin() { return m_input; }
    virtual IPin* GetOutputPin(DWORD index) { return index < m_outputCount ? m_outputs[index] : nullptr; }
    virtual DWORD GetOutputPinCount() { return m_outputCount; }
    // Captures the state, then releases the plug-in.
    virtual HRESULT UnloadPlugIn();
    // E_UNEXPECTED when loaded; creates the plug-in (a placeholder its null
    // synth again) and loads the saved state into it.
    virtual HRESULT Reload();
    virtual HRESULT IsDirty();
    virtual BOOL IsConnectedFlag() { return m_connected; }
    virtual HRESULT Discard();
    virtual HRESULT CreatePlugIn();
    virtual HRESULT ReleasePlugIn();
    virtual HRESULT CreatePlaceholder();
    virtual HRESULT ReleaseHost();
    // E_FAIL for a class that failed before; otherwise creates the plug-in
    // (a C++ exception out of it is E_FAIL) and gives the instance a new id.
    virtual HRESULT Instantiate();

    // The name, or "(name)" while a placeholder or not connected.
    const char* GetDisplayNameText();
    const char* GetName() const { return m_name; }
    const char* GetPresetName() const { return m_preset; }
    HRESULT SetPresetName(const CString& name);
    void SetConnectedFlag(BOOL connected) { m_connected = connected; }
    BOOL IsPlaceholderFlag() const { return m_placeholder; }
    const GUID& Clsid() const { return m_clsid; }
    const GUID& InstanceId() const { return m_instance; }
    IMfxSoftSynth* SoftSynth() const { return m_softSynth; }
    // The loop player's interface when the plug-in is one; no reference added.
    ITamblor* LoopPlayer() const { return m_loopPlayer; }
    // The engine's loop-clip pool, handed to a loop player now and whenever
    // one is made.
    void SetClipPool(void* pool);
    void* ClipPool() const { return m_clipPool; }
    CDxFilterGraph* Graph() const { return m_graph; }
    IUnknown* Host() const { return m_host; }
    HGLOBAL SavedState() const { return m_state; }

    // The plug-in's IPersistStream data into (from) a movable block: S_FALSE
    // when it has none (the block freed). A failing save keeps the old block
    // and returns the failure.
    HRESULT SaveState(HGLOBAL* block);
    HRESULT LoadState(HGLOBAL* block);
    HRESULT SaveState() { return SaveState(&m_state); }
    HRESULT LoadState() { return LoadState(&m_state); }

    bool IsFailedPlugIn() const;
    static void GetFailedPlugIns(bool* any, std::vector<CString>* names, std::vector<GUID>* clsids);
    static void ClearFailedPlugIns();

protected:
    // A clone's state: the live plug-in's (reloaded first when unloaded)
    // goes into `clone`'s plug-in, with the preset name.
    HRESULT CopyStateInto(CFilterWrap* clone);
    // Takes the block as the saved state and loads it into the plug-in.
    void AdoptState(HGLOBAL block);
    // The wrapper's part of the derived wrappers' chunk 0.
    HRESULT PersistWrapChunk(CKelPersistArchive* archive);
    void SetHost(IUnknown* host);
    void SetGraph(CDxFilterGraph* graph) { m_graph = graph; }
    // Asks the plug-in again for the loop player's interface and hands it
    // the pool.
    void RefreshLoopPlayer();

    HGLOBAL m_state = nullptr;
    GUID m_clsid;
    GUID m_instance{};
    IBaseFilter* m_filter = nullptr;
    IUnknown* m_mediaObject = nullptr;
    char m_name[kNameBytes] = {};
    char m_display[kNameBytes + 2] = {};
    char m_preset[kNameBytes] = {};
    BOOL m_placeholder = FALSE;
    IPin* m_input = nullptr;
    IPin* m_outputs[kMaxOutputs] = {};
    DWORD m_outputCount = 0;
    DWORD m_persistedPins = 1;
    IUnknown* m_host = nullptr;
    IMfxSoftSynth* m_softSynth = nullptr;
    ITamblor* m_loopPlayer = nullptr;
    void* m_clipPool = nullptr;
    BOOL m_connected = TRUE;
    CDxFilterGraph* m_graph = nullptr;
};

// Discard, then delete; the first returns the Discard result (0 for null).
HRESULT ReleasePlugInWrap(CFilterWrap* wrap);
HRESULT DestroyPlugInWrap(CFilterWrap* wrap);
