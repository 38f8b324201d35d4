#include "model/CUndoHistory.h"

#include <algorithm>

#include "platform/registry/Profile.h"
#include "platform/sync/ThreadAffinity.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

constexpr const char* kSettingsSection = "Options";
constexpr const char* kUndoDepthEntry = "UndoDepth";
constexpr int kDefaultUndoDepth = 64;

// Room reserved ahead for the profile's depth; a larger depth still works,
// the array simply grows when it gets there.
constexpr int kMaxReserved = 4096;

}  // namespace

CUndoHistory::CUndoHistory() { ReserveFor(m_capacity); }

CUndoHistory::~CUndoHistory() = default;

CUndoHistory& CUndoHistory::Instance()
{
    static CUndoHistory history;
    return history;
}

void CUndoHistory::ReserveFor(int levels)
{
    try {
        m_commands.reserve(static_cast<std::size_t>(std::clamp(levels, 0, kMaxReserved)));
    } catch (...) {
        // Only a reservation: AddCommand grows the array when it must.
    }
}

int CUndoHistory::GetProfileUndoDepth()
{
    // Stored as a DWORD; a value past INT_MAX reads as negative and so as 0.
    return static_cast<int>(GetProfileIntA(kSettingsSection, kUndoDepthEntry, kDefaultUndoDepth));
}

void CUndoHistory::SetMaxLevels(int levels)
{
    m_capacity = std::max(levels, 0);
    ReserveFor(m_capacity);
}

void CUndoHistory::Notify(const CCommand& command, bool updateViews)
{
    if (m_document == nullptr)
        return;
    if (command.ModifiesDocument())
        m_document->SetModifiedFlag(TRUE);
    if (updateViews)
        m_document->UpdateAllViews(command.GetHint());
}

HRESULT CUndoHistory::AddCommand(CCommand* command)
{
    MV_ASSERT_UI_THREAD();
    if (command == nullptr || std::find(m_commands.begin(), m_commands.end(), command) != m_commands.end())
        return E_INVALIDARG;
    try {
        // Make room first, so that nothing is cut or pushed out for a
        // command that then cannot be stored.
        m_commands.reserve(m_commands.size() + 1);
    } catch (...) {
        return E_FAIL;
    }
    while (Count() > m_done) {
        delete m_commands.back();
        m_commands.pop_back();
    }
    if (Count() + 1 > m_capacity) {
        HRESULT hr = RemoveOldest();
        if (FAILED(hr))
            return hr;
    }
    m_commands.push_back(command);
    ++m_done;
    Notify(*command, command->UpdatesViews() != FALSE);
    return S_OK;
}

HRESULT CUndoHistory::RemoveOldest()
{
    if (m_commands.empty())
        return S_FALSE;
    delete m_commands.front();
    m_commands.erase(m_commands.begin());
    if (m_done > 0)
        --m_done;
    return S_OK;
}

HRESULT CUndoHistory::Undo(DWORD* hint)
{
    MV_ASSERT_UI_THREAD();
    if (!CanUndo())
        return S_FALSE;
    CCommand* command = m_commands[static_cast<std::size_t>(m_done - 1)];
    HRESULT hr = command->Undo();
    if (FAILED(hr))
        return hr;
    if (hint != nullptr)
        *hint = command->GetHint();
    Notify(*command, true);
    --m_done;
    return hr;
}

HRESULT CUndoHistory::Redo(DWORD* hint)
{
    MV_ASSERT_UI_THREAD();
    if (!CanRedo())
        return S_FALSE;
    CCommand* command = m_commands[static_cast<std::size_t>(m_done)];
    HRESULT hr = command->Redo();
    if (FAILED(hr))
        return hr;
    if (hint != nullptr)
        *hint = command->GetHint();
    Notify(*command, true);
    ++m_done;
    return hr;
}

const char* CUndoHistory::FormatMenuText(const char* format, const CCommand* command)
{
    m_text.Format(format, command != nullptr ? command->GetName() : "");
    return m_text.GetString();
}

const char* CUndoHistory::GetUndoMenuText()
{
    return FormatMenuText(LoadResString(IDS_UNDO_MENU_FORMAT),
                          CanUndo() ? m_commands[static_cast<std::size_t>(m_done - 1)] : nullptr);
}

const char* CUndoHistory::GetRedoMenuText()
{
    return FormatMenuText(LoadResString(IDS_REDO_MENU_FORMAT),
                          CanRedo() ? m_commands[static_cast<std::size_t>(m_done)] : nullptr);
}

const char* CUndoHistory::GetCommandName(int index)
{
    if (index < 0 || index >= Count())
        m_text = "err";
    else
        m_text = m_commands[static_cast<std::size_t>(Count() - 1 - index)]->GetName();
    return m_text.GetString();
}

HRESULT CUndoHistory::GetPosition(int* position) const
{
    if (position == nullptr)
        return E_INVALIDARG;
    *position = Position();
    return S_OK;
}

HRESULT CUndoHistory::GetCount(int* count) const
{
    if (count == nullptr)
        return E_INVALIDARG;
    *count = Count();
    return S_OK;
}

HRESULT CUndoHistory::GoToPosition(int target, DWORD* hints)
{
    MV_ASSERT_UI_THREAD();
    if (target < 0 || target > Count())
        return E_INVALIDARG;
    if (m_document != nullptr)
        m_document->BeginWaitCursor();
    const int start = Position();
    DWORD walked = 0;
    HRESULT hr = S_OK;
    while (SUCCEEDED(hr) && Position() != target) {
        DWORD hint = 0;
        hr = Position() > target ? Redo(&hint) : Undo(&hint);
        walked |= hint;
    }
    if (FAILED(hr)) {
        // Walk back what was walked, so a failed jump leaves the history
        // and the model where they were.
        while (Position() != start && SUCCEEDED(Position() > start ? Redo() : Undo())) {
        }
    }
    if (m_document != nullptr) {
        m_document->EndWaitCursor();
        if (SUCCEEDED(hr))
            m_document->UpdateAllViews(walked);
    }
    if (FAILED(hr))
        return hr;
    if (hints != nullptr)
        *hints = walked;
    return S_OK;
}

HRESULT CUndoHistory::TrimToLevels(int levels)
{
    MV_ASSERT_UI_THREAD();
    levels = std::max(levels, 0);
    if (levels == m_capacity)
        return S_OK;
    if (levels > m_capacity) {
        ReserveFor(levels);
    } else {
        while (Count() > levels) {
            HRESULT hr = RemoveOldest();
            if (FAILED(hr))
                return hr;
        }
    }
    m_capacity = levels;
    return S_OK;
}

HRESULT CUndoHistory::Clear()
{
    MV_ASSERT_UI_THREAD();
    if (m_commands.empty())
        return S_FALSE;
    for (CCommand* command : m_commands)
        delete command;
    m_commands.clear();
    m_done = 0;
    return S_OK;
}
