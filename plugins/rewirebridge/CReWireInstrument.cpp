#include "plugins/rewirebridge/CReWireInstrument.h"

namespace mvrewire {

CReWireInstrument::CReWireInstrument() : CInstrument("") {}

void CReWireInstrument::SetChannel(std::string name, std::map<LONG, std::string> notes, bool notesFailed)
{
    CAutoLock lock(&m_lock);
    m_used = !name.empty() || !notes.empty();
    m_name = std::move(name);
    m_noteNames = std::move(notes);
    m_notesFailed = notesFailed;
    DropLists();
}

HRESULT CReWireInstrument::GetNoteNames(LONG bank, LONG patch, mvsynth::IMfxNameList** list)
{
    {
        CAutoLock lock(&m_lock);
        if (m_notesFailed) {
            if (list)
                *list = nullptr;
            return E_FAIL;
        }
    }
    return CInstrument::GetNoteNames(bank, patch, list);
}

HRESULT CReWireInstrument::CreateNoteNames(LONG bank, LONG patch)
{
    CAutoLock lock(&m_lock);
    mvsynth::CStringMap*& slot = m_notes[NoteKey(bank, patch)];
    if (slot)
        return S_OK;
    if (HRESULT hr = MakeList(" Notes", kListSize, &slot); FAILED(hr))
        return hr;
    // The device names its notes the same in every bank and patch.
    for (const auto& [note, name] : m_noteNames)
        slot->SetName(static_cast<DWORD>(note), name);
    return S_OK;
}

}  // namespace mvrewire
