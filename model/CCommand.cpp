#include "model/CCommand.h"

#include "model/CUndoHistory.h"

CCommand::CCommand(const char* name, DWORD hint, BOOL updateViews, BOOL modifiesDocument)
    : m_modifiesDocument(modifiesDocument), m_updateViews(updateViews), m_hint(hint), m_name(name)
{
}

CCommand::~CCommand() { DeleteSteps(); }

HRESULT CCommand::UndoSteps(bool rollBack)
{
    HRESULT hr = S_OK;
    for (int i = GetStepCount() - 1; i >= 0; --i) {
        hr = m_steps[static_cast<std::size_t>(i)]->Undo();
        if (FAILED(hr)) {
            if (rollBack)
                for (int j = i + 1; j < GetStepCount(); ++j)
                    m_steps[static_cast<std::size_t>(j)]->Redo();
            return hr;
        }
    }
    return hr;
}

HRESULT CCommand::RedoSteps(bool rollBack)
{
    HRESULT hr = S_OK;
    for (int i = 0; i < GetStepCount(); ++i) {
        hr = m_steps[static_cast<std::size_t>(i)]->Redo();
        if (FAILED(hr)) {
            if (rollBack)
                for (int j = i - 1; j >= 0; --j)
                    m_steps[static_cast<std::size_t>(j)]->Undo();
            return hr;
        }
    }
    return hr;
}

void CCommand::DeleteSteps()
{
    for (CUndoStep* step : m_steps)
        delete step;
    m_steps.clear();
}

HRESULT CCommand::Undo() { return UndoSteps(true); }

HRESULT CCommand::Redo() { return RedoSteps(true); }

HRESULT CCommand::AddStep(CUndoStep* step)
{
    if (step == nullptr)
        return E_INVALIDARG;
    try {
        m_steps.push_back(step);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CCommand::Commit(CUndoHistory* history)
{
    return history != nullptr ? history->AddCommand(this) : E_POINTER;
}

HRESULT CCommand::Abort()
{
    // No roll-back here: the steps are about to go, and a prefix of them that
    // could not be undone is still a consistent state.
    HRESULT hr = UndoSteps(false);
    DeleteSteps();
    return hr;
}

HRESULT CCommand::AbortAndDelete()
{
    HRESULT hr = Abort();
    delete this;
    return hr;
}
