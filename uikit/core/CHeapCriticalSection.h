// The program's lock type: a critical section held on the heap. Every lock of
// the document, channels, buses, transport, timer service, devices and
// recorder is one. The UI thread enters; audio-thread paths only try.
#pragma once

#include "platform/sync/CriticalSection.h"

class CHeapCriticalSection {
public:
    CHeapCriticalSection();
    ~CHeapCriticalSection();
    CHeapCriticalSection(const CHeapCriticalSection&) = delete;
    CHeapCriticalSection& operator=(const CHeapCriticalSection&) = delete;

    void Lock() { EnterCriticalSection(m_cs); }
    void Unlock() { LeaveCriticalSection(m_cs); }
    // Audio thread: no allocation, no blocking.
    bool TryLock() { return TryEnterCriticalSection(m_cs) != FALSE; }
    CRITICAL_SECTION* Get() const { return m_cs; }

private:
    CRITICAL_SECTION* m_cs;
};
