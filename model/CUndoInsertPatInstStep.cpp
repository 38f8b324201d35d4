#include "model/CUndoInsertPatInstStep.h"

CUndoInsertPatInstStep::CUndoInsertPatInstStep(ISongDocument* document,
                                               CUndoContainer<int, CPatternInstance>& timeline, int index,
                                               const CPatternInstance& instance)
    : CUndoInsertStep<int, CPatternInstance>(timeline, index, instance), m_document(document),
      m_instanceId(instance.GetInstanceId())
{
}

HRESULT CUndoInsertPatInstStep::Undo()
{
    m_remembered = m_document ? m_document->GetActiveInstance() : ISongDocument::kNoInstance;
    const HRESULT hr = CUndoInsertStep::Undo();
    if (FAILED(hr) || m_document == nullptr || m_remembered != m_instanceId)
        return hr;
    // The active instance is gone from the timeline.
    return m_document->SetActiveInstance(ISongDocument::kNoInstance, nullptr);
}

HRESULT CUndoInsertPatInstStep::Redo()
{
    const HRESULT hr = CUndoInsertStep::Redo();
    if (FAILED(hr) || m_document == nullptr)
        return hr;
    return m_document->SetActiveInstance(m_remembered, nullptr);
}
