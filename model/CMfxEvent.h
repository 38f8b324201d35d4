// The MIDI event value of the whole program: the elements of a pattern, the
// template event of a pattern instance, and what playback, the recorder, the
// MIDI-effect chains and the soft synths exchange. It extends the packed
// plug-in record MfxEvent (so an array of events' records can be handed to
// plug-ins) with persistence (major 0x6004, minor 0, single chunk), a
// selection flag and the value of an automation event.
//
// Events are values. System-exclusive and text events (kinds 8-10) own a
// data block of the process-wide buffer factory: a copy duplicates it, a move
// hands it over, the destructor frees it. Changing an event's kind does not
// free its block; callers that turn such an event into another kind call
// ReleaseBuffer first.
//
// Persisted payload (chunk 0): kind u32, port u8, channel u8, the kind's
// fields, time u32, reserved u32 (0). Note: key, velocity, extra u8, duration
// u32; key aftertouch: key, pressure u8; controller: number, value u8; patch:
// patch u8, bank method u8, bank u16; channel aftertouch: pressure u8; wheel:
// i16; RPN/NRPN: number, value u16; automation: parameter u32, value f32.
// Other kinds cannot be saved or loaded (E_FAIL).
//
// Value setters and conversions clamp to the target's range, so a value can
// never wrap when it becomes a MIDI message.
//
// Threads: a value; copies of non-buffer events allocate nothing and may be
// made on the audio thread.
#pragma once

#include "model/CKelPersistObject.h"
#include "model/CSelectableObject.h"
#include "model/Mfx.h"
#include "platform/win/CString.h"

class CMfxEvent : public CKelPersistObject, public MfxEvent, public CSelectableObject {
public:
    // A note with its defaults.
    CMfxEvent();
    // An event of the kind with that kind's defaults.
    explicit CMfxEvent(DWORD kind);
    CMfxEvent(const CMfxEvent& other);
    CMfxEvent(CMfxEvent&& other) noexcept;
    CMfxEvent& operator=(const CMfxEvent& other);
    CMfxEvent& operator=(CMfxEvent&& other) noexcept;
    ~CMfxEvent() override;

    // message = status | data1 << 8 | data2 << 16. System messages, data
    // bytes without a status and data bytes with the top bit set are refused
    // with E_INVALIDARG and leave the event as it was.
    HRESULT SetFromShortMsg(DWORD message, BYTE port);

    // Controller number (kind 2) or parameter number (kinds 6, 7); other
    // kinds read 0 and ignore the set.
    int GetNumber() const;
    void SetNumber(int number);
    // Controller value (kind 2) or 14-bit value (kinds 6, 7); other kinds
    // read 0 and ignore the set.
    int GetValue() const;
    void SetValue(int value);

    bool HasBuffer() const { return m_kind == MfxSysex || m_kind == MfxText || m_kind == MfxText2; }
    // Frees the data block, if any, and sets the handle to 0.
    void ReleaseBuffer();

    // Takes over another event's value rescaled to this event's kind
    // (controller, RPN/NRPN, wheel, automation). 1 when converted, 0 when the
    // pair of kinds has no conversion.
    int ConvertValueFrom(const CMfxEvent& source);
    // Adds a fraction of the full range to the value (the velocity of a
    // note). 1, or 0 for kinds without a value.
    int OffsetValue(float amount);

    // Same kind and same key, controller, patch, parameter number or
    // automation parameter; the channel is not compared.
    bool IsSameTarget(const CMfxEvent& other) const;
    // Same kind and time and the same identity for that kind.
    bool IsSameEvent(const CMfxEvent& other) const;
    // Strict weak order by kind, port, channel and target; not by time.
    static bool LessByTarget(const CMfxEvent& a, const CMfxEvent& b);

    // One line for debug output.
    CString GetText() const;

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

    float m_value = 0.0f;  // automation value, 0.0 to 1.0

private:
    void SetKindDefaults(DWORD kind);
    // Copies every field; a source's data block is duplicated.
    void CopyFrom(const CMfxEvent& other);
};
