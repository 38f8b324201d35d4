#include "platform/ui/BitmapResources.h"

#include <map>
#include <utility>

#include "platform/ui/GdiImpl.h"

namespace {

std::map<std::pair<HINSTANCE, UINT>, QImage>& Table()
{
    static std::map<std::pair<HINSTANCE, UINT>, QImage> table;
    return table;
}

HINSTANCE Key(HINSTANCE module)
{
    return module == AfxGetInstanceHandle() ? nullptr : module;
}

}  // namespace

HBITMAP LoadBitmapA(HINSTANCE module, UINT id)
{
    auto it = Table().find({Key(module), id});
    if (it == Table().end())
        return nullptr;
    CBitmap copy;
    auto data = std::make_shared<BitmapData>();
    data->image = it->second.copy();
    copy.SetData(data);
    return copy.Detach();
}

namespace mvui {

void RegisterBitmapResource(HINSTANCE module, UINT id, const CBitmap& bitmap)
{
    if (!bitmap.Data())
        Table().erase({Key(module), id});
    else
        Table()[{Key(module), id}] = bitmap.Data()->image.copy();
}

}  // namespace mvui
