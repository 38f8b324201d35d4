#include "devices/CExportOptions.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>

namespace {

struct RateFamily {
    LONG rates[3];
    LONG bitRates[14];
};

// Each row: the three rates it serves, then the bit rates offered for them.
constexpr RateFamily kFamilies[] = {
    {{22050, 24000, 16000}, {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
    {{44100, 48000, 32000}, {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{11025, 12000, 8000}, {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};

}  // namespace

void CExportOptions::SetStereoModeItem(LONG itemData)
{
    if (itemData == kMidSideItem) {
        stereoMode = kJointStereo;
        midSide = 1;
    } else {
        stereoMode = itemData;
        midSide = 0;
    }
}

int CExportOptions::Mp3RateFamily(LONG rate)
{
    for (int row = 0; row < static_cast<int>(std::size(kFamilies)); ++row)
        if (std::ranges::find(kFamilies[row].rates, rate) != std::end(kFamilies[row].rates))
            return row;
    return -1;
}

std::vector<LONG> CExportOptions::Mp3BitRates(int family)
{
    if (family < 0 || family >= static_cast<int>(std::size(kFamilies)))
        return {};
    return {std::begin(kFamilies[family].bitRates), std::end(kFamilies[family].bitRates)};
}

std::vector<CString> CExportOptions::Id3GenreNames()
{
    std::vector<CString> names;
    id3tag_genre_list(
        [](int, const char* name, void* out) { static_cast<std::vector<CString>*>(out)->emplace_back(name); },
        &names);
    return names;
}

HRESULT CExportOptions::Validate() const
{
    if (sampleRate < 1 || !std::isfinite(tailSeconds) || tailSeconds < 0.0)
        return E_INVALIDARG;
    if (format == kFormatWav)
        return bitsPerSample == 16 || bitsPerSample == 24 || bitsPerSample == 32 || bitsPerSample == kFloatBits
                   ? S_OK
                   : E_INVALIDARG;
    if (format != kFormatMp3)
        return E_INVALIDARG;
    const std::vector<LONG> bitRates = Mp3BitRates(Mp3RateFamily(sampleRate));
    if (std::ranges::find(bitRates, mp3BitRate) == bitRates.end())
        return E_INVALIDARG;
    if (mp3Quality < 0 || mp3Quality > 9)
        return E_INVALIDARG;
    if (stereoMode != kStereo && stereoMode != kJointStereo && stereoMode != kMono)
        return E_INVALIDARG;
    return S_OK;
}

CExportOptions& CExportOptions::Instance()
{
    static CExportOptions options;
    return options;
}
