// The library's own COM entry points, over the same table its plug-in
// libraries fill.
#include "CActiveMovieManager.h"
#include "platform/com/InprocServer.h"

MV_COM_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return CActiveMovieManager::GetClassObject(clsid, riid, ppv);
}

MV_COM_EXPORT HRESULT DllCanUnloadNow() { return CActiveMovieManager::CanUnloadNow(); }
