// An audio effect of a chain: the plug-in wrapper plus the merge switch
// that routes around the effect while it is bypassed. Saved as format
// 0x6008, chunk 0: the wrapper's part and the bypass flag as one byte.
//
// Threads: UI thread.
#pragma once

#include "engine/hosting/CFilterWrap.h"
#include "engine/mixer/IFxWrap.h"
#include "model/CKelPersistObject.h"

class CFxWrap : public CFilterWrap, public CKelPersistObject, public IFxWrap {
public:
    static constexpr WORD kMajor = 0x6008;

    // E_POINTER for a null out, graph or host. GUID_NULL gives an empty
    // wrapper; an effect that cannot be made is no wrapper at all.
    static HRESULT Create(const GUID* clsid, const char* name, CDxFilterGraph* graph, IUnknown* host, CFxWrap** out);
    ~CFxWrap() override;

    // IFxWrap
    IBaseFilter* GetFilter() override { return m_filter; }
    CMergeSwitch* GetSwitch() override { return m_switch; }
    HRESULT Load() override { return Reload(); }
    HRESULT Unload() override { return UnloadPlugIn(); }
    BOOL IsBypassed() override { return m_bypass; }
    HRESULT SetBypass(BOOL bypass) override;
    BOOL IsConnectable() override { return m_connected; }
    void SetConnectable(BOOL connectable) override { m_connected = connectable; }
    BOOL IsPlaceholder() override { return m_placeholder; }
    GUID GetClsid() override { return m_clsid; }
    GUID GetInstanceGuid() override { return m_instance; }
    CString GetDisplayName() override { return CString(GetDisplayNameText()); }
    HRESULT Clone(IFxWrap** clone) override;
    IPersistStreamInit* GetPersist() override { return this; }
    HRESULT SynthStart(LONGLONG time) override;
    HRESULT SynthAdvance(LONGLONG from, LONGLONG to) override;
    HRESULT SynthStop(LONGLONG time) override;

    HRESULT CreatePlugIn() override;
    HRESULT ReleasePlugIn() override;
    // Disconnects an effect that is a soft synth, then unloads it.
    HRESULT StopAndUnload();

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    CFxWrap(const GUID* clsid, const char* name);

    CMergeSwitch* m_switch = nullptr;
    BOOL m_bypass = FALSE;
};
