// The sine test instrument's class, shared by the test plug-in and the
// tests that create it: one sine per held note at the note's pitch, its
// level velocity / 127 times the "Level" parameter.
#pragma once

#include "platform/com/Unknown.h"

namespace mvtest {

MV_DEFINE_GUID(CLSID_SineSynth, 0x6A0E52C1, 0x3B7D, 0x4F1A, 0x9C, 0x2E, 0x51, 0x7A, 0x0D, 0x88, 0x34, 0x10);

constexpr const char* kSineSynthName = "Morvane Test Sine";
constexpr const char* kSineInstrumentName = "Sine";
// Parameter 0: the output level, 0..1, neutral 1.
constexpr DWORD kSineLevelParam = 0;

}  // namespace mvtest
