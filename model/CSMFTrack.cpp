#include "model/CSMFTrack.h"

#include <algorithm>

CSMFTrack::CSMFTrack(bool combine) : m_combine(combine)
{
    m_head.fill(kNoIndex);
    m_tail.fill(kNoIndex);
    InitNrpnChannelStates(m_nrpn);
}

void CSMFTrack::NoteChannel(BYTE channel)
{
    if (!m_channelSeen) {
        m_channelSeen = true;
        m_channel = channel;
    } else if (m_channel != channel) {
        m_channel = kMixedChannels;
    }
}

void CSMFTrack::SetName(const char* text, std::size_t length)
{
    length = std::min(length, kMaxNameLength);
    // Never cut inside a character of a UTF-8 name.
    if (length == kMaxNameLength)
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    m_name.assign(text, length);
}

std::vector<CMfxEvent>& CSMFTrack::ListFor(BYTE channel)
{
    auto& list = m_lists[m_combine ? 0 : channel & 15];
    if (!list)
        list = std::make_unique<std::vector<CMfxEvent>>();
    return *list;
}

void CSMFTrack::Reserve(const DWORD counts[16])
{
    if (m_combine) {
        ULONGLONG total = 0;
        for (int channel = 0; channel < 16; ++channel)
            total += counts[channel];
        if (total > 0)
            ListFor(0).reserve(total);
        return;
    }
    for (int channel = 0; channel < 16; ++channel)
        if (counts[channel] > 0)
            ListFor(static_cast<BYTE>(channel)).reserve(counts[channel]);
}

CMfxEvent& CSMFTrack::NewEvent(DWORD kind, LONG time, BYTE channel)
{
    CMfxEvent& e = ListFor(channel).emplace_back(kind);
    e.m_time = time;
    e.m_channel = channel;
    return e;
}

void CSMFTrack::NoteOn(LONG time, BYTE channel, BYTE key, BYTE velocity)
{
    std::vector<CMfxEvent>& list = ListFor(channel);
    const auto index = static_cast<DWORD>(list.size());
    CMfxEvent& note = NewEvent(MfxNote, time, channel);
    note.m_note.key = key;
    note.m_note.velocity = velocity;
    note.m_note.duration = kNoIndex;
    DWORD& head = Head(channel, key);
    DWORD& tail = Tail(channel, key);
    if (head == kNoIndex)
        head = index;
    else
        list[tail].m_note.duration = index;
    tail = index;
    ++m_pending;
}

void CSMFTrack::NoteOff(LONG time, BYTE channel, BYTE key)
{
    DWORD& head = Head(channel, key);
    if (head == kNoIndex)
        return;
    CMfxEvent& note = (*GetList(channel))[head];
    head = note.m_note.duration;
    if (head == kNoIndex)
        Tail(channel, key) = kNoIndex;
    note.m_note.duration = static_cast<DWORD>(time - note.m_time);
    --m_pending;
}

void CSMFTrack::CloseAllNotes(LONG time)
{
    if (m_pending == 0)
        return;
    for (int channel = 0; channel < 16; ++channel)
        for (int key = 0; key < 128; ++key)
            while (Head(static_cast<BYTE>(channel), static_cast<BYTE>(key)) != kNoIndex)
                NoteOff(time, static_cast<BYTE>(channel), static_cast<BYTE>(key));
}

CMfxEvent* CSMFTrack::LastEventOf(BYTE channel, LONG notBefore)
{
    std::vector<CMfxEvent>* list = GetList(channel);
    if (list == nullptr)
        return nullptr;
    // Times ascend, so the walk stops at the first event too early to count;
    // each event is passed at most once per channel between two events of
    // that channel.
    for (auto it = list->rbegin(); it != list->rend() && it->m_time >= notBefore; ++it)
        if (it->m_channel == channel)
            return &*it;
    return nullptr;
}

void CSMFTrack::AddController(LONG time, BYTE channel, BYTE number, BYTE value)
{
    CMfxEvent* previous = LastEventOf(channel, time - 120);
    CMfxEvent out(MfxController);
    if (NrpnControllerToEvent(m_nrpn, time, channel, number, value, previous, &out) == 1)
        ListFor(channel).push_back(out);
}

void CSMFTrack::AddPatch(LONG time, BYTE channel, BYTE program)
{
    std::vector<CMfxEvent>& list = ListFor(channel);
    const auto count = static_cast<std::ptrdiff_t>(list.size());
    WORD bank = 0xFFFF;
    BYTE method = 0;
    std::ptrdiff_t used[2] = {-1, -1};

    // An earlier program change of 100 and up just before carries the bank.
    for (std::ptrdiff_t i = count - 1; i >= 0 && time - list[i].m_time <= kBankPatchWindow; --i) {
        const CMfxEvent& e = list[i];
        if (e.m_channel != channel || e.m_kind != MfxPatch)
            continue;
        if (e.m_patch.patch >= kBankPatchBase) {
            bank = static_cast<WORD>(e.m_patch.patch - kBankPatchBase);
            method = 3;
            used[0] = i;
        }
        break;
    }
    if (used[0] < 0) {
        // Bank selects belong to the next program change of their channel,
        // so the walk ends at an earlier one; that also bounds its length.
        std::ptrdiff_t high = -1, low = -1;
        for (std::ptrdiff_t i = count - 1; i >= 0 && time - list[i].m_time <= kBankSelectWindow; --i) {
            const CMfxEvent& e = list[i];
            if (e.m_channel != channel)
                continue;
            if (e.m_kind == MfxPatch)
                break;
            if (e.m_kind != MfxController)
                continue;
            if (e.m_ctrl.number == 0 && high < 0)
                high = i;
            else if (e.m_ctrl.number == 32 && low < 0)
                low = i;
            if (high >= 0 && low >= 0)
                break;
        }
        if (high >= 0 && low >= 0) {
            bank = static_cast<WORD>(list[high].m_ctrl.value * 128 + list[low].m_ctrl.value);
            method = 0;
        } else if (high >= 0) {
            bank = list[high].m_ctrl.value;
            method = 1;
        } else if (low >= 0) {
            bank = list[low].m_ctrl.value;
            method = 2;
        }
        used[0] = std::max(high, low);
        used[1] = std::min(high, low);
    }

    // Removing events moves the ones after them, which pending notes point
    // at; and a note between keeps them, as they then shape that note too.
    const std::ptrdiff_t first = used[1] >= 0 ? used[1] : used[0];
    if (first >= 0 && m_pending == 0 &&
        std::none_of(list.begin() + first, list.end(), [](const CMfxEvent& e) { return e.m_kind == MfxNote; })) {
        for (std::ptrdiff_t i : used)
            if (i >= 0)
                list.erase(list.begin() + i);
    }

    CMfxEvent& patch = NewEvent(MfxPatch, time, channel);
    patch.m_patch.patch = program;
    patch.m_patch.bankMethod = method;
    patch.m_patch.bank = bank;
}

void CSMFTrack::AddMessage(LONG time, BYTE status, BYTE data1, BYTE data2)
{
    CMfxEvent& e = NewEvent(MfxNote, time, status & 0x0F);
    // Data bytes arrive masked to 7 bits, so the message is always taken.
    e.SetFromShortMsg(static_cast<DWORD>(status | data1 << 8 | data2 << 16), 0);
}
