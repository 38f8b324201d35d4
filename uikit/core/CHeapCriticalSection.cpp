#include "uikit/core/CHeapCriticalSection.h"

CHeapCriticalSection::CHeapCriticalSection() : m_cs(new CRITICAL_SECTION)
{
    InitializeCriticalSection(m_cs);
}

CHeapCriticalSection::~CHeapCriticalSection()
{
    if (!m_cs)
        return;
    DeleteCriticalSection(m_cs);
    delete m_cs;
    // A store in a destructor is dead to the optimiser; written through a
    // volatile lvalue it stays, so that a stray use of a destroyed lock
    // meets a null section at once rather than freed memory.
    *static_cast<CRITICAL_SECTION* volatile*>(&m_cs) = nullptr;
}
