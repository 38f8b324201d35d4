#include "model/CMfxEvent.h"

#include <cmath>
#include <cstring>

#include "model/CKelPersistArchive.h"
#include "model/CMfxBufferFactory.h"

namespace {

constexpr DWORD kVersionWord = 0x60040000;

constexpr int kWheelMin = -8192;
constexpr int kWheelMax = 8191;
constexpr int k14BitMax = 16383;
constexpr int k7BitMax = 127;

// A float result truncated toward zero and held inside [lo, hi]; a NaN
// lands on lo.
int ClampToInt(double v, int lo, int hi)
{
    if (!(v >= lo))
        return lo;
    if (v > hi)
        return hi;
    return static_cast<int>(v);
}

int ClampInt(long long v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : static_cast<int>(v); }

float ClampUnit(float v) { return !(v >= 0.0f) ? 0.0f : v > 1.0f ? 1.0f : v; }

// Where a persisted kind's fields lie in the kind data, and whether the
// automation value follows them.
struct FieldLayout {
    bool known;
    BYTE offset;
    BYTE length;
    bool withValue;
};

FieldLayout LayoutOf(DWORD kind)
{
    switch (kind) {
    case MfxNote: return {true, 0, 7, false};
    case MfxKeyAftertouch:
    case MfxController:
    case MfxWheel: return {true, 0, 2, false};
    case MfxPatch:
    case MfxRpn:
    case MfxNrpn: return {true, 0, 4, false};
    case MfxChannelAftertouch: return {true, 1, 1, false};
    case MfxAutomation: return {true, 0, 4, true};
    default: return {false, 0, 0, false};
    }
}

constexpr ULONG kHeadBytes = 6;  // kind, port, channel
constexpr ULONG kTailBytes = 8;  // time, reserved
constexpr ULONG kMaxPayload = kHeadBytes + 7 + 4 + kTailBytes;

bool IsValueKind(DWORD kind) { return kind == MfxController || kind == MfxRpn || kind == MfxNrpn || kind == MfxWheel; }

}  // namespace

CMfxEvent::CMfxEvent() : CMfxEvent(MfxNote) {}

CMfxEvent::CMfxEvent(DWORD kind) : CKelPersistObject(kVersionWord), MfxEvent{}
{
    SetKindDefaults(kind);
}

CMfxEvent::CMfxEvent(const CMfxEvent& other) : CKelPersistObject(other), MfxEvent{}
{
    CopyFrom(other);
}

CMfxEvent::CMfxEvent(CMfxEvent&& other) noexcept
    : CKelPersistObject(other), MfxEvent(other), CSelectableObject(other), m_value(other.m_value)
{
    if (other.HasBuffer())
        other.m_buffer.handle = 0;
}

CMfxEvent& CMfxEvent::operator=(const CMfxEvent& other)
{
    if (this != &other) {
        ReleaseBuffer();
        CopyFrom(other);
    }
    return *this;
}

CMfxEvent& CMfxEvent::operator=(CMfxEvent&& other) noexcept
{
    if (this != &other) {
        ReleaseBuffer();
        CKelPersistObject::operator=(other);
        static_cast<MfxEvent&>(*this) = other;
        static_cast<CSelectableObject&>(*this) = other;
        m_value = other.m_value;
        if (other.HasBuffer())
            other.m_buffer.handle = 0;
    }
    return *this;
}

CMfxEvent::~CMfxEvent() { ReleaseBuffer(); }

void CMfxEvent::CopyFrom(const CMfxEvent& other)
{
    CKelPersistObject::operator=(other);
    static_cast<MfxEvent&>(*this) = other;
    static_cast<CSelectableObject&>(*this) = other;
    m_value = other.m_value;
    if (other.HasBuffer() && other.m_buffer.handle != 0) {
        // Two events never share a block. A failed duplicate leaves none.
        CMfxBufferFactory& factory = CMfxBufferFactory::GetShared();
        void* data = nullptr;
        DWORD size = 0;
        HMFXBUFFER copy = 0;
        if (SUCCEEDED(factory.GetPointer(other.m_buffer.handle, &data, &size)))
            factory.Duplicate(other.m_buffer.handle, size, &copy);
        m_buffer.handle = copy;
    }
}

void CMfxEvent::SetKindDefaults(DWORD kind)
{
    m_time = 0;
    m_port = 0;
    m_channel = 0;
    m_kind = kind;
    m_selected = 0;
    std::memset(m_data, 0, sizeof m_data);
    switch (kind) {
    case MfxNote:
        m_note.key = 60;
        m_note.velocity = 64;
        m_note.duration = 120;
        break;
    case MfxKeyAftertouch: m_keyAft.key = 60; break;
    case MfxController: m_ctrl.number = 1; break;
    case MfxPatch: m_patch.bank = 0xFFFF; break;
    case MfxAutomation:
        m_automation.param = 0xFFFFFFFF;
        m_value = 0.0f;
        break;
    default: break;
    }
}

void CMfxEvent::ReleaseBuffer()
{
    if (HasBuffer() && m_buffer.handle != 0) {
        CMfxBufferFactory::GetShared().Free(m_buffer.handle);
        m_buffer.handle = 0;
    }
}

HRESULT CMfxEvent::SetFromShortMsg(DWORD message, BYTE port)
{
    const BYTE status = message & 0xFF;
    const BYTE data1 = (message >> 8) & 0xFF;
    const BYTE data2 = (message >> 16) & 0xFF;
    if (status < 0x80 || status >= 0xF0)
        return E_INVALIDARG;
    const BYTE type = status & 0xF0;
    const bool usesData2 = type == 0x90 || type == 0xA0 || type == 0xB0 || type == 0xE0;
    // A data byte with its top bit set is not MIDI data; taken as it is it
    // would put a value out of range into the event.
    if ((data1 & 0x80) || (usesData2 && (data2 & 0x80)))
        return E_INVALIDARG;

    switch (type) {
    case 0x80:
        m_kind = MfxNote;
        m_note.key = data1;
        break;
    case 0x90:
        m_kind = MfxNote;
        m_note.key = data1;
        m_note.velocity = data2;
        m_note.extra = 0;
        break;
    case 0xA0:
        m_kind = MfxKeyAftertouch;
        m_keyAft.key = data1;
        m_keyAft.pressure = data2;
        break;
    case 0xB0:
        m_kind = MfxController;
        m_ctrl.number = data1;
        m_ctrl.value = data2;
        break;
    case 0xC0:
        m_kind = MfxPatch;
        m_patch.patch = data1;
        break;
    case 0xD0:
        m_kind = MfxChannelAftertouch;
        m_chanAft.pressure = data1;
        break;
    default:  // 0xE0
        m_kind = MfxWheel;
        m_wheel.value = static_cast<SHORT>((data2 << 7 | data1) - 8192);
        break;
    }
    m_channel = status & 0x0F;
    m_port = port;
    return S_OK;
}

int CMfxEvent::GetNumber() const
{
    if (m_kind == MfxController)
        return m_ctrl.number;
    if (m_kind == MfxRpn || m_kind == MfxNrpn)
        return m_rpn.number;
    return 0;
}

void CMfxEvent::SetNumber(int number)
{
    if (m_kind == MfxController)
        m_ctrl.number = static_cast<BYTE>(ClampInt(number, 0, k7BitMax));
    else if (m_kind == MfxRpn || m_kind == MfxNrpn)
        m_rpn.number = static_cast<WORD>(ClampInt(number, 0, k14BitMax));
}

int CMfxEvent::GetValue() const
{
    if (m_kind == MfxController)
        return m_ctrl.value;
    if (m_kind == MfxRpn || m_kind == MfxNrpn)
        return m_rpn.value;
    return 0;
}

void CMfxEvent::SetValue(int value)
{
    if (m_kind == MfxController)
        m_ctrl.value = static_cast<BYTE>(ClampInt(value, 0, k7BitMax));
    else if (m_kind == MfxRpn || m_kind == MfxNrpn)
        m_rpn.value = static_cast<WORD>(ClampInt(value, 0, k14BitMax));
}

int CMfxEvent::ConvertValueFrom(const CMfxEvent& source)
{
    const DWORD to = m_kind;
    const DWORD from = source.m_kind;
    if (!(IsValueKind(to) || to == MfxAutomation) || !(IsValueKind(from) || from == MfxAutomation))
        return 0;

    // The source's value in its own terms. Integer rules first, as the
    // conversions are defined on integers; automation sources are floats.
    long long v = 0;
    if (from == MfxController)
        v = source.m_ctrl.value;
    else if (from == MfxRpn || from == MfxNrpn)
        v = source.m_rpn.value;
    else if (from == MfxWheel)
        v = source.m_wheel.value;
    const float f = source.m_value;
    const bool fromController = from == MfxController;
    const bool fromRpn = from == MfxRpn || from == MfxNrpn;
    const bool fromWheel = from == MfxWheel;

    if (to == MfxController) {
        int r = fromController ? ClampInt(v, 0, k7BitMax)
                : fromRpn      ? ClampInt(v >> 7, 0, k7BitMax)
                : fromWheel    ? ClampInt((v + 8191) / 128, 0, k7BitMax)
                               : ClampToInt(f * 127.0f, 0, k7BitMax);
        m_ctrl.value = static_cast<BYTE>(r);
    } else if (to == MfxRpn || to == MfxNrpn) {
        int r = fromController ? ClampInt(v << 7, 0, k14BitMax)
                : fromRpn      ? ClampInt(v, 0, k14BitMax)
                : fromWheel    ? ClampInt(v + 8191, 0, k14BitMax)
                               : ClampToInt(f * 16384.0f, 0, k14BitMax);
        m_rpn.value = static_cast<WORD>(r);
    } else if (to == MfxWheel) {
        int r = fromController ? ClampInt((v - 64) * 128, kWheelMin, kWheelMax)
                : fromRpn      ? ClampInt(v - 8192, kWheelMin, kWheelMax)
                : fromWheel    ? ClampInt(v, kWheelMin, kWheelMax)
                               : ClampToInt(f * 16384.0f - 8192.0f, kWheelMin, kWheelMax);
        m_wheel.value = static_cast<SHORT>(r);
    } else {
        m_value = fromController ? ClampUnit(static_cast<float>(v) * 0.007874016f)
                  : fromRpn      ? ClampUnit(static_cast<float>(v) * 6.1035156e-05f)
                  : fromWheel    ? ClampUnit(static_cast<float>(v + 8191) * 6.1035156e-05f)
                                 : ClampUnit(f);
    }
    return 1;
}

int CMfxEvent::OffsetValue(float amount)
{
    switch (m_kind) {
    case MfxAutomation: m_value = ClampUnit(m_value + amount); return 1;
    case MfxNote:
        m_note.velocity = static_cast<BYTE>(ClampToInt(m_note.velocity + amount * 127.0f, 0, k7BitMax));
        m_note.extra = 0;
        return 1;
    case MfxController:
        m_ctrl.value = static_cast<BYTE>(ClampToInt(m_ctrl.value + amount * 127.0f, 0, k7BitMax));
        return 1;
    case MfxWheel: {
        // The amount scales the distance from the centre; the value never
        // crosses it.
        const int d = ClampToInt(amount * 8191.0f, -2 * kWheelMax, 2 * kWheelMax);
        const int value = m_wheel.value;
        const int moved = value < 0 ? ClampInt(value - d, -kWheelMax, 0) : ClampInt(value + d, 0, kWheelMax);
        m_wheel.value = static_cast<SHORT>(moved);
        return 1;
    }
    default: return 0;
    }
}

bool CMfxEvent::IsSameTarget(const CMfxEvent& other) const
{
    if (m_kind != other.m_kind)
        return false;
    switch (m_kind) {
    case MfxAutomation: return m_automation.param == other.m_automation.param;
    case MfxNote:
    case MfxKeyAftertouch:
    case MfxController:
    case MfxPatch: return m_data[0] == other.m_data[0];
    case MfxChannelAftertouch:
    case MfxWheel: return true;
    case MfxRpn:
    case MfxNrpn: return m_rpn.number == other.m_rpn.number;
    default: return false;
    }
}

bool CMfxEvent::IsSameEvent(const CMfxEvent& other) const
{
    if (m_kind != other.m_kind || m_time != other.m_time)
        return false;
    switch (m_kind) {
    case MfxNote:
        return m_note.key == other.m_note.key && m_channel == other.m_channel &&
               m_note.duration == other.m_note.duration;
    case MfxKeyAftertouch:
    case MfxChannelAftertouch:
    case MfxWheel: return m_channel == other.m_channel;
    case MfxController: return m_ctrl.number == other.m_ctrl.number && m_channel == other.m_channel;
    case MfxAutomation: return m_automation.param == other.m_automation.param;
    default: return false;
    }
}

bool CMfxEvent::LessByTarget(const CMfxEvent& a, const CMfxEvent& b)
{
    const LONG kindA = static_cast<LONG>(a.m_kind);
    const LONG kindB = static_cast<LONG>(b.m_kind);
    if (kindA != kindB)
        return kindA < kindB;
    if (a.m_port != b.m_port)
        return a.m_port < b.m_port;
    if (a.m_channel != b.m_channel)
        return a.m_channel < b.m_channel;
    switch (a.m_kind) {
    case MfxNote:
    case MfxKeyAftertouch:
    case MfxController:
    case MfxPatch: return a.m_data[0] < b.m_data[0];
    case MfxRpn:
    case MfxNrpn: return a.m_rpn.number < b.m_rpn.number;
    case MfxAutomation: return a.m_automation.param < b.m_automation.param;
    default: return false;
    }
}

CString CMfxEvent::GetText() const
{
    CString text;
    const int time = m_time;
    switch (m_kind) {
    case MfxNote:
        text.Format("Note: t=%d, d=%d, k=%d, v=%d", time, static_cast<int>(m_note.duration), m_note.key,
                    m_note.velocity);
        break;
    case MfxController: text.Format("CC: t=%d, n=%d, v=%d", time, m_ctrl.number, m_ctrl.value); break;
    case MfxWheel: text.Format("Wheel: t=%d, v=%d", time, static_cast<int>(m_wheel.value)); break;
    case MfxPatch:
        text.Format("Patch: t=%d, Patch=%d Bank=%d", time, m_patch.patch,
                    static_cast<int>(static_cast<SHORT>(m_patch.bank)));
        break;
    case MfxChannelAftertouch: text.Format("ChanAft: t=%d, Chaft=%d", time, m_chanAft.pressure); break;
    case MfxAutomation:
        text.Format("Automation: t=%d, Param=%d, v=%.2f", time, static_cast<int>(m_automation.param),
                    static_cast<double>(m_value));
        break;
    default: text.Format("???: t=%d,", time); break;
    }
    return text;
}

STDMETHODIMP CMfxEvent::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0 || !archive)
        return E_FAIL;

    // The payload is gathered into one transfer each way: the same bytes as
    // field by field, with a fraction of the stream calls.
    BYTE payload[kMaxPayload];
    if (archive->IsSaving()) {
        const FieldLayout layout = LayoutOf(m_kind);
        if (!layout.known)
            return E_FAIL;
        BYTE* p = payload;
        std::memcpy(p, &m_kind, 4);
        p[4] = m_port;
        p[5] = m_channel;
        p += kHeadBytes;
        std::memcpy(p, m_data + layout.offset, layout.length);
        p += layout.length;
        if (layout.withValue) {
            std::memcpy(p, &m_value, 4);
            p += 4;
        }
        const DWORD reserved = 0;
        std::memcpy(p, &m_time, 4);
        std::memcpy(p + 4, &reserved, 4);
        p += kTailBytes;
        return archive->PersistBytes(static_cast<ULONG>(p - payload), payload);
    }

    HRESULT hr = archive->PersistBytes(kHeadBytes, payload);
    if (FAILED(hr))
        return hr;
    DWORD kind = 0;
    std::memcpy(&kind, payload, 4);
    const FieldLayout layout = LayoutOf(kind);
    if (!layout.known)
        return E_FAIL;
    const ULONG rest = layout.length + (layout.withValue ? 4 : 0) + kTailBytes;
    BYTE* fields = payload + kHeadBytes;
    if (FAILED(hr = archive->PersistBytes(rest, fields)))
        return hr;

    // The kind data is about to be replaced (bytes the kind does not store
    // are cleared): a block this event held would otherwise be lost.
    ReleaseBuffer();
    m_kind = kind;
    m_port = payload[4];
    m_channel = payload[5];
    std::memset(m_data, 0, sizeof m_data);
    std::memcpy(m_data + layout.offset, fields, layout.length);
    fields += layout.length;
    if (layout.withValue) {
        std::memcpy(&m_value, fields, 4);
        fields += 4;
    }
    std::memcpy(&m_time, fields, 4);
    return S_OK;
}
