// A region: a set of rectangles, combined as GDI combines them.
#pragma once

#include <memory>

#include "platform/ui/CGdiObject.h"

struct RegionData;

constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;
constexpr int NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3, RGN_ERROR = 0;

class CRgn : public CGdiObject {
public:
    CRgn();
    ~CRgn() override;
    CRgn(const CRgn& other);
    CRgn& operator=(const CRgn& other);

    BOOL CreateRectRgn(int left, int top, int right, int bottom);
    BOOL CreateRectRgnIndirect(LPCRECT rect);
    int CombineRgn(const CRgn* a, const CRgn* b, int mode);
    BOOL PtInRegion(POINT p) const;
    int GetRgnBox(LPRECT rect) const;
    void OffsetRgn(int dx, int dy);
    BOOL DeleteObject() override;

    RegionData* Data() const { return m_data.get(); }

private:
    std::unique_ptr<RegionData> m_data;
};
