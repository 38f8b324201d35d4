// A device context: drawing on a window's persistent surface (client area,
// whole window, or the part a paint pass covers) or on a bitmap selected
// into a memory context, with the Windows DC state: pen, brush, font, text
// colour, background colour and mode, ROP2, viewport origin, brush origin,
// clip, and SaveDC/RestoreDC.
//
// Lines, rectangles, ellipses and polygons are drawn aliased and exact to the
// pixel, then combined with the destination through the ROP2 code, so an XOR
// pen drawn twice leaves nothing. Blits take the ternary raster operations
// (SRCCOPY, SRCINVERT, PATINVERT, DSTINVERT ...); a monochrome source takes
// the destination's text colour for its black and background colour for its
// white. Text ignores ROP2.
//
// A context can record: every call is logged with its arguments (see
// CRecordingDC.h), so tests assert what a view draws without reading pixels.
// A context on a window that has gone draws nothing. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/CBitmap.h"
#include "platform/ui/CBrush.h"
#include "platform/ui/CFont.h"
#include "platform/ui/CPen.h"
#include "platform/ui/CRgn.h"
#include "platform/ui/GdiTypes.h"
#include "platform/ui/WinUser.h"
#include "platform/win/CString.h"

class CWnd;
struct DcImpl;
struct DcCall;
struct HDC__;
using HDC = HDC__*;
struct HPALETTE__;
using HPALETTE = HPALETTE__*;

// ROP2 codes.
constexpr int R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4,
              R2_MASKPENNOT = 5, R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9,
              R2_NOTXORPEN = 10, R2_NOP = 11, R2_MERGENOTPEN = 12, R2_COPYPEN = 13,
              R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16;
// Ternary raster operations.
constexpr DWORD SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6,
                SRCINVERT = 0x00660046, SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008,
                NOTSRCERASE = 0x001100A6, MERGECOPY = 0x00C000CA, MERGEPAINT = 0x00BB0226,
                PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09, PATINVERT = 0x005A0049,
                DSTINVERT = 0x00550009, BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062;
constexpr int TRANSPARENT = 1, OPAQUE = 2;
constexpr UINT ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004;
constexpr UINT TA_LEFT = 0, TA_TOP = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8,
               TA_BASELINE = 24;
// DrawText flags.
constexpr UINT DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
               DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20,
               DT_EXPANDTABS = 0x40, DT_NOCLIP = 0x100, DT_CALCRECT = 0x400,
               DT_NOPREFIX = 0x800, DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000,
               DT_WORD_ELLIPSIS = 0x40000;
// DrawEdge.
constexpr UINT BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4,
               BDR_SUNKENINNER = 0x8, EDGE_RAISED = 0x5, EDGE_SUNKEN = 0xA, EDGE_ETCHED = 0x6,
               EDGE_BUMP = 0x9;
constexpr UINT BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_TOPLEFT = 0x3,
               BF_BOTTOMRIGHT = 0xC, BF_RECT = 0xF, BF_MIDDLE = 0x800, BF_SOFT = 0x1000,
               BF_ADJUST = 0x2000, BF_FLAT = 0x4000, BF_MONO = 0x8000;
// DrawFrameControl.
constexpr UINT DFC_CAPTION = 1, DFC_BUTTON = 4;
constexpr UINT DFCS_CAPTIONCLOSE = 0x0000, DFCS_CAPTIONMIN = 0x0001, DFCS_CAPTIONMAX = 0x0002,
               DFCS_INACTIVE = 0x0100, DFCS_PUSHED = 0x0200;
// AlphaBlend.
constexpr BYTE AC_SRC_OVER = 0, AC_SRC_ALPHA = 1;
struct BLENDFUNCTION {
    BYTE BlendOp;
    BYTE BlendFlags;
    BYTE SourceConstantAlpha;
    BYTE AlphaFormat;
};
constexpr int HALFTONE = 4, COLORONCOLOR = 3;

class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    static CDC* FromHandle(HDC dc) { return reinterpret_cast<CDC*>(dc); }

    // A memory context; draws into whatever bitmap is selected (nothing until one is).
    BOOL CreateCompatibleDC(CDC* dc);
    // An information context of the display ("DISPLAY"): measures, draws nothing.
    BOOL CreateDC(LPCSTR driver, LPCSTR device = nullptr, LPCSTR output = nullptr, const void* init = nullptr);
    BOOL DeleteDC();

    // Selection. Each returns the object selected before (a stock object at first).
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    CBitmap* SelectObject(CBitmap* bitmap);
    int SelectObject(CRgn* region);
    CGdiObject* SelectStockObject(int index);
    CFont* GetCurrentFont() const;
    // The pen and brush last selected by the caller; null while the stock ones are.
    CPen* GetCurrentPen() const;
    CBrush* GetCurrentBrush() const;
    CBitmap* GetCurrentBitmap() const;

    COLORREF SetTextColor(COLORREF colour);
    COLORREF GetTextColor() const;
    COLORREF SetBkColor(COLORREF colour);
    COLORREF GetBkColor() const;
    int SetBkMode(int mode);
    int GetBkMode() const;
    int SetROP2(int rop);
    int GetROP2() const;
    UINT SetTextAlign(UINT align);
    int SetStretchBltMode(int mode);
    CPoint SetViewportOrg(int x, int y);
    CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
    CPoint OffsetViewportOrg(int dx, int dy);
    CPoint GetViewportOrg() const;
    CPoint SetBrushOrg(int x, int y);
    HPALETTE SelectPalette(HPALETTE palette, BOOL background);
    UINT RealizePalette();
    int SaveDC();
    BOOL RestoreDC(int saved);

    // Clip, in logical coordinates.
    int IntersectClipRect(int l, int t, int r, int b);
    int IntersectClipRect(LPCRECT rect);
    int ExcludeClipRect(int l, int t, int r, int b);
    int ExcludeClipRect(LPCRECT rect);
    int SelectClipRgn(CRgn* region);
    int GetClipBox(LPRECT rect) const;
    BOOL RectVisible(LPCRECT rect) const;
    BOOL PtVisible(int x, int y) const;

    // Shapes.
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
    CPoint GetCurrentPosition() const;
    BOOL Polyline(const POINT* points, int count);
    BOOL Polygon(const POINT* points, int count);
    BOOL Rectangle(int l, int t, int r, int b);
    BOOL Rectangle(LPCRECT rect);
    BOOL Ellipse(int l, int t, int r, int b);
    BOOL Ellipse(LPCRECT rect);
    void FillRect(LPCRECT rect, CBrush* brush);
    void FillSolidRect(LPCRECT rect, COLORREF colour);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF colour);
    void FrameRect(LPCRECT rect, CBrush* brush);
    void Draw3dRect(LPCRECT rect, COLORREF topLeft, COLORREF bottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
    BOOL DrawEdge(LPRECT rect, UINT edge, UINT flags);
    // A caption button (DFC_CAPTION: close, minimise, maximise) or a push
    // button face (DFC_BUTTON): raised, or sunken with DFCS_PUSHED, its
    // symbol drawn from the symbol face.
    BOOL DrawFrameControl(LPRECT rect, UINT type, UINT state);
    void InvertRect(LPCRECT rect);
    void DrawFocusRect(LPCRECT rect);
    COLORREF SetPixel(int x, int y, COLORREF colour);
    COLORREF GetPixel(int x, int y) const;

    // Blits.
    BOOL PatBlt(int x, int y, int width, int height, DWORD rop);
    BOOL BitBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, DWORD rop);
    BOOL StretchBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, int wSrc,
                    int hSrc, DWORD rop);
    BOOL AlphaBlend(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, int wSrc,
                    int hSrc, BLENDFUNCTION blend);
    // Copies all but the pixels of the key colour.
    BOOL TransparentBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc,
                        int wSrc, int hSrc, UINT keyColour);

    // Text.
    BOOL TextOut(int x, int y, LPCSTR text, int count = -1);
    BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text, text.GetLength()); }
    BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCSTR text, int count);
    // Returns the height of the text; with DT_CALCRECT sizes the rectangle and draws nothing.
    int DrawText(LPCSTR text, int count, LPRECT rect, UINT format);
    int DrawText(const CString& text, LPRECT rect, UINT format)
    {
        return DrawText(text, text.GetLength(), rect, format);
    }
    CSize GetTextExtent(LPCSTR text, int count = -1) const;
    CSize GetTextExtent(const CString& text) const { return GetTextExtent(text, text.GetLength()); }
    BOOL GetTextMetrics(TEXTMETRIC* tm) const;
    int GetDeviceCaps(int index) const;

    // Every later call is appended to `log` (null stops recording).
    void RecordInto(std::vector<DcCall>* log);
    std::vector<DcCall>* Recording() const;

    DcImpl* Impl() const { return m_impl.get(); }

protected:
    // Binds the context to a window: the client area, or the whole window rectangle.
    void AttachWindow(CWnd* wnd, bool wholeWindow);

    std::unique_ptr<DcImpl> m_impl;
};

// The client area of a window, at any time.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);
};

// The whole window rectangle, non-client frame included.
class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* wnd);
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
};

// A paint pass: clipped to what was invalid, which it validates; sends
// WM_ERASEBKGND first when the invalidation asked for erasing.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};
};

// A halftone palette; on a true-colour surface selecting it changes nothing.
class CPalette {
public:
    BOOL CreateHalftonePalette(CDC* dc);
    HPALETTE GetSafeHandle() const { return m_created ? reinterpret_cast<HPALETTE>(const_cast<CPalette*>(this)) : nullptr; }
    operator HPALETTE() const { return GetSafeHandle(); }

private:
    bool m_created = false;
};
