// The one media type of the engine graph: interleaved 32-bit float audio in a
// WAVEFORMATEX, one or two channels. Builders for it (and for the 16-bit PCM
// type the graph tries last when connecting), and the type tests the
// library's pins apply.
//
// Every test returns S_OK or E_INVALIDARG and checks, in this order: a format
// block present and large enough for a WAVEFORMATEX; major type audio; the
// format type (where the test reads it); no temporal compression; fixed-size
// samples; the format tag; the bits per sample; the channel count. The
// subtype is never read.
#pragma once

#include "platform/media/CMediaType.h"

// The engine's float type at the given rate.
void BuildFloatMediaType(CMediaType* mt, WORD channels, DWORD rate);
// 16-bit integer PCM, otherwise built like the float type.
void BuildPcm16MediaType(CMediaType* mt, WORD channels, DWORD rate);

// The push source's output: float, 32 bits, 1 or 2 channels; format type unread.
HRESULT CheckSourceFloatType(const AM_MEDIA_TYPE* mt);
// The buffer renderer's input: as the source's, with the format type read.
HRESULT CheckRendererFloatType(const AM_MEDIA_TYPE* mt);
// A given tag (16 bits for PCM, else 32) and channel count (0: any).
HRESULT CheckFloatAudioType(const AM_MEDIA_TYPE* mt, WORD tag, WORD channels);
