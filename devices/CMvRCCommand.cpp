#include "devices/CMvRCCommand.h"

#include <atomic>
#include <new>

#include "model/IKelPersist.h"

namespace {

struct CommandRow {
    LONG id;
    const char* name;
};

// The main window's transport commands.
constexpr CommandRow kRows[CMvRCCommand::kCommands] = {
    {-1, "Invalid"},     {32779, "Rewind"},       {32801, "Play / Stop"},
    {32828, "Jog Back"}, {32829, "Jog Forward"},  {32851, "Record"},
};

std::atomic<IRCCommandSink*> g_sink{nullptr};

}  // namespace

CMvRCCommand::CMvRCCommand(CMidiInputRouter* router)
    : CRCTarget(router), CKelPersistObject(MakeKelVersionWord(kMajor, 0))
{
}

HRESULT CMvRCCommand::Create(CMidiInputRouter* router, CMvRCCommand** out)
{
    if (!out)
        return E_POINTER;
    *out = new (std::nothrow) CMvRCCommand(router);
    return *out ? S_OK : E_OUTOFMEMORY;
}

LONG CMvRCCommand::CommandIdAt(int index) { return index >= 0 && index < kCommands ? kRows[index].id : -1; }

int CMvRCCommand::IndexOf(LONG commandId)
{
    for (int i = 1; i < kCommands; ++i)
        if (kRows[i].id == commandId)
            return i;
    return 0;
}

const char* CMvRCCommand::GetCommandName(LONG commandId)
{
    const int i = IndexOf(commandId);
    return i == 0 ? "" : kRows[i].name;
}

void CMvRCCommand::SetCommandSink(IRCCommandSink* sink) { g_sink = sink; }

HRESULT CMvRCCommand::SetCommand(LONG commandId)
{
    m_index = IndexOf(commandId);
    return m_index == 0 ? E_FAIL : S_OK;
}

HRESULT CMvRCCommand::SetState(CMidiMsg*, bool)
{
    if (m_index == 0)
        return S_OK;
    if (IRCCommandSink* sink = g_sink.load())
        sink->PostCommand(static_cast<UINT>(kRows[m_index].id) & 0xFFFF);
    return S_OK;
}

STDMETHODIMP CMvRCCommand::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    if (HRESULT hr = PersistTarget(archive); FAILED(hr))
        return hr;
    BYTE index = static_cast<BYTE>(m_index);
    if (HRESULT hr = archive->PersistBytes(sizeof index, &index); FAILED(hr))
        return hr;
    // A stored index past the table is "Invalid", never a row beyond it.
    m_index = index < kCommands ? index : 0;
    return S_OK;
}
