#include "model/CMvCommand.h"

#include <new>

#include "model/CUndoHistory.h"

namespace {

struct OpenCommandRecord {
    CMvCommand* command = nullptr;
    int depth = 0;
};

OpenCommandRecord g_open;

}  // namespace

CMvCommand::CMvCommand(ICommandDocument* document, const char* name, DWORD hint, BOOL updateViews,
                       BOOL modifiesDocument)
    : CCommand(name, hint, updateViews, modifiesDocument), m_document(document)
{
}

CMvCommand::~CMvCommand() { CloseIfOpen(); }

CMvCommand* CMvCommand::GetOpenCommand() { return g_open.command; }

int CMvCommand::GetOpenDepth() { return g_open.depth; }

void CMvCommand::CloseIfOpen()
{
    if (g_open.command == this)
        g_open = OpenCommandRecord{};
}

CMvCommand* BeginProjectCommand(ICommandDocument* document, const char* name, DWORD hint, BOOL updateViews,
                                BOOL modifiesDocument)
{
    if (CMvCommand* open = g_open.command) {
        try {
            const CString& name = open->m_name;
            if (name.IsEmpty() || name[name.GetLength() - 1] != '+')
                open->m_name += '+';
        } catch (...) {
            return nullptr;
        }
        ++g_open.depth;
        ++open->m_levels;
        return open;
    }
    CMvCommand* command = nullptr;
    try {
        command = new CMvCommand(document, name, hint, updateViews, modifiesDocument);
    } catch (...) {
        return nullptr;
    }
    command->m_levels = 1;
    g_open.command = command;
    g_open.depth = 1;
    return command;
}

HRESULT CMvCommand::AnnounceActiveContainer()
{
    if (m_document == nullptr)
        return S_OK;
    SHORT active = m_document->GetActiveContainer();
    // With nothing active there is nothing to announce (the document refuses
    // the "none" id).
    if (active == ICommandDocument::kNoId)
        return S_OK;
    return m_document->SetActiveContainer(active, FALSE, nullptr);
}

HRESULT CMvCommand::Refresh()
{
    if (m_document == nullptr)
        return S_OK;
    HRESULT hr = m_document->ResetInstanceCursors(ICommandDocument::kNoId);
    if (SUCCEEDED(hr))
        hr = m_document->RefreshActiveSelection();
    if (SUCCEEDED(hr))
        hr = AnnounceActiveContainer();
    return hr;
}

HRESULT CMvCommand::RecalcAndRefresh()
{
    if (m_document == nullptr)
        return S_OK;
    HRESULT hr = m_document->RecalcSongLength();
    return SUCCEEDED(hr) ? Refresh() : hr;
}

HRESULT CMvCommand::Walk(bool undo)
{
    HRESULT hr = undo ? CCommand::Undo() : CCommand::Redo();
    if (FAILED(hr))
        return hr;
    HRESULT refreshed = RecalcAndRefresh();
    if (FAILED(refreshed)) {
        // The history keeps a command that fails where it was: put the model
        // back to match.
        if (undo)
            CCommand::Redo();
        else
            CCommand::Undo();
        RecalcAndRefresh();
        return refreshed;
    }
    return hr;
}

HRESULT CMvCommand::Undo() { return Walk(true); }

HRESULT CMvCommand::Redo() { return Walk(false); }

HRESULT CMvCommand::AddStep(CUndoStep* step) { return m_aborted ? E_ABORT : CCommand::AddStep(step); }

HRESULT CMvCommand::RollBackAndDelete(HRESULT failure)
{
    CCommand::Abort();
    if (m_document != nullptr)
        m_document->RecalcSongLength();
    delete this;
    return failure;
}

HRESULT CMvCommand::Commit(CUndoHistory* history)
{
    if (m_aborted) {
        // An inner operation aborted the command; only its beginner deletes it.
        if (--m_levels <= 0)
            delete this;
        return E_ABORT;
    }
    if (m_levels > 1) {
        --m_levels;
        if (g_open.command == this)
            --g_open.depth;
        return S_FALSE;
    }
    m_levels = 0;
    CloseIfOpen();
    if (m_document != nullptr) {
        HRESULT hr = m_document->RecalcSongLength();
        if (FAILED(hr))
            return RollBackAndDelete(hr);
    }
    HRESULT hr = CCommand::Commit(history);
    if (FAILED(hr))
        return RollBackAndDelete(hr);
    // The history owns the command now; a failing refresh is reported but
    // leaves it there.
    hr = Refresh();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CMvCommand::Abort()
{
    CloseIfOpen();
    m_aborted = true;
    return CCommand::Abort();
}

HRESULT CMvCommand::AbortAndDelete()
{
    HRESULT hr = Abort();
    if (--m_levels <= 0)
        delete this;
    return hr;
}
