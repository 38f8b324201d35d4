#include "engine/CDataRenderer.h"

#include "engine/IRenderTargets.h"
#include "engine/ITransportDocument.h"

namespace {

template <class Call>
class CallVisitor final : public IRenderTargetVisitor {
public:
    explicit CallVisitor(Call& call) : m_call(call) {}
    HRESULT Visit(IRenderTarget* target) override { return target != nullptr ? m_call(target) : S_OK; }

private:
    Call& m_call;
};

}  // namespace

template <class Call>
HRESULT CDataRenderer::Broadcast(bool buses, Call call)
{
    IRenderTargets* targets = m_document != nullptr ? m_document->GetRenderTargets() : nullptr;
    if (targets == nullptr)
        return S_OK;
    try {
        CallVisitor<Call> visitor(call);
        HRESULT hr = targets->VisitChannels(visitor);
        if (FAILED(hr) || !buses)
            return hr;
        if (FAILED(hr = targets->VisitAuxBuses(visitor)))
            return hr;
        IRenderTarget* main = targets->GetMainBusTarget();
        return main != nullptr ? call(main) : S_OK;
    } catch (...) {
        // A receiver's fault must not unwind into the engine owner's
        // buffer entry.
        return E_UNEXPECTED;
    }
}

HRESULT CDataRenderer::Locate(LONG tick)
{
    return Broadcast(true, [tick](IRenderTarget* t) { return t->OnLocate(tick); });
}

HRESULT CDataRenderer::SetRecording(BOOL recording)
{
    return Broadcast(false, [recording](IRenderTarget* t) { return t->OnRecordingChanged(recording); });
}

HRESULT CDataRenderer::Stop(LONG tick)
{
    return Broadcast(true, [tick](IRenderTarget* t) { return t->OnStop(tick); });
}

HRESULT CDataRenderer::Start(LONG tick)
{
    return Broadcast(true, [tick](IRenderTarget* t) { return t->OnStart(tick); });
}

HRESULT CDataRenderer::Loop(LONG loopStart, LONG loopEnd)
{
    return Broadcast(true, [loopStart, loopEnd](IRenderTarget* t) { return t->OnLoop(loopStart, loopEnd); });
}

HRESULT CDataRenderer::BeginSpan(LONG tick)
{
    return Broadcast(false, [tick](IRenderTarget* t) { return t->ProcessLiveInput(tick); });
}

HRESULT CDataRenderer::Render(LONG fromTick, LONG toTick)
{
    return Broadcast(true, [fromTick, toTick](IRenderTarget* t) { return t->RenderSpan(fromTick, toTick); });
}
