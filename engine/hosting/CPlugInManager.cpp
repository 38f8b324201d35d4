#include "engine/hosting/CPlugInManager.h"

#include <algorithm>
#include <cstring>

#include "platform/com/TaskMemory.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/Guid.h"

namespace {

constexpr const char* kExcludedKey = "Software\\Varnholt Music Software\\ExcludedPlugIns";
// The program's own instrument family keeps its full names in every menu.
constexpr const char* kNeverGrouped = "Morvane Quorlanth";
constexpr std::size_t kRegistryStringBytes = 260;

std::vector<CLSID> g_excluded;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Bytes of multi-byte UTF-8 characters count as letters, so a word of any
// script stays whole.
bool IsWordChar(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

int CompareNoCase(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        const int lx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
        const int ly = (y >= 'A' && y <= 'Z') ? y + 32 : y;
        if (lx != ly)
            return lx - ly;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Whether two neighbouring names belong together: equal from the start up
// to a place where both have white space. `common` is the length of their
// equal beginning, counted past that place to the first difference.
bool NamesMatch(const std::string& a, const std::string& b, std::size_t& common)
{
    bool sharedSpace = false;
    std::size_t i = 0;
    const std::size_t n = std::min(a.size(), b.size());
    for (; i < n; ++i) {
        if (IsSpace(a[i]) && IsSpace(b[i]))
            sharedSpace = true;
        if (a[i] != b[i])
            break;
    }
    common = i;
    return sharedSpace;
}

}  // namespace

CPlugInManager::CPlugInManager() = default;

CPlugInManager::~CPlugInManager() = default;

BOOL CPlugInManager::Initialize()
{
    return 1;
}

void CPlugInManager::Destroy()
{
    DeleteAll();
    delete this;
}

void CPlugInManager::DeleteAll()
{
    m_plugIns.clear();
}

bool CPlugInManager::LoadExclusionList()
{
    MV_ASSERT_UI_THREAD();
    g_excluded.clear();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kExcludedKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return true;

    DWORD reset = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof reset;
    if (RegQueryValueExA(key, "Reset", nullptr, &type, reinterpret_cast<BYTE*>(&reset), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof reset && reset != 0) {
        RegCloseKey(key);
        RegDeleteTreeA(HKEY_CURRENT_USER, kExcludedKey);
        return true;
    }

    bool ok = true;
    for (DWORD i = 0;; ++i) {
        char name[kRegistryStringBytes];
        DWORD length = sizeof name;
        const LONG err = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_NO_MORE_ITEMS)
            break;
        CLSID clsid{};
        if (err != ERROR_SUCCESS || !mvwin::GuidFromString(std::string_view(name, length), clsid)) {
            ok = false;
            break;
        }
        g_excluded.push_back(clsid);
    }
    RegCloseKey(key);
    return ok;
}

bool CPlugInManager::IsExcluded(REFCLSID clsid)
{
    return std::find(g_excluded.begin(), g_excluded.end(), clsid) != g_excluded.end();
}

const std::vector<CLSID>& CPlugInManager::GetExclusionList()
{
    return g_excluded;
}

CRegPlugIn* CPlugInManager::GetPlugIn(int index) const
{
    return IsValidIndex(index) ? m_plugIns[static_cast<std::size_t>(index)].get() : nullptr;
}

void CPlugInManager::InsertSorted(std::unique_ptr<CRegPlugIn> plugIn)
{
    auto at = std::find_if(m_plugIns.begin(), m_plugIns.end(), [&](const std::unique_ptr<CRegPlugIn>& r) {
        return CompareNoCase(r->GetName(), plugIn->GetName()) >= 0;
    });
    m_plugIns.insert(at, std::move(plugIn));
}

// Neighbours whose names share leading words become one group: the shared
// words are its title, and each member's item text is the rest of its name.
// A title always ends with the last letter or digit of a whole word; a group
// whose title would leave a member with nothing to show stays as it was.
void CPlugInManager::GroupNames()
{
    std::vector<CRegPlugIn*> eligible;
    for (const auto& r : m_plugIns)
        if (r->GetName().compare(0, std::strlen(kNeverGrouped), kNeverGrouped) != 0)
            eligible.push_back(r.get());

    std::size_t start = 0;
    while (start < eligible.size()) {
        std::size_t end = start + 1;
        std::size_t cut = std::string::npos;
        std::size_t common = 0;
        while (end < eligible.size() && NamesMatch(eligible[end - 1]->GetName(), eligible[end]->GetName(), common)) {
            cut = std::min(cut, common);
            ++end;
        }
        if (end - start >= 2) {
            std::vector<CRegPlugIn*> members(eligible.begin() + static_cast<std::ptrdiff_t>(start),
                                             eligible.begin() + static_cast<std::ptrdiff_t>(end));
            const std::string& first = members.front()->GetName();
            // The cut falls on a word's end only when every name ends or
            // has white space there; otherwise step back over the partial
            // word.
            const bool wordEnd = std::all_of(members.begin(), members.end(), [&](CRegPlugIn* m) {
                return cut >= m->GetName().size() || IsSpace(m->GetName()[cut]);
            });
            if (!wordEnd)
                while (cut > 0 && !IsSpace(first[cut - 1]))
                    --cut;
            while (cut > 0 && !IsWordChar(first[cut - 1]))
                --cut;

            std::vector<std::string> items;
            bool fits = cut >= 1;
            for (CRegPlugIn* m : members) {
                const std::string& name = m->GetName();
                if (!fits || cut >= name.size()) {
                    fits = false;
                    break;
                }
                std::size_t from = cut;
                while (from < name.size() && !IsWordChar(name[from]))
                    ++from;
                if (from == name.size()) {
                    fits = false;
                    break;
                }
                items.push_back(name.substr(from));
            }
            if (fits) {
                auto title = std::make_shared<const std::string>(first.substr(0, cut));
                for (std::size_t i = 0; i < members.size(); ++i)
                    members[i]->JoinGroup(title, std::move(items[i]));
            }
        }
        start = end;
    }
}

void CPlugInManager::BuildMenu(CMenuModel& menu, const std::string& popupTitle, const std::string& placeholderText,
                               UINT firstCommandId) const
{
    MV_ASSERT_UI_THREAD();
    if (menu.FindItem(popupTitle) >= 0)
        return;
    const int placeholder = menu.FindItem(placeholderText);
    if (placeholder < 0)
        return;
    if (m_plugIns.empty()) {
        menu.RemoveItem(placeholder);
        return;
    }

    auto popup = std::make_unique<CMenuModel>();
    int singles = 0;
    bool groups = false;
    std::unique_ptr<CMenuModel> subMenu;
    const CRegPlugIn* groupHead = nullptr;
    auto closeGroup = [&] {
        if (subMenu) {
            popup->AppendPopup(groupHead->GetGroupName(), std::move(subMenu));
            groups = true;
        }
        groupHead = nullptr;
    };

    for (std::size_t i = 0; i < m_plugIns.size(); ++i) {
        const CRegPlugIn& r = *m_plugIns[i];
        if (r.GetHidden())
            continue;
        const UINT id = firstCommandId + static_cast<UINT>(i);
        if (groupHead && r.SharesGroupWith(*groupHead)) {
            subMenu->AppendCommand(id, r.GetName());
            continue;
        }
        const bool grouped = std::any_of(m_plugIns.begin(), m_plugIns.end(), [&](const auto& other) {
            return other.get() != &r && r.SharesGroupWith(*other);
        });
        if (grouped) {
            // A single entry between members (a name never grouped) leaves
            // the group open, so its members stay in one sub-menu.
            closeGroup();
            groupHead = &r;
            subMenu = std::make_unique<CMenuModel>();
            subMenu->AppendCommand(id, r.GetName());
        } else {
            popup->InsertCommand(singles++, id, r.GetGroupName());
        }
    }
    closeGroup();
    if (singles > 0 && groups)
        popup->InsertSeparator(singles);
    menu.ReplaceWithPopup(placeholder, popupTitle, std::move(popup));
}

std::string CPlugInManager::FitText(std::string text, std::size_t bufferBytes)
{
    if (bufferBytes == 0)
        return {};
    if (text.size() < bufferBytes)
        return text;
    std::size_t n = bufferBytes - 1;
    // Step back off continuation bytes so no character is cut in two.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    text.resize(n);
    return text;
}

HRESULT CPlugInManager::ReadRegistryString(HKEY key, LPCSTR valueName, LPSTR* text)
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return E_FAIL;
    std::string value(size, '\0');
    if (size > 0 &&
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
            ERROR_SUCCESS)
        return E_FAIL;
    value.resize(std::strlen(value.c_str()));
    value = FitText(std::move(value), kRegistryStringBytes);
    auto* copy = static_cast<LPSTR>(CoTaskMemAlloc(value.size() + 1));
    if (!copy)
        return E_OUTOFMEMORY;
    std::memcpy(copy, value.c_str(), value.size() + 1);
    *text = copy;
    return S_OK;
}

std::string CPlugInManager::ReadRegistryText(HKEY key, LPCSTR valueName)
{
    LPSTR text = nullptr;
    if (!key || FAILED(ReadRegistryString(key, valueName, &text)))
        return {};
    std::string result(text);
    CoTaskMemFree(text);
    return result;
}
