#include "uikit/core/CXmlDoc.h"

#include <cstring>

#include "platform/com/CComError.h"

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" standalone=\"yes\" ?>";

}  // namespace

CXmlDoc::CXmlDoc() : m_error("Success"), m_success("Success") {}

CXmlDoc::~CXmlDoc() = default;

void CXmlDoc::Raise(HRESULT hr, const char* what)
{
    m_error.Format("%s failed (0x%08X)", what, static_cast<unsigned>(hr));
    throw CComError(hr, m_error);
}

CXmlDom& CXmlDoc::Dom()
{
    if (!m_dom)
        Raise(E_POINTER, "XML document");
    return *m_dom;
}

void CXmlDoc::ClearInfo()
{
    m_tag.Empty();
    m_name.Empty();
    m_tagPath.Empty();
    m_text.Empty();
    m_attributeNames.clear();
    m_attributeValues.clear();
}

bool CXmlDoc::Create()
{
    auto dom = std::make_unique<CXmlDom>();
    dom->LoadText(kDeclaration, std::strlen(kDeclaration));
    m_dom = std::move(dom);
    m_root = m_dom->DocumentElement();
    m_current = CXmlNode{};
    ClearInfo();
    m_error = m_success;
    return true;
}

bool CXmlDoc::InsertElement(const char* name, bool first)
{
    CXmlDom& dom = Dom();
    CXmlNode node;
    CString path = m_tagPath;
    HRESULT hr = S_OK;
    if (m_current) {
        path += m_tag;
        const CXmlNode child = dom.FirstChild(m_current);
        hr = first && child ? dom.InsertElementBefore(m_current, child, name, &node)
                            : dom.AppendElement(m_current, name, &node);
    } else if (!m_root) {
        path.Empty();
        hr = dom.AppendElement(dom.Document(), name, &node);
    } else {
        path += dom.Name(m_root);
        const CXmlNode child = dom.FirstChild(m_root);
        hr = first && child ? dom.InsertElementBefore(m_root, child, name, &node)
                            : dom.AppendElement(m_root, name, &node);
    }
    if (FAILED(hr))
        Raise(hr, first ? "OpenElement" : "AddElement");
    if (!m_root)
        m_root = node;
    m_tagPath = path;
    m_current = node;
    UpdateCurrentInfo(node);
    return true;
}

bool CXmlDoc::AddElement(const char* name)
{
    return InsertElement(name, false);
}

bool CXmlDoc::OpenElement(const char* name)
{
    return InsertElement(name, true);
}

bool CXmlDoc::SetAttribute(const char* name, const VARIANT& value)
{
    CXmlDom& dom = Dom();
    const CXmlNode target = m_current ? m_current : m_root;
    if (!target)
        Raise(E_POINTER, "SetAttribute");
    VARIANT text;
    if (const HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR); FAILED(hr))
        Raise(hr, "SetAttribute");
    if (const HRESULT hr = dom.SetAttribute(target, name, text.bstrVal); FAILED(hr))
        Raise(hr, "SetAttribute");
    UpdateCurrentInfo(target);
    return true;
}

bool CXmlDoc::CloseElement(const char* name)
{
    if (!m_dom || !m_current || name == nullptr)
        return false;
    const CXmlNode savedNode = m_current;
    const CString savedPath = m_tagPath;
    for (CXmlNode parent = m_dom->Parent(m_current);
         parent && m_dom->Type(parent) != CXmlDom::NodeType::Document; parent = m_dom->Parent(parent)) {
        m_current = parent;
        UpdateCurrentInfo(parent);
        const int cut = m_tagPath.ReverseFind('<');
        m_tagPath = cut >= 0 ? m_tagPath.Left(cut) : CString();
        if (m_name == name)
            return true;
    }
    m_current = savedNode;
    m_tagPath = savedPath;
    UpdateCurrentInfo(savedNode);
    return false;
}

void CXmlDoc::ResetToRoot()
{
    m_current = m_root;
    m_tagPath.Empty();
    if (m_root)
        UpdateCurrentInfo(m_root);
}

bool CXmlDoc::Save(const char* path)
{
    CXmlDom& dom = Dom();
    if (const HRESULT hr = dom.Save(path); FAILED(hr))
        Raise(hr, "Save");
    return true;
}

void CXmlDoc::UpdateCurrentInfo(CXmlNode node)
{
    CXmlDom& dom = Dom();
    m_text = dom.Text(node);
    if (dom.Type(node) == CXmlDom::NodeType::Text) {
        m_tag = "<#TEXT#>";
        m_name = "#TEXT#";
        return;
    }
    m_name = dom.Name(node);
    m_tag = "<" + m_name + ">";
    m_attributeNames.clear();
    m_attributeValues.clear();
    for (const auto& [n, v] : dom.Attributes(node)) {
        m_attributeNames.push_back(n);
        m_attributeValues.push_back(v);
    }
}
