#include "engine/CTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "model/IEngineServices.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/sync/Interlocked.h"
#include "platform/sync/ThreadAffinity.h"
#include "resources/MorvaneStrings.h"
#include "tests/engine/TransportRig.h"
#include "tests/model/PersistTestSupport.h"
#include "uikit/core/ResString.h"

using namespace mvtest;

namespace {

using Strings = std::vector<std::string>;

// The shell of a test: the splash texts and the posted messages.
struct RecordingShell : IEngineShell {
    void SetStatusText(const char* text) override { status.emplace_back(text); }
    void PostToMainWindow(UINT message, WPARAM w, LPARAM l) override
    {
        posts.push_back({message, w, l});
    }
    struct Post {
        UINT message;
        WPARAM w;
        LPARAM l;
    };
    Strings status;
    std::vector<Post> posts;
};

// How often the journal holds exactly `entry`.
std::size_t Occurrences(const Journal& journal, const std::string& entry)
{
    const Strings all = journal.Entries();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), entry));
}

// What the back-ends were asked, in order.
Strings BackEndCalls(const Journal& journal)
{
    Strings out;
    for (const std::string& e : journal.Entries())
        for (const char* name : {"DirectSound ", "WDM ", "ASIO ", "ReWire "})
            if (e.rfind(name, 0) == 0)
                out.push_back(e);
    return out;
}

using TransportLifeCycle = TransportRig;

}  // namespace

TEST_F(TransportLifeCycle, InitBuildsThePartsInOrderAndShutdownTearsThemDownInItsOrder)
{
    RecordingShell shell;
    transport->SetShell(&shell);
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    EXPECT_TRUE(transport->IsInitialized());
    // The order is the contract here: each part is made after the parts it
    // is wired to, and the back-ends, whose threads call into the engine,
    // come last.
    EXPECT_EQ((Strings{"new timer", "new time keeper", "new audio renderer", "new reference clock",
                       "new data renderer", "new MIDI input router", "new MIDI source", "new MIDI sync generator",
                       "new filter graph", "new host site", "new recorder", "new edit clipboard",
                       "new drag-and-drop clipboard", "new clip pool", "new DirectSound", "new WDM", "new ASIO"}),
              factory.journal.Starting("new "));
    EXPECT_EQ((Strings{"Initializing Transport", "Initailizing Filter Graph", "Initializing DirectSound",
                       "Initializing WDM Audio", "Initializing ASIO"}),
              shell.status);
    // Each back-end was probed by opening it and closing it with its driver unloaded.
    EXPECT_EQ((Strings{"DirectSound open", "DirectSound close 1", "WDM open", "WDM close 1", "ASIO open",
                       "ASIO close 1"}),
              BackEndCalls(factory.journal));

    // The wiring start-up made.
    EXPECT_EQ(1u, factory.midiSource->priority.count(factory.router->GetMidiSink()));
    EXPECT_EQ(1u, factory.midiSource->normal.count(factory.recorder->GetMidiSink()));
    EXPECT_EQ(static_cast<IEngineOwner*>(transport.get()), factory.router->owner);
    EXPECT_EQ(256, factory.clipPool->beatLimit);
    EXPECT_EQ(60.0, factory.clipPool->secondsLimit);
    EXPECT_EQ(E_UNEXPECTED, transport->NeedsAudioReset()) << "no document yet";

    factory.journal.Clear();
    EXPECT_EQ(S_OK, transport->Shutdown());
    EXPECT_FALSE(transport->IsInitialized());
    // And the reverse: the back-ends go first, so that no device thread
    // reaches a part already deleted; the ASIO driver list outlives them.
    EXPECT_EQ((Strings{"delete DirectSound", "delete WDM", "delete ASIO", "delete host site",
                       "delete edit clipboard", "delete drag-and-drop clipboard", "delete clip pool",
                       "delete recorder", "delete filter graph", "delete reference clock", "delete MIDI source",
                       "delete MIDI sync generator", "delete MIDI input router", "delete data renderer",
                       "delete audio renderer", "delete time keeper", "delete timer", "delete ASIO driver list"}),
              factory.journal.Starting("delete "));
    EXPECT_EQ(nullptr, transport->GetAudioDriver());
    EXPECT_EQ(nullptr, transport->GetFilterGraph());
}

TEST_F(TransportLifeCycle, APartThatCannotBeMadeStopsStartUpAndWhatWasBuiltIsFreedByShutdown)
{
    const Strings parts = {"timer", "time keeper", "audio renderer", "reference clock", "data renderer",
                           "MIDI input router", "MIDI source", "MIDI sync generator", "filter graph", "host site",
                           "recorder", "edit clipboard", "drag-and-drop clipboard", "clip pool", "DirectSound",
                           "WDM", "ASIO"};
    for (const std::string& part : parts) {
        FakeEngineFactory f;
        f.refuse = part;
        {
            CTransport t(&f, RecordSleep);
            EXPECT_EQ(E_OUTOFMEMORY, t.Init(FALSE)) << part;
            EXPECT_FALSE(t.IsInitialized()) << part;
            if (part != "timer") {
                EXPECT_EQ(E_UNEXPECTED, t.Init(FALSE)) << part << ": a second start over the remains";
            }
            EXPECT_EQ(S_OK, t.Shutdown()) << part;
        }
        // Everything made was deleted (the host site goes with its last reference).
        Strings made = f.journal.Starting("new ");
        Strings deleted = f.journal.Starting("delete ");
        EXPECT_EQ(made.size() + 1, deleted.size()) << part << ": plus the ASIO driver list";
    }
}

TEST_F(TransportLifeCycle, AFailingCallInStartUpIsItsResult)
{
    // The edit clipboard's scratch pattern cannot be made.
    struct FailingFactory : FakeEngineFactory {
        ITransportClipboard* CreateClipboard() override
        {
            auto* c = static_cast<FakeClipboard*>(FakeEngineFactory::CreateClipboard());
            c->heldPatternResult = E_ACCESSDENIED;
            return c;
        }
    } failing;
    CTransport u(&failing, RecordSleep);
    EXPECT_EQ(E_ACCESSDENIED, u.Init(FALSE));
    EXPECT_EQ(nullptr, failing.dragDropClipboard);
    EXPECT_EQ(S_OK, u.Shutdown());
}

TEST_F(TransportLifeCycle, TheSyncOptionsComeFromTheSettingsAndAMissingPortDoesNotStopTheEngine)
{
    CAppConfig::SetMidiSyncOutputPort(3);
    CAppConfig::SetSendMidiSPP(0);
    CAppConfig::SetSendMidiStartNeverContinue(1);
    struct NoPortFactory : FakeEngineFactory {
        IMidiSyncGen* CreateMidiSyncGen(IMidiSyncHost* host) override
        {
            auto* g = static_cast<FakeMidiSyncGen*>(FakeEngineFactory::CreateMidiSyncGen(host));
            g->portResult = E_INVALIDARG;
            return g;
        }
    } f;
    CTransport t(&f, RecordSleep);
    EXPECT_EQ(S_OK, t.Init(FALSE));
    // Each option reached the generator once, with the settings' value.
    for (const char* set : {"sync port 3", "sync never continue 1", "sync spp 0"})
        EXPECT_EQ(1u, Occurrences(f.journal, set)) << set;
    EXPECT_EQ(3u, f.journal.Starting("sync ").size());
}

namespace {

// One start-up probe: what each back-end answers, and what follows.
struct ProbeCase {
    const char* name;
    HRESULT dsOpen, dsClose, wdmOpen, wdmClose, asioOpen, asioClose;
    int driverType;
    HRESULT init;
    Strings remaining;     // back-ends left after the probe
    const char* current;   // the current device after start-up, or null
    int reports;           // message boxes shown
};

const ProbeCase kProbeCases[] = {
    {"all open", S_OK, S_OK, S_OK, S_OK, S_OK, S_OK, 0, S_OK, {"DirectSound", "WDM", "ASIO"}, "WDM", 0},
    {"DirectSound refuses: reported, deleted", E_FAIL, S_OK, S_OK, S_OK, S_OK, S_OK, 1, S_OK, {"WDM", "ASIO"},
     "WDM", 1},
    {"WDM refuses quietly", S_OK, S_OK, E_FAIL, S_OK, S_OK, S_OK, 0, S_OK, {"DirectSound", "ASIO"},
     "DirectSound", 0},
    {"ASIO refuses quietly", S_OK, S_OK, S_OK, S_OK, E_FAIL, S_OK, 2, S_OK, {"DirectSound", "WDM"},
     "DirectSound", 0},
    {"WDM answers not opened", S_OK, S_OK, S_FALSE, S_OK, S_OK, S_OK, 0, S_OK, {"DirectSound", "ASIO"},
     "DirectSound", 0},
    {"a failing close is reported and the back-end kept", S_OK, S_OK, S_OK, E_FAIL, S_OK, E_FAIL, 2, S_OK,
     {"DirectSound", "WDM", "ASIO"}, "ASIO", 2},
    {"the configured one and its replacement are gone", E_FAIL, S_OK, E_FAIL, S_OK, S_OK, S_OK, 0, S_OK, {"ASIO"},
     nullptr, 1},
    {"none left", E_FAIL, S_OK, E_FAIL, S_OK, E_FAIL, S_OK, 2, E_UNEXPECTED, {}, nullptr, 1},
};

}  // namespace

TEST_F(TransportLifeCycle, StartUpProbesDirectSoundThenWDMThenASIOAndNeverKeepsARemovedCurrentDevice)
{
    for (const ProbeCase& c : kProbeCases) {
        FakeEngineFactory f;
        f.directSoundScript.openResult = c.dsOpen;
        f.directSoundScript.closeResult = c.dsClose;
        f.wdmScript.openResult = c.wdmOpen;
        f.wdmScript.closeResult = c.wdmClose;
        f.asioScript.openResult = c.asioOpen;
        f.asioScript.closeResult = c.asioClose;
        CAppConfig::SetDriverType(c.driverType);
        auto answers = std::make_shared<CScriptedAnswerer>();
        CPromptAnswererScope scope(answers);
        CTransport t(&f, RecordSleep);
        EXPECT_EQ(c.init, t.Init(FALSE)) << c.name;
        Strings remaining;
        for (int type : {CTransport::kDriverDirectSound, CTransport::kDriverWDM, CTransport::kDriverAsio})
            if (IAudioDevice* d = t.GetBackEnd(type))
                remaining.push_back(static_cast<FakeAudioDevice*>(d)->Name());
        EXPECT_EQ(c.remaining, remaining) << c.name;
        auto* current = static_cast<FakeAudioDevice*>(t.GetAudioDriver());
        EXPECT_EQ(c.current ? std::string(c.current) : std::string("none"), current ? current->Name() : "none")
            << c.name;
        EXPECT_EQ(static_cast<std::size_t>(c.reports), answers->Prompts().size()) << c.name;
        EXPECT_EQ(c.driverType, CAppConfig::GetDriverType()) << c.name << ": start-up stores no driver type";
        // The probe order holds whatever fails.
        Strings opens;
        for (const std::string& e : f.journal.Entries())
            if (e.size() > 5 && e.compare(e.size() - 5, 5, " open") == 0)
                opens.push_back(e);
        EXPECT_EQ((Strings{"DirectSound open", "WDM open", "ASIO open"}), opens) << c.name;
    }
}

TEST_F(TransportLifeCycle, AProbeFailureIsReportedWithTheBackEndsOwnErrors)
{
    factory.directSoundScript.openResult = E_FAIL;
    factory.directSoundScript.errors = {"DirectSoundCreate failed: 88780078"};
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    ASSERT_EQ(1u, prompts->Prompts().size());
    EXPECT_EQ(std::string("DirectSoundCreate failed: 88780078\n\n") + LoadResString(IDS_SOUNDCARD_IN_USE),
              prompts->Prompts()[0].text);
}

TEST_F(TransportLifeCycle, ShutdownGoesOnPastAFailingStepAndReportsIt)
{
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    factory.midiSource->failRemoveSink = E_ACCESSDENIED;
    factory.midiSource->failRemovePrioritySink = E_FAIL;
    factory.journal.Clear();
    EXPECT_EQ(E_ACCESSDENIED, transport->Shutdown()) << "the first failure";
    const Strings deleted = factory.journal.Starting("delete ");
    ASSERT_FALSE(deleted.empty());
    EXPECT_EQ("delete ASIO driver list", deleted.back());
    EXPECT_EQ(18u, deleted.size());
    EXPECT_FALSE(transport->IsInitialized());
    EXPECT_EQ(S_OK, transport->Init(FALSE)) << "a shut-down engine starts again";
}

TEST_F(TransportLifeCycle, TheOwnerWindowGoesToDirectSoundAndAsioOnly)
{
    HWND window = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(E_UNEXPECTED, transport->SetOwnerWindow(window));
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    EXPECT_EQ(E_INVALIDARG, transport->SetOwnerWindow(nullptr));
    EXPECT_EQ(S_OK, transport->SetOwnerWindow(window));
    EXPECT_EQ(window, factory.directSound->window);
    EXPECT_EQ(window, factory.asio->window);
    EXPECT_EQ(nullptr, factory.wdm->window);
}

TEST_F(TransportLifeCycle, GettersBeforeAndAfterStartUp)
{
    ITransportDocument* d = reinterpret_cast<ITransportDocument*>(1);
    EXPECT_EQ(E_POINTER, transport->GetDocument(nullptr));
    EXPECT_EQ(E_FAIL, transport->GetDocument(&d));
    EXPECT_EQ(nullptr, d);
    EXPECT_EQ(nullptr, transport->GetFilterGraph());
    IReferenceClock* clock = reinterpret_cast<IReferenceClock*>(1);
    EXPECT_EQ(S_OK, transport->GetReferenceClock(&clock));
    EXPECT_EQ(nullptr, clock);
    EXPECT_EQ(44100, transport->GetSampleRate());

    ASSERT_EQ(S_OK, transport->Init(FALSE));
    ASSERT_EQ(S_OK, transport->GetReferenceClock(&clock));
    ASSERT_NE(nullptr, clock);
    clock->Release();
    EXPECT_EQ(S_OK, transport->SetDocument(doc.get()));
    EXPECT_EQ(S_OK, transport->GetDocument(&d));
    EXPECT_EQ(doc.get(), d);
}

TEST_F(TransportLifeCycle, ModelCodeFindsTheClipPoolAndSampleRateOnlyWhileTheEngineIsBuilt)
{
    EXPECT_EQ(nullptr, GetEngineServices());
    EXPECT_EQ(nullptr, transport->GetClipPool());
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    IEngineServices* services = GetEngineServices();
    ASSERT_NE(nullptr, services);
    EXPECT_EQ(static_cast<IClipPool*>(factory.clipPool), services->GetClipPool());
    EXPECT_EQ(DWORD(transport->GetSampleRate()), services->GetSampleRate());
    EXPECT_EQ(256, factory.clipPool->beatLimit);
    EXPECT_EQ(60.0, factory.clipPool->secondsLimit);
    EXPECT_EQ(S_OK, transport->Shutdown());
    EXPECT_EQ(nullptr, GetEngineServices()) << "the pool is gone";
    EXPECT_EQ(nullptr, transport->GetClipPool());
}

TEST_F(TransportLifeCycle, AttachingTheFirstDocumentResetsLoopAndMetronomeAndHandsItToEveryPart)
{
    RecordingShell shell;
    transport->SetShell(&shell);
    EXPECT_EQ(E_UNEXPECTED, transport->SetDocument(doc.get())) << "no engine yet";
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    transport->SetLoop(1000, 5000, TRUE);
    transport->SetMetronomeOn(TRUE);
    ASSERT_EQ(S_OK, transport->SetDocument(doc.get()));
    EXPECT_FALSE(transport->IsLoopOn(false));
    EXPECT_EQ(0, transport->GetLoopStart(false));
    EXPECT_EQ(3840, transport->GetLoopEnd(false));
    EXPECT_FALSE(transport->IsMetronomeOn());
    EXPECT_EQ(FALSE, doc->metronome);
    EXPECT_EQ(S_OK, transport->NeedsAudioReset()) << "a reset is requested";
    EXPECT_EQ(doc.get(), factory.dataRenderer->document);
    EXPECT_EQ(doc.get(), factory.hostSite->document);
    EXPECT_EQ(doc.get(), factory.recorder->document);
    EXPECT_EQ(doc.get(), factory.clipboard->source);
    EXPECT_EQ(doc.get(), factory.dragDropClipboard->source);
    EXPECT_EQ(&doc->render, transport->GetAudioRenderer()->GetDocument());
    EXPECT_EQ(1u, factory.journal.Starting("sync restart").size());
    ASSERT_FALSE(shell.posts.empty());
    EXPECT_EQ(WM_APP + 7, shell.posts.back().message);
    EXPECT_EQ(1u, shell.posts.back().w);

    ASSERT_EQ(S_OK, transport->SetDocument(nullptr));
    EXPECT_EQ(nullptr, factory.hostSite->document);
    EXPECT_EQ(nullptr, transport->GetAudioRenderer()->GetDocument());
}

TEST_F(TransportLifeCycle, DetachingTheDocumentClosesTheRunningDevice)
{
    Start();
    FakeAudioDevice* device = Device();
    ASSERT_TRUE(device->IsStreaming());
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->SetDocument(nullptr));
    EXPECT_EQ((Strings{"DirectSound close 0"}), factory.journal.Starting("DirectSound"));
    EXPECT_FALSE(device->IsStreaming());
    EXPECT_FALSE(transport->IsDeviceRunning());
}

TEST_F(TransportLifeCycle, EngineErrorsAreCollectedCopiedAndCleared)
{
    transport->AddEngineError("Tamblor Failed to Connect");
    transport->AddEngineError("Sorvic Failed to Connect");
    std::vector<CString> errors;
    EXPECT_EQ(E_POINTER, transport->GetEngineErrors(nullptr));
    ASSERT_EQ(S_OK, transport->GetEngineErrors(&errors));
    ASSERT_EQ(2u, errors.size());
    EXPECT_STREQ("Sorvic Failed to Connect", errors[1]);
    ASSERT_EQ(S_OK, transport->GetEngineErrors(&errors));
    EXPECT_EQ(2u, errors.size()) << "reading does not empty the list";
    transport->ClearEngineErrors();
    transport->GetEngineErrors(&errors);
    EXPECT_TRUE(errors.empty());
}

// ---------------------------------------------------------------- transport state

namespace {

using TransportState = TransportRig;

}  // namespace

TEST_F(TransportState, TheLoopIsNeverShorterThan960TicksButAStagedEndReadsBackAsIs)
{
    struct Case {
        LONG start, end, reads;
    } cases[] = {{0, 3840, 3840}, {1000, 1500, 1960}, {1000, 1960, 1960}, {1000, 1959, 1960},
                 {1000, 1961, 1961}, {5000, 0, 5960}, {-100, -2000, 860}};
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    for (const Case& c : cases) {
        transport->SetLoop(c.start, c.end, TRUE);
        EXPECT_EQ(c.reads, transport->GetLoopEnd(false)) << c.start << ".." << c.end;
        EXPECT_EQ(c.reads, transport->GetLoopEnd(true)) << "nothing staged";
    }
    transport->SetPendingLoopEnd(100);
    EXPECT_EQ(100, transport->GetLoopEnd(true));
    EXPECT_EQ(-100, transport->GetLoopStart(true)) << "the stored start is staged with it";
    EXPECT_EQ(860, transport->GetLoopEnd(false));
}

TEST_F(TransportState, StagedLoopsCommitOrCancel)
{
    RecordingShell shell;
    transport->SetShell(&shell);
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    transport->SetLoop(0, 3840, FALSE);
    EXPECT_EQ(S_FALSE, transport->CommitPendingLoop()) << "nothing staged";

    transport->SetPendingLoopStart(1920);
    EXPECT_EQ(1, transport->GetLoopChangePending());
    EXPECT_EQ(1920, transport->GetLoopStart(true));
    EXPECT_EQ(3840, transport->GetLoopEnd(true));
    EXPECT_FALSE(transport->IsLoopOn(true));
    EXPECT_EQ(0, transport->GetLoopStart(false));
    transport->CancelPendingLoop();
    EXPECT_EQ(0, transport->GetLoopChangePending());
    EXPECT_EQ(0, transport->GetLoopStart(true));

    transport->SetPendingLoop(960, 7680, TRUE);
    const std::size_t posts = shell.posts.size();
    EXPECT_EQ(S_OK, transport->CommitPendingLoop());
    EXPECT_EQ(0, transport->GetLoopChangePending());
    EXPECT_TRUE(transport->IsLoopOn(false));
    EXPECT_EQ(960, transport->GetLoopStart(false));
    EXPECT_EQ(7680, transport->GetLoopEnd(false));
    EXPECT_EQ(posts + 1, shell.posts.size()) << "the main window hears of it";

    // The graph gets the loop in samples (10 a tick here); start and end
    // stay when the loop goes off.
    int on = 0;
    LONGLONG start = 0, end = 0;
    transport->GetFilterGraph()->GetLoop(&on, &start, &end);
    EXPECT_EQ(1, on);
    EXPECT_EQ(9600, start);
    EXPECT_EQ(76800, end);
    transport->SetLoopOn(FALSE, FALSE);
    transport->GetFilterGraph()->GetLoop(&on, &start, &end);
    EXPECT_EQ(0, on);
    EXPECT_EQ(9600, start);

    LONGLONG s = 0, e = 0;
    EXPECT_EQ(E_POINTER, transport->GetLoopTimes(nullptr, &e));
    EXPECT_EQ(S_OK, transport->GetLoopTimes(&s, &e));
    EXPECT_EQ(9600, s);
}

TEST_F(TransportState, PlayAtOrPastTheLoopEndStartsAtTheLoopStart)
{
    Start();
    transport->SetLoop(960, 3840, TRUE);
    for (LONG from : {3840, 5000}) {
        ASSERT_EQ(S_OK, transport->Locate(from));
        ASSERT_EQ(S_OK, transport->Play());
        EXPECT_TRUE(transport->IsPlaying());
        EXPECT_EQ(960, transport->GetPlayPosition()) << from;
        EXPECT_EQ(1, transport->GetPlayMode());
        ASSERT_EQ(S_OK, transport->Stop());
        EXPECT_FALSE(transport->IsPlaying());
        EXPECT_EQ(0, transport->GetPlayMode());
    }
    ASSERT_EQ(S_OK, transport->Locate(2000));
    ASSERT_EQ(S_OK, transport->Play());
    EXPECT_EQ(2000, transport->GetPlayPosition()) << "inside the loop it starts where it is";
}

TEST_F(TransportState, PlayNeedsADeviceAndAGraph)
{
    EXPECT_EQ(E_FAIL, transport->Play());
    EXPECT_FALSE(transport->IsPlaying());
}

TEST_F(TransportState, LocateMovesEverythingToTheTickAndPlaysOnWhenItWasPlaying)
{
    Start();
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->Locate(1234));
    EXPECT_EQ(1234, transport->GetPlayPosition());
    EXPECT_EQ(1234, transport->GetRenderPosition());
    EXPECT_EQ(12340, transport->GetAudioRenderer()->GetSamplePosition());
    EXPECT_EQ(12340, transport->GetDeviceTime(FALSE));
    EXPECT_EQ(1234, transport->GetNowTicks(TRUE)) << "stopped: the position itself";
    EXPECT_FALSE(factory.journal.Starting("data locate 1234").empty());
    EXPECT_FALSE(factory.journal.Starting("sync relocate").empty());

    ASSERT_EQ(S_OK, transport->SetRecordMode(1));
    ASSERT_EQ(S_OK, transport->Play());
    ASSERT_EQ(S_OK, transport->Locate(500));
    EXPECT_TRUE(transport->IsPlaying());
    EXPECT_EQ(500, transport->GetPlayPosition());
    EXPECT_EQ(1u, transport->GetRecordMode()) << "the modes survive the locate";

    factory.recorder->recording = TRUE;
    EXPECT_EQ(E_UNEXPECTED, transport->Locate(0)) << "not while a take is captured";
    EXPECT_EQ(500, transport->GetPlayPosition());
    factory.recorder->recording = FALSE;
    EXPECT_EQ(S_OK, transport->RewindToZero());
    EXPECT_EQ(0, transport->GetPlayPosition());
}

TEST_F(TransportState, LeavingRecordModeWhileStoppedRestoresThePositionItWasEnteredAt)
{
    Start();
    ASSERT_EQ(S_OK, transport->Locate(700));
    ASSERT_EQ(S_OK, transport->SetRecordMode(1));
    EXPECT_FALSE(factory.journal.Starting("data recording 1").empty());
    ASSERT_EQ(S_OK, transport->Locate(4000));
    ASSERT_EQ(S_OK, transport->SetRecordMode(0));
    EXPECT_EQ(700, transport->GetPlayPosition());
    EXPECT_FALSE(factory.journal.Starting("data recording 0").empty());

    // Stopping a recording does the same.
    ASSERT_EQ(S_OK, transport->SetRecordMode(1));
    ASSERT_EQ(S_OK, transport->Play());
    ASSERT_EQ(S_OK, transport->Locate(2500));
    ASSERT_EQ(S_OK, transport->Stop());
    EXPECT_EQ(700, transport->GetPlayPosition());
    EXPECT_EQ(0u, transport->GetRecordMode());
}

TEST_F(TransportState, StopEndsATakeAndCommitsTheLiveTempo)
{
    Start();
    ASSERT_EQ(S_OK, transport->Play());
    factory.recorder->recording = TRUE;
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->Stop());
    EXPECT_FALSE(transport->IsPlaying());
    EXPECT_FALSE(factory.recorder->recording) << "the take was ended";
    EXPECT_EQ(1u, Occurrences(factory.journal, "recorder end take"));
    EXPECT_EQ(1u, Occurrences(factory.journal, "doc commit live tempo"));
    EXPECT_EQ(1u, Occurrences(factory.journal, "sync stop")) << "the sync followers stop";
    EXPECT_EQ(1u, Occurrences(factory.journal, "data stop 0")) << "the song stops where it stands";

    // Stopped, a stop ends no take again and still tells the followers.
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->Stop());
    EXPECT_EQ(0u, Occurrences(factory.journal, "recorder end take"));
    EXPECT_EQ(1u, Occurrences(factory.journal, "sync stop"));
}

TEST_F(TransportState, TheRecordKeyWhileStoppedStartsAtTheEditMarkerWhenItIsInsideThePattern)
{
    EXPECT_EQ(E_UNEXPECTED, transport->ToggleRecord()) << "no document";
    Start();
    struct Case {
        WORD pattern;
        LONG marker, duration, start;
    } cases[] = {{7, 1920, 3840, 1920}, {7, 3840, 3840, 0}, {7, 5000, 3840, 0}, {ITransportDocument::kNoPattern, 10, 20, 0}};
    for (const Case& c : cases) {
        doc->activePattern = c.pattern;
        doc->editMarker = c.marker;
        doc->patternDuration = c.duration;
        ASSERT_EQ(S_OK, transport->Locate(300));
        ASSERT_EQ(S_OK, transport->ToggleRecord());
        EXPECT_TRUE(transport->IsPlaying());
        EXPECT_EQ(1u, transport->GetRecordMode());
        EXPECT_EQ(c.start, transport->GetPlayPosition()) << c.marker << " in " << c.duration;
        // While playing in record mode only, the key stops.
        ASSERT_EQ(S_OK, transport->ToggleRecord());
        EXPECT_FALSE(transport->IsPlaying());
        EXPECT_EQ(300, transport->GetPlayPosition()) << "back where record mode was entered";
    }
    // While playing with play mode set, the key toggles recording.
    ASSERT_EQ(S_OK, transport->Play());
    ASSERT_EQ(S_OK, transport->ToggleRecord());
    EXPECT_EQ(1u, transport->GetRecordMode());
    ASSERT_EQ(S_OK, transport->ToggleRecord());
    EXPECT_EQ(0u, transport->GetRecordMode());
    EXPECT_TRUE(transport->IsPlaying());
}

TEST_F(TransportState, MetronomeAndCountIn)
{
    Start();
    transport->SetMetronomeOn(TRUE);
    EXPECT_TRUE(transport->IsMetronomeOn());
    EXPECT_EQ(TRUE, doc->metronome);
    transport->SetCountInOn(TRUE);
    transport->SetCountInBeats(2);
    EXPECT_TRUE(transport->IsCountInOn());
    EXPECT_EQ(2, transport->GetCountInBeats());

    // A count-in runs only with the metronome on and a beat count.
    struct Case {
        BOOL countIn, metronome;
        BYTE beats;
        bool active;
    } cases[] = {{TRUE, TRUE, 2, true}, {FALSE, TRUE, 2, false}, {TRUE, FALSE, 2, false}, {TRUE, TRUE, 0, false}};
    for (const Case& c : cases) {
        transport->SetCountInOn(c.countIn);
        transport->SetMetronomeOn(c.metronome);
        transport->SetCountInBeats(c.beats);
        ASSERT_EQ(S_OK, transport->Play());
        EXPECT_EQ(c.active, transport->IsCountInActive());
        ASSERT_EQ(S_OK, transport->Stop());
        EXPECT_FALSE(transport->IsCountInActive());
    }
}

TEST_F(TransportState, ALoopChangeWhilePlayingOutsideTheNewLoopLocatesToItsStart)
{
    Start();
    ASSERT_EQ(S_OK, transport->Locate(5000));
    ASSERT_EQ(S_OK, transport->Play());
    ASSERT_EQ(S_OK, transport->SetLoop(0, 3840, TRUE));
    EXPECT_EQ(0, transport->GetPlayPosition());
    EXPECT_TRUE(transport->IsPlaying());
    ASSERT_EQ(S_OK, transport->Locate(1000));
    ASSERT_EQ(S_OK, transport->SetLoopStart(2000, TRUE));
    EXPECT_EQ(2000, transport->GetPlayPosition());
    ASSERT_EQ(S_OK, transport->SetLoopEnd(9000, FALSE));
    EXPECT_EQ(2000, transport->GetPlayPosition());
}

// ---------------------------------------------------------------- ReWire-device mode

namespace {

struct RewireTransport : TransportRig {
    void SetUp() override
    {
        TransportRig::SetUp();
        CAppConfig::SetRewireDeviceMode(true);
    }
    void TearDown() override
    {
        g_hostCallCount = 0;
        TransportRig::TearDown();
    }
    // As the ReWire worker brackets a host change.
    template <class F>
    HRESULT AsHost(F f)
    {
        InterlockedIncrement(&g_hostCallCount);
        HRESULT hr = f();
        InterlockedDecrement(&g_hostCallCount);
        return hr;
    }
};

}  // namespace

TEST_F(RewireTransport, OnlyTheReWireBackEndIsMadeAndOpened)
{
    RecordingShell shell;
    transport->SetShell(&shell);
    factory.rewireScript.hostRate = 48000;
    ASSERT_EQ(S_OK, transport->Init(TRUE));
    EXPECT_EQ(nullptr, factory.directSound);
    EXPECT_EQ(factory.rewire, transport->GetAudioDriver());
    EXPECT_EQ((Strings{"ReWire open"}), factory.journal.Starting("ReWire"));
    EXPECT_EQ("Initializing ReWire", shell.status.back());
    EXPECT_EQ(48000, transport->GetSampleRate());

    FakeEngineFactory f;
    f.rewireScript.openResult = E_FAIL;
    CTransport t(&f, RecordSleep);
    EXPECT_EQ(E_FAIL, t.Init(TRUE));
}

TEST_F(RewireTransport, PlayFromTheUserOnlyAsksTheHostAndTheHostsOwnCallStartsTheEngine)
{
    Start(TRUE);
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->Play());
    EXPECT_FALSE(transport->IsPlaying());
    EXPECT_EQ((Strings{"ReWire host play"}), factory.journal.Starting("ReWire host"));

    factory.journal.Clear();
    ASSERT_EQ(S_OK, AsHost([&] { return transport->Play(); }));
    EXPECT_TRUE(transport->IsPlaying());
    EXPECT_TRUE(factory.journal.Starting("doc commit live tempo").empty()) << "the host owns the tempo";

    // Stop likewise.
    ASSERT_EQ(S_OK, transport->Stop());
    EXPECT_TRUE(transport->IsPlaying());
    ASSERT_EQ(S_OK, AsHost([&] { return transport->Stop(); }));
    EXPECT_FALSE(transport->IsPlaying());

    // Locate from the user goes to the host only.
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->Locate(960));
    EXPECT_EQ(0, transport->GetPlayPosition());
    EXPECT_EQ((Strings{"ReWire host reposition 960"}), factory.journal.Starting("ReWire host"));
    ASSERT_EQ(S_OK, AsHost([&] { return transport->Locate(960); }));
    EXPECT_EQ(960, transport->GetPlayPosition());
}

TEST_F(RewireTransport, LoopChangesGoToTheHostAndACommitIsMarkedForIt)
{
    Start(TRUE);
    factory.journal.Clear();
    ASSERT_EQ(S_OK, transport->SetLoopStart(960, FALSE));
    ASSERT_EQ(S_OK, transport->SetLoopOn(TRUE, FALSE));
    transport->SetPendingLoop(1920, 2000, TRUE);
    ASSERT_EQ(S_OK, transport->CommitPendingLoop());
    EXPECT_EQ(2, transport->GetLoopChangePending());
    EXPECT_EQ(2880, transport->GetLoopEnd(false));
    EXPECT_EQ((Strings{"ReWire host loop 960 3840 0", "ReWire host loop 960 3840 1", "ReWire host loop 1920 2880 1"}),
              factory.journal.Starting("ReWire host"));
}

// ---------------------------------------------------------------- persistence

namespace {

using TransportChunks = TransportRig;

// The payload of sub-chunk `index` of a saved engine owner.
Bytes SubChunk(const Bytes& saved, WORD index)
{
    std::size_t at = 12;
    while (at + 12 <= saved.size()) {
        const auto length = Get<ULONGLONG>(saved, at);
        const auto word = Get<DWORD>(saved, at + 8);
        if ((word & 0xFFFF) == index)
            return Bytes(saved.begin() + static_cast<std::ptrdiff_t>(at + 12),
                         saved.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += static_cast<std::size_t>(length);
    }
    return {};
}

Bytes Save(CTransport& t)
{
    auto stream = NewMemoryStream();
    EXPECT_EQ(S_OK, t.Save(stream.Get(), TRUE));
    return StreamBytes(stream.Get());
}

HRESULT Load(CTransport& t, const Bytes& bytes)
{
    auto stream = StreamOf(bytes);
    return t.Load(stream.Get());
}

}  // namespace

TEST_F(TransportChunks, TheTransportStateChunkIsLaidOutFieldByField)
{
    Start();
    ASSERT_EQ(S_OK, transport->Locate(1234));
    ASSERT_EQ(S_OK, transport->SetLoop(1000, 5000, TRUE));
    const Bytes saved = Save(*transport);
    EXPECT_EQ(0x60180001u, Get<DWORD>(saved, 8));
    Bytes want;
    Put<BYTE>(want, 0);
    Put<LONG>(want, 1234);
    Put<LONG>(want, 1234);
    Put<BYTE>(want, 1);
    Put<LONG>(want, 1000);
    Put<LONG>(want, 5000);
    for (int i = 0; i < 4; ++i)
        Put<DWORD>(want, 0);
    EXPECT_EQ(want, SubChunk(saved, 0));
}

TEST_F(TransportChunks, ALoopTooShortLoadsBackAtTheMinimumLength)
{
    Start();
    transport->SetLoop(1000, 1500, TRUE);
    const Bytes saved = Save(*transport);
    FakeEngineFactory f;
    CTransport loaded(&f, RecordSleep);
    ASSERT_EQ(S_OK, loaded.Init(FALSE));
    ASSERT_EQ(S_OK, Load(loaded, saved));
    EXPECT_TRUE(loaded.IsLoopOn(false));
    EXPECT_EQ(1000, loaded.GetLoopStart(false));
    EXPECT_EQ(1960, loaded.GetLoopEnd(false));
}

TEST_F(TransportChunks, MetronomeCountInAndTheSyncGeneratorTravelInTheSecondChunk)
{
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    transport->SetMetronomeOn(TRUE);
    transport->SetCountInOn(TRUE);
    transport->SetCountInBeats(7);
    factory.syncGen->state.values[1] = 0xABCD;
    const Bytes saved = Save(*transport);
    const Bytes chunk1 = SubChunk(saved, 1);
    ASSERT_EQ(24u + 25u, chunk1.size()) << "the generator's 24-byte chunk, then 25 bytes";
    EXPECT_EQ(0x601E0000u, Get<DWORD>(chunk1, 8));
    EXPECT_EQ(1u, Get<DWORD>(chunk1, 24));
    EXPECT_EQ(1u, Get<DWORD>(chunk1, 28));
    EXPECT_EQ(7, chunk1[32]);

    FakeEngineFactory f;
    CTransport loaded(&f, RecordSleep);
    ASSERT_EQ(S_OK, loaded.Init(FALSE));
    FakeTransportDocument other(&f.journal);
    ASSERT_EQ(S_OK, loaded.SetDocument(&other));
    ASSERT_EQ(S_OK, Load(loaded, saved));
    EXPECT_TRUE(loaded.IsMetronomeOn());
    EXPECT_EQ(TRUE, other.metronome) << "the master bus hears the loaded flag";
    EXPECT_TRUE(loaded.IsCountInOn());
    EXPECT_EQ(7, loaded.GetCountInBeats());
    EXPECT_EQ(0xABCDu, f.syncGen->state.values[1]);
    loaded.SetDocument(nullptr);
}

TEST_F(TransportChunks, ASecondChunkWithOrWithoutTheGeneratorLoadsIntoEitherEngine)
{
    // Saved without a generator (none was made), loaded into an engine with one.
    struct NoSyncFactory : FakeEngineFactory {
        IMidiSyncGen* CreateMidiSyncGen(IMidiSyncHost*) override { return nullptr; }
    } noSync;
    CTransport bare(&noSync, RecordSleep);
    bare.Init(FALSE);  // stops at the generator: the rest is not needed to save
    bare.SetMetronomeOn(TRUE);
    bare.SetCountInBeats(3);
    const Bytes withoutSync = Save(bare);
    EXPECT_EQ(25u, SubChunk(withoutSync, 1).size());

    FakeEngineFactory f;
    CTransport withSync(&f, RecordSleep);
    ASSERT_EQ(S_OK, withSync.Init(FALSE));
    f.syncGen->state.values[0] = 77;
    ASSERT_EQ(S_OK, Load(withSync, withoutSync));
    EXPECT_TRUE(withSync.IsMetronomeOn());
    EXPECT_EQ(3, withSync.GetCountInBeats());
    EXPECT_EQ(77u, f.syncGen->state.values[0]) << "the generator keeps its state";

    // Saved with one, loaded into an engine without.
    withSync.SetCountInBeats(9);
    const Bytes withSyncBytes = Save(withSync);
    CTransport bare2(&noSync, RecordSleep);
    bare2.Init(FALSE);
    ASSERT_EQ(S_OK, Load(bare2, withSyncBytes));
    EXPECT_EQ(9, bare2.GetCountInBeats());
}

TEST_F(TransportChunks, UnknownChunksAndShortChunksAreRefused)
{
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    auto stream = NewMemoryStream();
    CKelPersistArchive archive(stream.Get(), TRUE, FALSE);
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, transport->PersistChunk(MakeKelVersionWord(0x6018, 2), &archive));
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, transport->PersistChunk(MakeKelVersionWord(0x6017, 0), &archive));

    // A state chunk cut short: the read fails and nothing is applied.
    transport->SetLoop(100, 5000, TRUE);
    Bytes shortChunk(10, 0);
    auto in = StreamOf(shortChunk);
    CKelPersistArchive loading(in.Get(), FALSE, FALSE);
    loading.BoundToChunk(shortChunk.size());
    EXPECT_EQ(STG_E_READFAULT, transport->PersistChunk(MakeKelVersionWord(0x6018, 0), &loading));
    EXPECT_EQ(100, transport->GetLoopStart(false));
    EXPECT_EQ(5000, transport->GetLoopEnd(false));
}

// ---------------------------------------------------------------- threads

#if MV_THREAD_CHECKS
namespace {

using TransportThreadsDeathTest = TransportRig;

}  // namespace

TEST_F(TransportThreadsDeathTest, EntryPointsAbortOnTheWrongThread)
{
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    std::vector<BYTE> out(64);
    EXPECT_DEATH(
        {
            mv::ScopedThreadRole ui(mv::ThreadRole::UI);
            transport->ProcessBuffer(out.data(), nullptr, static_cast<UINT>(out.size()), -1);
        },
        "ProcessBuffer belongs to the audio thread but was called on the UI thread");
    const struct {
        const char* name;
        std::function<void()> call;
    } uiEntries[] = {
        {"SetLoop", [&] { transport->SetLoop(0, 960, TRUE); }},
        {"Play", [&] { transport->Play(); }},
        {"ApplyAudioReset", [&] { transport->ApplyAudioReset(); }},
        {"SelectAudioDriver", [&] { transport->SelectAudioDriver(); }},
        {"Shutdown", [&] { transport->Shutdown(); }},
    };
    for (const auto& e : uiEntries) {
        EXPECT_DEATH(
            {
                mv::ScopedThreadRole audio(mv::ThreadRole::Audio);
                e.call();
            },
            std::string(e.name) + " belongs to the UI thread but was called on the audio thread");
    }
}
#endif
