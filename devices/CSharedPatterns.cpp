#include "devices/CSharedPatterns.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <strings.h>

#include "devices/CAppConfig.h"

namespace fs = std::filesystem;

namespace {

bool IsPatternFile(const std::string& name)
{
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".ptn") == 0;
}

}  // namespace

CSharedPatterns& CSharedPatterns::Instance()
{
    static CSharedPatterns list;
    return list;
}

void CSharedPatterns::Clear()
{
    m_midi.clear();
    m_audio.clear();
    m_unreadable.clear();
}

HRESULT CSharedPatterns::Refresh()
{
    Clear();
    const CString midi = CAppConfig::GetMidiPatternsFolder();
    const CString audio = CAppConfig::GetAudioPatternsFolder();
    m_sameFolder = strcasecmp(midi.GetString(), audio.GetString()) == 0;
    if (!m_sameFolder)
        ScanFolder(FALSE);
    ScanFolder(TRUE);
    return S_OK;
}

HRESULT CSharedPatterns::ScanFolder(BOOL midi)
{
    std::vector<std::string>& list = midi ? m_midi : m_audio;
    list.clear();
    const CString folder = midi ? CAppConfig::GetMidiPatternsFolder() : CAppConfig::GetAudioPatternsFolder();
    std::error_code ec;
    fs::directory_iterator it(folder.GetString(), ec);
    if (ec)
        return S_OK;
    std::set<std::string> names;
    for (const fs::directory_entry& entry : it) {
        const std::string file = entry.path().filename().string();
        if (file.empty() || file[0] == '.' || !IsPatternFile(file) || entry.is_directory(ec))
            continue;
        if (!entry.is_regular_file(ec) || !std::ifstream(entry.path(), std::ios::binary)) {
            m_unreadable.push_back(entry.path().string());
            continue;
        }
        std::string name = file.substr(0, file.size() - 4);
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        names.insert(name);
    }
    list.assign(names.begin(), names.end());
    return S_OK;
}

int CSharedPatterns::GetCount(BOOL midi) const { return static_cast<int>((midi ? m_midi : m_audio).size()); }

HRESULT CSharedPatterns::GetName(BOOL midi, int index, CString* name) const
{
    const std::vector<std::string>& list = midi ? m_midi : m_audio;
    if (index < 0 || index >= static_cast<int>(list.size()))
        return E_INVALIDARG;
    if (name)
        *name = list[static_cast<std::size_t>(index)].c_str();
    return S_OK;
}
