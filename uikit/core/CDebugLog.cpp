#include "uikit/core/CDebugLog.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/win/WideString.h"

CDebugLog g_DebugLog;

CDebugLog::~CDebugLog()
{
    ShutdownDebugLog();
}

STDMETHODIMP CDebugLog::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IKelLogClientAdvise) {
        AddRef();
        *ppv = static_cast<IKelLogClientAdvise*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CDebugLog::AddRef()
{
    return ++m_refs;
}

STDMETHODIMP_(ULONG) CDebugLog::Release()
{
    return --m_refs;
}

STDMETHODIMP CDebugLog::OnLogClientGone(DWORD reserved)
{
    if (m_connected) {
        m_client->DropAdviseSink(this);
        m_client->Release();
        m_client = nullptr;
    }
    m_connected = FALSE;
    return S_OK;
}

int InitDebugLog(LPCWSTR productName)
{
    return 0;
}

int ShutdownDebugLog()
{
    return 1;
}

HRESULT RegisterLogSource(IKelLogClient* client, const char* name, DWORD* source)
{
    if (!client)
        return 0;
    std::u16string wide = mvwin::Utf8ToUtf16(name ? name : "");
    return client->RegisterSource(wide.c_str(), source);
}

HRESULT LogPrintf(IKelLogClient* client, DWORD source, const char* format, ...)
{
    if (!client || !format || client->IsSourceEnabled(source) != S_OK)
        return 0;
    va_list args;
    va_start(args, format);
    HRESULT hr = LogVPrintf(client, 0, source, format, args);
    va_end(args);
    return hr;
}

HRESULT LogVPrintf(IKelLogClient* client, DWORD reserved, DWORD source, const char* format, va_list args)
{
    if (!client || !format)
        return 0;
    char text[512];
    int length = std::vsnprintf(text, sizeof text, format, args);
    if (length < 0)
        return E_FAIL;
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), sizeof text - 1);
    std::u16string wide = mvwin::Utf8ToUtf16(std::string_view(text, n));
    return client->WriteText(source, wide.c_str());
}
