// What one take collects for one pattern before it is written into the song:
// a take pattern of its own (a free MIDI pattern of the real pattern's
// duration, owned by the buffer) into which recorded events go first. Owned by the recorder; UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class CPattern;

class CRecBuffer {
public:
    // A buffer whose take pattern has the real pattern's duration.
    // E_POINTER for a null pattern or out.
    static HRESULT Create(const CPattern* real, CRecBuffer** buffer);
    ~CRecBuffer();
    CRecBuffer(const CRecBuffer&) = delete;
    CRecBuffer& operator=(const CRecBuffer&) = delete;

    CPattern* GetTakePattern() const { return m_take; }
    // The first event's time and the take pattern's length; both -1 and
    // S_FALSE for an empty take. E_POINTER for a null `end`.
    HRESULT GetFirstEventTimes(LONG* first, LONG* end) const;

    // The take created the real pattern.
    BOOL newPattern = FALSE;
    // The first event of the take reached this buffer.
    BOOL firstEvent = FALSE;

private:
    explicit CRecBuffer(CPattern* take) : m_take(take) {}

    CPattern* m_take;
};
