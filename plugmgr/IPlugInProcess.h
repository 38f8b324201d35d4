// The processing object of a plug-in built on the plug-in manager: what
// the wrapper filter asks of it. TRUE is success unless said.
//
// Threads: the format and state calls on the application thread; start,
// stop, end of stream and processing on the streaming thread, under the
// wrapper's filter lock and then its processing lock.
#pragma once

#include "platform/media/MediaInterfaces.h"
#include "platform/media/MediaTypes.h"

MV_DEFINE_GUID(IID_IPlugInProcess, 0xF7FDEB83, 0xB94C, 0x11CF, 0xBB, 0xF8, 0x00, 0xAA, 0x00, 0xA8, 0x65, 0x8E);

struct IPlugInProcess : IUnknown {
    // Bytes of persistent state.
    STDMETHOD_(ULONG, GetStateSize)() = 0;
    STDMETHOD_(BOOL, GetState)(BYTE* buffer, ULONG size) = 0;
    STDMETHOD_(BOOL, SetState)(const BYTE* buffer, ULONG size) = 0;
    STDMETHOD_(BOOL, AcceptFormat)(const WAVEFORMATEX* format) = 0;
    STDMETHOD_(BOOL, SetFormat)(const WAVEFORMATEX* format) = 0;
    STDMETHOD_(BOOL, AcceptOutputFormat)(const WAVEFORMATEX* format) = 0;
    STDMETHOD_(BOOL, Start)() = 0;
    STDMETHOD_(BOOL, Stop)() = 0;
    STDMETHOD_(BOOL, EndOfStream)() = 0;
    // Audio thread (these three).
    STDMETHOD_(BOOL, ProcessInPlace)(BYTE* buffer, LONG frames) = 0;
    // `outFrames` holds the output's room in frames and comes back with
    // the frames written.
    STDMETHOD_(BOOL, ProcessBufToBuf)(const BYTE* input, LONG inputFrames, BYTE* output, LONG* outFrames) = 0;
    STDMETHOD_(BOOL, Receive)(IMediaSample* sample) = 0;
};
