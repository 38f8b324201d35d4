// The one interface through which the engine owner and the audio options
// dialog drive an audio output back-end (WDM kernel streaming, DirectSound,
// ASIO, or the program as a ReWire device), and what every back-end shares:
// the device format record, the capability mask of a port, the buffer-limit
// table, the port identity handed to the enumeration callback, and the
// helpers over them.
//
// Every back-end streams stereo interleaved integer PCM. Once started it
// calls the engine owner's per-buffer entry from its own audio thread or
// driver callback; every other operation is called on the UI thread.
// Stop must not return while the audio thread can still enter the
// per-buffer entry.
//
// Capability mask (32-bit): four bits per rate, the nibble of rate index i at
// bits 4i..4i+3; within a nibble bit 0 = 16-bit, bit 1 = 24-bit packed,
// bit 2 = 24 bits in a 32-bit container, bit 3 = 32-bit. 0x100 is 44100 Hz at
// 16 bits. Bits 24..31 are unused.
//
// Buffer-limit table (72 entries, by format index = rate index x 4 + width
// code): minimum buffer frames at 0..23, maximum at 24..47, granularity at
// 48..71; a granularity of -1 means powers of two only. A back-end that
// knows no limits passes none (null) or zeros.
#pragma once

#include <vector>

#include "platform/media/MediaTypes.h"
#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

// The six engine rates, in rate-index order.
inline constexpr int kAudioRates[] = {11025, 22050, 44100, 48000, 88200, 96000};
inline constexpr int kAudioRateCount = 6;
inline constexpr int kAudioFormatCount = kAudioRateCount * 4;
inline constexpr int kBufferLimitEntries = kAudioFormatCount * 3;
inline constexpr int kBufferLimitMinimum = 0;
inline constexpr int kBufferLimitMaximum = kAudioFormatCount;
inline constexpr int kBufferLimitGranularity = kAudioFormatCount * 2;
inline constexpr int kGranularityPowerOfTwo = -1;

// Port directions.
inline constexpr int kAudioOutput = 0;
inline constexpr int kAudioInput = 1;

// The 24-bit container modes: 0 packed 3-byte samples; 1 and 2 24 bits in a
// 32-bit word (low-aligned, then shifted to the top); 3 and 4 32-bit
// containers written at full width.
inline constexpr unsigned short kMax24BitMode = 4;

// Receives the ports of a back-end, one call per port of the direction
// listed. Implemented by the audio options dialog.
class IEnumAudioDeviceCallback {
public:
    // id: the port's 16-byte identifier (DirectSound devices their own, the
    // default device the default-playback identifier, the others the null
    // GUID); name: its display name; capabilityMask as above; driverName:
    // the DirectSound driver module or the ASIO driver name; limits: the
    // 72-entry table or null.
    virtual void AddPort(const GUID* id, const char* name, unsigned capabilityMask, const char* driverName,
                         const int* limits) = 0;

protected:
    ~IEnumAudioDeviceCallback() = default;
};

// A plain abstract class: no reference counting, owned by the engine owner
// and deleted through it. Results are HRESULTs unless said otherwise.
class IAudioDevice {
public:
    // Closes the device (ASIO also unloads its driver) and frees everything.
    virtual ~IAudioDevice() = default;

    // One AddPort call per port of the direction (kAudioOutput, kAudioInput).
    virtual HRESULT EnumPorts(IEnumAudioDeviceCallback* callback, int isInput) = 0;
    // Enumerates if not done yet and selects the ports named in the options
    // of the back-end's kind, or the first port when the name is not found.
    virtual HRESULT Open() = 0;
    // Stops streaming and releases the buffers, marks the device closed;
    // with unloadDriver also unloads the driver (ASIO).
    virtual HRESULT Close(int unloadDriver) = 0;
    // The main window, for back-ends that need one.
    virtual HRESULT SetWindow(HWND window) = 0;
    // Fills the format record (MakeDeviceFormat), records the buffer frames
    // and creates the device buffers; then the device is ready to Start.
    virtual HRESULT SetFormat(int sampleRate, unsigned short bitsPerSample, int bufferFrames) = 0;
    // The 24-bit container mode (0..4) for the next SetFormat.
    virtual HRESULT Set24BitMode(unsigned short mode) = 0;
    virtual HRESULT ReleaseBuffers() = 0;
    // Block align x buffer frames.
    virtual HRESULT GetBufferBytes(unsigned* bytes) = 0;
    virtual HRESULT Start() = 0;
    // Stops streaming; threaded back-ends also end their audio thread.
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Resume() = 0;
    // The device format record itself (not a copy).
    virtual WAVEFORMATEX* GetWaveFormat() = 0;
    // The selected port of the direction: its identifier, display name,
    // capability mask and limit table, each written when given (limits: 72
    // entries). E_INVALIDARG when both id and name are null.
    virtual HRESULT GetPortInfo(GUID* id, CString* name, int direction, unsigned* mask, int* limits) = 0;
    // Selects the port of the direction and stores it in the options.
    virtual HRESULT SetPort(const GUID* id, const char* name, int direction) = 0;
    // Moves the accumulated error messages into `errors` (E_POINTER for null).
    virtual HRESULT GetErrorList(std::vector<CString>* errors) = 0;
};

// Rate index of `rate` (0..5), or -1 for another rate.
int AudioRateIndex(int rate);

// Rate index x 4 + width code (bits 16: 0; bits 24: 2 with in32, else 1; any
// other bits: 3). An unknown rate counts as 44100.
int FormatIndex(int rate, unsigned short bits, int in32);

// Whether the mask offers the format: E_INVALIDARG for a rate not among the
// six; for 16 bits S_OK when its bit is set, else S_FALSE; E_UNEXPECTED for a
// 24-bit mode above 4; mode 0 needs the packed bit and 24 bits, modes 1 and 2
// the 24-in-32 bit and 24 bits, modes 3 and 4 the 32-bit bit and 32 bits;
// S_FALSE otherwise.
HRESULT IsAudioFormatSupported(int rate, unsigned short bits, unsigned short mode24, unsigned mask);

// The format record of one capability bit: the lowest non-zero nibble gives
// the rate, its single set bit the sample width. E_INVALIDARG for an empty
// mask, a nibble with other than one bit set, or a bit above the six rates;
// E_POINTER for a null record.
HRESULT DescribeFormat(unsigned maskBit, WAVEFORMATEX* format);

// Buffer frames for `msec` at `rate` within the port's limits for the
// format: msec x rate / 1000 (rounded) when the table gives no minimum or
// maximum; the fixed size when they are equal; otherwise that many frames
// brought to the granularity (powers of two: the nearer of the power of two
// at or above and the one below, by a 3/4 threshold; another positive
// granularity: rounded down to a multiple of it) and kept within minimum
// and maximum. A null table counts as zeros.
int ComputeBufferFrames(int msec, int rate, unsigned short bits, int in32, const int* limits);

// Bytes of one stereo frame at the device: 4 up to 16 bits; 6 for packed
// 24-bit samples (mode 0); 8 for 24 bits in 32-bit containers (modes 1-4)
// and for 32 bits.
int DeviceFrameBytes(unsigned short bits, unsigned short mode24);

// The device format record that SetFormat fills: PCM, 2 channels, `rate`,
// DeviceFrameBytes as block align, the requested bits (32 in modes 3 and 4
// above 16 bits), average bytes per second = block align x rate, no extra.
WAVEFORMATEX MakeDeviceFormat(int rate, unsigned short bits, unsigned short mode24);

// GetPortInfo of a back-end with one port: its null identifier, `portName`,
// `portMask` and every limit entry set to `limit`, each written when asked.
// E_INVALIDARG when both id and name are null.
HRESULT DescribeSinglePort(GUID* id, CString* name, const char* portName, unsigned* mask, unsigned portMask,
                           int* limits, int limit);

// What a close does with an open device: stops streaming, then releases the
// buffers; the first failure is returned and ends it there.
HRESULT StopAndReleaseBuffers(IAudioDevice& device);
