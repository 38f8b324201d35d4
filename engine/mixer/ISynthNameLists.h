// What a parameter set reads of a soft synth to give it parameters: the synth
// object, which may answer the media-parameter interfaces, and the three name
// lists of its instrument (controllers, NRPNs, RPNs). The channel hands the
// synth of its first slot over through it. UI thread.
#pragma once

#include <vector>

#include "platform/com/Unknown.h"
#include "platform/win/CString.h"

struct SynthName {
    DWORD number;
    CString name;  // at most 128 bytes; empty when the instrument names none
};

class ISynthNameLists {
public:
    enum List { kControllers = 0, kNrpn = 1, kRpn = 2 };

    // The synth object, no reference added; never null.
    virtual IUnknown* GetPlugIn() = 0;
    // Appends the list's entries in the instrument's order; nothing when the
    // synth has no such list.
    virtual HRESULT GetNames(List list, std::vector<SynthName>* names) = 0;

protected:
    ~ISynthNameLists() = default;
};
