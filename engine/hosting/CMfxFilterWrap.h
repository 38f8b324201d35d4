// A MIDI effect of a channel's MIDI-effect chain: the plug-in wrapper
// around the effect's event filter, connected to the host site when it is
// made and disconnected before it is released. Saved as format 0x601A,
// chunk 0: the wrapper's part only.
//
// Threads: UI thread; the event filter itself is driven on the audio
// thread by the chain.
#pragma once

#include "engine/hosting/CFilterWrap.h"
#include "engine/mixer/IMfxFilterWrap.h"
#include "model/CKelPersistObject.h"

MV_DEFINE_GUID(IID_IMfxEventFilter, 0x8D7FDE01, 0x1B1B, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);

class CMfxFilterWrap : public CFilterWrap, public CKelPersistObject, public IMfxFilterWrap {
public:
    static constexpr WORD kMajor = 0x601A;

    // E_POINTER for a null out; GUID_NULL gives an empty wrapper; an effect
    // that cannot be made is no wrapper at all.
    static HRESULT Create(const GUID* clsid, const char* name, IUnknown* host, CMfxFilterWrap** out);
    ~CMfxFilterWrap() override;

    // IMfxFilterWrap
    IMfxEventFilter* GetEventFilter() override { return m_effect; }
    CString GetDisplayName() override { return CString(GetDisplayNameText()); }
    HRESULT Clone(IMfxFilterWrap** clone) override;
    IPersistStreamInit* GetPersist() override { return this; }

    IUnknown* GetFilterObject() override { return m_effect; }
    HRESULT CreatePlugIn() override;
    HRESULT ReleasePlugIn() override;

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    CMfxFilterWrap(const GUID* clsid, const char* name);

    IMfxEventFilter* m_effect = nullptr;
};
