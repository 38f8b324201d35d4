// A library that registers a class for itself but exports no
// DllGetClassObject (and no DllUnregisterServer): creating its class must
// fail cleanly. $MVTEST_REGISTER_RESULT, when set, is what
// DllRegisterServer returns instead of registering, so regsvr's report of a
// failing entry point can be seen.
#include <cstdlib>
#include <string>

#include "platform/com/InprocServer.h"
#include "tests/platform/com/servers/CounterServer.h"

namespace {
const int g_marker = 0;
}

MV_COM_EXPORT HRESULT DllRegisterServer()
{
    if (const char* forced = std::getenv("MVTEST_REGISTER_RESULT"))
        return static_cast<HRESULT>(std::strtoul(forced, nullptr, 0));
    std::string path = mvcom::ModulePathOf(&g_marker);
    return mvcom::RegisterInprocServer(CLSID_TestEntryless, "Morvane Test Entryless", path.c_str());
}

MV_COM_EXPORT HRESULT DllCanUnloadNow()
{
    return S_OK;
}
