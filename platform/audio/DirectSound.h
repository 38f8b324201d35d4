// The DirectSound calls the DirectSound back-end makes, over ALSA PCM devices.
//
// Devices: the primary entry (no GUID) is ALSA's "default" device; then every
// PCM device that the ALSA configuration lists with a description ("hint")
// for the direction, each with a GUID derived from its ALSA name, so a stored
// GUID names the same device from run to run. DSDEVID_DefaultPlayback and a
// null GUID both open "default".
//
// A playback buffer is a ring of dwBufferBytes. While it plays, a writer
// thread of its own hands the ring to ALSA one segment at a time, a segment
// ending at each notification position (or the whole ring without any). The
// play cursor is the start of the segment being handed over; passing a
// notification position signals its event once the segment before it is in
// ALSA's hands, so the application may refill it at once. Before the writer
// moves into a segment that has not been unlocked since it last played, it
// waits up to that segment's duration for the application's refill, then
// plays what is there as DirectSound does. A device that does not pace its
// writes (ALSA's "null" and what is built on it) is paced by the clock.
//
// The cooperative level is accepted and changes nothing. Result codes keep
// DirectSound's numbers. Lock, Unlock, GetCurrentPosition and GetStatus
// neither block nor allocate, so the device thread may call them; the other
// calls belong to the UI thread.
#pragma once

#include "platform/com/Unknown.h"
#include "platform/media/MediaTypes.h"
#include "platform/sync/Handle.h"

MV_DEFINE_GUID(IID_IDirectSound, 0x279AFA83, 0x4981, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60);
MV_DEFINE_GUID(IID_IDirectSoundBuffer, 0x279AFA85, 0x4981, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60);
MV_DEFINE_GUID(IID_IDirectSoundNotify, 0xB0210783, 0x89CD, 0x11D0, 0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16);
MV_DEFINE_GUID(DSDEVID_DefaultPlayback, 0xDEF00000, 0x9C6D, 0x47ED, 0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03);
MV_DEFINE_GUID(DSDEVID_DefaultCapture, 0xDEF00001, 0x9C6D, 0x47ED, 0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03);

constexpr HRESULT DSERR_ALLOCATED = MakeHr(0x8878000A);
constexpr HRESULT DSERR_INVALIDCALL = MakeHr(0x88780032);
constexpr HRESULT DSERR_BADFORMAT = MakeHr(0x88780064);
constexpr HRESULT DSERR_NODRIVER = MakeHr(0x88780078);
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DSERR_GENERIC = E_FAIL;
constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;

constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;

constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x00000008;
constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x00000100;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x00008000;

constexpr DWORD DSBPLAY_LOOPING = 0x00000001;
constexpr DWORD DSBSTATUS_PLAYING = 0x00000001;
constexpr DWORD DSBSTATUS_LOOPING = 0x00000004;
constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x00000001;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x00000002;

constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;
// The most notification positions a buffer takes.
constexpr DWORD DSBNOTIFICATIONS_MAX = 32;

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
};

struct DSBPOSITIONNOTIFY {
    DWORD dwOffset;
    HANDLE hEventNotify;
};

struct IDirectSoundBuffer : IUnknown {
    // Byte offsets into the ring: where the writer is, and where the
    // application may safely write (one segment ahead).
    // Audio thread (the device thread) and UI thread: no allocation, no
    // blocking (this, GetStatus, Lock and Unlock).
    STDMETHOD(GetCurrentPosition)(DWORD* playCursor, DWORD* writeCursor) = 0;
    STDMETHOD(GetStatus)(DWORD* status) = 0;
    // `bytes` at `offset`, split in two where the ring wraps (the second
    // part null and 0 when it does not). DSERR_INVALIDPARAM for 0 bytes
    // (unless DSBLOCK_ENTIREBUFFER), more than the ring or an offset outside it.
    STDMETHOD(Lock)(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                    DWORD flags) = 0;
    // Only DSBPLAY_LOOPING buffers are played; from the current position.
    // UI thread (this and Stop).
    STDMETHOD(Play)(DWORD reserved, DWORD priority, DWORD flags) = 0;
    // Stops the writer; the position stays where it was.
    STDMETHOD(Stop)() = 0;
    // Marks the segments the parts cover as refilled.
    STDMETHOD(Unlock)(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
};

struct IDirectSoundNotify : IUnknown {
    // Offsets ascending within the ring, at most DSBNOTIFICATIONS_MAX; only
    // while the buffer is stopped (DSERR_INVALIDCALL otherwise).
    STDMETHOD(SetNotificationPositions)(DWORD count, const DSBPOSITIONNOTIFY* positions) = 0;
};

struct IDirectSound : IUnknown {
    // A PCM buffer of the device: ALSA is asked for the format here, so a
    // format the device cannot take fails with DSERR_BADFORMAT.
    STDMETHOD(CreateSoundBuffer)(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) = 0;
    // Accepted; changes nothing.
    STDMETHOD(SetCooperativeLevel)(HWND window, DWORD level) = 0;
};

// guid: null or a GUID of DirectSoundEnumerateA. Opens the device once to
// see that it can be opened: DSERR_NODRIVER for an unknown GUID or a device
// that does not open, DSERR_ALLOCATED for one in use.
HRESULT DirectSoundCreate(const GUID* guid, IDirectSound** object, IUnknown* outer);

// Called once per device, the primary entry first with a null GUID; a FALSE
// answer ends the enumeration.
using LPDSENUMCALLBACKA = BOOL (*)(GUID* guid, LPCSTR description, LPCSTR module, LPVOID context);
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context);
HRESULT DirectSoundCaptureEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context);
