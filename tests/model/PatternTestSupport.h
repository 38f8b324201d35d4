// Fakes for the tests of patterns, pattern instances and timelines: the song
// document, the engine owner with its recorder and clip pool, and loop clips
// that record what they were given; event builders; and a fixture that
// registers the document and the engine owner for each test and clears the
// undo history afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "model/CKelPersistArchive.h"
#include "model/CMfxBufferFactory.h"
#include "model/CMvCommand.h"
#include "model/CPattern.h"
#include "model/CPatternInstance.h"
#include "model/CTempoMap.h"
#include "model/CUndoHistory.h"
#include "model/CUndoSetStep.h"
#include "model/CUndoVector.h"
#include "model/IEngineServices.h"
#include "model/ISongDocument.h"
#include "model/PersistIo.h"
#include "model/SubmitUndoStep.h"

namespace pattest {

// ---- events ----

inline CMfxEvent Note(LONG time, BYTE key, DWORD duration = 120, BYTE channel = 0)
{
    CMfxEvent e(MfxNote);
    e.m_time = time;
    e.m_note.key = key;
    e.m_note.duration = duration;
    e.m_channel = channel;
    return e;
}

inline CMfxEvent Controller(LONG time, BYTE number, BYTE value, BYTE channel = 0)
{
    CMfxEvent e(MfxController);
    e.m_time = time;
    e.m_ctrl.number = number;
    e.m_ctrl.value = value;
    e.m_channel = channel;
    return e;
}

// A system-exclusive event carrying `bytes` in a block of its own.
inline CMfxEvent Sysex(LONG time, std::initializer_list<BYTE> bytes)
{
    CMfxEvent e(MfxSysex);
    e.m_time = time;
    CMfxBufferFactory& factory = CMfxBufferFactory::GetShared();
    HMFXBUFFER handle = 0;
    if (SUCCEEDED(factory.Alloc(static_cast<DWORD>(bytes.size()), &handle)))
        factory.Fill(handle, std::data(bytes), static_cast<DWORD>(bytes.size()));
    e.m_buffer.handle = handle;
    return e;
}

inline CMfxEvent Automation(LONG time, DWORD param, float value)
{
    CMfxEvent e(MfxAutomation);
    e.m_time = time;
    e.m_automation.param = param;
    e.m_value = value;
    return e;
}

// ---- patterns ----

struct PatternDeleter {
    void operator()(CPattern* p) const { DestroyPattern(p); }
};
using PatternPtr = std::unique_ptr<CPattern, PatternDeleter>;

// A pattern holding the events as they are given (in time order), made
// without undo.
inline PatternPtr MakePattern(SHORT id, LONG duration, const std::vector<CMfxEvent>& events = {},
                              DWORD kind = CPattern::kKindMidi)
{
    CPattern* p = nullptr;
    EXPECT_EQ(S_OK, CreatePattern(id, &p, kind));
    p->SetDuration(duration);
    for (const CMfxEvent& e : events)
        EXPECT_EQ(S_OK, p->Insert(p->GetSize(), e));
    return PatternPtr(p);
}

// An instance of the pattern from start to end, offset into its loop.
inline CPatternInstance Placed(CPattern* pattern, LONG start, LONG end, LONG offset = 0)
{
    CPatternInstance instance(pattern);
    EXPECT_EQ(S_OK, instance.SetStart(start));
    EXPECT_EQ(S_OK, instance.SetEnd(end));
    if (offset != 0) {
        EXPECT_EQ(S_OK, instance.SetOffset(offset));
    }
    return instance;
}

inline std::vector<LONG> Times(const std::vector<CMfxEvent>& events)
{
    std::vector<LONG> out;
    for (const CMfxEvent& e : events)
        out.push_back(MfxCopy(e.m_time));
    return out;
}

inline std::vector<LONG> Times(const CPattern& pattern) { return Times(pattern.GetEvents()); }

// ---- loop clips ----

// A clip that records every position it was given; its saved state is its
// settings (three selector settings at two selectors, then the single one).
class FakeLoopClip : public ILoopClip {
public:
    using Call = std::tuple<std::string, LONGLONG, int>;
    static constexpr ULONG kStateBytes = 7 * 8;

    std::vector<Call> calls;
    int releases = 0;
    std::map<std::pair<int, int>, LONGLONG> settings;
    LONGLONG single = 0;
    HRESULT loadResult = S_OK;

    HRESULT SetPlayPosition(LONGLONG p, int unit) override { return Record("play", p, unit); }
    HRESULT SetStart(LONGLONG p, int unit) override { return Record("start", p, unit); }
    HRESULT SetEnd(LONGLONG p, int unit) override { return Record("end", p, unit); }
    HRESULT SetLength(LONGLONG ticks) override { return Record("length", ticks, kUnitTicks); }
    HRESULT GetLength(LONGLONG* ticks) override
    {
        *ticks = length;
        return S_OK;
    }
    LONGLONG length = 0;
    HRESULT SetTranspose(LONG semitones) override { return Record("transpose", semitones, kUnitTicks); }
    void Release() override
    {
        ++releases;
        if (onRelease)
            onRelease();
    }
    // Run by Release: a pool whose clips leave it on release sets it.
    std::function<void()> onRelease;
    void SetClipId(DWORD id) override { clipId = id; }
    DWORD clipId = 0;

    // Only an audio pattern's clip saves its sample block with its state
    // (the song document does); a timeline never does.
    bool dataAllowed = false;

    HRESULT SaveProjectState(IStream* stream, BOOL includeData) override
    {
        if (includeData && !dataAllowed)
            return E_UNEXPECTED;
        LONGLONG state[7];
        Pack(state);
        return mvpersist::WriteAll(stream, state, kStateBytes);
    }
    HRESULT LoadProjectState(IStream* stream) override
    {
        if (FAILED(loadResult))
            return loadResult;
        LONGLONG state[7];
        HRESULT hr = mvpersist::ReadAll(stream, state, kStateBytes);
        if (SUCCEEDED(hr))
            Unpack(state);
        return hr;
    }
    HRESULT GetSetting(int setting, int selector, LONGLONG* value) override
    {
        *value = settings[{setting, selector}];
        return S_OK;
    }
    HRESULT SetSetting(int setting, int selector, LONGLONG value) override
    {
        settings[{setting, selector}] = value;
        return S_OK;
    }
    HRESULT GetSingleSetting(LONGLONG* value) override
    {
        *value = single;
        return S_OK;
    }
    HRESULT SetSingleSetting(LONGLONG value) override
    {
        single = value;
        return S_OK;
    }

    // Gives every setting a value derived from the seed.
    void Fill(LONGLONG seed)
    {
        for (int s = 0; s < kSelectorSettings; ++s)
            for (int unit : {kUnitFineTicks, kUnitFrames})
                settings[{s, unit}] = seed * 100 + s * 10 + unit;
        single = seed;
    }
    std::vector<Call> CallsOf(const std::string& name) const
    {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (std::get<0>(c) == name)
                out.push_back(c);
        return out;
    }

private:
    HRESULT Record(const char* name, LONGLONG value, int unit)
    {
        calls.emplace_back(name, value, unit);
        return S_OK;
    }
    void Pack(LONGLONG* state)
    {
        int k = 0;
        for (int s = 0; s < kSelectorSettings; ++s)
            for (int unit : {kUnitFineTicks, kUnitFrames})
                state[k++] = settings[{s, unit}];
        state[k] = single;
    }
    void Unpack(const LONGLONG* state)
    {
        int k = 0;
        for (int s = 0; s < kSelectorSettings; ++s)
            for (int unit : {kUnitFineTicks, kUnitFrames})
                settings[{s, unit}] = state[k++];
        single = state[k];
    }
};

// Clips by id; the pool owns them. Clips made with CreateClip are kept too,
// so a test can see that they were released.
class FakeClipPool : public IClipPool {
public:
    std::map<DWORD, std::unique_ptr<FakeLoopClip>> clips;
    std::vector<std::unique_ptr<FakeLoopClip>> created;
    HRESULT loadResultOfCreated = S_OK;
    // Whether the clips added from now on save their sample block.
    bool dataAllowed = false;
    // Whether the clips added from now on leave the pool when released, as
    // a clip at its last reference does (they stay alive in `released`).
    bool releaseRemoves = false;
    std::vector<std::unique_ptr<FakeLoopClip>> released;

    FakeLoopClip* Add(DWORD id)
    {
        auto& slot = clips[id];
        slot = std::make_unique<FakeLoopClip>();
        slot->dataAllowed = dataAllowed;
        if (releaseRemoves) {
            FakeLoopClip* clip = slot.get();
            slot->onRelease = [this, id, clip] {
                auto it = clips.find(id);
                if (it != clips.end() && it->second.get() == clip) {
                    released.push_back(std::move(it->second));
                    clips.erase(it);
                }
            };
        }
        return slot.get();
    }
    FakeLoopClip* Find(DWORD id)
    {
        auto it = clips.find(id);
        return it != clips.end() ? it->second.get() : nullptr;
    }

    ILoopClip* GetClip(DWORD id) override { return Find(id); }
    HRESULT CreateClip(ILoopClip** clip) override
    {
        created.push_back(std::make_unique<FakeLoopClip>());
        created.back()->loadResult = loadResultOfCreated;
        *clip = created.back().get();
        return S_OK;
    }
    HRESULT AddClip(const DWORD* id, ILoopClip** clip) override
    {
        if (id == nullptr || clips.count(*id) != 0)
            return E_INVALIDARG;
        FakeLoopClip* added = Add(*id);
        added->clipId = *id;
        if (clip != nullptr)
            *clip = added;
        return S_OK;
    }
    // Reads no files.
    HRESULT AddClipFromFile(const char*, const char*, const WAVEFORMATEX&, const DWORD*, ILoopClip**, int*,
                            BOOL) override
    {
        return E_FAIL;
    }
};

class FakeRecorder : public IRecorder {
public:
    SHORT recordingPattern = CPattern::kNoPattern;
    DWORD touchedParam = 0xFFFFFFFF;
    DWORD overwrite = 0;

    BOOL IsRecordingPattern(SHORT id) override { return id == recordingPattern; }
    BOOL IsParamTouched(DWORD param) override { return param == touchedParam; }
    DWORD GetOverwriteRecordMode() override { return overwrite; }
};

class FakeEngineServices : public IEngineServices {
public:
    FakeClipPool pool;
    FakeRecorder recorder;
    DWORD sampleRate = 44100;
    bool hasPool = true;

    IClipPool* GetClipPool() override { return hasPool ? &pool : nullptr; }
    IRecorder* GetRecorder() override { return &recorder; }
    DWORD GetSampleRate() override { return sampleRate; }
};

// ---- the song document ----

class FakeSongDocument : public ISongDocument {
public:
    std::map<SHORT, CPattern*> patterns;
    LONG songEnd = 0;
    CTempoMap tempo;
    std::vector<SHORT> cursorResets;
    HRESULT resetResult = S_OK;
    HRESULT setActiveResult = S_OK;
    // The active instance, as a one-entry vector so that changing it can be
    // a step of a command.
    CUndoVector<DWORD> active;

    FakeSongDocument() { active.Insert(0, kNoInstance); }

    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT patternId) override
    {
        cursorResets.push_back(patternId);
        return resetResult;
    }
    HRESULT RefreshActiveSelection() override { return S_OK; }
    SHORT GetActiveContainer() override { return kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }

    HRESULT GetPattern(SHORT id, CPattern** pattern) override
    {
        auto it = patterns.find(id);
        if (it == patterns.end())
            return E_INVALIDARG;
        *pattern = it->second;
        return S_OK;
    }
    LONG GetSongEnd() override { return songEnd; }
    CTempoMap* GetTempoMap() override { return &tempo; }
    DWORD GetActiveInstance() override { return active[0]; }
    HRESULT SetActiveInstance(DWORD id, CMvCommand* command) override
    {
        if (FAILED(setActiveResult))
            return setActiveResult;
        try {
            SubmitUndoStep<CUndoSetStep<int, DWORD>>(command, active, 0, id);
        } catch (const CHResultException& e) {
            return e.Code();
        }
        return S_OK;
    }
};

// Registers a fresh document and engine owner for every test and clears the
// history and the registrations afterwards.
class SongFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSongDocument(&document);
        SetEngineServices(&engine);
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        SetEngineServices(nullptr);
    }

    PatternPtr AddPattern(SHORT id, LONG duration, const std::vector<CMfxEvent>& events = {},
                          DWORD kind = CPattern::kKindMidi)
    {
        PatternPtr p = MakePattern(id, duration, events, kind);
        document.patterns[id] = p.get();
        return p;
    }

    static int HistoryCount()
    {
        int n = 0;
        CUndoHistory::Instance().GetCount(&n);
        return n;
    }
    static std::string NewestCommandName() { return CUndoHistory::Instance().GetCommandName(0); }

    FakeSongDocument document;
    FakeEngineServices engine;
};

}  // namespace pattest
