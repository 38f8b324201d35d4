// The document's active pattern: kept only when the document holds the
// pattern, else none (0xFFFF). UI thread.
#pragma once

#include "model/CActiveIdHolder.h"

class CActivePatternID : public CActiveIdHolder<SHORT> {
public:
    explicit CActivePatternID(IActiveIdDocument* document)
        : CActiveIdHolder<SHORT>(document, static_cast<SHORT>(0xFFFF))
    {
    }

protected:
    bool IsHeld(SHORT id) override { return m_document->HasPattern(id) != FALSE; }
};
