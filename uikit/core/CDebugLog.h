// The program's diagnostic-log connection point.
//
// Code that writes diagnostics takes the log client from the global
// g_DebugLog and passes it to the logging calls below. The client would be an
// outside log component; this program connects none, so the client is always
// null and every logging call returns 0 and does nothing. The calls still
// work with a client, so one can be attached without touching the callers.
//
// Called at start-up (UI thread) and by the threads that build the reference
// clock and MIDI sync objects; without a client nothing is shared.
#pragma once

#include <atomic>
#include <cstdarg>

#include "platform/com/Unknown.h"
#include "platform/win/Guid.h"
#include "platform/win/WinTypes.h"

MV_DEFINE_GUID(IID_IKelLogClientAdvise, 0xE3369462, 0x2F19, 0x43DB, 0xB1, 0xD1, 0xB7, 0x2A, 0xBB, 0xF7, 0xBF,
               0xA9);

// The sink through which a log client says it is going away.
struct IKelLogClientAdvise : IUnknown {
    STDMETHOD(OnLogClientGone)(DWORD reserved) = 0;
};

// What the logging calls need of a log client.
struct IKelLogClient : IUnknown {
    // Registers a named source ("ReferenceClock") and gives its handle.
    STDMETHOD(RegisterSource)(LPCWSTR name, DWORD* source) = 0;
    // S_OK when messages of the source are wanted.
    STDMETHOD(IsSourceEnabled)(DWORD source) = 0;
    STDMETHOD(WriteText)(DWORD source, LPCWSTR text) = 0;
    // Forgets an advise sink.
    STDMETHOD(DropAdviseSink)(IKelLogClientAdvise* sink) = 0;
};

class CDebugLog : public IKelLogClientAdvise {
public:
    CDebugLog() = default;
    ~CDebugLog();
    CDebugLog(const CDebugLog&) = delete;
    CDebugLog& operator=(const CDebugLog&) = delete;

    // IUnknown: the object lives as long as the program; Release never deletes it.
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // Drops a connected client; S_OK.
    STDMETHOD(OnLogClientGone)(DWORD reserved) override;

    IKelLogClient* GetClient() const { return m_client; }

private:
    BOOL m_connected = FALSE;
    IKelLogClient* m_client = nullptr;
    std::atomic<ULONG> m_refs{1};
};

// The one log connection of the process, built before start-up.
extern CDebugLog g_DebugLog;

// Connects no client: 0.
int InitDebugLog(LPCWSTR productName);
// 1.
int ShutdownDebugLog();

// Registers a named source with the client; its result, and the handle in
// `source`. 0 without a client, leaving `source` as it was.
HRESULT RegisterLogSource(IKelLogClient* client, const char* name, DWORD* source);
// Writes a printf-style message when the client wants the source; 0 without
// a client, without a format, or when the source is not wanted.
HRESULT LogPrintf(IKelLogClient* client, DWORD source, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Formats into at most 511 bytes (a longer message is cut there) and hands
// the text to the client; its result. 0 without a client or format.
HRESULT LogVPrintf(IKelLogClient* client, DWORD reserved, DWORD source, const char* format, va_list args);
