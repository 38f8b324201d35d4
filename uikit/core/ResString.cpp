#include "uikit/core/ResString.h"

#include <atomic>

namespace {

constexpr unsigned kBufferCount = 32;
constexpr int kBufferSize = 256;

char g_buffers[kBufferCount][kBufferSize];
std::atomic<unsigned> g_next{0};

}  // namespace

const char* LoadResStringFrom(HINSTANCE module, UINT id)
{
    char* buffer = g_buffers[g_next.fetch_add(1) % kBufferCount];
    LoadStringA(module, id, buffer, kBufferSize);
    return buffer;
}

const char* LoadResString(UINT id)
{
    return LoadResStringFrom(AfxGetResourceHandle(), id);
}

bool GetModuleVersionString(HINSTANCE module, const char* key, CString& out)
{
    out.Empty();
    if (!key)
        return false;
    CString path = CString("\\StringFileInfo\\040904b0\\") + key;
    const char* value = nullptr;
    if (!mvres::QueryVersionValue(module, path, &value))
        return false;
    out = value;
    return true;
}
