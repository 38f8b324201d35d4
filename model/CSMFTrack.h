// The state of one track of a Standard MIDI File while the import reads it:
// the events made from its channel messages, kept in one list per MIDI
// channel (a format 0 file, whose one track carries every channel) or in one
// list for all (format 1, one track per part); the notes still sounding; the
// channel its messages use; its name; and the RPN/NRPN assembler's state.
//
// Pending notes: every note-on that has not met its note-off yet is queued
// for its channel and key, oldest first, so that a note-off ends the oldest
// one. While a note is pending its duration field holds the index of the
// next pending note of the same channel and key (kNoIndex ends the queue);
// indices are 32-bit, as a track may hold far more than 65535 events.
//
// Event times are in song ticks and never decrease from one call to the next.
// Appending may throw std::bad_alloc; the importer turns it into a failure.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "model/CMfxEvent.h"
#include "model/NrpnAssembler.h"

class CSMFTrack {
public:
    static constexpr DWORD kNoIndex = 0xFFFFFFFF;
    // The noted channel once messages of two channels were seen (or none yet).
    static constexpr WORD kMixedChannels = 0xFFFF;
    static constexpr std::size_t kMaxNameLength = 127;
    // How far before a program change its bank selects may lie, and an
    // earlier program change that carries the bank (program 100 and up).
    static constexpr LONG kBankSelectWindow = 480;
    static constexpr LONG kBankPatchWindow = 15;
    static constexpr BYTE kBankPatchBase = 100;

    // combine: one list for all channels rather than one per channel.
    explicit CSMFTrack(bool combine);

    bool IsCombined() const { return m_combine; }
    // The list of a channel's events (the one list when combined); null
    // while it was never written. Channels are 0..15.
    std::vector<CMfxEvent>* GetList(int channel) { return m_lists[m_combine ? 0 : channel & 15].get(); }

    // Room for this many events of each channel, ahead of appending them.
    void Reserve(const DWORD counts[16]);

    // Notes the channel of a message: the first one seen, then kMixedChannels
    // once another differs.
    void NoteChannel(BYTE channel);
    WORD GetChannel() const { return m_channel; }

    void SetName(const char* text, std::size_t length);
    const std::string& GetName() const { return m_name; }

    // A note-on with a velocity above 0: appended and queued as pending.
    void NoteOn(LONG time, BYTE channel, BYTE key, BYTE velocity);
    // Ends the oldest pending note of the channel and key; dropped when none.
    void NoteOff(LONG time, BYTE channel, BYTE key);
    // Ends every pending note at the time (the track's end).
    void CloseAllNotes(LONG time);
    DWORD GetPendingCount() const { return m_pending; }

    // A controller through the RPN/NRPN assembler: appended as it comes,
    // assembled into a parameter event, or merged into the channel's last one.
    void AddController(LONG time, BYTE channel, BYTE number, BYTE value);
    // A program change with the bank that the events just before it select
    // (bank select controllers 0 and 32, or an earlier program change of 100
    // and up); those events are removed unless a note sounds or lies between.
    void AddPatch(LONG time, BYTE channel, BYTE program);
    // Key aftertouch, channel aftertouch or pitch wheel.
    void AddMessage(LONG time, BYTE status, BYTE data1, BYTE data2);

private:
    std::vector<CMfxEvent>& ListFor(BYTE channel);
    // Appends an event of the kind, time and channel with the kind's defaults.
    CMfxEvent& NewEvent(DWORD kind, LONG time, BYTE channel);
    // The channel's latest event if it is not earlier than `notBefore`, else null.
    CMfxEvent* LastEventOf(BYTE channel, LONG notBefore);
    DWORD& Head(BYTE channel, BYTE key) { return m_head[(channel & 15) * 128 + (key & 127)]; }
    DWORD& Tail(BYTE channel, BYTE key) { return m_tail[(channel & 15) * 128 + (key & 127)]; }

    bool m_combine;
    WORD m_channel = kMixedChannels;
    bool m_channelSeen = false;
    std::string m_name;
    std::array<std::unique_ptr<std::vector<CMfxEvent>>, 16> m_lists;
    std::array<DWORD, 16 * 128> m_head;
    std::array<DWORD, 16 * 128> m_tail;
    DWORD m_pending = 0;
    NRPN_CHANNEL_STATE m_nrpn[16];
};
