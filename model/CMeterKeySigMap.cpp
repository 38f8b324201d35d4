#include "model/CMeterKeySigMap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/CUndoInsertStep.h"
#include "model/CUndoRemoveStep.h"
#include "model/PersistEntryList.h"
#include "model/RunProjectEdit.h"
#include "model/SubmitUndoStep.h"

namespace {

constexpr ULONG kEntryBytes = 7;

using InsertEntry = CUndoInsertStep<int, CMeterKey>;
using RemoveEntry = CUndoRemoveStep<int, CMeterKey>;

LONG Clamp32(LONGLONG v) { return static_cast<LONG>(std::clamp<LONGLONG>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

CMeterKeySigMap::CMeterKeySigMap() : CKelPersistObject(MakeKelVersionWord(kMajor, 0))
{
    Insert(0, CMeterKey());
}

HRESULT CMeterKeySigMap::Insert(const int& index, const CMeterKey& entry)
{
    if (!IsValidEntry(entry))
        return E_INVALIDARG;
    HRESULT hr = CUndoVector::Insert(index, entry);
    if (SUCCEEDED(hr))
        Recalc(index);
    return hr;
}

HRESULT CMeterKeySigMap::Set(const int& index, const CMeterKey& entry)
{
    if (!IsValidEntry(entry))
        return E_INVALIDARG;
    HRESULT hr = CUndoVector::Set(index, entry);
    if (SUCCEEDED(hr))
        Recalc(index);
    return hr;
}

HRESULT CMeterKeySigMap::Remove(const int& index)
{
    HRESULT hr = CUndoVector::Remove(index);
    if (SUCCEEDED(hr))
        Recalc(index);
    return hr;
}

void CMeterKeySigMap::Derive(CMeterKey& entry) const
{
    entry.m_ticksPerBeat = m_ticksPerQuarter * 4 >> entry.m_power;
    entry.m_ticksPerMeasure = Clamp32(static_cast<LONGLONG>(entry.m_numerator) * entry.m_ticksPerBeat);
}

void CMeterKeySigMap::Recalc(int from)
{
    std::vector<CMeterKey>& items = Items();
    if (items.empty())
        items.emplace_back();
    if (from <= 0) {
        CMeterKey& first = items.front();
        first.m_startTick = 0;
        first.m_measure = 1;
        Derive(first);
        from = 1;
    }
    for (std::size_t i = static_cast<std::size_t>(from); i < items.size(); ++i) {
        const CMeterKey& prev = items[i - 1];
        CMeterKey& e = items[i];
        Derive(e);
        e.m_startTick = Clamp32((static_cast<LONGLONG>(e.m_measure) - prev.m_measure) * prev.m_ticksPerMeasure +
                                prev.m_startTick);
    }
}

int CMeterKeySigMap::FindIndexAtTick(LONG tick) const
{
    return std::max(LastIndexNotAfter(tick, [](const CMeterKey& e) { return e.m_startTick; }), 0);
}

int CMeterKeySigMap::FindIndexAtMeasure(LONG measure) const
{
    return LastIndexNotAfter(measure, [](const CMeterKey& e) { return e.m_measure; });
}

LONG CMeterKeySigMap::TickToMeasure(LONG tick) const
{
    const CMeterKey& e = (*this)[FindIndexAtTick(tick)];
    return Clamp32((static_cast<LONGLONG>(tick) - e.m_startTick) / e.m_ticksPerMeasure + e.m_measure);
}

void CMeterKeySigMap::TickToMbt(LONG tick, LONG* measure, SHORT* beat, SHORT* tickInBeat) const
{
    const CMeterKey& e = (*this)[FindIndexAtTick(tick)];
    const LONGLONG d = static_cast<LONGLONG>(tick) - e.m_startTick;
    const LONGLONG inMeasure = d % e.m_ticksPerMeasure;
    if (measure != nullptr)
        *measure = Clamp32(d / e.m_ticksPerMeasure + e.m_measure);
    if (beat != nullptr)
        *beat = static_cast<SHORT>(inMeasure / e.m_ticksPerBeat + 1);
    if (tickInBeat != nullptr)
        *tickInBeat = static_cast<SHORT>(inMeasure % e.m_ticksPerBeat);
}

LONG CMeterKeySigMap::MbtToTick(LONG measure, LONG beat, LONG tickInBeat) const
{
    measure = std::max<LONG>(measure, 1);
    beat = std::max<LONG>(beat, 1);
    const CMeterKey& e = (*this)[std::max(FindIndexAtMeasure(measure), 0)];
    return Clamp32((static_cast<LONGLONG>(measure) - e.m_measure) * e.m_ticksPerMeasure +
                   (static_cast<LONGLONG>(beat) - 1) * e.m_ticksPerBeat + e.m_startTick + tickInBeat);
}

HRESULT CMeterKeySigMap::ParseMbt(const char* text, LONG* tick) const
{
    if (text == nullptr || tick == nullptr)
        return E_POINTER;
    // Runs of separators count as one, as when tokenising; a token longer
    // than six characters keeps its field's default.
    constexpr std::string_view kSeparators = ": |.";
    LONG fields[3] = {1, 1, 0};
    const std::string_view all(text);
    std::size_t at = all.find_first_not_of(kSeparators);
    for (int field = 0; field < 3 && at != std::string_view::npos; ++field) {
        const std::size_t end = std::min(all.find_first_of(kSeparators, at), all.size());
        const std::string token(all.substr(at, end - at));
        if (token.size() <= 6)
            fields[field] = std::atoi(token.c_str());
        at = all.find_first_not_of(kSeparators, end);
    }
    *tick = MbtToTick(fields[0] == 0 ? 1 : fields[0], fields[1] == 0 ? 1 : fields[1], fields[2]);
    return S_OK;
}

LONG CMeterKeySigMap::GetPrevBeat(LONG tick) const
{
    LONG m = 0;
    SHORT b = 0, k = 0;
    TickToMbt(tick, &m, &b, &k);
    if (k != 0)
        return MbtToTick(m, b, 0);
    if (b > 1)
        return MbtToTick(m, b - 1, 0);
    // The last beat of the measure before, counted in that measure's own
    // signature: at a change of meter the signature in force at the tick
    // would land on the wrong beat.
    if (m > 1)
        return MbtToTick(m - 1, (*this)[std::max(FindIndexAtMeasure(m - 1), 0)].m_numerator, 0);
    return MbtToTick(1, 1, 0);
}

LONG CMeterKeySigMap::GetNextBeat(LONG tick) const
{
    LONG m = 0;
    SHORT b = 0;
    TickToMbt(tick, &m, &b, nullptr);
    return MbtToTick(m, b + 1, 0);
}

HRESULT CMeterKeySigMap::InsertMeterKey(LONG tick, const CMeterKey& entry, BOOL openCommand, CMvCommand* command)
{
    if (!IsValidEntry(entry))
        return E_INVALIDARG;
    CMeterKey placed = entry;
    placed.m_measure = TickToMeasure(tick);
    return RunProjectEdit(command, openCommand != FALSE, nullptr, "Insert Time Signature", kViewHint,
                          [&](CMvCommand* cmd) {
                              const int p = FindIndexAtTick(tick) + 1;
                              SubmitUndoStep<InsertEntry>(cmd, *this, p, placed);
                              if ((*this)[p - 1].m_startTick == (*this)[p].m_startTick)
                                  SubmitUndoStep<RemoveEntry>(cmd, *this, p - 1);
                          });
}

HRESULT CMeterKeySigMap::DeleteMeterKey(int index, BOOL openCommand, CMvCommand* command)
{
    if (!IsValidIndex(index))
        return E_INVALIDARG;
    return RunProjectEdit(command, openCommand != FALSE, nullptr, "Delete Time Signature", kViewHint,
                          [&](CMvCommand* cmd) {
                              if (index == 0) {
                                  // Re-insert the second entry from a copy, so that undoing
                                  // restores its own measure rather than the 1 that it gets
                                  // as the new first entry.
                                  if (GetSize() == 1) {
                                      SubmitUndoStep<InsertEntry>(cmd, *this, 1, CMeterKey());
                                  } else {
                                      CMeterKey second = (*this)[1];
                                      second.m_startTick = 0;
                                      SubmitUndoStep<RemoveEntry>(cmd, *this, 1);
                                      SubmitUndoStep<InsertEntry>(cmd, *this, 1, second);
                                  }
                              }
                              SubmitUndoStep<RemoveEntry>(cmd, *this, index);
                          });
}

HRESULT CMeterKeySigMap::Restore(int* index)
{
    *index = -1;
    if (!HoldsReplacedEntry())
        return S_OK;
    const int at = FindIndexAtTick(m_replaced.m_startTick);
    HRESULT hr = Set(at, m_replaced);
    if (FAILED(hr))
        return hr;
    m_replaced.m_ticksPerBeat = 0;
    *index = at;
    return S_OK;
}

HRESULT CMeterKeySigMap::RestoreLiveMeter()
{
    int index = -1;
    return Restore(&index);
}

HRESULT CMeterKeySigMap::SetLiveMeter(LONG tick, const CMeterKey& entry)
{
    if (!IsValidEntry(entry))
        return E_INVALIDARG;
    int restored = -1;
    HRESULT hr = Restore(&restored);
    if (FAILED(hr))
        return hr;
    const int i = FindIndexAtTick(tick);
    m_replaced = (*this)[i];
    CMeterKey& live = At(i);
    live = entry;
    live.m_startTick = tick;
    Recalc(restored >= 0 ? std::min(i, restored) : i);
    return S_OK;
}

STDMETHODIMP CMeterKeySigMap::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    HRESULT hr =
        PersistEntryList(archive, Items(), kEntryBytes, [this](const CMeterKey& e) { return IsValidEntry(e); });
    if (SUCCEEDED(hr) && !archive->IsSaving())
        Recalc(0);
    return hr;
}
