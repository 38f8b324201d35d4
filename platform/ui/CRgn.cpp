#include "platform/ui/CRgn.h"

#include "platform/ui/GdiImpl.h"

CRgn::CRgn() : CGdiObject(Region) {}
CRgn::~CRgn() = default;

CRgn::CRgn(const CRgn& other) : CGdiObject(Region)
{
    *this = other;
}

CRgn& CRgn::operator=(const CRgn& other)
{
    if (this != &other) {
        m_data = other.m_data ? std::make_unique<RegionData>(*other.m_data) : nullptr;
        m_created = other.m_created;
    }
    return *this;
}

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom)
{
    m_data = std::make_unique<RegionData>();
    if (right > left && bottom > top)
        m_data->region = QRegion(left, top, right - left, bottom - top);
    m_created = true;
    return TRUE;
}

BOOL CRgn::CreateRectRgnIndirect(LPCRECT r)
{
    return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : FALSE;
}

int CRgn::CombineRgn(const CRgn* a, const CRgn* b, int mode)
{
    if (!a || !a->m_data || (mode != RGN_COPY && (!b || !b->m_data)))
        return RGN_ERROR;
    QRegion r;
    switch (mode) {
    case RGN_AND: r = a->m_data->region & b->m_data->region; break;
    case RGN_OR: r = a->m_data->region | b->m_data->region; break;
    case RGN_XOR: r = a->m_data->region ^ b->m_data->region; break;
    case RGN_DIFF: r = a->m_data->region - b->m_data->region; break;
    case RGN_COPY: r = a->m_data->region; break;
    default: return RGN_ERROR;
    }
    if (!m_data)
        m_data = std::make_unique<RegionData>();
    m_data->region = r;
    m_created = true;
    return r.isEmpty() ? NULLREGION : r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

BOOL CRgn::PtInRegion(POINT p) const
{
    return m_data && m_data->region.contains(QPoint(p.x, p.y));
}

int CRgn::GetRgnBox(LPRECT rect) const
{
    if (!m_data)
        return RGN_ERROR;
    const QRect b = m_data->region.boundingRect();
    if (rect)
        *rect = RECT{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
    return m_data->region.isEmpty() ? NULLREGION
                                    : m_data->region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

void CRgn::OffsetRgn(int dx, int dy)
{
    if (m_data)
        m_data->region.translate(dx, dy);
}

BOOL CRgn::DeleteObject()
{
    m_data.reset();
    return CGdiObject::DeleteObject();
}
