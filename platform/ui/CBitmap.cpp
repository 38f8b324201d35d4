#include "platform/ui/CBitmap.h"

#include "platform/ui/CDC.h"
#include "platform/ui/GdiImpl.h"
#include "platform/ui/QtBridge.h"

namespace {

// A handle is a heap-held share of the pixels.
struct HandleBox {
    std::shared_ptr<BitmapData> data;
};

}  // namespace

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    if (width <= 0 || height <= 0)
        return FALSE;
    auto data = std::make_shared<BitmapData>();
    data->image = QImage(width, height, QImage::Format_RGB32);
    data->image.fill(Qt::black);
    data->mono = planes * bitsPerPixel == 1;
    if (bits && data->mono) {
        const auto* b = static_cast<const BYTE*>(bits);
        const int stride = ((width + 15) / 16) * 2;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const bool white = (b[y * stride + x / 8] >> (7 - x % 8)) & 1;
                data->image.setPixel(x, y, white ? 0xFFFFFFFF : 0xFF000000);
            }
    } else if (bits && bitsPerPixel == 32) {
        const auto* p = static_cast<const DWORD*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                data->image.setPixel(x, y, 0xFF000000 | p[y * width + x]);
    }
    m_data = data;
    m_created = true;
    return TRUE;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC*, int width, int height)
{
    return CreateBitmap(width, height, 1, 32, nullptr);
}

int CBitmap::GetBitmap(BITMAP* bm) const
{
    if (!m_data || !bm)
        return 0;
    const int w = m_data->image.width();
    *bm = BITMAP{0, w, m_data->image.height(), m_data->mono ? ((w + 15) / 16) * 2 : w * 4, 1,
                 static_cast<WORD>(m_data->mono ? 1 : 32), nullptr};
    return sizeof(BITMAP);
}

CSize CBitmap::GetSize() const
{
    return m_data ? CSize(m_data->image.width(), m_data->image.height()) : CSize();
}

bool CBitmap::IsMonochrome() const
{
    return m_data && m_data->mono;
}

BOOL CBitmap::DeleteObject()
{
    m_data.reset();
    return CGdiObject::DeleteObject();
}

void CBitmap::SetData(std::shared_ptr<BitmapData> data)
{
    m_data = std::move(data);
    m_created = m_data != nullptr;
}

BOOL CBitmap::Attach(HBITMAP handle)
{
    if (!handle)
        return FALSE;
    auto* box = reinterpret_cast<HandleBox*>(handle);
    SetData(box->data);
    delete box;
    return TRUE;
}

HBITMAP CBitmap::Detach()
{
    if (!m_data)
        return nullptr;
    auto* box = new HandleBox{m_data};
    m_data.reset();
    m_created = false;
    return reinterpret_cast<HBITMAP>(box);
}

BOOL DeleteObject(HBITMAP handle)
{
    if (!handle)
        return FALSE;
    delete reinterpret_cast<HandleBox*>(handle);
    return TRUE;
}

namespace mvui {

QImage BitmapImage(const CBitmap& bitmap)
{
    return bitmap.Data() ? bitmap.Data()->image : QImage();
}

void SetBitmapImage(CBitmap& bitmap, const QImage& image)
{
    auto data = std::make_shared<BitmapData>();
    data->image = image.convertToFormat(QImage::Format_RGB32);
    bitmap.SetData(data);
}

}  // namespace mvui
