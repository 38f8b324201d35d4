// A bitmap: shared pixels (true colour, or monochrome where a Part asks
// for one) that a memory device context draws into and a blit copies from.
// Copies of a CBitmap share pixels, as handles of one bitmap do.
#pragma once

#include <memory>

#include "platform/ui/CGdiObject.h"

struct BitmapData;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
class CDC;

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};

class CBitmap : public CGdiObject {
public:
    CBitmap() : CGdiObject(Bitmap) {}
    CBitmap(const CBitmap& other) = default;
    CBitmap& operator=(const CBitmap& other) = default;

    // 1 plane and 1 bit per pixel gives a monochrome bitmap; `bits` (rows of
    // 16-bit aligned bytes for monochrome, may be null) fill it.
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    int GetBitmap(BITMAP* bm) const;
    CSize GetSize() const;
    bool IsMonochrome() const;
    BOOL DeleteObject() override;

    // A handle owns its pixels until it is attached to a CBitmap or deleted.
    BOOL Attach(HBITMAP handle);
    HBITMAP Detach();

    std::shared_ptr<BitmapData> Data() const { return m_data; }
    void SetData(std::shared_ptr<BitmapData> data);

private:
    std::shared_ptr<BitmapData> m_data;
};

BOOL DeleteObject(HBITMAP handle);
