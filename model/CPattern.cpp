#include "model/CPattern.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <new>

#include "model/CHeapLockGuard.h"
#include "model/CKelPersistArchive.h"
#include "model/CUndoInsertStep.h"
#include "model/CUndoRemoveStep.h"
#include "model/CUndoSetStep.h"
#include "model/IEngineServices.h"
#include "model/ISongDocument.h"
#include "model/PersistNestedList.h"
#include "model/RunProjectEdit.h"
#include "model/SubmitUndoStep.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

using InsertEventStep = CUndoInsertStep<int, CMfxEvent>;
using RemoveEventStep = CUndoRemoveStep<int, CMfxEvent>;
using SetEventStep = CUndoSetStep<int, CMfxEvent>;

constexpr DWORD Rgb(DWORD r, DWORD g, DWORD b) { return r | g << 8 | b << 16; }

// Entries 15 to 29 of the application's colour scheme.
constexpr DWORD kPalette[15] = {
    Rgb(200, 65, 90),   Rgb(250, 180, 110), Rgb(245, 215, 40),  Rgb(205, 195, 40),  Rgb(90, 220, 80),
    Rgb(100, 180, 90),  Rgb(130, 200, 150), Rgb(0, 165, 205),   Rgb(100, 205, 230), Rgb(0, 105, 160),
    Rgb(145, 120, 180), Rgb(180, 170, 200), Rgb(230, 150, 190), Rgb(180, 80, 160),  Rgb(255, 235, 140),
};

constexpr DWORD kReserved = 0xFFFFFFFF;
// The shortest nested event: its 12-byte chunk header and the smallest
// payload (kind, port, channel, one data byte, time, reserved).
constexpr ULONGLONG kMinEventChunk = 12 + 6 + 1 + 8;

LONG Saturate(LONGLONG v) { return static_cast<LONG>(std::clamp<LONGLONG>(v, INT32_MIN, INT32_MAX)); }

// The first `limit` bytes of a name, stepping back over the continuation
// bytes of a character that would be split.
CString CutName(const char* name)
{
    std::string text(name ? name : "");
    if (text.size() > static_cast<std::size_t>(CPattern::kMaxNameLength)) {
        std::size_t cut = CPattern::kMaxNameLength;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    return CString(std::move(text));
}

// The number of times not after the time.
int CountNotAfter(const std::vector<LONG>& times, LONGLONG time)
{
    return static_cast<int>(std::upper_bound(times.begin(), times.end(), time) - times.begin());
}

}  // namespace

DWORD CPattern::GetPaletteColor(SHORT id)
{
    // Negative ids (the 16-bit counter wraps) take the remainder's magnitude
    // from the other side, so every id lands inside the pattern palette.
    int r = id % 15;
    if (r < 0)
        r += 15;
    return kPalette[r];
}

CPattern::CPattern(SHORT id, DWORD kind)
    : CKelPersistObject(MakeKelVersionWord(kMajor, kMinor)), m_kind(kind), m_id(id), m_color(GetPaletteColor(id))
{
}

CPattern::~CPattern() = default;

HRESULT CreatePattern(SHORT id, CPattern** pattern, DWORD kind)
{
    if (pattern == nullptr)
        return E_POINTER;
    *pattern = new (std::nothrow) CPattern(id, kind);
    return *pattern != nullptr ? S_OK : E_OUTOFMEMORY;
}

void DestroyPattern(CPattern* pattern)
{
    if (pattern == nullptr)
        return;
    if (ILoopClip* clip = pattern->FindClip())
        clip->Release();
    delete pattern;
}

DWORD CPattern::GetClipId() const
{
    return m_kind == kKindLoopClip ? static_cast<DWORD>(static_cast<WORD>(m_id)) : kNoClip;
}

ILoopClip* CPattern::FindClip() const
{
    if (m_kind != kKindLoopClip)
        return nullptr;
    IEngineServices* engine = GetEngineServices();
    IClipPool* pool = engine != nullptr ? engine->GetClipPool() : nullptr;
    return pool != nullptr ? pool->GetClip(GetClipId()) : nullptr;
}

HRESULT CPattern::Insert(const int& index, const CMfxEvent& event)
{
    CHeapLockGuard guard(m_eventLock);
    if (index < 0 || index > GetSize())
        return E_INVALIDARG;
    try {
        // Room for the time first, so that once the event is in, nothing
        // can fail; grown geometrically as the events are, or appending
        // event after event (an import, a recording) would copy every time
        // on every insert.
        if (m_times.size() == m_times.capacity())
            m_times.reserve(std::max<std::size_t>(16, 2 * m_times.capacity()));
        Items().insert(Items().begin() + index, event);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    m_times.insert(m_times.begin() + index, event.m_time);
    return S_OK;
}

HRESULT CPattern::AppendEvents(std::vector<CMfxEvent>&& events)
{
    const auto earlier = [](const CMfxEvent& a, const CMfxEvent& b) { return a.m_time < b.m_time; };
    if (!std::is_sorted(events.begin(), events.end(), earlier) ||
        (!events.empty() && !m_times.empty() && events.front().m_time < m_times.back()))
        return E_INVALIDARG;
    std::vector<LONG> times;
    try {
        times.reserve(m_times.size() + events.size());
        times.insert(times.end(), m_times.begin(), m_times.end());
        for (const CMfxEvent& e : events)
            times.push_back(e.m_time);
        CHeapLockGuard guard(m_eventLock);
        if (Items().empty()) {
            Items().swap(events);
        } else {
            Items().reserve(Items().size() + events.size());
            std::move(events.begin(), events.end(), std::back_inserter(Items()));
        }
        m_times.swap(times);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    events.clear();
    return S_OK;
}

HRESULT CPattern::Set(const int& index, const CMfxEvent& event)
{
    CHeapLockGuard guard(m_eventLock);
    if (!IsValidIndex(index))
        return E_INVALIDARG;
    At(index) = event;
    m_times[static_cast<std::size_t>(index)] = event.m_time;
    return S_OK;
}

HRESULT CPattern::Remove(const int& index)
{
    CHeapLockGuard guard(m_eventLock);
    if (!IsValidIndex(index))
        return E_INVALIDARG;
    CMfxEvent removed(std::move(At(index)));
    Items().erase(Items().begin() + index);
    m_times.erase(m_times.begin() + index);
    ISongDocument* document = GetSongDocument();
    HRESULT hr = document != nullptr ? document->ResetInstanceCursors(m_id) : S_OK;
    if (FAILED(hr)) {
        // A failed slot changes nothing: the step that called it is dropped,
        // and could not bring the event back.
        try {
            const LONG time = removed.m_time;
            Items().insert(Items().begin() + index, std::move(removed));
            m_times.insert(m_times.begin() + index, time);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    return hr;
}

HRESULT CPattern::Get(const int& index, CMfxEvent* out)
{
    CHeapLockGuard guard(m_eventLock);
    return CUndoVector::Get(index, out);
}

HRESULT CPattern::PeekAt(int index, CMfxEvent* out)
{
    CHeapLockGuard guard(m_eventLock);
    if (GetSize() == 0)
        return S_FALSE;
    return CUndoVector::Get(index, out);
}

CString CPattern::EditName(UINT textId) const
{
    CString name;
    name.Format(LoadResString(textId), GetDisplayName().GetString());
    return name;
}

HRESULT CPattern::InsertEvent(const CMfxEvent& event, BOOL openCommand, CMvCommand* command, BOOL replace)
{
    const CString name = EditName(IDS_PATTERN_INSERT_EVENT);
    return RunProjectEdit(command, openCommand != FALSE, GetSongDocument(), name, kEventEditHint,
                          [&](CMvCommand* cmd) {
                              CHeapLockGuard guard(m_eventLock);
                              const int p = FindLastEventAtOrBefore(event.m_time) + 1;
                              // Only an event at the very same time is replaced: everything
                              // from p on lies later and is another event of the song.
                              if (replace && event.m_kind != MfxNote) {
                                  for (int i = p - 1; i >= 0 && (*this)[i].m_time >= event.m_time; --i) {
                                      if ((*this)[i].IsSameTarget(event)) {
                                          SubmitUndoStep<SetEventStep>(cmd, *this, i, event);
                                          return;
                                      }
                                  }
                              }
                              SubmitUndoStep<InsertEventStep>(cmd, *this, p, event);
                          });
}

HRESULT CPattern::DeleteEvent(int index, BOOL openCommand, CMvCommand* command)
{
    const CString name = EditName(IDS_PATTERN_DELETE_EVENT);
    return RunProjectEdit(command, openCommand != FALSE, GetSongDocument(), name, kEventEditHint,
                          [&](CMvCommand* cmd) { SubmitUndoStep<RemoveEventStep>(cmd, *this, index); });
}

HRESULT CPattern::ChangeEvent(int index, const CMfxEvent& event, BOOL openCommand, CMvCommand* command)
{
    const CString name = EditName(IDS_PATTERN_CHANGE_EVENT);
    return RunProjectEdit(command, openCommand != FALSE, GetSongDocument(), name, kEventEditHint,
                          [&](CMvCommand* cmd) {
                              CHeapLockGuard guard(m_eventLock);
                              const bool afterPrevious = index <= 0 || index > GetSize() ||
                                                         (*this)[index - 1].m_time <= event.m_time;
                              const bool beforeNext = index < 0 || index + 1 >= GetSize() ||
                                                      event.m_time <= (*this)[index + 1].m_time;
                              if (afterPrevious && beforeNext) {
                                  SubmitUndoStep<SetEventStep>(cmd, *this, index, event);
                                  return;
                              }
                              // A new time that leaves the event's neighbours moves it to its
                              // place, so the events stay in time order for playback.
                              SubmitUndoStep<RemoveEventStep>(cmd, *this, index);
                              SubmitUndoStep<InsertEventStep>(cmd, *this, FindLastEventAtOrBefore(event.m_time) + 1,
                                                              event);
                          });
}

HRESULT CPattern::ClearMatchingEvents(LONG from, LONG to, const CMfxEvent* match, BOOL openCommand,
                                      CMvCommand* command)
{
    const CString name = EditName(IDS_PATTERN_CLEAR);
    return RunProjectEdit(command, openCommand != FALSE, GetSongDocument(), name, kEventEditHint,
                          [&](CMvCommand* cmd) {
                              CHeapLockGuard guard(m_eventLock);
                              for (int i = FindLastEventAtOrBefore(to);
                                   i >= 0 && (*this)[i].m_time >= from; --i) {
                                  if (match == nullptr || (*this)[i].IsSameTarget(*match))
                                      SubmitUndoStep<RemoveEventStep>(cmd, *this, i);
                              }
                          });
}

HRESULT CPattern::ClearAllEvents(BOOL openCommand, CMvCommand* command)
{
    return ClearMatchingEvents(INT32_MIN, INT32_MAX, nullptr, openCommand, command);
}

int CPattern::FindLastEventAtOrBefore(LONG time) const { return CountNotAfter(m_times, time) - 1; }

HRESULT CPattern::IsRangeEmpty(LONG from, LONG to) const
{
    const int first = CountNotAfter(m_times, from - 1LL);
    return first < GetSize() && (*this)[first].m_time < to ? S_OK : S_FALSE;
}

void CPattern::GetPlayableRange(int* begin, int* end) const
{
    // Most patterns hold only playable events: that takes no search.
    const int n = static_cast<int>(m_times.size());
    *begin = n == 0 || m_times.front() >= 0 ? 0 : CountNotAfter(m_times, -1);
    if (m_duration <= 0)
        *end = *begin;
    else
        *end = n == 0 || m_times.back() < m_duration ? n : std::max(*begin, CountNotAfter(m_times, m_duration - 1LL));
}

void CPattern::SelectAllEvents(BOOL selected)
{
    CHeapLockGuard guard(m_eventLock);
    for (CMfxEvent& e : Items())
        e.SetSelected(selected);
}

HRESULT CPattern::GetSelectedEventIndices(std::vector<int>* indices, DWORD kind) const
{
    return PickedIndices(
        indices, [kind](const CMfxEvent& e) { return e.IsSelected() && (kind == kAnyKind || e.m_kind == kind); });
}

namespace {

// Fills an empty set with a value of every event that has one.
template <class T, class Pick>
HRESULT CollectDistinct(const std::vector<CMfxEvent>& events, std::set<T>* out, Pick&& pick)
{
    if (out == nullptr)
        return E_POINTER;
    if (!out->empty())
        return E_INVALIDARG;
    for (const CMfxEvent& e : events) {
        T value{};
        if (pick(e, value))
            out->insert(value);
    }
    return S_OK;
}

}  // namespace

HRESULT CPattern::GetAutomatedParams(std::set<DWORD>* params) const
{
    return CollectDistinct(Items(), params, [](const CMfxEvent& e, DWORD& v) {
        v = e.m_automation.param;
        return e.m_kind == MfxAutomation;
    });
}

HRESULT CPattern::GetUsedControllers(std::set<int>* controllers) const
{
    return CollectDistinct(Items(), controllers, [](const CMfxEvent& e, int& v) {
        v = e.m_ctrl.number;
        return e.m_kind == MfxController;
    });
}

HRESULT CPattern::GetUsedEventKinds(std::set<DWORD>* kinds) const
{
    return CollectDistinct(Items(), kinds, [](const CMfxEvent& e, DWORD& v) {
        v = e.m_kind;
        return true;
    });
}

LONG CPattern::CalcLength(BOOL selectedOnly) const
{
    if (m_duration == kEndless) {
        LONGLONG length = GetSize() > 0 ? Items().back().m_time : 0;
        if (ISongDocument* document = GetSongDocument())
            length = std::max<LONGLONG>(length, document->GetSongEnd());
        return Saturate(std::max<LONGLONG>(length, kEndlessMinLength));
    }
    LONGLONG length = m_duration;
    for (const CMfxEvent& e : Items()) {
        if (selectedOnly && !e.IsSelected())
            continue;
        const LONGLONG end = static_cast<LONGLONG>(e.m_time) + (e.m_kind == MfxNote ? e.m_note.duration : 0);
        length = std::max(length, end);
    }
    return Saturate(length);
}

void CPattern::SetDuration(LONG ticks)
{
    {
        CHeapLockGuard guard(m_eventLock);
        m_duration = ticks;
    }
    if (ILoopClip* clip = FindClip())
        clip->SetLength(ticks);
}

void CPattern::SetSwing(DWORD swing)
{
    CHeapLockGuard guard(m_eventLock);
    m_swing = swing;
}

void CPattern::SetName(const char* name) { m_name = CutName(name); }

CString CPattern::GetDisplayName() const
{
    if (!m_name.IsEmpty())
        return m_name;
    CString name;
    name.Format(LoadResString(IDS_PATTERN_DISPLAY_NAME), m_id + 1);
    return name;
}

HRESULT CPattern::PersistEventList(CKelPersistArchive* archive)
{
    return PersistNestedList(archive, Items(), kMinEventChunk, [this](std::vector<CMfxEvent>& loaded, HRESULT hr) {
        // What was read stays, also when a later event failed. A stream whose
        // events are out of order is put in order, as playback searches by time.
        CHeapLockGuard guard(m_eventLock);
        std::vector<CMfxEvent>& events = Items();
        if (events.empty())
            events.swap(loaded);
        else
            events.insert(events.end(), std::make_move_iterator(loaded.begin()),
                          std::make_move_iterator(loaded.end()));
        auto earlier = [](const CMfxEvent& a, const CMfxEvent& b) { return a.m_time < b.m_time; };
        if (!std::is_sorted(events.begin(), events.end(), earlier))
            std::stable_sort(events.begin(), events.end(), earlier);
        m_times.resize(events.size());
        std::transform(events.begin(), events.end(), m_times.begin(), [](const CMfxEvent& e) { return e.m_time; });
        return hr;
    });
}

STDMETHODIMP CPattern::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (archive == nullptr)
        return E_POINTER;
    const bool saving = archive->IsSaving() != FALSE;
    HRESULT hr = S_OK;
    switch (KelVersionIndex(versionWord)) {
    case 0: {
        // The stored id is read and dropped: the pattern keeps the id it was
        // created with.
        WORD id = static_cast<WORD>(m_id);
        LONG duration = m_duration;
        CString name = m_name;
        if (FAILED(hr = archive->PersistBytes(sizeof id, &id)) ||
            FAILED(hr = archive->PersistBytes(sizeof duration, &duration)))
            return hr;
        if (!saving)
            SetDuration(duration);
        if (FAILED(hr = archive->PersistString(&name)))
            return hr;
        if (!saving)
            SetName(name);
        return PersistEventList(archive);
    }
    case 1: return archive->PersistBytes(sizeof m_selected, &m_selected);
    case 2: return archive->PersistBytes(sizeof m_color, &m_color);
    case 3: {
        DWORD words[6] = {static_cast<DWORD>(m_triggerKey), m_kind,
                          kReserved,  static_cast<DWORD>(m_laneTarget),
                          static_cast<DWORD>(m_laneKind), static_cast<DWORD>(m_editMarker)};
        if (FAILED(hr = archive->PersistBytes(sizeof words, words)))
            return hr;
        if (!saving) {
            m_triggerKey = static_cast<LONG>(words[0]);
            m_kind = words[1];
            m_laneTarget = static_cast<LONG>(words[3]);
            m_laneKind = static_cast<LONG>(words[4]);
            m_editMarker = static_cast<LONG>(words[5]);
        }
        return S_OK;
    }
    case 4: return archive->PersistString(&m_clipFile);
    case 5: {
        BYTE swing = m_swing != 0 ? 1 : 0;
        DWORD reserved[4] = {kReserved, kReserved, kReserved, kReserved};
        if (FAILED(hr = archive->PersistBytes(sizeof swing, &swing)) ||
            FAILED(hr = archive->PersistBytes(sizeof reserved, reserved)))
            return hr;
        if (!saving)
            SetSwing(swing != 0 ? 1 : 0);
        return S_OK;
    }
    default: return KELPERSIST_E_UNKNOWNCHUNK;
    }
}
