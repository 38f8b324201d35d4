// Inside the window layer only: the state behind a device context.
#pragma once

#include <QImage>
#include <QRegion>
#include <memory>
#include <vector>

#include "platform/ui/CDC.h"
#include "platform/ui/CRecordingDC.h"
#include "platform/ui/GdiImpl.h"

struct DcState {
    CPen pen;
    CBrush brush;
    CFont font;
    CPen* penSel = nullptr;
    CBrush* brushSel = nullptr;
    CFont* fontSel = nullptr;
    COLORREF text = RGB(0, 0, 0);
    COLORREF bk = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    UINT textAlign = TA_LEFT | TA_TOP;
    QPoint viewport{0, 0};
    QPoint brushOrg{0, 0};
    QPoint current{0, 0};
    bool hasClip = false;
    QRegion clip;  // device coordinates
};

struct DcImpl {
    enum Kind { Unbound, Window, Memory, RecordOnly };
    Kind kind = Unbound;
    HWND hwnd = nullptr;
    bool wholeWindow = false;
    std::shared_ptr<BitmapData> bitmap;  // a memory context's selected bitmap
    CBitmap* bitmapSel = nullptr;
    QRegion paintClip;  // a paint pass's region, device coordinates
    bool hasPaintClip = false;
    DcState s;
    std::vector<DcState> saved;
    std::vector<DcCall>* log = nullptr;
    int depth = 0;  // nested public calls log only at the outside

    // The image drawn on, or null (a window that has gone, no bitmap, recording only).
    QImage* Target() const;
    // Where logical (0, 0) lies on the target, before the viewport origin.
    QPoint Base() const;
    // What may be drawn, device coordinates.
    QRegion Clip() const;
    QPoint ToDevice(int x, int y) const { return QPoint(x, y) + s.viewport + Base(); }
};
