#include "uikit/CNWMeterCtrl.h"

#include <algorithm>

#include "uikit/CNWControlSite.h"

namespace {
constexpr float kScaleBottoms[] = {-96.0f, -48.0f, -24.0f, -12.0f};
}

CNWMeterCtrl::CNWMeterCtrl(CNWControlSite* site) : CNWControl(site)
{
    std::fill(std::begin(m_levels), std::end(m_levels), -100.0f);
    std::fill(std::begin(m_peaks), std::end(m_peaks), -100.0f);
    std::fill(std::begin(m_drawnLevels), std::end(m_drawnLevels), -100.0f);
    std::fill(std::begin(m_drawnPeaks), std::end(m_drawnPeaks), -100.0f);
}

CNWMeterCtrl::~CNWMeterCtrl()
{
    if (m_source)
        m_source->Release();
}

void CNWMeterCtrl::AttachMeter(ILevelMeterSource* source)
{
    if (source == m_source)
        return;
    if (m_source)
        m_source->Release();
    m_source = source;
    if (!m_source)
        return;
    m_source->AddRef();
    m_source->SetFirstSetting(5);
    m_source->SetSecondSetting(50);
    m_source->SetThirdSetting(20);
}

void CNWMeterCtrl::SetRangeIndex(int index)
{
    m_rangeIndex = std::clamp(index, 0, 3);
}

float CNWMeterCtrl::ScaleBottom() const
{
    return kScaleBottoms[m_rangeIndex];
}

void CNWMeterCtrl::UpdateMeter()
{
    if (!m_source)
        return;
    m_source->GetLevels(kChannels, m_levels);
    if (m_showPeaks)
        m_source->GetPeaks(kChannels, m_peaks);
    if (!HasChanged())
        return;
    std::copy(std::begin(m_levels), std::end(m_levels), m_drawnLevels);
    std::copy(std::begin(m_peaks), std::end(m_peaks), m_drawnPeaks);
    TakeLevels();
    ComputePositions();
    m_dirty = true;
    m_site->InvalidateControl(this);
}

bool CNWMeterCtrl::HasChanged()
{
    for (int c = 0; c < kChannels; ++c)
        if (m_levels[c * kFloats] != m_drawnLevels[c * kFloats])
            return true;
    return false;
}

void CNWMeterCtrl::TakeLevels()
{
    for (int c = 0; c < kChannels; ++c)
        m_displayed[c] = m_levels[c * kFloats];
}

void CNWMeterCtrl::ComputePositions()
{
    const float bottom = ScaleBottom();
    const int width = m_rect.Width();
    for (int c = 0; c < kChannels; ++c) {
        m_fraction[c] = std::clamp((bottom - m_displayed[c]) / bottom, 0.0f, 1.0f);
        m_litPixels[c] = static_cast<int>(static_cast<float>(width) * m_fraction[c]);
    }
}

void CNWMeterCtrl::OnLButtonDown(UINT, POINT)
{
    if (m_source)
        m_source->Reset();
}
