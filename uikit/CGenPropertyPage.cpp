#include "uikit/CGenPropertyPage.h"

#include "platform/com/VariantStream.h"
#include "uikit/core/CProperty.h"

CGenPropertyPage::CGenPropertyPage(UINT templateId, UINT captionId) : CPropertyPage(templateId, captionId) {}

bool CGenPropertyPage::AddItem(int id, CProperty* property)
{
    if (!property)
        return false;
    m_pageProperties.push_back(property);
    return id == -1 || m_bindings.Bind(id, property);
}

BOOL CGenPropertyPage::OnInitDialog()
{
    m_bindings.Start(this);
    CPropertyPage::OnInitDialog();
    m_painter = std::make_unique<CDialogPainter>();
    m_painter->Attach(this);
    return TRUE;
}

void CGenPropertyPage::DoDataExchange(CDataExchange* dx)
{
    m_bindings.Exchange(dx);
}

void CGenPropertyPage::OnOK()
{
    CPropertyPage::OnOK();
}

void CGenPropertyPage::OnCancel()
{
    CPropertyPage::OnCancel();
    m_bindings.Restore();
}

BOOL CGenPropertyPage::OnApply()
{
    return UpdateData(TRUE);
}

void CGenPropertyPage::OnReset()
{
    CPropertyPage::OnReset();
    m_bindings.Restore();
}

BOOL CGenPropertyPage::OnCommand(WPARAM wParam, LPARAM lParam)
{
    CDlgBindingTable::RouteDoubleClick(this, wParam, lParam);
    return CPropertyPage::OnCommand(wParam, lParam);
}

void CGenPropertyPage::OnDestroy()
{
    m_painter.reset();
    m_bindings.Free();
    CPropertyPage::OnDestroy();
}

HRESULT CGenPropertyPage::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPersistStream)) {
        *ppv = static_cast<IPersistStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT CGenPropertyPage::Save(IStream* stream, BOOL)
{
    if (m_pageProperties.empty())
        return S_OK;
    if (!UpdateData(TRUE))
        return E_FAIL;
    for (CProperty* property : m_pageProperties) {
        VARIANT v;
        property->GetVariant(&v);
        if (FAILED(WriteVariant(stream, v)))
            return E_FAIL;
    }
    return S_OK;
}

HRESULT CGenPropertyPage::Load(IStream* stream)
{
    if (m_pageProperties.empty())
        return S_OK;
    for (CProperty* property : m_pageProperties) {
        VARIANT v;
        if (FAILED(ReadVariant(stream, v)) || !property->SetVariant(v))
            return E_FAIL;
    }
    UpdateData(FALSE);
    return S_OK;
}

HRESULT CGenPropertyPage::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    if (m_pageProperties.empty())
        return S_OK;
    if (!UpdateData(TRUE))
        return E_FAIL;
    for (CProperty* property : m_pageProperties) {
        VARIANT v;
        property->GetVariant(&v);
        size->QuadPart += VariantStreamSize(v);
    }
    return S_OK;
}
