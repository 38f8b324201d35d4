#include "devices/CMidiInputRouter.h"

#include <algorithm>
#include <thread>

#include "platform/sync/ThreadAffinity.h"

namespace {

BYTE Status(DWORD m) { return static_cast<BYTE>(m & 0xFF); }
BYTE Data1(DWORD m) { return static_cast<BYTE>((m >> 8) & 0xFF); }
BYTE Data2(DWORD m) { return static_cast<BYTE>((m >> 16) & 0xFF); }

BYTE ShortKey(DWORD m)
{
    const BYTE status = Status(m);
    const BYTE high = status & 0xF0;
    if (high == 0xD0 || high == 0xE0)
        return status;
    return status ^ Data1(m);
}

BYTE FullKey(DWORD m) { return ShortKey(m) ^ Data2(m); }

BYTE NumberKey(int channel, int number)
{
    return static_cast<BYTE>(channel ^ (number & 127) ^ (number >> 8));
}

}  // namespace

bool CMidiInputRouter::Tables::Allows(BYTE key) const
{
    return (listMask >> (key & 15) & 1) != 0 && (keyMasks[key & 15] >> (key >> 4) & 1) != 0;
}

void CMidiInputRouter::Tables::Add(BYTE key, BOOL qualified, IMidiLearnedMsg* msg)
{
    listMask |= static_cast<WORD>(1u << (key & 15));
    keyMasks[key & 15] |= static_cast<WORD>(1u << (key >> 4));
    lists[key & 15].push_back({key, qualified, msg});
}

CMidiInputRouter::CMidiInputRouter(IEngineOwner* owner) : m_owner(owner), m_tables(new Tables) {}

CMidiInputRouter::~CMidiInputRouter() { delete m_tables.exchange(nullptr); }

int CMidiInputRouter::Register(IMidiLearnedMsg* msg)
{
    MV_ASSERT_UI_THREAD();
    const bool added = msg && m_registered.insert(msg).second;
    Rebuild();
    return added ? 1 : 0;
}

int CMidiInputRouter::Unregister(IMidiLearnedMsg* msg)
{
    MV_ASSERT_UI_THREAD();
    const bool removed = m_registered.erase(msg) != 0;
    Rebuild();
    return removed ? 1 : 0;
}

void CMidiInputRouter::FileUnder(Tables& t, IMidiLearnedMsg* msg, int ch)
{
    const int kind = msg->GetKind();
    switch (kind) {
    case 1:
        t.Add(NumberKey(ch, msg->GetKind1Number()), FALSE, msg);
        t.byData2 = true;
        return;
    case 5:
        t.Add(NumberKey(ch, msg->GetNrpnNumber()), FALSE, msg);
        return;
    case 6:
        t.Add(NumberKey(ch, msg->GetRpnNumber()), FALSE, msg);
        return;
    case 13:
        t.Add(static_cast<BYTE>(0x90 | ch), FALSE, msg);
        t.anyNote = true;
        return;
    case 7: case 8: case 9: case 10: {
        BYTE x = 0;
        const DWORD n = msg->GetLongPrefixLength();
        for (DWORD i = 0; i < n; ++i)
            x ^= static_cast<BYTE>(msg->GetLongPrefix(i));
        t.Add(x, FALSE, msg);
        t.shortestPrefix = std::min(t.shortestPrefix, static_cast<LONG>(n));
        return;
    }
    case 12:
        t.Add(static_cast<BYTE>((0x80 | ch) ^ msg->GetNoteNumber()), FALSE, msg);
        break;
    default:
        break;
    }
    // The general rule: every short message of the kind, on this channel.
    // A value-qualified message files its last message with the qualifying
    // value in it, under the full key that such a message arrives with.
    const int count = msg->GetShortMsgCount();
    const BOOL qualified = msg->IsValueQualified();
    for (int i = 0; i < count; ++i) {
        const bool last = i == count - 1;
        DWORD m = msg->BuildShortMsg(last && qualified ? msg->GetQualifyingValue() : 0, i);
        m = (m & ~0x0Fu) | static_cast<DWORD>(ch);
        if (last && qualified) {
            t.Add(FullKey(m), TRUE, msg);
            t.valueQualified = true;
        } else {
            t.Add(ShortKey(m), FALSE, msg);
        }
    }
}

void CMidiInputRouter::Rebuild()
{
    MV_ASSERT_UI_THREAD();
    auto* next = new Tables;
    for (IMidiLearnedMsg* msg : m_registered) {
        const WORD channel = msg->GetChannel();
        if (channel == IMidiLearnedMsg::kAnyChannel)
            for (int ch = 0; ch < 16; ++ch)
                FileUnder(*next, msg, ch);
        else
            FileUnder(*next, msg, channel & 15);
    }
    for (auto& list : next->lists)
        std::stable_sort(list.begin(), list.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    Tables* old = m_tables.exchange(next, std::memory_order_seq_cst);
    // See CMidiSource::Publish: a message counts itself before it reads the
    // lists, so once none is counted the old lists are out of reach.
    while (m_walking.load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();
    delete old;
}

bool CMidiInputRouter::MatchKey(const Tables& t, BYTE key, bool wholeList, bool qualified, DWORD message, int port)
{
    if (!t.Allows(key))
        return false;
    bool fired = false;
    for (const Entry& e : t.lists[key & 15]) {
        if (!wholeList && e.key != key)
            continue;
        if ((e.valueQualified != 0) != qualified)
            continue;
        fired = e.msg->Match(m_pass, message, port) != 0 || fired;
    }
    return fired;
}

int CMidiInputRouter::OnShortMsg(DWORD m, DWORD, int port)
{
    m_walking.fetch_add(1, std::memory_order_seq_cst);
    const Tables* t = m_tables.load(std::memory_order_seq_cst);
    m_current = t;
    const BYTE status = Status(m);
    const bool controller = (status & 0xF0) == 0xB0;
    const int channel = status & 0x0F;
    if (t->valueQualified)
        MatchKey(*t, FullKey(m), true, true, m, port);
    ++m_pass;
    if (t->byData2 && controller)
        MatchKey(*t, static_cast<BYTE>(channel ^ (Data2(m) & 127)), true, false, m, port);
    ++m_pass;
    if (controller)
        ParseNrpn(m, port);
    if (t->anyNote && (status & 0xF0) == 0x90)
        MatchKey(*t, status, false, false, m, port);
    ++m_pass;
    const bool consumed = MatchKey(*t, ShortKey(m), false, false, m, port);
    ++m_pass;
    m_current = nullptr;
    m_walking.fetch_sub(1, std::memory_order_seq_cst);
    return consumed ? 1 : 0;
}

void CMidiInputRouter::OnNrpnComplete(DWORD parserKind, int number, int channel, int value, int port)
{
    const Tables* t = m_current;
    if (!t)
        return;  // only while a message is in hand
    const BYTE key = NumberKey(channel, number);
    if (t->Allows(key))
        for (const Entry& e : t->lists[key & 15])
            e.msg->MatchNrpn(m_pass, parserKind, number, channel, value, port);
    ++m_pass;
}

int CMidiInputRouter::OnLongMsg(DWORD length, const BYTE* bytes, int port)
{
    if (!bytes)
        return 0;
    m_walking.fetch_add(1, std::memory_order_seq_cst);
    const Tables* t = m_tables.load(std::memory_order_seq_cst);
    bool fired = false;
    BYTE x = 0;
    for (DWORD n = 0; n <= length; ++n) {
        if (static_cast<LONG>(n) >= t->shortestPrefix && t->Allows(x))
            for (const Entry& e : t->lists[x & 15])
                fired = e.msg->MatchLong(m_pass, length, bytes, port) != 0 || fired;
        if (n < length)
            x ^= bytes[n];
    }
    ++m_pass;
    m_walking.fetch_sub(1, std::memory_order_seq_cst);
    return fired ? 1 : 0;
}
