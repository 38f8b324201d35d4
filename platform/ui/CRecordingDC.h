// Recording device contexts: what a view draws, as a log of calls with their
// arguments, for tests that assert "the text 4:1:000 at this rectangle" or "a
// rectangle of this colour" instead of reading pixels.
//
// CRecordingDC draws nothing and only logs (text measures still come from
// the real font). CDcRecorder logs, for as long as it lives, every call made
// on any context of one window (client, window and paint contexts, and the
// memory contexts made compatible with them), while they still draw.
// UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CDC.h"

struct DcCall {
    CString op;        // the method's name: "DrawText", "FillSolidRect", "LineTo" ...
    CString text;      // text drawn, for the text calls
    CRect rect;        // the rectangle argument, or the points (x, y, x2, y2) of the call
    COLORREF colour = CLR_INVALID;  // the colour argument, or the colour the call drew with
    DWORD flags = 0;   // DrawText format, DrawEdge edge and flags, raster operation
};

class CRecordingDC : public CDC {
public:
    CRecordingDC();
    const std::vector<DcCall>& Calls() const { return m_calls; }
    void Clear() { m_calls.clear(); }

private:
    std::vector<DcCall> m_calls;
};

class CDcRecorder {
public:
    explicit CDcRecorder(HWND hwnd);
    ~CDcRecorder();
    CDcRecorder(const CDcRecorder&) = delete;
    CDcRecorder& operator=(const CDcRecorder&) = delete;

    const std::vector<DcCall>& Calls() const { return m_calls; }
    void Clear() { m_calls.clear(); }
    // The recorder for a window, if one is running.
    static std::vector<DcCall>* LogFor(HWND hwnd);

private:
    HWND m_hwnd;
    std::vector<DcCall> m_calls;
};
