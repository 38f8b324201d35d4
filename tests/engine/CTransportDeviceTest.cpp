// Choosing, opening, formatting and resetting the audio back-end.
#include "engine/CTransport.h"

#include <gtest/gtest.h>

#include <future>

#include "resources/MorvaneStrings.h"
#include "tests/engine/TransportRig.h"
#include "uikit/core/ResString.h"

using namespace mvtest;

namespace {

using Strings = std::vector<std::string>;

// Capability bit of a rate index (0..5) and width code (0 16-bit, 1 24-bit
// packed, 2 24 in 32, 3 32-bit).
constexpr unsigned Cap(int rateIndex, int width) { return 1u << (rateIndex * 4 + width); }

struct TransportDevice : TransportRig {
    // Built with a document attached, the device not yet opened.
    void Attach()
    {
        ASSERT_EQ(S_OK, transport->Init(FALSE));
        doc->UseGraph(transport->GetFilterGraph());
        ASSERT_EQ(S_OK, transport->SetDocument(doc.get()));
    }
    FakeAudioDevice* BackEnd(int type) { return static_cast<FakeAudioDevice*>(transport->GetBackEnd(type)); }
    std::string SoundcardHint() const { return LoadResString(IDS_SOUNDCARD_IN_USE); }
};

// Holds a lock on another thread until released.
class LockHolder {
public:
    explicit LockHolder(CHeapCriticalSection& lock)
        : m_thread([this, &lock] {
              lock.Lock();
              m_held.set_value();
              m_release.get_future().wait();
              lock.Unlock();
          })
    {
        m_held.get_future().wait();
    }
    ~LockHolder()
    {
        m_release.set_value();
        m_thread.join();
    }

private:
    std::promise<void> m_held, m_release;
    std::thread m_thread;
};

}  // namespace

TEST_F(TransportDevice, AResetOpensFormatsSizesAndStartsTheConfiguredBackEnd)
{
    CAppConfig::SetBufferMsec(20);
    CAppConfig::SetSampleRate(48000);
    Attach();
    EXPECT_EQ(S_OK, transport->NeedsAudioReset());
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->ApplyAudioReset());
    EXPECT_EQ((Strings{"DirectSound open", "DirectSound format 48000 16 0 960", "DirectSound start"}),
              factory.journal.Starting("DirectSound"));
    // The graph was connected at the engine's first rate and block length:
    // it is connected again at the device's.
    EXPECT_EQ((Strings{"doc connect all", "doc invalidate graph", "doc rebuild graph"}),
              factory.journal.Starting("doc "));
    EXPECT_TRUE(transport->IsDeviceRunning());
    EXPECT_TRUE(BackEnd(CTransport::kDriverDirectSound)->IsStreaming());
    EXPECT_EQ(20, transport->GetLatency());
    EXPECT_EQ(48000, transport->GetSampleRate());
    EXPECT_EQ(48000, transport->GetAudioRenderer()->GetSampleRate());
    EXPECT_EQ(48000, transport->GetFilterGraph()->GetSampleRate());
    EXPECT_EQ(960, transport->GetFilterGraph()->GetBlockFrames());
    EXPECT_EQ(20.0f, transport->GetTimeKeeper()->GetBufferPeriod());
    EXPECT_EQ(S_FALSE, transport->NeedsAudioReset()) << "done, and the graph was rebuilt";

    // Without a reset request only the graph is looked at.
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->ApplyAudioReset());
    EXPECT_TRUE(factory.journal.Starting("DirectSound").empty());
    EXPECT_EQ((Strings{"doc rebuild graph"}), factory.journal.Starting("doc "));

    // The device reopened as it was: the connections stand.
    ASSERT_EQ(S_OK, transport->RequestAudioReset());
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->ApplyAudioReset());
    EXPECT_EQ((Strings{"doc connect all", "doc rebuild graph"}), factory.journal.Starting("doc "));
}

TEST_F(TransportDevice, ResetsNeedADocumentAndNeverWaitForALock)
{
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    EXPECT_EQ(E_UNEXPECTED, transport->NeedsAudioReset());
    EXPECT_EQ(E_UNEXPECTED, transport->ApplyAudioReset());
    doc->UseGraph(transport->GetFilterGraph());
    ASSERT_EQ(S_OK, transport->SetDocument(doc.get()));
    {
        LockHolder busy(transport->GetTransportLock());
        EXPECT_EQ(S_FALSE, transport->NeedsAudioReset());
        EXPECT_EQ(S_FALSE, transport->ApplyAudioReset());
    }
    {
        LockHolder busy(transport->GetAudioRenderer()->GetLock());
        EXPECT_EQ(S_FALSE, transport->ApplyAudioReset());
    }
    EXPECT_FALSE(transport->IsDeviceRunning());
    EXPECT_EQ(S_OK, transport->ApplyAudioReset());
    EXPECT_TRUE(transport->IsDeviceRunning());
}

namespace {

// The port's formats, and the format the transport and the settings end with.
struct FormatCase {
    const char* name;
    int rate;
    int bits;
    int mode;
    unsigned mask;
    int wantRate;
    int wantBits;
    int wantMode;
};

const FormatCase kFormatCases[] = {
    {"the configured format is offered", 44100, 16, 0, Cap(2, 0), 44100, 16, 0},
    {"the first offered row of the table", 44100, 16, 0, Cap(3, 2) | Cap(4, 3), 48000, 24, 1},
    {"a 16-bit row keeps the 24-bit mode", 44100, 24, 2, Cap(5, 0), 96000, 16, 2},
    {"rows are tried rate by rate", 96000, 24, 0, Cap(2, 3) | Cap(3, 0), 44100, 32, 3},
    {"mode 4 is the last row of a rate", 22050, 16, 0, Cap(4, 3), 88200, 32, 3},
};

}  // namespace

TEST_F(TransportDevice, ARefusedFormatWalksTheFallbackTableAndTheSettingsKeepTheOneFound)
{
    for (const FormatCase& c : kFormatCases) {
        CaseEngine e;
        e.factory.directSoundScript.mask = c.mask;
        CAppConfig::SetSampleRate(c.rate);
        CAppConfig::SetBitDepth(c.bits);
        CAppConfig::Set24BitMode(c.mode);
        ASSERT_EQ(S_OK, e.Attach()) << c.name;
        ASSERT_EQ(S_OK, e.transport.ApplyAudioReset()) << c.name;
        EXPECT_TRUE(e.transport.IsDeviceRunning()) << c.name;
        EXPECT_EQ(c.wantRate, e.transport.GetSampleRate()) << c.name;
        EXPECT_EQ(c.wantBits, e.transport.GetBitsPerSample()) << c.name;
        EXPECT_EQ(c.wantMode, e.transport.Get24BitMode()) << c.name;
        EXPECT_EQ(c.wantRate, CAppConfig::GetSampleRate()) << c.name;
        EXPECT_EQ(c.wantBits, CAppConfig::GetBitDepth()) << c.name;
        EXPECT_EQ(c.wantMode, CAppConfig::Get24BitMode()) << c.name;
        EXPECT_EQ(c.wantBits, e.transport.GetAudioRenderer()->GetBitDepth()) << c.name;
        EXPECT_TRUE(prompts->Prompts().empty()) << c.name;
    }
}

TEST_F(TransportDevice, WhenEveryFormatIsRefusedTheSettingsStayAndOpeningFailsWithItsMessage)
{
    factory.directSoundScript.mask = Cap(0, 0) | Cap(1, 3);  // 11025 and 22050 only
    CAppConfig::SetSampleRate(48000);
    CAppConfig::SetBitDepth(24);
    CAppConfig::Set24BitMode(2);
    Attach();
    ASSERT_EQ(S_OK, transport->ApplyAudioReset());
    EXPECT_EQ((Strings{LoadResString(IDS_AUDIO_INIT_FAILED)}), PromptTexts()) << "shown once";
    EXPECT_FALSE(transport->IsDeviceRunning());
    EXPECT_TRUE(factory.journal.Starting("DirectSound format").empty());
    EXPECT_EQ(48000, CAppConfig::GetSampleRate());
    EXPECT_EQ(24, CAppConfig::GetBitDepth());
    EXPECT_EQ(2, CAppConfig::Get24BitMode());
    EXPECT_EQ(48000, transport->GetSampleRate());
    EXPECT_EQ(24, transport->GetBitsPerSample());

    int latency = 0;
    EXPECT_EQ(E_FAIL, transport->OpenAudioDevice(&latency));
    EXPECT_EQ(-1, latency);
    EXPECT_EQ(E_POINTER, transport->OpenAudioDevice(nullptr));
}

TEST_F(TransportDevice, ABackEndThatAnswersNotOpenedHasFailed)
{
    Attach();
    FakeAudioDevice* ds = BackEnd(CTransport::kDriverDirectSound);
    ds->script.openResult = S_FALSE;
    ASSERT_EQ(S_OK, transport->ApplyAudioReset());
    EXPECT_FALSE(transport->IsDeviceRunning());
    EXPECT_TRUE(factory.journal.Starting("DirectSound format").empty());
    EXPECT_EQ((Strings{std::string(LoadResString(IDS_AUDIO_UNSPECIFIED_ERROR)) + "\n\n" + SoundcardHint()}),
              PromptTexts());
    int latency = 0;
    EXPECT_EQ(E_FAIL, transport->OpenAudioDevice(&latency));

    // Once opened, S_FALSE is the back-end saying it is open already.
    ds->script.openResult = S_OK;
    ASSERT_EQ(S_OK, transport->SelectAudioDriver());
    ds->script.openResult = S_FALSE;
    ASSERT_EQ(S_OK, transport->OpenAudioDevice(&latency));
    EXPECT_TRUE(transport->IsDeviceRunning());
}

TEST_F(TransportDevice, FormatAndStartFailuresAreReportedWithTheBackEndsErrors)
{
    Attach();
    FakeAudioDevice* ds = BackEnd(CTransport::kDriverDirectSound);
    ds->script.setFormatResult = E_OUTOFMEMORY;
    ds->script.errors = {"CreateSoundBuffer failed: 8007000e", "second"};
    int latency = 0;
    EXPECT_EQ(E_OUTOFMEMORY, transport->OpenAudioDevice(&latency));
    EXPECT_EQ((Strings{"CreateSoundBuffer failed: 8007000e\nsecond\n\n" + SoundcardHint()}), PromptTexts());

    ds->script.setFormatResult = S_OK;
    ds->script.startResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, transport->OpenAudioDevice(&latency));
    EXPECT_FALSE(transport->IsDeviceRunning());
    ASSERT_EQ(2u, PromptTexts().size());
    EXPECT_EQ(std::string(LoadResString(IDS_AUDIO_UNSPECIFIED_ERROR)) + "\n\n" + SoundcardHint(), PromptTexts()[1]);
}

namespace {

// How the buffer is sized for a back-end.
struct SizeCase {
    const char* name;
    int driverType;
    int msec;
    std::vector<int> limits;  // empty: none
    unsigned bufferBytes;     // what the device answers; 0: its format x frames
    int formatFrames;         // asked of the device
    int blockFrames;          // the graph's block
    int latency;
};

std::vector<int> Limits(int minimum, int maximum, int granularity)
{
    std::vector<int> l(kBufferLimitEntries, 0);
    const int index = FormatIndex(44100, 16, 0);
    l[kBufferLimitMinimum + index] = minimum;
    l[kBufferLimitMaximum + index] = maximum;
    l[kBufferLimitGranularity + index] = granularity;
    return l;
}

const SizeCase kSizeCases[] = {
    {"DirectSound, 100 ms", CTransport::kDriverDirectSound, 100, {}, 0, 4410, 4410, 100},
    {"DirectSound below 10 ms takes rate / 100", CTransport::kDriverDirectSound, 5, {}, 0, 441, 441, 10},
    {"the device's own size wins", CTransport::kDriverDirectSound, 100, {}, 1024 * 4, 4410, 1024, 23},
    {"WDM within its limits", CTransport::kDriverWDM, 100, Limits(64, 8192, -1), 0, 4096, 4096, 93},
    {"WDM keeps short buffers", CTransport::kDriverWDM, 5, {}, 0, 221, 221, 5},
    {"ASIO with a fixed size", CTransport::kDriverAsio, 100, Limits(256, 256, 0), 0, 256, 256, 6},
};

}  // namespace

TEST_F(TransportDevice, TheBufferIsSizedFromTheLatencyAndReadBackFromTheDevice)
{
    for (const SizeCase& c : kSizeCases) {
        CaseEngine e;
        for (DeviceScript* s : {&e.factory.directSoundScript, &e.factory.wdmScript, &e.factory.asioScript}) {
            s->limits = c.limits;
            s->fixedBufferBytes = c.bufferBytes;
        }
        CAppConfig::SetDriverType(c.driverType);
        CAppConfig::SetBufferMsec(c.msec);
        ASSERT_EQ(S_OK, e.Attach()) << c.name;
        ASSERT_EQ(S_OK, e.transport.ApplyAudioReset()) << c.name;
        auto* device = e.Device();
        EXPECT_EQ(c.formatFrames, device->bufferFrames) << c.name;
        EXPECT_EQ(c.blockFrames, e.transport.GetFilterGraph()->GetBlockFrames()) << c.name;
        EXPECT_EQ(c.latency, e.transport.GetLatency()) << c.name;
        EXPECT_EQ(static_cast<float>(c.latency), e.transport.GetTimeKeeper()->GetBufferPeriod()) << c.name;
    }
}

TEST_F(TransportDevice, TheBufferFramesFollowTheDeviceFrameOfEachWidth)
{
    struct Case {
        int bits, mode;
        unsigned bytes;
        int frames;
    } cases[] = {{16, 0, 1200, 300}, {24, 0, 1200, 200}, {24, 1, 1200, 150}, {32, 4, 1200, 150}};
    for (const Case& c : cases) {
        CaseEngine e;
        e.factory.directSoundScript.fixedBufferBytes = c.bytes;
        CAppConfig::SetBitDepth(c.bits);
        CAppConfig::Set24BitMode(c.mode);
        ASSERT_EQ(S_OK, e.Attach());
        ASSERT_EQ(S_OK, e.transport.ApplyAudioReset());
        EXPECT_EQ(c.frames, e.transport.GetFilterGraph()->GetBlockFrames()) << c.bits << "/" << c.mode;
    }
}

namespace {

struct ReplaceCase {
    const char* name;
    int configured;
    std::vector<int> probeFails;  // driver types whose probe open fails
    HRESULT result;
    const char* current;
    int storedType;
};

const ReplaceCase kReplaceCases[] = {
    {"WDM gone: DirectSound", CTransport::kDriverWDM, {CTransport::kDriverWDM}, S_OK, "DirectSound", 1},
    {"DirectSound gone: WDM", CTransport::kDriverDirectSound, {CTransport::kDriverDirectSound}, S_OK, "WDM", 0},
    {"ASIO gone: DirectSound", CTransport::kDriverAsio, {CTransport::kDriverAsio}, S_OK, "DirectSound", 1},
    {"WDM and DirectSound gone", CTransport::kDriverWDM, {CTransport::kDriverWDM, CTransport::kDriverDirectSound},
     E_UNEXPECTED, nullptr, 1},
    {"ASIO there", CTransport::kDriverAsio, {CTransport::kDriverWDM}, S_OK, "ASIO", 2},
};

}  // namespace

TEST_F(TransportDevice, ABackEndTheProbeRemovedIsReplacedOnceAndTheSettingsKeepTheReplacement)
{
    for (const ReplaceCase& c : kReplaceCases) {
        CaseEngine e;
        for (int type : c.probeFails)
            (type == CTransport::kDriverWDM           ? e.factory.wdmScript
             : type == CTransport::kDriverDirectSound ? e.factory.directSoundScript
                                                      : e.factory.asioScript)
                .openResult = E_FAIL;
        CAppConfig::SetDriverType(c.configured);
        ASSERT_EQ(S_OK, e.Attach()) << c.name;
        EXPECT_EQ(c.result, e.transport.ApplyAudioReset()) << c.name;
        auto* current = e.Device();
        EXPECT_EQ(std::string(c.current ? c.current : "none"), current ? current->Name() : "none") << c.name;
        EXPECT_EQ(c.storedType, CAppConfig::GetDriverType()) << c.name;
        EXPECT_EQ(c.result == S_OK, e.transport.IsDeviceRunning()) << c.name;
        if (c.result == S_OK) {
            // The next reset finds the stored type's back-end as it is.
            e.transport.RequestAudioReset();
            ASSERT_EQ(S_OK, e.transport.ApplyAudioReset()) << c.name;
            EXPECT_EQ(current, e.transport.GetAudioDriver()) << c.name;
            EXPECT_EQ(c.storedType, CAppConfig::GetDriverType()) << c.name;
        }
    }
}

TEST_F(TransportDevice, SelectingADriverClosesTheOldBackEndAndOpensTheNewOne)
{
    Start();
    FakeAudioDevice* ds = BackEnd(CTransport::kDriverDirectSound);
    FakeAudioDevice* asio = BackEnd(CTransport::kDriverAsio);
    factory.journal.Clear();
    CAppConfig::SetDriverType(CTransport::kDriverAsio);
    ASSERT_EQ(S_OK, transport->SelectAudioDriver());
    EXPECT_EQ((Strings{"DirectSound stop", "DirectSound close 1", "ASIO open"}), [&] {
        Strings out;
        for (const std::string& e : factory.journal.Entries())
            if (e.rfind("DirectSound", 0) == 0 || e.rfind("ASIO", 0) == 0)
                out.push_back(e);
        return out;
    }());
    EXPECT_EQ(asio, transport->GetAudioDriver());
    EXPECT_FALSE(ds->IsStreaming());
    EXPECT_FALSE(transport->IsDeviceRunning());

    // The same driver again: closed without unloading.
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->SelectAudioDriver());
    EXPECT_EQ((Strings{"ASIO stop", "ASIO close 0", "ASIO open"}), factory.journal.Starting("ASIO"));

    // An opening failure is the result.
    asio->script.openResult = E_FAIL;
    EXPECT_EQ(E_FAIL, transport->SelectAudioDriver());
}

TEST_F(TransportDevice, SelectingADriverTheProbeRemovedChangesNothing)
{
    factory.wdmScript.openResult = E_FAIL;
    Start();
    FakeAudioDevice* current = Device();
    CAppConfig::SetDriverType(CTransport::kDriverWDM);
    factory.journal.Clear();
    EXPECT_EQ(E_UNEXPECTED, transport->SelectAudioDriver());
    EXPECT_EQ(current, transport->GetAudioDriver());
    EXPECT_TRUE(transport->IsDeviceRunning());
    EXPECT_TRUE(factory.journal.Starting("DirectSound").empty());
}

TEST_F(TransportDevice, ClosingActsOnlyOnARunningDeviceAndReportsAFailure)
{
    Attach();
    factory.journal.Clear();
    EXPECT_EQ(S_OK, transport->CloseAudioDevice());
    EXPECT_TRUE(factory.journal.Starting("DirectSound").empty());

    ASSERT_EQ(S_OK, transport->ApplyAudioReset());
    FakeAudioDevice* ds = BackEnd(CTransport::kDriverDirectSound);
    ds->script.closeResult = E_ACCESSDENIED;
    ds->script.errors = {"Stop failed"};
    EXPECT_EQ(E_ACCESSDENIED, transport->CloseAudioDevice());
    EXPECT_FALSE(transport->IsDeviceRunning());
    EXPECT_EQ((Strings{"Stop failed\n\n" + SoundcardHint()}), PromptTexts());
    EXPECT_EQ(S_OK, transport->CloseAudioDevice()) << "nothing running any more";
}

TEST_F(TransportDevice, TheReWireDeviceRunsAtTheHostsRateIn32BitFloat)
{
    CAppConfig::SetRewireDeviceMode(true);
    factory.rewireScript.hostRate = 96000;
    factory.rewireScript.fixedBufferBytes = 0x40000;
    ASSERT_EQ(S_OK, transport->Init(TRUE));
    doc->UseGraph(transport->GetFilterGraph());
    ASSERT_EQ(S_OK, transport->SetDocument(doc.get()));
    ASSERT_EQ(S_OK, transport->ApplyAudioReset());
    EXPECT_EQ(96000, transport->GetAudioRenderer()->GetSampleRate());
    EXPECT_EQ(32, transport->GetBitsPerSample());
    EXPECT_EQ(4, transport->Get24BitMode());
    EXPECT_EQ(32768, transport->GetFilterGraph()->GetBlockFrames());
    EXPECT_EQ(CTransport::kDriverDirectSound, CAppConfig::GetDriverType()) << "no driver type is chosen";
}
