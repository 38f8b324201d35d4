// The loop player's class identifiers and names, shared by its class table,
// its filter's class and the tests that create it.
#pragma once

#include "platform/com/Unknown.h"

namespace mvtamblor {

MV_DEFINE_GUID(CLSID_Tamblor, 0x62C099B5, 0xC006, 0x4C72, 0xB6, 0x86, 0x70, 0x8F, 0xF4, 0x2A, 0x03, 0x2D);

// The filter's display name, and the name its synth context carries.
constexpr const char* kTamblorFilterName = "Tamblor Demo";
constexpr const char* kTamblorInstrumentName = "Tamblor";

}  // namespace mvtamblor
