#include "platform/ui/CDC.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstring>
#include <map>
#include <strings.h>

#include "platform/ui/CWnd.h"
#include "platform/ui/CWndImpl.h"
#include "platform/ui/DcImpl.h"
#include "platform/ui/QtBridge.h"
#include "platform/ui/SystemMetrics.h"

namespace {

QRgb ToRgb(COLORREF c)
{
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF FromRgb(QRgb p)
{
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

// A binary raster operation on 24-bit colour words: bit i of (rop - 1) is
// the result for pen bit (i >> 1) and destination bit (i & 1).
std::uint32_t Rop2(int rop, std::uint32_t p, std::uint32_t d)
{
    const std::uint32_t t = static_cast<std::uint32_t>(rop - 1);
    std::uint32_t r = 0;
    if (t & 1) r |= ~p & ~d;
    if (t & 2) r |= ~p & d;
    if (t & 4) r |= p & ~d;
    if (t & 8) r |= p & d;
    return r & 0xFFFFFF;
}

// A ternary raster operation: bit i of the operation's index is the result
// for pattern bit (i >> 2), source bit ((i >> 1) & 1), destination bit (i & 1).
std::uint32_t Rop3(DWORD rop, std::uint32_t p, std::uint32_t s, std::uint32_t d)
{
    const std::uint32_t idx = (rop >> 16) & 0xFF;
    std::uint32_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((idx >> i) & 1))
            continue;
        r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r & 0xFFFFFF;
}

bool RopUsesSource(DWORD rop)
{
    const std::uint32_t idx = (rop >> 16) & 0xFF;
    return ((idx >> 2) & 0x33) != (idx & 0x33);
}

bool RopUsesPattern(DWORD rop)
{
    const std::uint32_t idx = (rop >> 16) & 0xFF;
    return ((idx >> 4) & 0x0F) != (idx & 0x0F);
}

QRect QR(const RECT& r)
{
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// Bresenham without the last point, as GDI draws lines.
template <class Plot>
void Line(QPoint a, QPoint b, Plot plot)
{
    int x = a.x(), y = a.y();
    const int dx = std::abs(b.x() - x), dy = -std::abs(b.y() - y);
    const int sx = x < b.x() ? 1 : -1, sy = y < b.y() ? 1 : -1;
    int err = dx + dy;
    while (x != b.x() || y != b.y()) {
        plot(x, y);
        const int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x += sx; }
        if (e2 <= dx) { err += dx; y += sy; }
    }
}

bool DashOn(int style, int n)
{
    switch (style) {
    case PS_DASH: return n % 24 < 18;
    case PS_DOT: return n % 6 < 3;
    case PS_DASHDOT: { const int m = n % 24; return m < 9 || (m >= 15 && m < 18); }
    default: return true;
    }
}

// The colour of a brush at a device pixel.
struct BrushSampler {
    const CBrush& brush;
    QPoint origin;
    COLORREF text;
    COLORREF bk;
    std::uint32_t At(int x, int y) const
    {
        switch (brush.Style()) {
        case BS_PATTERN: {
            const QImage& img = brush.Pattern().Data()->image;
            const int w = img.width(), h = img.height();
            const int px = ((x - origin.x()) % w + w) % w, py = ((y - origin.y()) % h + h) % h;
            const QRgb p = img.pixel(px, py);
            if (brush.Pattern().IsMonochrome())
                return (p & 0xFFFFFF) ? ToRgb(bk) & 0xFFFFFF : ToRgb(text) & 0xFFFFFF;
            return p & 0xFFFFFF;
        }
        case BS_HATCHED: {
            const int px = ((x - origin.x()) % 8 + 8) % 8, py = ((y - origin.y()) % 8 + 8) % 8;
            bool on = false;
            switch (brush.Hatch()) {
            case HS_HORIZONTAL: on = py == 4; break;
            case HS_VERTICAL: on = px == 4; break;
            case HS_FDIAGONAL: on = px == py; break;
            case HS_BDIAGONAL: on = px == 7 - py; break;
            case HS_CROSS: on = px == 4 || py == 4; break;
            default: on = px == py || px == 7 - py; break;
            }
            return (on ? ToRgb(brush.Colour()) : ToRgb(bk)) & 0xFFFFFF;
        }
        default: return ToRgb(brush.Colour()) & 0xFFFFFF;
        }
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// DcImpl

QImage* DcImpl::Target() const
{
    switch (kind) {
    case Window: {
        CWndImpl* w = mvui::ImplOf(hwnd);
        return w ? &w->surface : nullptr;
    }
    case Memory: return bitmap ? &bitmap->image : nullptr;
    default: return nullptr;
    }
}

QPoint DcImpl::Base() const
{
    if (kind == Window && !wholeWindow)
        if (CWndImpl* w = mvui::ImplOf(hwnd))
            return QPoint(w->clientRect.left, w->clientRect.top);
    return QPoint(0, 0);
}

QRegion DcImpl::Clip() const
{
    QImage* t = Target();
    QRegion r = t ? QRegion(0, 0, t->width(), t->height()) : QRegion();
    if (kind == Window && !wholeWindow)
        if (CWndImpl* w = mvui::ImplOf(hwnd))
            r &= QR(w->clientRect);
    if (hasPaintClip)
        r &= paintClip;
    if (s.hasClip)
        r &= s.clip;
    return r;
}

namespace {

// Logs one call when it is made from outside the context's own methods.
class Scope {
public:
    Scope(DcImpl* d, const char* op, CRect rect = CRect(), COLORREF colour = CLR_INVALID,
          DWORD flags = 0, const char* text = nullptr, int count = -1)
        : m_d(d)
    {
        if (d->depth++ == 0 && d->log) {
            DcCall call;
            call.op = op;
            call.rect = rect;
            call.colour = colour;
            call.flags = flags;
            if (text)
                call.text = count < 0 ? CString(text) : CString(text, count);
            d->log->push_back(call);
        }
    }
    ~Scope() { --m_d->depth; }

private:
    DcImpl* m_d;
};

// Draws a shape's coverage (white on black) into a mask of the device
// bounds, then combines covered pixels with the destination.
template <class Draw, class Colour>
void Raster(DcImpl& d, QRect bounds, int rop, Draw draw, Colour colour)
{
    QImage* t = d.Target();
    if (!t || bounds.isEmpty())
        return;
    const QRegion clip = d.Clip() & bounds;
    if (clip.isEmpty())
        return;
    QImage mask(bounds.size(), QImage::Format_RGB32);
    mask.fill(Qt::black);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.translate(-bounds.topLeft());
        draw(p, mask, bounds.topLeft());
    }
    for (const QRect& r : clip) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(t->scanLine(y));
            const auto* m = reinterpret_cast<const QRgb*>(mask.constScanLine(y - bounds.top()));
            for (int x = r.left(); x <= r.right(); ++x) {
                if (!(m[x - bounds.left()] & 0xFF))
                    continue;
                row[x] = 0xFF000000 | Rop2(rop, colour(x, y), row[x] & 0xFFFFFF);
            }
        }
    }
}

void FillDevice(DcImpl& d, QRect r, const CBrush& brush, int rop)
{
    if (brush.Style() == BS_NULL || r.isEmpty())
        return;
    BrushSampler bs{brush, d.s.brushOrg, d.s.text, d.s.bk};
    Raster(d, r, rop, [&](QPainter& p, QImage&, QPoint) { p.fillRect(r, Qt::white); },
           [&](int x, int y) { return bs.At(x, y); });
}

// Pixel-exact one-pixel pen lines through the points (the last point left out).
void PenPath(DcImpl& d, const std::vector<QPoint>& pts)
{
    const CPen& pen = d.s.pen;
    if (pen.Style() == PS_NULL || pts.size() < 2)
        return;
    QRect bounds;
    for (const QPoint& p : pts)
        bounds |= QRect(p, QSize(1, 1));
    const int w = std::max(1, pen.Width());
    bounds.adjust(-w, -w, w, w);
    const std::uint32_t colour = ToRgb(pen.Colour()) & 0xFFFFFF;
    Raster(d, bounds, d.s.rop2,
           [&](QPainter& p, QImage& mask, QPoint origin) {
               if (w <= 1) {
                   int n = 0;
                   for (std::size_t i = 1; i < pts.size(); ++i)
                       Line(pts[i - 1], pts[i], [&](int x, int y) {
                           if (DashOn(pen.Style(), n++))
                               mask.setPixel(x - origin.x(), y - origin.y(), 0xFFFFFFFF);
                       });
               } else {
                   QPen qp(Qt::white, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
                   p.setPen(qp);
                   p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
               }
           },
           [&](int, int) { return colour; });
}

}  // namespace

// ---------------------------------------------------------------------------
// CDC

CDC::CDC() : m_impl(std::make_unique<DcImpl>())
{
    m_hDC = reinterpret_cast<HDC>(this);
    m_impl->s.pen = *static_cast<CPen*>(GetStockObject(BLACK_PEN));
    m_impl->s.penSel = static_cast<CPen*>(GetStockObject(BLACK_PEN));
    m_impl->s.brush = *static_cast<CBrush*>(GetStockObject(WHITE_BRUSH));
    m_impl->s.brushSel = static_cast<CBrush*>(GetStockObject(WHITE_BRUSH));
    m_impl->s.font = *static_cast<CFont*>(GetStockObject(SYSTEM_FONT));
    m_impl->s.fontSel = static_cast<CFont*>(GetStockObject(SYSTEM_FONT));
}

CDC::~CDC()
{
    // What was drawn outside a paint pass reaches the screen with the next frame.
    if (m_impl->kind == DcImpl::Window)
        if (CWndImpl* w = mvui::ImplOf(m_impl->hwnd); w && !w->painting)
            if (QWidget* widget = mvui::WindowWidget(m_impl->hwnd))
                widget->update();
}

void CDC::AttachWindow(CWnd* wnd, bool wholeWindow)
{
    m_impl->kind = DcImpl::Window;
    m_impl->hwnd = wnd ? wnd->m_hWnd : nullptr;
    m_impl->wholeWindow = wholeWindow;
    m_impl->log = CDcRecorder::LogFor(m_impl->hwnd);
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    m_impl->kind = DcImpl::Memory;
    m_impl->log = dc ? dc->m_impl->log : nullptr;
    return TRUE;
}

BOOL CDC::CreateDC(LPCSTR, LPCSTR, LPCSTR, const void*)
{
    m_impl->kind = DcImpl::RecordOnly;
    m_impl->log = nullptr;
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    m_impl->kind = DcImpl::Unbound;
    m_impl->bitmap.reset();
    m_impl->bitmapSel = nullptr;
    return TRUE;
}

void CDC::RecordInto(std::vector<DcCall>* log)
{
    m_impl->log = log;
}

std::vector<DcCall>* CDC::Recording() const
{
    return m_impl->log;
}

CPen* CDC::SelectObject(CPen* pen)
{
    CPen* old = m_impl->s.penSel;
    if (pen) {
        m_impl->s.pen = *pen;
        m_impl->s.penSel = pen;
    }
    return old;
}

CBrush* CDC::SelectObject(CBrush* brush)
{
    CBrush* old = m_impl->s.brushSel;
    if (brush) {
        m_impl->s.brush = *brush;
        m_impl->s.brushSel = brush;
    }
    return old;
}

CFont* CDC::SelectObject(CFont* font)
{
    CFont* old = m_impl->s.fontSel;
    if (font) {
        m_impl->s.font = *font;
        m_impl->s.fontSel = font;
    }
    return old;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap)
{
    CBitmap* old = m_impl->bitmapSel;
    if (bitmap && m_impl->kind == DcImpl::Memory) {
        m_impl->bitmap = bitmap->Data();
        m_impl->bitmapSel = bitmap;
    }
    return old;
}

int CDC::SelectObject(CRgn* region)
{
    return SelectClipRgn(region);
}

CGdiObject* CDC::SelectStockObject(int index)
{
    CGdiObject* o = GetStockObject(index);
    if (!o)
        return nullptr;
    switch (o->GetKind()) {
    case CGdiObject::Pen: return SelectObject(static_cast<CPen*>(o));
    case CGdiObject::Brush: return SelectObject(static_cast<CBrush*>(o));
    case CGdiObject::Font: return SelectObject(static_cast<CFont*>(o));
    default: return nullptr;
    }
}

CFont* CDC::GetCurrentFont() const { return m_impl->s.fontSel; }
CPen* CDC::GetCurrentPen() const { return m_impl->s.penSel; }
CBrush* CDC::GetCurrentBrush() const { return m_impl->s.brushSel; }
CBitmap* CDC::GetCurrentBitmap() const { return m_impl->bitmapSel; }

COLORREF CDC::SetTextColor(COLORREF c) { return std::exchange(m_impl->s.text, c); }
COLORREF CDC::GetTextColor() const { return m_impl->s.text; }
COLORREF CDC::SetBkColor(COLORREF c) { return std::exchange(m_impl->s.bk, c); }
COLORREF CDC::GetBkColor() const { return m_impl->s.bk; }
int CDC::SetBkMode(int mode) { return std::exchange(m_impl->s.bkMode, mode); }
int CDC::GetBkMode() const { return m_impl->s.bkMode; }

int CDC::SetROP2(int rop)
{
    if (rop < R2_BLACK || rop > R2_WHITE)
        return 0;
    return std::exchange(m_impl->s.rop2, rop);
}

int CDC::GetROP2() const { return m_impl->s.rop2; }
UINT CDC::SetTextAlign(UINT align) { return std::exchange(m_impl->s.textAlign, align); }
int CDC::SetStretchBltMode(int) { return COLORONCOLOR; }

CPoint CDC::SetViewportOrg(int x, int y)
{
    const QPoint old = std::exchange(m_impl->s.viewport, QPoint(x, y));
    return CPoint(old.x(), old.y());
}

CPoint CDC::OffsetViewportOrg(int dx, int dy)
{
    const QPoint old = m_impl->s.viewport;
    m_impl->s.viewport += QPoint(dx, dy);
    return CPoint(old.x(), old.y());
}

CPoint CDC::GetViewportOrg() const
{
    return CPoint(m_impl->s.viewport.x(), m_impl->s.viewport.y());
}

CPoint CDC::SetBrushOrg(int x, int y)
{
    const QPoint old = std::exchange(m_impl->s.brushOrg, QPoint(x, y));
    return CPoint(old.x(), old.y());
}

HPALETTE CDC::SelectPalette(HPALETTE palette, BOOL)
{
    static HPALETTE current = nullptr;
    return std::exchange(current, palette);
}

UINT CDC::RealizePalette() { return 0; }

int CDC::SaveDC()
{
    m_impl->saved.push_back(m_impl->s);
    return static_cast<int>(m_impl->saved.size());
}

BOOL CDC::RestoreDC(int saved)
{
    auto& stack = m_impl->saved;
    const int n = static_cast<int>(stack.size());
    const int index = saved < 0 ? n + saved : saved - 1;
    if (index < 0 || index >= n)
        return FALSE;
    m_impl->s = stack[static_cast<std::size_t>(index)];
    stack.resize(static_cast<std::size_t>(index));
    return TRUE;
}

namespace {
int RegionKind(const QRegion& r)
{
    return r.isEmpty() ? NULLREGION : r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
}  // namespace

int CDC::IntersectClipRect(int l, int t, int r, int b)
{
    const QRect dev(m_impl->ToDevice(l, t), QSize(std::max(0, r - l), std::max(0, b - t)));
    m_impl->s.clip = m_impl->s.hasClip ? m_impl->s.clip & dev : QRegion(dev);
    m_impl->s.hasClip = true;
    return RegionKind(m_impl->Clip());
}

int CDC::IntersectClipRect(LPCRECT rect)
{
    return rect ? IntersectClipRect(rect->left, rect->top, rect->right, rect->bottom) : RGN_ERROR;
}

int CDC::ExcludeClipRect(int l, int t, int r, int b)
{
    const QRect dev(m_impl->ToDevice(l, t), QSize(std::max(0, r - l), std::max(0, b - t)));
    QRegion base = m_impl->s.hasClip ? m_impl->s.clip : QRegion(0, 0, 1 << 15, 1 << 15);
    m_impl->s.clip = base - dev;
    m_impl->s.hasClip = true;
    return RegionKind(m_impl->Clip());
}

int CDC::ExcludeClipRect(LPCRECT rect)
{
    return rect ? ExcludeClipRect(rect->left, rect->top, rect->right, rect->bottom) : RGN_ERROR;
}

int CDC::SelectClipRgn(CRgn* region)
{
    if (!region || !region->Data()) {
        m_impl->s.hasClip = false;
        m_impl->s.clip = QRegion();
    } else {
        // A selected region is in device units, relative to the context's own origin.
        m_impl->s.clip = region->Data()->region.translated(m_impl->Base());
        m_impl->s.hasClip = true;
    }
    return RegionKind(m_impl->Clip());
}

int CDC::GetClipBox(LPRECT rect) const
{
    const QRegion clip = m_impl->kind == DcImpl::RecordOnly ? QRegion(0, 0, 1 << 15, 1 << 15) : m_impl->Clip();
    const QRect b = clip.boundingRect().translated(-m_impl->s.viewport - m_impl->Base());
    if (rect)
        *rect = RECT{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
    return RegionKind(clip);
}

BOOL CDC::RectVisible(LPCRECT rect) const
{
    if (!rect)
        return FALSE;
    if (m_impl->kind == DcImpl::RecordOnly)
        return TRUE;
    const QRect dev(m_impl->ToDevice(rect->left, rect->top),
                    QSize(rect->right - rect->left, rect->bottom - rect->top));
    return m_impl->Clip().intersects(dev);
}

BOOL CDC::PtVisible(int x, int y) const
{
    return m_impl->kind == DcImpl::RecordOnly || m_impl->Clip().contains(m_impl->ToDevice(x, y));
}

CPoint CDC::MoveTo(int x, int y)
{
    Scope scope(m_impl.get(), "MoveTo", CRect(x, y, x, y));
    const QPoint old = std::exchange(m_impl->s.current, QPoint(x, y));
    return CPoint(old.x(), old.y());
}

CPoint CDC::GetCurrentPosition() const
{
    return CPoint(m_impl->s.current.x(), m_impl->s.current.y());
}

BOOL CDC::LineTo(int x, int y)
{
    const QPoint from = m_impl->s.current;
    Scope scope(m_impl.get(), "LineTo", CRect(from.x(), from.y(), x, y), m_impl->s.pen.Colour(),
                static_cast<DWORD>(m_impl->s.rop2));
    PenPath(*m_impl, {m_impl->ToDevice(from.x(), from.y()), m_impl->ToDevice(x, y)});
    m_impl->s.current = QPoint(x, y);
    return TRUE;
}

BOOL CDC::Polyline(const POINT* points, int count)
{
    if (!points || count < 2)
        return FALSE;
    Scope scope(m_impl.get(), "Polyline", CRect(points[0].x, points[0].y, points[count - 1].x, points[count - 1].y),
                m_impl->s.pen.Colour(), static_cast<DWORD>(m_impl->s.rop2));
    std::vector<QPoint> pts;
    for (int i = 0; i < count; ++i)
        pts.push_back(m_impl->ToDevice(points[i].x, points[i].y));
    PenPath(*m_impl, pts);
    return TRUE;
}

BOOL CDC::Polygon(const POINT* points, int count)
{
    if (!points || count < 2)
        return FALSE;
    Scope scope(m_impl.get(), "Polygon", CRect(), m_impl->s.brush.Colour(), static_cast<DWORD>(m_impl->s.rop2));
    QPolygon poly;
    std::vector<QPoint> pts;
    for (int i = 0; i < count; ++i) {
        poly << m_impl->ToDevice(points[i].x, points[i].y);
        pts.push_back(poly.back());
    }
    pts.push_back(pts.front());
    if (m_impl->s.brush.Style() != BS_NULL) {
        BrushSampler bs{m_impl->s.brush, m_impl->s.brushOrg, m_impl->s.text, m_impl->s.bk};
        Raster(*m_impl, poly.boundingRect(), m_impl->s.rop2,
               [&](QPainter& p, QImage&, QPoint) {
                   p.setPen(Qt::NoPen);
                   p.setBrush(Qt::white);
                   p.drawPolygon(poly, Qt::OddEvenFill);
               },
               [&](int x, int y) { return bs.At(x, y); });
    }
    PenPath(*m_impl, pts);
    return TRUE;
}

BOOL CDC::Rectangle(int l, int t, int r, int b)
{
    Scope scope(m_impl.get(), "Rectangle", CRect(l, t, r, b), m_impl->s.brush.Colour(),
                static_cast<DWORD>(m_impl->s.rop2));
    const bool pen = m_impl->s.pen.Style() != PS_NULL;
    const QPoint o = m_impl->ToDevice(l, t);
    const int w = r - l, h = b - t;
    if (w <= 0 || h <= 0)
        return TRUE;
    // Inside the pen's frame; with no pen the fill stops one short at right and bottom.
    const QRect inner = pen ? QRect(o.x() + 1, o.y() + 1, w - 2, h - 2) : QRect(o.x(), o.y(), w - 1, h - 1);
    FillDevice(*m_impl, inner, m_impl->s.brush, m_impl->s.rop2);
    if (pen) {
        const int x2 = o.x() + w - 1, y2 = o.y() + h - 1;
        PenPath(*m_impl, {o, QPoint(x2, o.y()), QPoint(x2, y2), QPoint(o.x(), y2), o});
    }
    return TRUE;
}

BOOL CDC::Rectangle(LPCRECT rect)
{
    return rect ? Rectangle(rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

BOOL CDC::Ellipse(int l, int t, int r, int b)
{
    Scope scope(m_impl.get(), "Ellipse", CRect(l, t, r, b), m_impl->s.brush.Colour(),
                static_cast<DWORD>(m_impl->s.rop2));
    const QPoint o = m_impl->ToDevice(l, t);
    const QRect box(o, QSize(r - l - 1, b - t - 1));
    if (r - l <= 1 || b - t <= 1)
        return TRUE;
    if (m_impl->s.brush.Style() != BS_NULL) {
        BrushSampler bs{m_impl->s.brush, m_impl->s.brushOrg, m_impl->s.text, m_impl->s.bk};
        Raster(*m_impl, box.adjusted(0, 0, 1, 1), m_impl->s.rop2,
               [&](QPainter& p, QImage&, QPoint) {
                   p.setPen(Qt::NoPen);
                   p.setBrush(Qt::white);
                   p.drawEllipse(box);
               },
               [&](int x, int y) { return bs.At(x, y); });
    }
    if (m_impl->s.pen.Style() != PS_NULL) {
        const std::uint32_t colour = ToRgb(m_impl->s.pen.Colour()) & 0xFFFFFF;
        const int w = std::max(1, m_impl->s.pen.Width());
        Raster(*m_impl, box.adjusted(-w, -w, w + 1, w + 1), m_impl->s.rop2,
               [&](QPainter& p, QImage&, QPoint) {
                   p.setPen(QPen(Qt::white, w == 1 ? 0 : w));
                   p.setBrush(Qt::NoBrush);
                   p.drawEllipse(box);
               },
               [&](int, int) { return colour; });
    }
    return TRUE;
}

BOOL CDC::Ellipse(LPCRECT rect)
{
    return rect ? Ellipse(rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

void CDC::FillRect(LPCRECT rect, CBrush* brush)
{
    if (!rect || !brush)
        return;
    Scope scope(m_impl.get(), "FillRect", *rect, brush->Colour());
    const QPoint o = m_impl->ToDevice(rect->left, rect->top);
    FillDevice(*m_impl, QRect(o, QSize(rect->right - rect->left, rect->bottom - rect->top)), *brush,
               R2_COPYPEN);
}

void CDC::FillSolidRect(LPCRECT rect, COLORREF colour)
{
    if (!rect)
        return;
    Scope scope(m_impl.get(), "FillSolidRect", *rect, colour);
    // As the framework does it: the background colour stays set to the fill.
    SetBkColor(colour);
    ExtTextOut(rect->left, rect->top, ETO_OPAQUE, rect, "", 0);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF colour)
{
    const CRect r(x, y, x + cx, y + cy);
    FillSolidRect(&r, colour);
}

void CDC::FrameRect(LPCRECT rect, CBrush* brush)
{
    if (!rect || !brush)
        return;
    Scope scope(m_impl.get(), "FrameRect", *rect, brush->Colour());
    const CRect r(*rect);
    if (r.IsRectEmpty())
        return;
    { const CRect e(r.left, r.top, r.right, r.top + 1); FillRect(&e, brush); }
    { const CRect e(r.left, r.bottom - 1, r.right, r.bottom); FillRect(&e, brush); }
    { const CRect e(r.left, r.top, r.left + 1, r.bottom); FillRect(&e, brush); }
    { const CRect e(r.right - 1, r.top, r.right, r.bottom); FillRect(&e, brush); }
}

void CDC::Draw3dRect(LPCRECT rect, COLORREF tl, COLORREF br)
{
    if (!rect)
        return;
    Draw3dRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, tl, br);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF tl, COLORREF br)
{
    Scope scope(m_impl.get(), "Draw3dRect", CRect(x, y, x + cx, y + cy), tl);
    FillSolidRect(x, y, cx - 1, 1, tl);
    FillSolidRect(x, y, 1, cy - 1, tl);
    FillSolidRect(x + cx, y, -1, cy, br);
    FillSolidRect(x, y + cy, cx, -1, br);
}

BOOL CDC::DrawFrameControl(LPRECT rect, UINT type, UINT state)
{
    if (!rect || (type != DFC_CAPTION && type != DFC_BUTTON))
        return FALSE;
    Scope scope(m_impl.get(), "DrawFrameControl", *rect, CLR_INVALID, (type << 16) | state);
    CRect r(*rect);
    const bool pushed = (state & DFCS_PUSHED) != 0;
    FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
    DrawEdge(&r, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    if (type != DFC_CAPTION)
        return TRUE;
    // Marlett: 'r' close, '0' minimise, '1' maximise.
    const char glyph = (state & 0xF) == DFCS_CAPTIONMIN ? '0' : (state & 0xF) == DFCS_CAPTIONMAX ? '1' : 'r';
    const int cell = std::max(4, std::min(r.Width(), r.Height()) - 4);
    LOGFONT lf{};
    lf.lfHeight = -cell;
    std::strcpy(lf.lfFaceName, "Marlett");
    CFont font;
    font.CreateFontIndirect(&lf);
    const int saved = SaveDC();
    SelectObject(&font);
    SetBkMode(TRANSPARENT);
    SetTextColor(GetSysColor(state & DFCS_INACTIVE ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    const int offset = pushed ? 1 : 0;
    TextOut(r.left + (r.Width() - cell) / 2 + offset, r.top + (r.Height() - cell) / 2 + offset, &glyph, 1);
    RestoreDC(saved);
    return TRUE;
}

BOOL CDC::DrawEdge(LPRECT rect, UINT edge, UINT flags)
{
    if (!rect)
        return FALSE;
    Scope scope(m_impl.get(), "DrawEdge", *rect, CLR_INVALID, (edge & 0xF) | (flags << 8));
    CRect r(*rect);
    const COLORREF saved = GetBkColor();
    const bool soft = flags & BF_SOFT;
    auto sys = [](int i) { return GetSysColor(i); };
    // Outer then inner border: (top-left colour, bottom-right colour).
    struct Pair {
        int tl;
        int br;
    };
    std::vector<Pair> rings;
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) {
        if (edge & BDR_RAISEDOUTER)
            rings.push_back({soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT, COLOR_3DDKSHADOW});
        else
            rings.push_back({soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT});
    }
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
        if (edge & BDR_RAISEDINNER)
            rings.push_back({soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW});
        else
            rings.push_back({soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW, COLOR_3DLIGHT});
    }
    for (const Pair& p : rings) {
        if (r.IsRectEmpty())
            break;
        const COLORREF tl = (flags & BF_MONO) ? sys(COLOR_WINDOWFRAME) : sys(p.tl);
        const COLORREF br = (flags & BF_MONO) ? sys(COLOR_WINDOWFRAME) : sys(p.br);
        if (flags & BF_LEFT) FillSolidRect(r.left, r.top, 1, r.Height(), tl);
        if (flags & BF_TOP) FillSolidRect(r.left, r.top, r.Width(), 1, tl);
        if (flags & BF_RIGHT) FillSolidRect(r.right - 1, r.top, 1, r.Height(), br);
        if (flags & BF_BOTTOM) FillSolidRect(r.left, r.bottom - 1, r.Width(), 1, br);
        if (flags & BF_LEFT) ++r.left;
        if (flags & BF_TOP) ++r.top;
        if (flags & BF_RIGHT) --r.right;
        if (flags & BF_BOTTOM) --r.bottom;
    }
    if ((flags & BF_MIDDLE) && !r.IsRectEmpty())
        FillSolidRect(&r, sys(COLOR_BTNFACE));
    SetBkColor(saved);
    if (flags & BF_ADJUST)
        *rect = r;
    return TRUE;
}

void CDC::InvertRect(LPCRECT rect)
{
    if (!rect)
        return;
    Scope scope(m_impl.get(), "InvertRect", *rect);
    PatBlt(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, DSTINVERT);
}

void CDC::DrawFocusRect(LPCRECT rect)
{
    if (!rect)
        return;
    Scope scope(m_impl.get(), "DrawFocusRect", *rect);
    const QPoint o = m_impl->ToDevice(rect->left, rect->top);
    const int w = rect->right - rect->left, h = rect->bottom - rect->top;
    if (w <= 0 || h <= 0)
        return;
    const QRect box(o, QSize(w, h));
    Raster(*m_impl, box, R2_XORPEN,
           [&](QPainter&, QImage& mask, QPoint origin) {
               for (int x = 0; x < w; ++x) {
                   if (((o.x() + x + o.y()) & 1) == 0) mask.setPixel(x, 0, 0xFFFFFFFF);
                   if (((o.x() + x + o.y() + h - 1) & 1) == 0) mask.setPixel(x, h - 1, 0xFFFFFFFF);
               }
               for (int y = 1; y < h - 1; ++y) {
                   if (((o.x() + o.y() + y) & 1) == 0) mask.setPixel(0, y, 0xFFFFFFFF);
                   if (((o.x() + w - 1 + o.y() + y) & 1) == 0) mask.setPixel(w - 1, y, 0xFFFFFFFF);
               }
               (void)origin;
           },
           [](int, int) { return 0xFFFFFFu; });
}

COLORREF CDC::SetPixel(int x, int y, COLORREF colour)
{
    Scope scope(m_impl.get(), "SetPixel", CRect(x, y, x + 1, y + 1), colour);
    QImage* t = m_impl->Target();
    const QPoint p = m_impl->ToDevice(x, y);
    if (!t || !m_impl->Clip().contains(p))
        return CLR_INVALID;
    t->setPixel(p, ToRgb(colour));
    return colour;
}

COLORREF CDC::GetPixel(int x, int y) const
{
    QImage* t = m_impl->Target();
    const QPoint p = m_impl->ToDevice(x, y);
    if (!t || !t->rect().contains(p))
        return CLR_INVALID;
    return FromRgb(t->pixel(p));
}

BOOL CDC::PatBlt(int x, int y, int width, int height, DWORD rop)
{
    Scope scope(m_impl.get(), "PatBlt", CRect(x, y, x + width, y + height), m_impl->s.brush.Colour(), rop);
    QImage* t = m_impl->Target();
    if (!t)
        return m_impl->kind == DcImpl::RecordOnly;
    QRect dev(m_impl->ToDevice(x, y), QSize(width, height));
    dev = dev.normalized();
    const QRegion clip = m_impl->Clip() & dev;
    BrushSampler bs{m_impl->s.brush, m_impl->s.brushOrg, m_impl->s.text, m_impl->s.bk};
    const bool pattern = RopUsesPattern(rop) && m_impl->s.brush.Style() != BS_NULL;
    for (const QRect& r : clip)
        for (int yy = r.top(); yy <= r.bottom(); ++yy) {
            auto* row = reinterpret_cast<QRgb*>(t->scanLine(yy));
            for (int xx = r.left(); xx <= r.right(); ++xx) {
                const std::uint32_t p = pattern ? bs.At(xx, yy) : 0;
                row[xx] = 0xFF000000 | Rop3(rop, p, 0, row[xx] & 0xFFFFFF);
            }
        }
    return TRUE;
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, DWORD rop)
{
    if (!src || !RopUsesSource(rop))
        return PatBlt(x, y, width, height, rop);
    return StretchBlt(x, y, width, height, src, xSrc, ySrc, width, height, rop);
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, int wSrc,
                     int hSrc, DWORD rop)
{
    Scope scope(m_impl.get(), "BitBlt", CRect(x, y, x + width, y + height), CLR_INVALID, rop);
    if (!src || !RopUsesSource(rop))
        return PatBlt(x, y, width, height, rop);
    QImage* t = m_impl->Target();
    QImage* s = src->m_impl->Target();
    if (!t || !s)
        return m_impl->kind == DcImpl::RecordOnly;
    if (width == 0 || height == 0 || wSrc == 0 || hSrc == 0)
        return TRUE;
    const bool mono = src->m_impl->kind == DcImpl::Memory && src->m_impl->bitmap && src->m_impl->bitmap->mono;
    const QPoint sOrigin = src->m_impl->ToDevice(xSrc, ySrc);
    const QRect dev = QRect(m_impl->ToDevice(x, y), QSize(std::abs(width), std::abs(height)));
    const QRegion clip = m_impl->Clip() & dev;
    BrushSampler bs{m_impl->s.brush, m_impl->s.brushOrg, m_impl->s.text, m_impl->s.bk};
    const bool pattern = RopUsesPattern(rop) && m_impl->s.brush.Style() != BS_NULL;
    const std::uint32_t fore = ToRgb(m_impl->s.text) & 0xFFFFFF, back = ToRgb(m_impl->s.bk) & 0xFFFFFF;
    // Source and destination may be one image: read from a copy of the source part.
    const QRect srcRect(sOrigin, QSize(std::abs(wSrc), std::abs(hSrc)));
    const QImage from = s->copy(srcRect);
    for (const QRect& r : clip)
        for (int yy = r.top(); yy <= r.bottom(); ++yy) {
            auto* row = reinterpret_cast<QRgb*>(t->scanLine(yy));
            const int sy = (yy - dev.top()) * std::abs(hSrc) / dev.height();
            for (int xx = r.left(); xx <= r.right(); ++xx) {
                const int sx = (xx - dev.left()) * std::abs(wSrc) / dev.width();
                std::uint32_t sp = 0;
                if (sx >= 0 && sy >= 0 && sx < from.width() && sy < from.height())
                    sp = from.pixel(sx, sy) & 0xFFFFFF;
                if (mono)
                    sp = sp ? back : fore;
                const std::uint32_t p = pattern ? bs.At(xx, yy) : 0;
                row[xx] = 0xFF000000 | Rop3(rop, p, sp, row[xx] & 0xFFFFFF);
            }
        }
    return TRUE;
}

BOOL CDC::AlphaBlend(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, int wSrc,
                     int hSrc, BLENDFUNCTION blend)
{
    Scope scope(m_impl.get(), "AlphaBlend", CRect(x, y, x + width, y + height), CLR_INVALID,
                blend.SourceConstantAlpha);
    QImage* t = m_impl->Target();
    QImage* s = src ? src->m_impl->Target() : nullptr;
    if (!t || !s)
        return m_impl->kind == DcImpl::RecordOnly;
    QPainter p(t);
    p.setClipRegion(m_impl->Clip());
    p.setOpacity(blend.SourceConstantAlpha / 255.0);
    const QPoint so = src->m_impl->ToDevice(xSrc, ySrc);
    p.drawImage(QRect(m_impl->ToDevice(x, y), QSize(width, height)), s->copy(QRect(so, QSize(wSrc, hSrc))));
    return TRUE;
}

BOOL CDC::TransparentBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, int wSrc,
                         int hSrc, UINT key)
{
    Scope scope(m_impl.get(), "TransparentBlt", CRect(x, y, x + width, y + height), key);
    QImage* t = m_impl->Target();
    QImage* s = src ? src->m_impl->Target() : nullptr;
    if (!t || !s)
        return m_impl->kind == DcImpl::RecordOnly;
    if (width <= 0 || height <= 0 || wSrc <= 0 || hSrc <= 0)
        return FALSE;
    const QImage from = s->copy(QRect(src->m_impl->ToDevice(xSrc, ySrc), QSize(wSrc, hSrc)));
    const QRect dev(m_impl->ToDevice(x, y), QSize(width, height));
    const std::uint32_t k = ToRgb(key) & 0xFFFFFF;
    for (const QRect& r : m_impl->Clip() & dev)
        for (int yy = r.top(); yy <= r.bottom(); ++yy) {
            auto* row = reinterpret_cast<QRgb*>(t->scanLine(yy));
            const int sy = (yy - dev.top()) * hSrc / height;
            for (int xx = r.left(); xx <= r.right(); ++xx) {
                const QRgb sp = from.pixel((xx - dev.left()) * wSrc / width, sy);
                if ((sp & 0xFFFFFF) != k)
                    row[xx] = 0xFF000000 | sp;
            }
        }
    return TRUE;
}

// ---------------------------------------------------------------------------
// Text

namespace {

// Drops the '&' marks of a prefixed text ("&&" stays one '&') and says which
// character to underline (-1 for none).
QString StripPrefix(const QString& in, int* underline)
{
    QString out;
    *underline = -1;
    for (int i = 0; i < in.size(); ++i) {
        if (in[i] == '&' && i + 1 < in.size()) {
            ++i;
            if (in[i] != '&' && *underline < 0)
                *underline = static_cast<int>(out.size());
        }
        out += in[i];
    }
    return out;
}

QString ExpandTabs(const QString& in, const QFontMetrics& fm)
{
    if (!in.contains('\t'))
        return in;
    const int spaces = std::max(1, 8 * fm.averageCharWidth() / std::max(1, fm.horizontalAdvance(' ')));
    QString out = in;
    out.replace('\t', QString(spaces, ' '));
    return out;
}

// The symbol face of window captions and scroll arrows is drawn here: its
// glyphs are shapes, one square cell of the font's pixel size each.
bool IsSymbolFace(const LOGFONT& lf)
{
    return strcasecmp(lf.lfFaceName, "Marlett") == 0;
}

int SymbolCell(const LOGFONT& lf)
{
    return std::max(4, static_cast<int>(std::abs(lf.lfHeight ? lf.lfHeight : 13)));
}

void DrawSymbols(QPainter& p, QPoint at, const QString& text, int cell, QColor colour)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const int m = std::max(1, cell / 5);  // margin inside the cell
    const int stroke = std::max(1, cell / 8);
    for (int i = 0; i < text.size(); ++i) {
        const QRect c(at.x() + i * cell, at.y(), cell, cell);
        const QRect in = c.adjusted(m, m, -m, -m);
        const QPoint mid = in.center();
        const int half = in.width() / 2;
        switch (text[i].unicode()) {
        case '0': p.drawRect(QRect(in.left(), in.bottom() - stroke + 1, in.width(), stroke)); break;
        case '1':
            p.drawRect(QRect(in.left(), in.top(), in.width(), 2 * stroke));
            p.drawRect(QRect(in.left(), in.top(), stroke, in.height()));
            p.drawRect(QRect(in.right() - stroke + 1, in.top(), stroke, in.height()));
            p.drawRect(QRect(in.left(), in.bottom() - stroke + 1, in.width(), stroke));
            break;
        case '2': {
            const QRect back = in.adjusted(in.width() / 3, 0, 0, -in.height() / 3);
            const QRect front = in.adjusted(0, in.height() / 3, -in.width() / 3, 0);
            for (const QRect& r : {back, front}) {
                p.drawRect(QRect(r.left(), r.top(), r.width(), 2 * stroke));
                p.drawRect(QRect(r.left(), r.top(), stroke, r.height()));
                p.drawRect(QRect(r.right() - stroke + 1, r.top(), stroke, r.height()));
                p.drawRect(QRect(r.left(), r.bottom() - stroke + 1, r.width(), stroke));
            }
            break;
        }
        case '3': p.drawPolygon(QPolygon({QPoint(mid.x() - half / 2, mid.y()), QPoint(mid.x() + half / 2, mid.y() - half), QPoint(mid.x() + half / 2, mid.y() + half)})); break;
        case '4': p.drawPolygon(QPolygon({QPoint(mid.x() + half / 2, mid.y()), QPoint(mid.x() - half / 2, mid.y() - half), QPoint(mid.x() - half / 2, mid.y() + half)})); break;
        case '5': p.drawPolygon(QPolygon({QPoint(mid.x(), mid.y() - half / 2), QPoint(mid.x() - half, mid.y() + half / 2), QPoint(mid.x() + half, mid.y() + half / 2)})); break;
        case '6': p.drawPolygon(QPolygon({QPoint(mid.x(), mid.y() + half / 2), QPoint(mid.x() - half, mid.y() - half / 2), QPoint(mid.x() + half, mid.y() - half / 2)})); break;
        case 'r': {
            QPen pen(colour, stroke + 1, Qt::SolidLine, Qt::SquareCap);
            p.setPen(pen);
            p.drawLine(in.topLeft(), in.bottomRight());
            p.drawLine(in.topRight(), in.bottomLeft());
            p.setPen(Qt::NoPen);
            break;
        }
        default: break;
        }
    }
    p.restore();
}

}  // namespace

BOOL CDC::TextOut(int x, int y, LPCSTR text, int count)
{
    if (!text)
        return FALSE;
    Scope scope(m_impl.get(), "TextOut", CRect(x, y, x, y), m_impl->s.text, 0, text, count);
    return ExtTextOut(x, y, 0, nullptr, text, count < 0 ? static_cast<int>(std::strlen(text)) : count);
}

BOOL CDC::ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCSTR text, int count)
{
    Scope scope(m_impl.get(), "ExtTextOut", rect ? CRect(*rect) : CRect(x, y, x, y), m_impl->s.text,
                options, text ? text : "", count);
    if (options & ETO_OPAQUE && rect) {
        CBrush bk(m_impl->s.bk);
        const QPoint o = m_impl->ToDevice(rect->left, rect->top);
        FillDevice(*m_impl, QRect(o, QSize(rect->right - rect->left, rect->bottom - rect->top)), bk,
                   R2_COPYPEN);
    }
    QImage* t = m_impl->Target();
    if (!t || !text || count <= 0)
        return TRUE;
    const QString s = QString::fromUtf8(text, count);
    const LOGFONT& lf = m_impl->s.font.LogFont();
    const QFont font = mvui::QtFont(lf);
    const QFontMetrics fm(font);
    const bool symbols = IsSymbolFace(lf);
    const int width = symbols ? SymbolCell(lf) * static_cast<int>(s.size()) : fm.horizontalAdvance(s);
    QPoint o = m_impl->ToDevice(x, y);
    const UINT align = m_impl->s.textAlign;
    if ((align & TA_CENTER) == TA_CENTER) o.rx() -= width / 2;
    else if (align & TA_RIGHT) o.rx() -= width;
    int top = o.y();
    if ((align & TA_BASELINE) == TA_BASELINE) top -= fm.ascent();
    else if (align & TA_BOTTOM) top -= fm.ascent() + fm.descent();
    QRegion clip = m_impl->Clip();
    if (rect && (options & ETO_CLIPPED))
        clip &= QRect(m_impl->ToDevice(rect->left, rect->top),
                      QSize(rect->right - rect->left, rect->bottom - rect->top));
    QPainter p(t);
    p.setClipRegion(clip);
    if (m_impl->s.bkMode == OPAQUE && !(options & ETO_OPAQUE))
        p.fillRect(QRect(o.x(), top, width, fm.ascent() + fm.descent()), QColor(ToRgb(m_impl->s.bk)));
    if (symbols) {
        DrawSymbols(p, QPoint(o.x(), top), s, SymbolCell(lf), QColor(ToRgb(m_impl->s.text)));
        return TRUE;
    }
    p.setFont(font);
    p.setPen(QColor(ToRgb(m_impl->s.text)));
    if (lf.lfEscapement != 0) {
        // Turned text: the base line runs at the escapement (tenths of a
        // degree, counter-clockwise) from the reference point.
        p.translate(o.x(), o.y());
        p.rotate(-lf.lfEscapement / 10.0);
        p.drawText(QPoint(0, top - o.y() + fm.ascent()), s);
        return TRUE;
    }
    p.drawText(QPoint(o.x(), top + fm.ascent()), s);
    return TRUE;
}

CSize CDC::GetTextExtent(LPCSTR text, int count) const
{
    if (!text)
        return CSize();
    const QString s = QString::fromUtf8(text, count < 0 ? static_cast<int>(std::strlen(text)) : count);
    const LOGFONT& lf = m_impl->s.font.LogFont();
    if (IsSymbolFace(lf))
        return CSize(SymbolCell(lf) * static_cast<int>(s.size()), SymbolCell(lf));
    const QFontMetrics fm(mvui::QtFont(lf));
    return CSize(fm.horizontalAdvance(s), fm.ascent() + fm.descent());
}

BOOL CDC::GetTextMetrics(TEXTMETRIC* tm) const
{
    if (!tm)
        return FALSE;
    const QFont font = mvui::QtFont(m_impl->s.font.LogFont());
    const QFontMetrics fm(font);
    const LONG height = fm.ascent() + fm.descent();
    *tm = TEXTMETRIC{height,
                     fm.ascent(),
                     fm.descent(),
                     std::max<LONG>(0, height - font.pixelSize()),
                     std::max(0, fm.leading()),
                     fm.averageCharWidth(),
                     fm.maxWidth(),
                     m_impl->s.font.LogFont().lfWeight ? m_impl->s.font.LogFont().lfWeight : FW_NORMAL};
    return TRUE;
}

int CDC::GetDeviceCaps(int index) const
{
    if (m_impl->kind == DcImpl::Memory && m_impl->bitmap && m_impl->bitmap->mono && index == BITSPIXEL)
        return 1;
    return GetDisplayCaps(index);
}

int CDC::DrawText(LPCSTR text, int count, LPRECT rect, UINT format)
{
    if (!text || !rect)
        return 0;
    Scope scope(m_impl.get(), "DrawText", *rect, m_impl->s.text, format, text, count);
    QString s = QString::fromUtf8(text, count < 0 ? static_cast<int>(std::strlen(text)) : count);
    const QFont font = mvui::QtFont(m_impl->s.font.LogFont());
    const QFontMetrics fm(font);
    const int lineHeight = fm.ascent() + fm.descent();
    const CRect r(*rect);
    int underline = -1;
    if (!(format & DT_NOPREFIX))
        s = StripPrefix(s, &underline);
    if (format & DT_EXPANDTABS)
        s = ExpandTabs(s, fm);

    // Lines: one for a single-line text; else the text's own lines, each
    // broken at spaces to the rectangle's width with DT_WORDBREAK.
    QStringList lines;
    if (format & DT_SINGLELINE) {
        QString one = s;
        one.replace("\r\n", " ").replace('\n', ' ').replace('\r', ' ');
        lines << one;
    } else {
        QString norm = s;
        norm.replace("\r\n", "\n");
        for (const QString& para : norm.split('\n')) {
            if (!(format & DT_WORDBREAK) || fm.horizontalAdvance(para) <= r.Width()) {
                lines << para;
                continue;
            }
            QString line;
            for (const QString& word : para.split(' ')) {
                const QString next = line.isEmpty() ? word : line + ' ' + word;
                if (!line.isEmpty() && fm.horizontalAdvance(next) > r.Width()) {
                    lines << line;
                    line = word;
                } else {
                    line = next;
                }
            }
            lines << line;
        }
    }
    for (QString& line : lines) {
        if ((format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) && fm.horizontalAdvance(line) > r.Width())
            line = fm.elidedText(line, Qt::ElideRight, r.Width());
        else if ((format & DT_PATH_ELLIPSIS) && fm.horizontalAdvance(line) > r.Width())
            line = fm.elidedText(line, Qt::ElideMiddle, r.Width());
    }
    if (IsSymbolFace(m_impl->s.font.LogFont())) {
        // Symbols: one line of square cells.
        const int cell = SymbolCell(m_impl->s.font.LogFont());
        const QString line = lines.join(QString());
        const int w = cell * static_cast<int>(line.size());
        if (format & DT_CALCRECT) {
            rect->right = rect->left + w;
            rect->bottom = rect->top + cell;
            return cell;
        }
        int x = r.left, y = r.top;
        if (format & DT_CENTER) x = r.left + (r.Width() - w) / 2;
        else if (format & DT_RIGHT) x = r.right - w;
        if (format & DT_VCENTER) y = r.top + (r.Height() - cell) / 2;
        else if (format & DT_BOTTOM) y = r.bottom - cell;
        if (QImage* t = m_impl->Target()) {
            QPainter p(t);
            QRegion clip = m_impl->Clip();
            if (!(format & DT_NOCLIP))
                clip &= QRect(m_impl->ToDevice(r.left, r.top), QSize(r.Width(), r.Height()));
            p.setClipRegion(clip);
            DrawSymbols(p, m_impl->ToDevice(x, y), line, cell, QColor(ToRgb(m_impl->s.text)));
        }
        return y - r.top + cell;
    }
    const int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, fm.horizontalAdvance(line));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    QImage* t = m_impl->Target();
    int y = r.top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER) y = r.top + (r.Height() - lineHeight) / 2;
        else if (format & DT_BOTTOM) y = r.bottom - lineHeight;
    }
    if (!t)
        return y - r.top + total;
    QRegion clip = m_impl->Clip();
    if (!(format & DT_NOCLIP))
        clip &= QRect(m_impl->ToDevice(r.left, r.top), QSize(r.Width(), r.Height()));
    QPainter p(t);
    p.setClipRegion(clip);
    p.setFont(font);
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const int w = fm.horizontalAdvance(line);
        int x = r.left;
        if (format & DT_CENTER) x = r.left + (r.Width() - w) / 2;
        else if (format & DT_RIGHT) x = r.right - w;
        const QPoint o = m_impl->ToDevice(x, y + i * lineHeight);
        if (m_impl->s.bkMode == OPAQUE)
            p.fillRect(QRect(o, QSize(w, lineHeight)), QColor(ToRgb(m_impl->s.bk)));
        p.setPen(QColor(ToRgb(m_impl->s.text)));
        p.drawText(QPoint(o.x(), o.y() + fm.ascent()), line);
        if (i == 0 && underline >= 0 && underline < line.size()) {
            const int ux = o.x() + fm.horizontalAdvance(line.left(underline));
            const int uw = fm.horizontalAdvance(line.at(underline));
            p.fillRect(QRect(ux, o.y() + fm.ascent() + 1, uw, 1), QColor(ToRgb(m_impl->s.text)));
        }
    }
    return y - r.top + total;
}

// ---------------------------------------------------------------------------
// Window contexts

CClientDC::CClientDC(CWnd* wnd)
{
    AttachWindow(wnd, false);
}

CWindowDC::CWindowDC(CWnd* wnd)
{
    AttachWindow(wnd, true);
}

CPaintDC::CPaintDC(CWnd* wnd)
{
    AttachWindow(wnd, false);
    m_ps.hdc = m_hDC;
    CWndImpl* w = mvui::ImplOf(wnd ? wnd->m_hWnd : nullptr);
    if (!w)
        return;
    const QRegion update = w->update;
    w->update = QRegion();
    const bool erase = w->eraseOnPaint;
    w->eraseOnPaint = false;
    const QRect b = update.boundingRect();
    m_ps.rcPaint = RECT{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
    m_ps.fErase = erase;
    m_impl->paintClip = update.translated(w->clientRect.left, w->clientRect.top);
    m_impl->hasPaintClip = true;
    if (erase)
        wnd->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(m_hDC), 0);
}

CPaintDC::~CPaintDC() = default;

BOOL CPalette::CreateHalftonePalette(CDC*)
{
    m_created = true;
    return TRUE;
}

// ---------------------------------------------------------------------------
// Recording

CRecordingDC::CRecordingDC()
{
    m_impl->kind = DcImpl::RecordOnly;
    m_impl->log = &m_calls;
}

namespace {
std::map<HWND, std::vector<DcCall>*>& Recorders()
{
    static std::map<HWND, std::vector<DcCall>*> r;
    return r;
}
}  // namespace

CDcRecorder::CDcRecorder(HWND hwnd) : m_hwnd(hwnd)
{
    Recorders()[hwnd] = &m_calls;
}

CDcRecorder::~CDcRecorder()
{
    Recorders().erase(m_hwnd);
}

std::vector<DcCall>* CDcRecorder::LogFor(HWND hwnd)
{
    auto it = Recorders().find(hwnd);
    return it == Recorders().end() ? nullptr : it->second;
}
