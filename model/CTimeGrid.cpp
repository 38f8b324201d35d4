#include "model/CTimeGrid.h"

#include <algorithm>

#include "uikit/core/ISeqUI.h"

namespace {

struct GridEntry {
    int id;
    LONG ticks;
};

// In the order the menus show them.
constexpr GridEntry kGrid[] = {
    {0, 15360}, {12, 23040}, {13, 10240}, {14, 2880}, {1, 1920}, {15, 1280}, {17, 1440}, {2, 960},
    {3, 640},   {16, 720},   {4, 480},    {5, 320},   {18, 360}, {6, 240},   {7, 160},   {19, 180},
    {8, 120},   {9, 80},     {20, 90},    {10, 60},   {11, 40},  {22, 45},   {21, 30},   {23, 20},
};

}  // namespace

LONG GridIdToTicks(int id)
{
    for (const GridEntry& e : kGrid) {
        if (e.id == id)
            return e.ticks;
    }
    return 0;
}

void MeasureBounds(ISeqUI* time, LONG position, LONG* start, LONG* length)
{
    LONG measure = 0, beat = 0, tick = 0;
    time->TicksToMbt(position, &measure, &beat, &tick);
    *start = time->MbtToTicks(measure, 1, 0);
    *length = time->MbtToTicks(measure + 1, 1, 0) - *start;
}

LONG CTimeGrid::GetGridLengthAt(LONG position, ISeqUI* time)
{
    LONG start = 0, length = 0;
    MeasureBounds(time, position, &start, &length);
    switch (m_id) {
    case kMeasure:
        return std::min<LONG>(15360, length);
    case kMeasureDotted:
        return std::min<LONG>(23040, (length / 2) * 3);
    case kMeasureTriplet:
        return std::min<LONG>(10240, (length / 3) * 2);
    default:
        return std::min(GridIdToTicks(m_id), length);
    }
}
