// The phaser's class identifiers and names, shared by its class table and
// the tests that create it.
#pragma once

#include "platform/com/Unknown.h"

namespace mvphaser {

MV_DEFINE_GUID(CLSID_Phaser, 0xA6190AD9, 0xC20F, 0x49FC, 0xBF, 0x24, 0x3F, 0xF2, 0xAD, 0xAE, 0xF9, 0xB1);
MV_DEFINE_GUID(CLSID_PhaserPropPage, 0x5829ADFA, 0x6B61, 0x4AA7, 0xB2, 0xCC, 0x93, 0x54, 0xC5, 0x2C, 0xFD, 0x0C);

// The filter's display name, and the name its synth context carries.
constexpr const char* kPhaserFilterName = "Morvane Sorvic Demo";
constexpr const char* kPhaserContextName = "Phaser";

// The parameters, in the order of the parameter table.
enum PhaserParam : unsigned long {
    kParamMode,
    kParamSync,
    kParamRate,
    kParamDepth,
    kParamWaveform,
    kParamCenterFrequency,
    kParamFeedback,
    kParamLevel,
    kParamPower,
    kPhaserParamCount
};

}  // namespace mvphaser
