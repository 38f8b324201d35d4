// The document's active pattern instance: kept only when some channel
// timeline holds the instance, else none (-1). UI thread.
#pragma once

#include "model/CActiveIdHolder.h"

class CActivePatternInstanceID : public CActiveIdHolder<LONG> {
public:
    explicit CActivePatternInstanceID(IActiveIdDocument* document) : CActiveIdHolder<LONG>(document, -1) {}

protected:
    bool IsHeld(LONG id) override { return m_document->HasInstance(static_cast<DWORD>(id)) != FALSE; }
};
