#include "platform/ui/CDockState.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "platform/registry/Profile.h"
#include "platform/ui/CControlBar.h"
#include "platform/ui/SystemMetrics.h"

namespace {

constexpr char kMagic[4] = {'M', 'V', 'D', 'S'};
constexpr UINT kVersion = 1;
// Bounds that no real frame reaches: a state beyond them is damaged.
constexpr UINT kMaxBars = 256, kMaxDockBars = 4, kMaxEntries = 2 * kMaxBars + 2;
constexpr int kMaxCoordinate = 1 << 20;

class Writer {
public:
    void U32(UINT v)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<BYTE>(v >> (8 * i)));
    }
    void I32(int v) { U32(static_cast<UINT>(v)); }
    void Point(CPoint p) { I32(p.x); I32(p.y); }
    void Rect(const CRect& r) { I32(r.left); I32(r.top); I32(r.right); I32(r.bottom); }
    std::vector<BYTE> out;
};

class Reader {
public:
    Reader(const BYTE* d, std::size_t n) : data(d), size(n) {}
    bool U32(UINT& v)
    {
        if (size - pos < 4)
            return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<UINT>(data[pos + i]) << (8 * i);
        pos += 4;
        return true;
    }
    bool I32(int& v)
    {
        UINT u;
        if (!U32(u))
            return false;
        v = static_cast<int>(u);
        return v > -kMaxCoordinate && v < kMaxCoordinate;
    }
    bool Bool(BOOL& b)
    {
        UINT u;
        if (!U32(u) || u > 1)
            return false;
        b = u != 0;
        return true;
    }
    bool Point(CPoint& p) { return I32(p.x) && I32(p.y); }
    bool Rect(CRect& r) { return I32(r.left) && I32(r.top) && I32(r.right) && I32(r.bottom); }
    bool Magic()
    {
        if (size - pos < 4 || std::memcmp(data + pos, kMagic, 4) != 0)
            return false;
        pos += 4;
        return true;
    }
    bool AtEnd() const { return pos == size; }

private:
    const BYTE* data;
    std::size_t size;
    std::size_t pos = 0;
};

bool IsSide(UINT id)
{
    return id == AFX_IDW_DOCKBAR_TOP || id == AFX_IDW_DOCKBAR_LEFT || id == AFX_IDW_DOCKBAR_RIGHT ||
           id == AFX_IDW_DOCKBAR_BOTTOM;
}

std::string Section(LPCSTR profileName)
{
    return std::string(profileName ? profileName : "") + "-Summary";
}

}  // namespace

CDockState::CDockState()
    : m_rectDevice(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)),
      m_rectClip(m_rectDevice)
{
    m_sizeSaved = m_rectDevice.Size();
}

void CDockState::Clear()
{
    m_arrBarInfo.clear();
    m_arrDockBars.clear();
    m_sizeSaved = m_rectDevice.Size();
}

std::vector<BYTE> CDockState::Save() const
{
    Writer w;
    w.out.insert(w.out.end(), kMagic, kMagic + 4);
    w.U32(kVersion);
    w.I32(m_rectDevice.Width());
    w.I32(m_rectDevice.Height());
    w.U32(static_cast<UINT>(m_arrBarInfo.size()));
    for (const CControlBarInfo& b : m_arrBarInfo) {
        w.U32(b.m_nBarID);
        w.U32(b.m_bVisible ? 1 : 0);
        w.U32(b.m_bFloating ? 1 : 0);
        w.U32(b.m_bHorz ? 1 : 0);
        w.Point(b.m_pointPos);
        w.U32(b.m_uMRUDockID);
        w.Rect(b.m_rectMRUDockPos);
        w.U32(b.m_dwMRUFloatStyle);
        w.Point(b.m_ptMRUFloatPos);
    }
    w.U32(static_cast<UINT>(m_arrDockBars.size()));
    for (const CDockBarInfo& d : m_arrDockBars) {
        w.U32(d.m_nDockBarID);
        w.U32(static_cast<UINT>(d.m_arrBarID.size()));
        for (UINT id : d.m_arrBarID)
            w.U32(id);
    }
    return w.out;
}

BOOL CDockState::Load(const BYTE* data, std::size_t size)
{
    Clear();
    CDockState next;
    next.m_rectDevice = m_rectDevice;
    next.m_rectClip = m_rectClip;
    Reader r(data ? data : reinterpret_cast<const BYTE*>(""), data ? size : 0);
    UINT version = 0, count = 0;
    int cx = 0, cy = 0;
    if (!r.Magic() || !r.U32(version) || version != kVersion || !r.I32(cx) || !r.I32(cy) || cx <= 0 ||
        cy <= 0 || !r.U32(count) || count > kMaxBars)
        return FALSE;
    next.m_sizeSaved = CSize(cx, cy);
    std::set<UINT> ids;
    for (UINT i = 0; i < count; ++i) {
        CControlBarInfo b;
        if (!r.U32(b.m_nBarID) || b.m_nBarID == 0 || !ids.insert(b.m_nBarID).second || !r.Bool(b.m_bVisible) ||
            !r.Bool(b.m_bFloating) || !r.Bool(b.m_bHorz) || !r.Point(b.m_pointPos) || !r.U32(b.m_uMRUDockID) ||
            (b.m_uMRUDockID != 0 && !IsSide(b.m_uMRUDockID)) || !r.Rect(b.m_rectMRUDockPos) ||
            !r.U32(b.m_dwMRUFloatStyle) || !r.Point(b.m_ptMRUFloatPos))
            return FALSE;
        next.m_arrBarInfo.push_back(b);
    }
    if (!r.U32(count) || count > kMaxDockBars)
        return FALSE;
    std::set<UINT> sides, docked;
    for (UINT i = 0; i < count; ++i) {
        CDockBarInfo d;
        UINT entries = 0;
        if (!r.U32(d.m_nDockBarID) || !IsSide(d.m_nDockBarID) || !sides.insert(d.m_nDockBarID).second ||
            !r.U32(entries) || entries < 1 || entries > kMaxEntries)
            return FALSE;
        for (UINT e = 0; e < entries; ++e) {
            UINT id = 0;
            if (!r.U32(id))
                return FALSE;
            // Every entry names a listed bar that does not float, once.
            if (id != 0) {
                auto it = std::find_if(next.m_arrBarInfo.begin(), next.m_arrBarInfo.end(),
                                       [id](const CControlBarInfo& b) { return b.m_nBarID == id; });
                if (it == next.m_arrBarInfo.end() || it->m_bFloating || !docked.insert(id).second)
                    return FALSE;
            }
            d.m_arrBarID.push_back(id);
        }
        if (d.m_arrBarID.front() != 0 || d.m_arrBarID.back() != 0)
            return FALSE;
        next.m_arrDockBars.push_back(std::move(d));
    }
    if (!r.AtEnd())
        return FALSE;
    // A docked bar that no dock bar holds has no place to go back to.
    for (const CControlBarInfo& b : next.m_arrBarInfo)
        if (!b.m_bFloating && !docked.count(b.m_nBarID))
            return FALSE;
    m_arrBarInfo = std::move(next.m_arrBarInfo);
    m_arrDockBars = std::move(next.m_arrDockBars);
    m_sizeSaved = next.m_sizeSaved;
    return TRUE;
}

void CDockState::SaveState(LPCSTR profileName) const
{
    const std::vector<BYTE> bytes = Save();
    WriteProfileBinary(Section(profileName).c_str(), "DockState", bytes.data(), static_cast<UINT>(bytes.size()));
}

BOOL CDockState::LoadState(LPCSTR profileName)
{
    std::vector<BYTE> bytes;
    if (!GetProfileBinary(Section(profileName).c_str(), "DockState", bytes)) {
        Clear();
        return FALSE;
    }
    return Load(bytes.data(), bytes.size());
}

CPoint CDockState::ScalePoint(CPoint saved) const
{
    const CSize now = m_rectDevice.Size();
    CPoint p = saved;
    if (m_sizeSaved.cx > 0 && m_sizeSaved.cy > 0 && (now.cx != m_sizeSaved.cx || now.cy != m_sizeSaved.cy)) {
        p.x = static_cast<int>(static_cast<long long>(p.x) * now.cx / m_sizeSaved.cx);
        p.y = static_cast<int>(static_cast<long long>(p.y) * now.cy / m_sizeSaved.cy);
    }
    p.x = std::clamp<int>(p.x, m_rectClip.left, std::max(m_rectClip.left, m_rectClip.right - 1));
    p.y = std::clamp<int>(p.y, m_rectClip.top, std::max(m_rectClip.top, m_rectClip.bottom - 1));
    return p;
}
