#include "uikit/CHScrollZoomMgr.h"

#include <algorithm>

template <class T>
int CHScrollZoomMgr<T>::UnitsToPixels(int units)
{
    return mvscroll::ToInt(static_cast<long double>(this->m_extent) * this->m_zoom * units / this->m_unitsPerBeat +
                           0.5L);
}

template <class T>
int CHScrollZoomMgr<T>::PixelsToUnits(int pixels)
{
    const int scaled =
        static_cast<int>(static_cast<unsigned>(this->m_unitsPerBeat) * static_cast<unsigned>(pixels));
    return mvscroll::ToInt(static_cast<long double>(scaled) /
                               (static_cast<long double>(std::max(this->m_extent, 1)) * this->m_zoom) +
                           0.5L);
}

template class CHScrollZoomMgr<long>;
