#include "devices/CMidiSyncGuard.h"

#include "devices/CMidiSyncGen.h"
#include "platform/sync/ThreadAffinity.h"

namespace {
int g_openGuards = 0;
}

int CMidiSyncGuard::OpenCount() { return g_openGuards; }

CMidiSyncGuard::CMidiSyncGuard(CMidiSyncGen* generator)
    : m_generator(generator), m_wasRunning(generator && generator->IsRunning())
{
    MV_ASSERT_UI_THREAD();
    if (++g_openGuards == 1 && m_generator)
        m_generator->Stop();
}

CMidiSyncGuard::~CMidiSyncGuard()
{
    if (m_wasRunning && g_openGuards == 1 && m_generator)
        m_generator->Start();
    --g_openGuards;
}
