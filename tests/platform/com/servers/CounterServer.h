// The classes of the COM tests' helper servers, shared by the servers and
// the tests that create them.
#pragma once

#include "platform/com/Unknown.h"

// The counter server's one class.
MV_DEFINE_GUID(CLSID_TestCounter, 0x4B1D6F20, 0x8C3A, 0x4E57, 0x9A, 0x61, 0x2F, 0x0C, 0x7E, 0x35, 0xD8, 0x11);
// A class the entryless server registers for itself.
MV_DEFINE_GUID(CLSID_TestEntryless, 0x4B1D6F21, 0x8C3A, 0x4E57, 0x9A, 0x61, 0x2F, 0x0C, 0x7E, 0x35, 0xD8, 0x11);

MV_DEFINE_GUID(IID_ICounter, 0x4B1D6F22, 0x8C3A, 0x4E57, 0x9A, 0x61, 0x2F, 0x0C, 0x7E, 0x35, 0xD8, 0x11);

struct ICounter : IUnknown {
    // Adds one and returns the new count (a new object starts at 0).
    STDMETHOD_(LONG, Increment)() = 0;
};

constexpr const char* kTestCounterDescription = "Morvane Test Counter";
