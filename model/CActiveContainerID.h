// The document's active container (a channel, an aux bus or the main bus):
// kept only when the document holds it, else none (0xFFFF); a change also
// tells the document-state listeners, with the id as given. UI thread.
#pragma once

#include "model/CActiveIdHolder.h"

class CActiveContainerID : public CActiveIdHolder<SHORT> {
public:
    explicit CActiveContainerID(IActiveIdDocument* document)
        : CActiveIdHolder<SHORT>(document, static_cast<SHORT>(0xFFFF))
    {
    }

protected:
    bool IsHeld(SHORT id) override { return m_document->HasContainer(id) != FALSE; }
    HRESULT OnChanged(SHORT id) override { return m_document->NotifyActiveContainer(id); }
};
