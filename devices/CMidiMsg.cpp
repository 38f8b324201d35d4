#include "devices/CMidiMsg.h"

#include <algorithm>
#include <cstring>

#include "devices/CMidiInputRouter.h"
#include "model/IKelPersist.h"

namespace {

constexpr BYTE kController = 0xB0;
constexpr BYTE kNoteOn = 0x90;
constexpr BYTE kNoteOff = 0x80;
constexpr BYTE kPressure = 0xD0;
constexpr BYTE kWheel = 0xE0;

BYTE Status(DWORD m) { return static_cast<BYTE>(m & 0xF0); }
BYTE Channel(DWORD m) { return static_cast<BYTE>(m & 0x0F); }
BYTE Data1(DWORD m) { return static_cast<BYTE>((m >> 8) & 0x7F); }
BYTE Data2(DWORD m) { return static_cast<BYTE>((m >> 16) & 0x7F); }
DWORD Short(BYTE status, DWORD d1, DWORD d2) { return status | (d1 & 0x7F) << 8 | (d2 & 0x7F) << 16; }

}  // namespace

CMidiMsg::CMidiMsg(CMidiInputRouter* router) : CKelPersistObject(MakeKelVersionWord(kMajor, 0)), m_router(router) {}

CMidiMsg::~CMidiMsg()
{
    if (m_router && !m_listeners.empty())
        m_router->Unregister(this);
}

CMidiMsg& CMidiMsg::CopyFieldsFrom(const CMidiMsg& o)
{
    m_kind = o.m_kind;
    m_controllerA = o.m_controllerA;
    m_controllerB = o.m_controllerB;
    m_kind1Number = o.m_kind1Number;
    m_prefixController = o.m_prefixController;
    m_prefixValue = o.m_prefixValue;
    m_nrpnNumber = o.m_nrpnNumber;
    m_rpnNumber = o.m_rpnNumber;
    m_noteNumber = o.m_noteNumber;
    m_channel = o.m_channel;
    m_port = o.m_port;
    m_maxValue = o.m_maxValue;
    m_currentValue = o.m_currentValue;
    m_valueQualified = o.m_valueQualified;
    m_qualifyingValue = o.m_qualifyingValue;
    m_secondFlag = o.m_secondFlag;
    m_prefix = o.m_prefix;
    m_suffix = o.m_suffix;
    return *this;
}

HRESULT CMidiMsg::AddListener(CMidiMsgListener* listener)
{
    if (!listener)
        return E_POINTER;
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
        return S_FALSE;
    const bool first = m_listeners.empty();
    m_listeners.push_back(listener);
    if (first && m_router)
        m_router->Register(this);
    return S_OK;
}

HRESULT CMidiMsg::RemoveListener(CMidiMsgListener* listener)
{
    if (!listener)
        return E_POINTER;
    const auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it == m_listeners.end())
        return S_FALSE;
    m_listeners.erase(it);
    if (m_listeners.empty() && m_router)
        m_router->Unregister(this);
    return S_OK;
}

int CMidiMsg::GetShortMsgCount()
{
    switch (m_kind) {
    case 2: case 3: case 4:
        return 2;
    case 5: case 6:
        return 4;
    case 7: case 8: case 9: case 10:
        return 0;
    default:
        return 1;
    }
}

DWORD CMidiMsg::BuildShortMsg(int value, int i)
{
    const BYTE ch = static_cast<BYTE>(m_channel == kAnyChannel ? 0 : m_channel & 15);
    const auto v = static_cast<DWORD>(value);
    switch (m_kind) {
    case 0:
        return Short(kController | ch, m_controllerA, v);
    case 1:
        return Short(kController | ch, v, m_kind1Number);
    case 2:
        return i == 0 ? Short(kController | ch, m_prefixController, m_prefixValue)
                      : Short(kController | ch, m_controllerA, v);
    case 3:
        return i == 0 ? Short(kController | ch, m_controllerA, v >> 7) : Short(kController | ch, m_controllerB, v);
    case 4:
        return i == 0 ? Short(kController | ch, m_controllerA, v) : Short(kController | ch, m_controllerB, v >> 7);
    case 5:
    case 6: {
        const DWORD number = m_kind == 5 ? m_nrpnNumber : m_rpnNumber;
        const BYTE low = m_kind == 5 ? 98 : 100;
        const BYTE high = m_kind == 5 ? 99 : 101;
        switch (i) {
        case 0: return Short(kController | ch, low, number);
        case 1: return Short(kController | ch, high, number >> 7);
        case 2: return Short(kController | ch, 6, v >> 7);
        default: return Short(kController | ch, 38, v);
        }
    }
    case 11:
        return Short(kWheel | ch, v, v >> 7);
    case 12:
        return Short(kNoteOn | ch, m_noteNumber, v);
    case 13:
        return Short(kNoteOn | ch, v, 127);
    case 14:
        return Short(kPressure | ch, v, 0);
    default:
        return 0;
    }
}

bool CMidiMsg::Decode(DWORD m, LONG* value)
{
    const BYTE status = Status(m);
    const BYTE d1 = Data1(m), d2 = Data2(m);
    switch (m_kind) {
    case 0:
        if (status != kController || d1 != m_controllerA)
            return false;
        *value = d2;
        return true;
    case 1:
        if (status != kController || d2 != m_kind1Number)
            return false;
        *value = d1;
        return true;
    case 2: {
        const DWORD previous = m_previous;
        m_previous = m;
        const bool prefixed = Status(previous) == kController && Channel(previous) == Channel(m) &&
                              Data1(previous) == m_prefixController && Data2(previous) == m_prefixValue;
        if (status != kController || d1 != m_controllerA || !prefixed)
            return false;
        *value = d2;
        return true;
    }
    case 3:
    case 4: {
        if (status != kController)
            return false;
        if (d1 == m_controllerA) {
            m_previous = m;
            return false;
        }
        if (d1 != m_controllerB)
            return false;
        const DWORD first = m_previous;
        m_previous = m;
        if (Status(first) != kController || Channel(first) != Channel(m) || Data1(first) != m_controllerA)
            return false;
        *value = m_kind == 3 ? (Data2(first) << 7 | d2) : (Data2(first) | d2 << 7);
        return true;
    }
    case 11:
        if (status != kWheel)
            return false;
        *value = d2 << 7 | d1;
        return true;
    case 12:
    case 13:
        if ((status != kNoteOn && status != kNoteOff) || (m_kind == 12 && d1 != m_noteNumber))
            return false;
        *value = status == kNoteOn ? d2 : 0;
        return true;
    case 14:
        if (status != kPressure)
            return false;
        *value = d1;
        return true;
    default:
        return false;
    }
}

int CMidiMsg::Fire(DWORD pass, LONG value)
{
    if (m_valueQualified && value != m_qualifyingValue)
        return 0;
    m_firedInPass = pass;
    m_currentValue = value;
    for (CMidiMsgListener* l : m_listeners)
        l->OnLearnedValue(this, value, static_cast<LONG>(m_maxValue));
    return 1;
}

int CMidiMsg::Match(DWORD pass, DWORD m, int port)
{
    if (m_firedInPass == pass)
        return 0;
    if (m_channel != kAnyChannel && m_channel != Channel(m))
        return 0;
    if (m_port != kAnyPort && m_port != static_cast<DWORD>(port))
        return 0;
    LONG value = 0;
    if (!Decode(m, &value))
        return 0;
    return Fire(pass, value);
}

int CMidiMsg::MatchLong(DWORD pass, DWORD length, const BYTE* bytes, int port)
{
    if (m_kind < 7 || m_kind > 9 || !bytes || m_firedInPass == pass)
        return 0;
    if (m_port != kAnyPort && m_port != static_cast<DWORD>(port))
        return 0;
    const DWORD values = m_kind == 7 ? 1 : 2;
    if (length != m_prefix.size() + values + m_suffix.size())
        return 0;
    if (!std::equal(m_prefix.begin(), m_prefix.end(), bytes) ||
        !std::equal(m_suffix.begin(), m_suffix.end(), bytes + m_prefix.size() + values))
        return 0;
    const BYTE* v = bytes + m_prefix.size();
    const LONG value = m_kind == 7 ? v[0] : m_kind == 8 ? v[0] * 128 + v[1] : v[1] * 128 + v[0];
    return Fire(pass, value);
}

int CMidiMsg::MatchNrpn(DWORD pass, DWORD parserKind, int number, int channel, int value, int port)
{
    if (m_firedInPass == pass)
        return 0;
    // "Any channel" and "any port" hold here as for every other kind: a
    // target learned on any channel must not go deaf to NRPNs.
    if (m_channel != kAnyChannel && m_channel != channel)
        return 0;
    if (m_port != kAnyPort && m_port != static_cast<DWORD>(port))
        return 0;
    if (!((parserKind == 1 && m_kind == 5 && number == m_nrpnNumber) ||
          (parserKind == 2 && m_kind == 6 && number == m_rpnNumber)))
        return 0;
    return Fire(pass, value);
}

void CMidiMsg::GetLongPrefix(const BYTE** bytes, DWORD* length) const
{
    *bytes = m_prefix.data();
    *length = static_cast<DWORD>(m_prefix.size());
}

void CMidiMsg::GetLongSuffix(const BYTE** bytes, DWORD* length) const
{
    *bytes = m_suffix.data();
    *length = static_cast<DWORD>(m_suffix.size());
}

STDMETHODIMP CMidiMsg::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    if (archive->IsSaving() && m_kind > 6 && m_kind != 11 && m_kind != 12 && m_kind != 13 && m_kind != 14)
        return E_UNEXPECTED;  // system exclusive cannot be stored
    HRESULT hr;
    if (FAILED(hr = archive->PersistBytes(sizeof m_kind, &m_kind)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_maxValue, &m_maxValue)) ||
        FAILED(hr = archive->PersistBool(&m_valueQualified)) || FAILED(hr = archive->PersistBool(&m_secondFlag)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_channel, &m_channel)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_port, &m_port)))
        return hr;
    switch (m_kind) {
    case 0:
        return archive->PersistBytes(sizeof m_controllerA, &m_controllerA);
    case 1:
        return archive->PersistBytes(sizeof m_kind1Number, &m_kind1Number);
    case 2:
        if (FAILED(hr = archive->PersistBytes(sizeof m_prefixController, &m_prefixController)))
            return hr;
        return archive->PersistBytes(sizeof m_prefixValue, &m_prefixValue);
    case 3:
    case 4:
        if (FAILED(hr = archive->PersistBytes(sizeof m_controllerA, &m_controllerA)))
            return hr;
        return archive->PersistBytes(sizeof m_controllerB, &m_controllerB);
    case 5:
        return archive->PersistBytes(sizeof m_nrpnNumber, &m_nrpnNumber);
    case 6:
        return archive->PersistBytes(sizeof m_rpnNumber, &m_rpnNumber);
    case 12:
        return archive->PersistBytes(sizeof m_noteNumber, &m_noteNumber);
    case 11:
    case 13:
    case 14:
        return S_OK;
    default:
        return E_UNEXPECTED;  // a loaded kind that cannot be stored is no message
    }
}
