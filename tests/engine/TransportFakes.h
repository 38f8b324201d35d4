// Stand-ins for the parts of the engine around the engine owner: a factory
// that makes the real timer, time keeper, audio renderer, reference clock
// and filter graph (noting when each is made and deleted) beside recording
// fakes of the data renderer, MIDI objects, host site, recorder, clipboards,
// clip pool and audio back-ends; and a song document whose graph is one push
// source straight into the master renderer, so what goes in at the device
// comes out at the device. No test framework here: the benchmarks use them
// too.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "devices/CAudioReferenceClock.h"
#include "devices/CAudioRenderer.h"
#include "devices/IAudioDevice.h"
#include "devices/IEngineOwner.h"
#include "engine/graph/CDxBufRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxSource.h"
#include "engine/CTimeKeeper.h"
#include "engine/CTimer.h"
#include "engine/CTransport.h"
#include "engine/IClipPoolLimits.h"
#include "engine/IDataRenderer.h"
#include "engine/IEngineFactory.h"
#include "engine/IEngineShell.h"
#include "engine/IMfxHostSite.h"
#include "engine/IMfxMeterMap.h"
#include "engine/IMfxTimeConverter.h"
#include "devices/IMidiInputRouter.h"
#include "devices/IMidiSource.h"
#include "devices/IMidiSyncGen.h"
#include "devices/IRewireDevice.h"
#include "engine/ITransportClipboard.h"
#include "engine/ITransportDocument.h"
#include "engine/ITransportRecorder.h"
#include "model/CKelPersistArchive.h"
#include "model/CKelPersistObject.h"
#include "model/CTempoMap.h"
#include "tests/devices/FakeRenderDocument.h"

namespace mvtest {

// What happened, in order, as short texts ("new timer", "delete WDM").
// Fakes may note from the device thread too.
class Journal {
public:
    void Note(std::string what)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_entries.push_back(std::move(what));
    }
    // Off: the fakes on the per-buffer path format and note nothing, so that
    // a benchmark measures the engine rather than its witnesses.
    void SetEnabled(bool on) { m_enabled = on; }
    bool Enabled() const { return m_enabled; }
    std::vector<std::string> Entries() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_entries;
    }
    // The entries that begin with `prefix`, in order.
    std::vector<std::string> Starting(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const std::string& e : Entries())
            if (e.rfind(prefix, 0) == 0)
                out.push_back(e);
        return out;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_entries.clear();
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_entries;
    std::atomic<bool> m_enabled{true};
};

// "prefix v1 v2 ..." for the journal, made only while it listens.
template <class... Values>
void NoteValues(Journal* journal, const char* prefix, Values... values)
{
    if (!journal->Enabled())
        return;
    std::string what = prefix;
    ((what += " " + std::to_string(values)), ...);
    journal->Note(std::move(what));
}

// A performance counter the test moves: every read adds `step` units, at
// 1000 units a second.
struct FakeCounter {
    static inline std::atomic<LONGLONG> now{0};
    static inline std::atomic<LONGLONG> step{0};
    static BOOL Read(LARGE_INTEGER* count)
    {
        count->QuadPart = now.fetch_add(step.load()) + step.load();
        return TRUE;
    }
    static BOOL Frequency(LARGE_INTEGER* frequency)
    {
        frequency->QuadPart = 1000;
        return TRUE;
    }
};

// The real parts, noting their deletion.
class NotedTimer : public CTimer {
public:
    NotedTimer(UINT period, Journal* j) : CTimer(period), m_journal(j) {}
    ~NotedTimer() override { m_journal->Note("delete timer"); }

private:
    Journal* m_journal;
};

class NotedTimeKeeper : public CTimeKeeper {
public:
    NotedTimeKeeper(ITimeKeeperSite* site, Journal* j, bool fakeCounter)
        : CTimeKeeper(site, fakeCounter ? FakeCounter::Read : QueryPerformanceCounter,
                      fakeCounter ? FakeCounter::Frequency : QueryPerformanceFrequency),
          m_journal(j)
    {
    }
    ~NotedTimeKeeper() override { m_journal->Note("delete time keeper"); }

private:
    Journal* m_journal;
};

class NotedAudioRenderer : public CAudioRenderer {
public:
    explicit NotedAudioRenderer(Journal* j) : m_journal(j) {}
    ~NotedAudioRenderer() override { m_journal->Note("delete audio renderer"); }

private:
    Journal* m_journal;
};

class NotedReferenceClock : public CAudioReferenceClock {
public:
    NotedReferenceClock(IAudioProperties* audio, HRESULT* phr, Journal* j)
        : CAudioReferenceClock("clock", nullptr, phr, audio), m_journal(j)
    {
    }
    ~NotedReferenceClock() override { m_journal->Note("delete reference clock"); }

private:
    Journal* m_journal;
};

class NotedFilterGraph : public CDxFilterGraph {
public:
    NotedFilterGraph(HRESULT* phr, Journal* j) : CDxFilterGraph(phr), m_journal(j) {}
    ~NotedFilterGraph() override { m_journal->Note("delete filter graph"); }

private:
    Journal* m_journal;
};

// Base of the fakes: a name and the journal, noting its own deletion.
class Noted {
public:
    Noted(std::string name, Journal* j) : m_name(std::move(name)), m_journal(j) {}
    virtual ~Noted() { Note("delete " + m_name); }
    void Note(const std::string& what) const { m_journal->Note(what); }
    Journal* GetJournal() const { return m_journal; }
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    Journal* m_journal;
};

// The data renderer: notes every broadcast with its ticks; `failOn` names a
// broadcast that then fails (after `failAfter` successful calls of it).
class FakeDataRenderer : public IDataRenderer, public Noted {
public:
    explicit FakeDataRenderer(Journal* j) : Noted("data renderer", j) {}
    void SetDocument(ITransportDocument* d) override { document = d; }
    HRESULT Locate(LONG t) override { return Call("locate", t); }
    HRESULT SetRecording(BOOL r) override { return Call("recording", r); }
    HRESULT Stop(LONG t) override { return Call("stop", t); }
    HRESULT Start(LONG t) override { return Call("start", t); }
    HRESULT Loop(LONG s, LONG e) override { return Call("loop", s, e); }
    HRESULT BeginSpan(LONG t) override { return Call("span", t); }
    HRESULT Render(LONG f, LONG t) override { return Call("render", f, t); }

    ITransportDocument* document = nullptr;
    std::string failOn;
    int failAfter = 0;
    HRESULT failWith = E_FAIL;

private:
    template <class... Values>
    HRESULT Call(const char* kind, Values... values)
    {
        if (GetJournal()->Enabled())
            NoteValues(GetJournal(), (std::string("data ") + kind).c_str(), values...);
        if (failOn == kind && failAfter-- <= 0)
            return failWith;
        return S_OK;
    }
};

class FakeMidiInputRouter : public IMidiInputRouter, public Noted {
public:
    FakeMidiInputRouter(Journal* j, IEngineOwner* o) : Noted("MIDI input router", j), owner(o) {}
    CMidiSink* GetMidiSink() override { return reinterpret_cast<CMidiSink*>(this); }
    IEngineOwner* owner;
};

class FakeMidiSource : public IMidiSource, public Noted {
public:
    explicit FakeMidiSource(Journal* j) : Noted("MIDI source", j) {}
    HRESULT Init() override
    {
        Note("MIDI source init");
        return S_OK;
    }
    HRESULT AddSink(CMidiSink* s) override { return Add(normal, s); }
    HRESULT AddPrioritySink(CMidiSink* s) override { return Add(priority, s); }
    HRESULT RemoveSink(CMidiSink* s) override { return Remove(normal, s, failRemoveSink); }
    HRESULT RemovePrioritySink(CMidiSink* s) override { return Remove(priority, s, failRemovePrioritySink); }

    std::set<CMidiSink*> normal, priority;
    HRESULT failRemoveSink = S_OK;
    HRESULT failRemovePrioritySink = S_OK;

private:
    HRESULT Add(std::set<CMidiSink*>& set, CMidiSink* s)
    {
        if (normal.count(s) || priority.count(s))
            return E_FAIL;
        set.insert(s);
        return S_OK;
    }
    static HRESULT Remove(std::set<CMidiSink*>& set, CMidiSink* s, HRESULT fail)
    {
        if (FAILED(fail))
            return fail;
        return set.erase(s) ? S_OK : E_FAIL;
    }
};

// The generator's persisted object: three 32-bit values in one chunk.
class FakeSyncState : public CKelPersistObject {
public:
    FakeSyncState() : CKelPersistObject(MakeKelVersionWord(0x601E, 0)) {}
    STDMETHOD(PersistChunk)(DWORD, CKelPersistArchive* archive) override
    {
        HRESULT hr = S_OK;
        for (DWORD& v : values)
            if (SUCCEEDED(hr))
                hr = archive->PersistBytes(4, &v);
        return hr;
    }
    DWORD values[3] = {1, 0, 0};
};

class FakeMidiSyncGen : public IMidiSyncGen, public Noted {
public:
    explicit FakeMidiSyncGen(Journal* j) : Noted("MIDI sync generator", j) {}
    HRESULT SetOutputPort(int id) override { return Set("port", id); }
    HRESULT SetSendSPP(int v) override { return Set("spp", v); }
    HRESULT SetStartNeverContinue(int v) override { return Set("never continue", v); }
    HRESULT Restart(IMidiSyncDocument*) override { return Sent("restart"); }
    HRESULT Relocate() override { return Sent("relocate"); }
    HRESULT SendStop() override { return Sent("stop"); }
    HRESULT SendPositionAndStart() override { return Sent("position and start"); }
    IPersistStreamInit* GetPersistObject() override { return &state; }

    FakeSyncState state;
    HRESULT portResult = S_OK;

private:
    HRESULT Set(const std::string& what, int v)
    {
        Note("sync " + what + " " + std::to_string(v));
        return what == "port" ? portResult : S_OK;
    }
    HRESULT Sent(const std::string& what)
    {
        Note("sync " + what);
        return S_OK;
    }
};

class FakeRecorder : public ITransportRecorder, public Noted {
public:
    explicit FakeRecorder(Journal* j) : Noted("recorder", j) {}
    CMidiSink* GetMidiSink() override { return reinterpret_cast<CMidiSink*>(this); }
    HRESULT SetDocument(ITransportDocument* d) override
    {
        document = d;
        return S_OK;
    }
    BOOL IsRecording() override { return recording; }
    HRESULT EndTake() override
    {
        Note("recorder end take");
        recording = FALSE;
        return S_OK;
    }
    HRESULT CommitTouches(LONG s, LONG e) override
    {
        NoteValues(GetJournal(), "recorder commit touches", s, e);
        return S_OK;
    }
    HRESULT WrapAtPatternEnd(LONG now) override
    {
        NoteValues(GetJournal(), "recorder wrap", now);
        return S_OK;
    }
    ITransportDocument* document = nullptr;
    BOOL recording = FALSE;
};

class FakeClipboard : public ITransportClipboard, public Noted {
public:
    using Noted::Noted;
    HRESULT CreateHeldPattern() override
    {
        Note(Name() + " held pattern");
        return heldPatternResult;
    }
    HRESULT SetSource(ITransportDocument* d) override
    {
        source = d;
        return S_OK;
    }
    ITransportDocument* source = nullptr;
    HRESULT heldPatternResult = S_OK;
};

// Keeps no clips: it only answers as the pool that model code finds.
class FakeClipPool : public IClipPoolLimits, public IClipPool, public Noted {
public:
    explicit FakeClipPool(Journal* j) : Noted("clip pool", j) {}
    void SetLimits(LONG beats, double seconds) override
    {
        beatLimit = beats;
        secondsLimit = seconds;
    }
    IClipPool* GetClipPool() override { return this; }
    ILoopClip* GetClip(DWORD) override { return nullptr; }
    HRESULT CreateClip(ILoopClip**) override { return E_FAIL; }
    HRESULT AddClip(const DWORD*, ILoopClip**) override { return E_FAIL; }
    HRESULT AddClipFromFile(const char*, const char*, const WAVEFORMATEX&, const DWORD*, ILoopClip**, int*,
                            BOOL) override
    {
        return E_FAIL;
    }
    LONG beatLimit = 0;
    double secondsLimit = 0;
};

// The host site: ticks and samples in a fixed ratio (samplesPerTick), one
// meter (numerator, denominator as a power of two) from tick 0.
class FakeHostSite final : public IMfxHostSite, public IMfxTimeConverter, public IMfxMeterMap {
public:
    explicit FakeHostSite(Journal* j) : m_journal(j) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (iid == IID_IUnknown)
            *ppv = static_cast<IMfxHostSite*>(this);
        else if (iid == IID_IMfxTimeConverter)
            *ppv = static_cast<IMfxTimeConverter*>(this);
        else if (iid == IID_IMfxMeterMap)
            *ppv = static_cast<IMfxMeterMap*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0) {
            m_journal->Note("delete host site");
            delete this;
        }
        return left;
    }
    STDMETHODIMP SetDocument(ITransportDocument* d) override
    {
        document = d;
        return S_OK;
    }
    STDMETHODIMP ConvertTime(MFX_TIME* t, DWORD target) override
    {
        if (FAILED(convertResult))
            return convertResult;
        if (t->format == target)
            return S_OK;
        if (t->format == MfxTimeTicks && target == MfxTimeSamples)
            t->samples = static_cast<LONGLONG>(t->ticks) * samplesPerTick;
        else if (t->format == MfxTimeSamples && target == MfxTimeTicks)
            t->ticks = static_cast<LONG>(t->samples / samplesPerTick);
        else
            return E_NOTIMPL;
        t->format = target;
        return S_OK;
    }
    STDMETHODIMP TicksToMbt(LONG, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP_(LONG) MbtToTicks(LONG, LONG, LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetMeterIndexAt(LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetMeterCount() override { return 1; }
    STDMETHODIMP GetMeterAt(LONG index, LONG* ticks, LONG* n, LONG* d) override
    {
        if (index != 0)
            return E_INVALIDARG;
        *ticks = 0;
        *n = numerator;
        *d = denominator;
        return S_OK;
    }

    ITransportDocument* document = nullptr;
    LONGLONG samplesPerTick = 10;
    LONG numerator = 4;
    LONG denominator = 2;
    HRESULT convertResult = S_OK;

private:
    Journal* m_journal;
    std::atomic<ULONG> m_refs{0};
};

// How a fake back-end answers.
struct DeviceScript {
    HRESULT openResult = S_OK;
    HRESULT closeResult = S_OK;
    HRESULT setFormatResult = S_OK;
    HRESULT startResult = S_OK;
    unsigned mask = 0x00FFFFFF;  // every format at every rate
    std::vector<int> limits;      // empty: none
    std::vector<std::string> errors;
    int hostRate = 44100;         // the ReWire host's
    unsigned fixedBufferBytes = 0;  // non-zero: what GetBufferBytes answers
};

// An audio back-end with a device thread that calls the engine owner's
// per-buffer entry on request, the way a real one does once started.
class FakeAudioDevice : public IRewireDevice, public Noted {
public:
    FakeAudioDevice(std::string name, Journal* j, IEngineOwner* owner, DeviceScript s)
        : Noted(std::move(name), j), script(std::move(s)), m_owner(owner)
    {
    }
    ~FakeAudioDevice() override { EndThread(); }

    HRESULT EnumPorts(IEnumAudioDeviceCallback*, int) override { return S_OK; }
    HRESULT Open() override
    {
        Note(Name() + " open");
        return script.openResult;
    }
    HRESULT Close(int unload) override
    {
        Note(Name() + " close " + std::to_string(unload));
        EndThread();
        return script.closeResult;
    }
    HRESULT SetWindow(HWND w) override
    {
        Note(Name() + " window");
        window = w;
        return S_OK;
    }
    HRESULT SetFormat(int rate, unsigned short bits, int frames) override
    {
        Note(Name() + " format " + std::to_string(rate) + " " + std::to_string(bits) + " " + std::to_string(m_mode) +
             " " + std::to_string(frames));
        if (FAILED(script.setFormatResult))
            return script.setFormatResult;
        format = MakeDeviceFormat(rate, bits, m_mode);
        bufferFrames = frames;
        return S_OK;
    }
    HRESULT Set24BitMode(unsigned short mode) override
    {
        m_mode = mode;
        return S_OK;
    }
    HRESULT ReleaseBuffers() override { return S_OK; }
    HRESULT GetBufferBytes(unsigned* bytes) override
    {
        *bytes = script.fixedBufferBytes ? script.fixedBufferBytes : format.nBlockAlign * bufferFrames;
        return S_OK;
    }
    HRESULT Start() override
    {
        Note(Name() + " start");
        if (FAILED(script.startResult))
            return script.startResult;
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_thread.joinable()) {
            m_stop = false;
            m_thread = std::thread([this] { ThreadMain(); });
        }
        return S_OK;
    }
    HRESULT Stop() override
    {
        Note(Name() + " stop");
        EndThread();
        return S_OK;
    }
    HRESULT Pause() override { return S_OK; }
    HRESULT Resume() override { return S_OK; }
    WAVEFORMATEX* GetWaveFormat() override { return &format; }
    HRESULT GetPortInfo(GUID* id, CString* name, int, unsigned* mask, int* limits) override
    {
        if (!id && !name)
            return E_INVALIDARG;
        if (mask)
            *mask = script.mask;
        if (limits && !script.limits.empty())
            std::copy(script.limits.begin(), script.limits.end(), limits);
        return S_OK;
    }
    HRESULT SetPort(const GUID*, const char*, int) override { return S_OK; }
    HRESULT GetErrorList(std::vector<CString>* errors) override
    {
        if (!errors)
            return E_POINTER;
        errors->clear();
        for (const std::string& e : script.errors)
            errors->emplace_back(e.c_str());
        script.errors.clear();
        return S_OK;
    }
    HRESULT SendHostStop() override { return Host("stop"); }
    HRESULT SendHostPlay() override { return Host("play"); }
    HRESULT SendHostLoop(LONG s, LONG e, BOOL on) override
    {
        return Host("loop " + std::to_string(s) + " " + std::to_string(e) + " " + std::to_string(on));
    }
    HRESULT SendHostReposition(LONG t) override { return Host("reposition " + std::to_string(t)); }
    int GetSampleRate() override { return script.hostRate; }

    bool IsStreaming()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_thread.joinable();
    }

    // One buffer as the device thread rendered it.
    struct Buffer {
        HRESULT result;
        std::vector<BYTE> out;
    };
    // Fills the input of buffer `index` (null: the device passes none).
    using InputFill = std::function<void(int index, BYTE* in, std::size_t bytes)>;

    // Has the device thread call the per-buffer entry `count` times, each
    // with a buffer of `frames` frames (or of the device's buffer size with
    // frames -1, as the threaded back-ends pass), and waits for them. The
    // output starts as 0x55 bytes, so silence written is visible.
    std::vector<Buffer> RunBuffers(int count, InputFill fill = nullptr, LONG frames = -1, std::size_t outBytes = 0)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_thread.joinable())
            return {};
        m_job = Job{count, std::move(fill), frames, outBytes};
        m_results.clear();
        m_pending = true;
        m_wake.notify_all();
        m_done.wait(lock, [this] { return !m_pending; });
        return std::move(m_results);
    }

    DeviceScript script;
    WAVEFORMATEX format{};
    int bufferFrames = 0;
    HWND window = nullptr;

private:
    HRESULT Host(const std::string& what)
    {
        Note(Name() + " host " + what);
        return S_OK;
    }

    struct Job {
        int count = 0;
        InputFill fill;
        LONG frames = -1;
        std::size_t outBytes = 0;
    };

    void ThreadMain()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_pending; });
            if (m_stop)
                return;
            Job job = m_job;
            lock.unlock();
            std::vector<Buffer> results;
            const std::size_t frameBytes = format.nBlockAlign ? format.nBlockAlign : 8;
            const std::size_t bytes = job.outBytes ? job.outBytes
                                      : job.frames >= 0 ? static_cast<std::size_t>(job.frames) * 8
                                                        : frameBytes * static_cast<std::size_t>(bufferFrames);
            for (int i = 0; i < job.count; ++i) {
                Buffer b{S_OK, std::vector<BYTE>(bytes, 0x55)};
                std::vector<BYTE> in;
                if (job.fill) {
                    in.assign(bytes, 0);
                    job.fill(i, in.data(), in.size());
                }
                b.result = m_owner->ProcessBuffer(b.out.data(), job.fill ? in.data() : nullptr,
                                                  static_cast<UINT>(bytes), job.frames);
                results.push_back(std::move(b));
            }
            lock.lock();
            m_results = std::move(results);
            m_pending = false;
            m_done.notify_all();
        }
    }

    void EndThread()
    {
        std::thread t;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stop = true;
            m_wake.notify_all();
            t = std::move(m_thread);
        }
        if (t.joinable())
            t.join();
    }

    IEngineOwner* m_owner;
    unsigned short m_mode = 0;
    std::mutex m_lock;
    std::condition_variable m_wake, m_done;
    std::thread m_thread;
    bool m_stop = false;
    bool m_pending = false;
    Job m_job;
    std::vector<Buffer> m_results;
};

// Makes the real parts (noted) and the fakes; each back-end and part can be
// told to fail.
class FakeEngineFactory : public IEngineFactory {
public:
    CTimer* CreateTimer(UINT period) override { return Make<NotedTimer>("timer", period, &journal); }
    CTimeKeeper* CreateTimeKeeper(ITimeKeeperSite* site) override
    {
        return Make<NotedTimeKeeper>("time keeper", site, &journal, fakeCounter);
    }
    CAudioRenderer* CreateAudioRenderer() override { return Make<NotedAudioRenderer>("audio renderer", &journal); }
    CAudioReferenceClock* CreateReferenceClock(IAudioProperties* audio, HRESULT* phr) override
    {
        return Make<NotedReferenceClock>("reference clock", audio, phr, &journal);
    }
    IDataRenderer* CreateDataRenderer() override { return dataRenderer = Make<FakeDataRenderer>("data renderer", &journal); }
    IMidiInputRouter* CreateMidiInputRouter(IEngineOwner* owner) override
    {
        return router = Make<FakeMidiInputRouter>("MIDI input router", &journal, owner);
    }
    IMidiSource* CreateMidiSource() override { return midiSource = Make<FakeMidiSource>("MIDI source", &journal); }
    IMidiSyncGen* CreateMidiSyncGen(IMidiSyncHost*) override { return syncGen = Make<FakeMidiSyncGen>("MIDI sync generator", &journal); }
    CDxFilterGraph* CreateFilterGraph(HRESULT* phr) override
    {
        return graph = Make<NotedFilterGraph>("filter graph", phr, &journal);
    }
    HRESULT CreateMfxHostSite(IMfxSiteEngine*, IMfxHostSite** site) override
    {
        hostSite = Make<FakeHostSite>("host site", &journal);
        if (!hostSite)
            return E_OUTOFMEMORY;
        hostSite->AddRef();
        *site = hostSite;
        return S_OK;
    }
    ITransportRecorder* CreateRecorder() override { return recorder = Make<FakeRecorder>("recorder", &journal); }
    ITransportClipboard* CreateClipboard() override
    {
        return clipboard = Make<FakeClipboard>("edit clipboard", "edit clipboard", &journal);
    }
    ITransportClipboard* CreateDragAndDropClipboard() override
    {
        return dragDropClipboard = Make<FakeClipboard>("drag-and-drop clipboard", "drag-and-drop clipboard", &journal);
    }
    IClipPoolLimits* CreateClipPool() override { return clipPool = Make<FakeClipPool>("clip pool", &journal); }
    IAudioDevice* CreateDirectSound(IEngineOwner* owner) override
    {
        return directSound = Make<FakeAudioDevice>("DirectSound", "DirectSound", &journal, owner, directSoundScript);
    }
    IAudioDevice* CreateWDMAudio(IEngineOwner* owner) override
    {
        return wdm = Make<FakeAudioDevice>("WDM", "WDM", &journal, owner, wdmScript);
    }
    IAudioDevice* CreateAsioDevice(IEngineOwner* owner) override
    {
        return asio = Make<FakeAudioDevice>("ASIO", "ASIO", &journal, owner, asioScript);
    }
    IRewireDevice* CreateRewireDevice(IEngineOwner* owner) override
    {
        return rewire = Make<FakeAudioDevice>("ReWire", "ReWire", &journal, owner, rewireScript);
    }
    void DestroyAsioDriverList() override { journal.Note("delete ASIO driver list"); }

    Journal journal;
    bool fakeCounter = false;
    // The part whose creation gives null ("data renderer", "WDM", ...).
    std::string refuse;
    DeviceScript directSoundScript, wdmScript, asioScript, rewireScript;

    // What was made last (the engine owner deletes them).
    FakeDataRenderer* dataRenderer = nullptr;
    FakeMidiInputRouter* router = nullptr;
    FakeMidiSource* midiSource = nullptr;
    FakeMidiSyncGen* syncGen = nullptr;
    CDxFilterGraph* graph = nullptr;
    FakeHostSite* hostSite = nullptr;
    FakeRecorder* recorder = nullptr;
    FakeClipboard* clipboard = nullptr;
    FakeClipboard* dragDropClipboard = nullptr;
    FakeClipPool* clipPool = nullptr;
    FakeAudioDevice* directSound = nullptr;
    FakeAudioDevice* wdm = nullptr;
    FakeAudioDevice* asio = nullptr;
    FakeAudioDevice* rewire = nullptr;

private:
    template <class T, class... Args>
    T* Make(const std::string& name, Args&&... args)
    {
        if (refuse == name)
            return nullptr;
        journal.Note("new " + name);
        return new T(std::forward<Args>(args)...);
    }
};

// A song document whose graph, built on its first rebuild, is one push
// source connected straight to the master bus's buffer renderer, in the
// engine owner's filter graph.
class FakeTransportDocument : public ITransportDocument {
public:
    explicit FakeTransportDocument(Journal* j) : m_journal(j) {}
    ~FakeTransportDocument() { ReleaseGraph(); }

    BOOL GetSendMidiSync() override { return FALSE; }
    LONG GetTicksPerQuarter() override { return 960; }
    LONG GetGraphDirty() override { return graphDirty; }
    IRenderDocument* GetRenderDocument() override { return &render; }
    IRenderTargets* GetRenderTargets() override { return nullptr; }
    CTempoMap* GetTempoMap() override { return &tempoMap; }
    void SetMetronomeOn(BOOL on) override { metronome = on; }
    WORD GetActivePatternId() override { return activePattern; }
    HRESULT GetPatternTimes(WORD id, LONG* marker, LONG* duration) override
    {
        if (id != activePattern || activePattern == kNoPattern)
            return E_INVALIDARG;
        *marker = editMarker;
        *duration = patternDuration;
        return S_OK;
    }
    HRESULT CommitLiveTempo(BOOL) override
    {
        m_journal->Note("doc commit live tempo");
        return S_OK;
    }
    HRESULT OnBufferTempoHook(LONG s, LONG e) override
    {
        NoteValues(m_journal, "doc tempo hook", s, e);
        return S_OK;
    }
    HRESULT ResetInstanceCursors(WORD id) override
    {
        NoteValues(m_journal, "doc reset cursors", id);
        return S_OK;
    }
    HRESULT ConnectAllContainers() override
    {
        m_journal->Note("doc connect all");
        return S_OK;
    }
    HRESULT InvalidateGraph() override
    {
        m_journal->Note("doc invalidate graph");
        graphDirty = 1;
        return S_OK;
    }
    HRESULT RebuildGraph() override
    {
        m_journal->Note("doc rebuild graph");
        if (!graphDirty)
            return S_OK;
        HRESULT hr = BuildGraph();
        if (SUCCEEDED(hr))
            graphDirty = 0;
        return hr;
    }

    // The graph in this filter graph (the engine owner's), connected when the
    // document is next rebuilt.
    void UseGraph(CDxFilterGraph* g) { graph = g; }

    CDxFilterGraph* graph = nullptr;
    CDxSource* source = nullptr;
    CDxBufRenderer* renderer = nullptr;
    FakeRenderDocument render;
    CTempoMap tempoMap;
    LONG graphDirty = 1;
    BOOL metronome = -1;
    WORD activePattern = kNoPattern;
    LONG editMarker = 0;
    LONG patternDuration = 0;

private:
    HRESULT BuildGraph()
    {
        ReleaseGraph();
        if (!graph)
            return E_UNEXPECTED;
        HRESULT hr = graph->CreateSource(&source);
        if (SUCCEEDED(hr))
            hr = graph->CreateBufRenderer(&renderer);
        if (SUCCEEDED(hr))
            hr = graph->AddFilter(source, u"source");
        if (SUCCEEDED(hr))
            hr = graph->AddFilter(renderer, u"master");
        if (SUCCEEDED(hr))
            hr = graph->Connect(source, 0, renderer, 0, nullptr);
        if (FAILED(hr))
            return hr;
        source->SetEnabled(TRUE);
        render.input = source;
        render.renderer = renderer;
        return S_OK;
    }
    void ReleaseGraph()
    {
        if (graph && (source || renderer))
            graph->Stop();
        render.input = nullptr;
        render.renderer = nullptr;
        if (renderer) {
            renderer->ReleaseSample();
            if (graph)
                graph->RemoveFilter(renderer);
            renderer->Release();
            renderer = nullptr;
        }
        if (source) {
            if (graph)
                graph->RemoveFilter(source);
            source->Release();
            source = nullptr;
        }
    }

    Journal* m_journal;
};

// Stereo 16-bit input whose left sample is the running frame count (kept
// below 16384, where 16-bit samples come back from the float graph exactly)
// and whose right sample is its negative.
inline void FillCountingInput(std::int64_t firstFrame, BYTE* in, std::size_t bytes)
{
    auto* s = reinterpret_cast<short*>(in);
    for (std::size_t k = 0; k < bytes / 4; ++k) {
        const auto v = static_cast<short>((firstFrame + static_cast<std::int64_t>(k)) % 16000);
        s[2 * k] = v;
        s[2 * k + 1] = static_cast<short>(-v);
    }
}

}  // namespace mvtest
