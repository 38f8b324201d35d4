#include "platform/midi/MidiApi.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "platform/sync/ThreadAffinity.h"
#include "tests/platform/audio/JackTestSupport.h"
#include "tests/platform/midi/FakeMidiProvider.h"

namespace {

struct Received {
    UINT kind;
    DWORD message;
    std::vector<BYTE> bytes;
    DWORD ms;
    mv::ThreadRole role;
};

struct Inbox {
    std::mutex lock;
    std::vector<Received> got;
    std::vector<Received> Got()
    {
        std::lock_guard<std::mutex> l(lock);
        return got;
    }
};

void CALLBACK_Proc(HMIDIIN, UINT kind, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2)
{
    auto* inbox = reinterpret_cast<Inbox*>(instance);
    Received r{kind, 0, {}, static_cast<DWORD>(p2), mv::CurrentThreadRole()};
    if (kind == MIM_DATA) {
        r.message = static_cast<DWORD>(p1);
    } else if (kind == MIM_LONGDATA) {
        const auto* header = reinterpret_cast<const MIDIHDR*>(p1);
        r.bytes.assign(header->lpData, header->lpData + header->dwBytesRecorded);
    }
    std::lock_guard<std::mutex> l(inbox->lock);
    inbox->got.push_back(std::move(r));
}

class MidiApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake().inputs = {{"In One"}, {"A port name longer than thirty-one bytes"}};
        fake().outputs = {{"Out One", true}, {"Soft Synth", false}};
    }
    mvtest::FakeMidiProvider& fake() { return *m_midi.provider; }
    mvtest::ScopedMidiProvider m_midi;
};

TEST_F(MidiApiTest, PortsByIndexAndName)
{
    EXPECT_EQ(midiInGetNumDevs(), 2u);
    EXPECT_EQ(midiOutGetNumDevs(), 2u);
    MIDIINCAPSA in{};
    ASSERT_EQ(midiInGetDevCapsA(1, &in, sizeof in), MMSYSERR_NOERROR);
    EXPECT_STREQ(in.szPname, "A port name longer than thirty-");  // 31 bytes and the end
    EXPECT_EQ(midiInGetDevCapsA(2, &in, sizeof in), MMSYSERR_BADDEVICEID);
    MIDIOUTCAPSA out{};
    ASSERT_EQ(midiOutGetDevCapsA(1, &out, sizeof out), MMSYSERR_NOERROR);
    EXPECT_STREQ(out.szPname, "Soft Synth");
    EXPECT_EQ(out.wTechnology, MOD_SYNTH);
    midiOutGetDevCapsA(0, &out, sizeof out);
    EXPECT_EQ(out.wTechnology, MOD_MIDIPORT);
}

TEST_F(MidiApiTest, InputDeliversShortAndLongMessagesOnTheMidiInputThreadOnlyWhileStarted)
{
    Inbox inbox;
    HMIDIIN handle = nullptr;
    ASSERT_EQ(midiInOpen(&handle, 0, reinterpret_cast<DWORD_PTR>(&CALLBACK_Proc), reinterpret_cast<DWORD_PTR>(&inbox),
                         CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    fake().Play(0, {0x90, 0x3C, 0x64}, 1000);  // before start: dropped
    ASSERT_EQ(midiInStart(handle), MMSYSERR_NOERROR);
    fake().Play(0, {0x90, 0x3C, 0x64}, 2500);
    fake().Play(0, {0xC1, 0x05}, 3000);
    fake().Play(0, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, 7999);
    ASSERT_TRUE(mvtest::WaitFor([&] { return inbox.Got().size() == 3; }));
    ASSERT_EQ(midiInClose(handle), MMSYSERR_NOERROR);  // after its last callback
    const auto got = inbox.Got();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].kind, MIM_DATA);
    EXPECT_EQ(got[0].message, 0x643C90u);
    EXPECT_EQ(got[0].ms, 2u);
    EXPECT_EQ(got[1].message, 0x05C1u);
    EXPECT_EQ(got[2].kind, MIM_LONGDATA);
    EXPECT_EQ(got[2].bytes, (std::vector<BYTE>{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}));
    EXPECT_EQ(got[2].ms, 7u);
    for (const auto& r : got)
        EXPECT_EQ(r.role, mv::ThreadRole::MidiInput);
    EXPECT_EQ(fake().OpenInputCount(), 0);
}

TEST_F(MidiApiTest, OutputSendsWholeMessagesByTheirStatus)
{
    HMIDIOUT out = nullptr;
    ASSERT_EQ(midiOutOpen(&out, 1, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(out, 0x7F3C90), MMSYSERR_NOERROR);  // three bytes
    EXPECT_EQ(midiOutShortMsg(out, 0x99C3), MMSYSERR_NOERROR);    // program change: two
    EXPECT_EQ(midiOutShortMsg(out, 0x1234F8), MMSYSERR_NOERROR);  // clock: one
    EXPECT_EQ(midiOutShortMsg(out, 0x0012), MMSYSERR_INVALPARAM);  // no status
    BYTE sysex[] = {0xF0, 0x01, 0x02, 0xF7};
    MIDIHDR header{reinterpret_cast<LPSTR>(sysex), sizeof sysex, 0, 0, 0};
    EXPECT_EQ(midiOutLongMsg(out, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(fake().Sent(1), (std::vector<BYTE>{0x90, 0x3C, 0x7F, 0xC3, 0x99, 0xF8, 0xF0, 0x01, 0x02, 0xF7}));
    EXPECT_EQ(fake().OpenOutputCount(), 0);
}

TEST_F(MidiApiTest, BadArgumentsAndRefusedPorts)
{
    HMIDIOUT out = nullptr;
    EXPECT_EQ(midiOutOpen(&out, 2, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(midiOutShortMsg(nullptr, 0xF8), MMSYSERR_INVALHANDLE);
    fake().refuse = {"Out One"};
    EXPECT_EQ(midiOutOpen(&out, 0, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
    HMIDIIN in = nullptr;
    EXPECT_EQ(midiInOpen(&in, 5, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(midiInStart(nullptr), MMSYSERR_INVALHANDLE);
}

}  // namespace
