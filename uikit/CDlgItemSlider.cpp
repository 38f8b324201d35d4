#include "uikit/CDlgItemSlider.h"

#include <cstdlib>
#include <memory>

#include "platform/ui/CSliderCtrl.h"
#include "uikit/core/CProperty.h"

void CDlgItemSlider::Attach(int id, CWnd* dialog, DWORD)
{
    m_slider = dynamic_cast<CSliderCtrl*>(dialog->GetDlgItem(id));
    if (!m_slider)
        return;
    CProperty* minimum = nullptr;
    CProperty* maximum = nullptr;
    if (!m_property->GetLimits(&minimum, &maximum)) {
        m_slider->EnableWindow(FALSE);
        return;
    }
    std::unique_ptr<CProperty> low(minimum), high(maximum);
    m_min = IntegerOf(*low);
    m_max = IntegerOf(*high);
    m_slider->SetRange(m_min, m_max, TRUE);
    m_slider->SetLineSize(1);
    const int page = static_cast<int>(std::llabs(static_cast<long long>(m_max) - m_min) / 10);
    m_slider->SetPageSize(page);
    m_slider->SetTicFreq(page);
    m_slider->SetPos(m_min);
}

void CDlgItemSlider::Exchange(bool save, int id, CWnd* dialog, DWORD)
{
    if (!m_slider || dialog->GetDlgItem(id) != m_slider)
        return;
    const bool vertical = (m_slider->GetStyle() & TBS_VERT) != 0;
    if (save) {
        int pos = m_slider->GetPos();
        if (vertical)
            pos = m_max + m_min - pos;
        m_property->SetVariant(VariantFromI4(pos));
    } else {
        int pos = IntegerOf(*m_property);
        if (vertical)
            pos = m_max + m_min - pos;
        m_slider->SetPos(pos);
    }
}
