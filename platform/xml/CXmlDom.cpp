#include "platform/xml/CXmlDom.h"

#include <cstdio>
#include <set>
#include <sstream>
#include <string_view>

#include <pugixml.hpp>
#include <unistd.h>

struct CXmlDom::Impl {
    pugi::xml_document doc;
};

namespace {

pugi::xml_node N(CXmlNode n)
{
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(n.p));
}

CXmlNode H(pugi::xml_node n)
{
    return CXmlNode{n.internal_object()};
}

// One UTF-8 sequence at s: its code point and length, or length 0 when it is
// malformed, overlong, a surrogate or beyond U+10FFFF.
int DecodeUtf8(const unsigned char* s, std::uint32_t* cp)
{
    const unsigned char c = s[0];
    int n = 0;
    std::uint32_t v = 0, min = 0;
    if (c < 0x80) {
        *cp = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0) {
        n = 2, v = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, v = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, v = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    for (int i = 1; i < n; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        v = v << 6 | (s[i] & 0x3F);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
        return 0;
    *cp = v;
    return n;
}

bool IsXmlChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsNameStart(std::uint32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(std::uint32_t c)
{
    return IsNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The next node after n in document order below top, or none: loops, not
// recursion, so a deeply nested file cannot run the stack out.
pugi::xml_node NextInOrder(pugi::xml_node n, pugi::xml_node top, bool descend)
{
    if (descend && n.first_child())
        return n.first_child();
    while (n && n != top) {
        if (n.next_sibling())
            return n.next_sibling();
        n = n.parent();
    }
    return pugi::xml_node();
}

void CollectText(pugi::xml_node top, std::string* out)
{
    for (pugi::xml_node c = NextInOrder(top, top, true); c; c = NextInOrder(c, top, true))
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            *out += c.value();
}

bool HasDuplicateAttributes(pugi::xml_node e)
{
    std::set<std::string_view> seen;
    for (pugi::xml_attribute a : e.attributes())
        if (!seen.insert(a.name()).second)
            return true;
    return false;
}

// What the lenient parser takes but XML does not allow: other than one top
// element, text beside it, names that are no XML names, characters outside
// XML's, an attribute given twice.
const char* CheckDocument(const pugi::xml_document& doc)
{
    int tops = 0;
    for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element)
            ++tops;
        else if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            return "text outside the top element";
    }
    if (tops != 1)
        return "not exactly one top element";
    for (pugi::xml_node n = NextInOrder(doc, doc, true); n; n = NextInOrder(n, doc, true)) {
        switch (n.type()) {
        case pugi::node_element:
            if (!CXmlDom::IsValidName(n.name()))
                return "element name that is no XML name";
            for (pugi::xml_attribute a : n.attributes())
                if (!CXmlDom::IsValidName(a.name()) || !CXmlDom::IsValidText(a.value()))
                    return "attribute that is no XML attribute";
            if (HasDuplicateAttributes(n))
                return "attribute given twice";
            break;
        case pugi::node_pcdata:
        case pugi::node_cdata:
        case pugi::node_comment:
        case pugi::node_pi:
            if (!CXmlDom::IsValidText(n.value()))
                return "character outside XML";
            break;
        default:
            break;
        }
    }
    return nullptr;
}

}  // namespace

CXmlDom::CXmlDom() : m_impl(std::make_unique<Impl>()) {}
CXmlDom::~CXmlDom() = default;

bool CXmlDom::IsValidName(const char* name)
{
    if (name == nullptr || *name == '\0')
        return false;
    const auto* s = reinterpret_cast<const unsigned char*>(name);
    bool first = true;
    while (*s) {
        std::uint32_t c = 0;
        const int n = DecodeUtf8(s, &c);
        if (n == 0 || !(first ? IsNameStart(c) : IsNameChar(c)))
            return false;
        s += n;
        first = false;
    }
    return true;
}

bool CXmlDom::IsValidText(const char* text)
{
    if (text == nullptr)
        return false;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    while (*s) {
        std::uint32_t c = 0;
        const int n = DecodeUtf8(s, &c);
        if (n == 0 || !IsXmlChar(c))
            return false;
        s += n;
    }
    return true;
}

HRESULT CXmlDom::LoadText(const char* data, std::size_t size, CString* error)
{
    m_impl->doc.reset();
    if (data == nullptr && size != 0)
        return E_POINTER;
    const unsigned options = pugi::parse_default | pugi::parse_declaration;
    const pugi::xml_parse_result r = m_impl->doc.load_buffer(data, size, options, pugi::encoding_utf8);
    if (!r) {
        m_impl->doc.reset();
        if (error != nullptr)
            error->Format("%s at offset %lld", r.description(), static_cast<long long>(r.offset));
        return E_INVALIDARG;
    }
    if (const char* problem = CheckDocument(m_impl->doc)) {
        m_impl->doc.reset();
        if (error != nullptr)
            *error = problem;
        return E_INVALIDARG;
    }
    if (error != nullptr)
        *error = "";
    return S_OK;
}

HRESULT CXmlDom::LoadFile(const char* path, CString* error)
{
    if (path == nullptr)
        return E_POINTER;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        m_impl->doc.reset();
        if (error != nullptr)
            error->Format("cannot open %s", path);
        return STG_E_FILENOTFOUND;
    }
    std::string bytes;
    char buf[65536];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        m_impl->doc.reset();
        return E_FAIL;
    }
    return LoadText(bytes.data(), bytes.size(), error);
}

CXmlNode CXmlDom::Document() const
{
    return H(m_impl->doc);
}

CXmlNode CXmlDom::DocumentElement() const
{
    return H(m_impl->doc.document_element());
}

CXmlDom::NodeType CXmlDom::Type(CXmlNode node) const
{
    switch (N(node).type()) {
    case pugi::node_null: return NodeType::None;
    case pugi::node_document: return NodeType::Document;
    case pugi::node_element: return NodeType::Element;
    case pugi::node_pcdata:
    case pugi::node_cdata: return NodeType::Text;
    default: return NodeType::Other;
    }
}

CString CXmlDom::Name(CXmlNode node) const
{
    return CString(N(node).name());
}

CString CXmlDom::Text(CXmlNode node) const
{
    const pugi::xml_node n = N(node);
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
        return CString(n.value());
    std::string text;
    CollectText(n, &text);
    return CString(std::move(text));
}

CXmlNode CXmlDom::Parent(CXmlNode node) const
{
    return H(N(node).parent());
}

CXmlNode CXmlDom::FirstChild(CXmlNode node) const
{
    return H(N(node).first_child());
}

CXmlNode CXmlDom::NextSibling(CXmlNode node) const
{
    return H(N(node).next_sibling());
}

std::vector<std::pair<CString, CString>> CXmlDom::Attributes(CXmlNode node) const
{
    std::vector<std::pair<CString, CString>> out;
    for (pugi::xml_attribute a : N(node).attributes())
        out.emplace_back(CString(a.name()), CString(a.value()));
    return out;
}

HRESULT CXmlDom::AppendElement(CXmlNode parent, const char* name, CXmlNode* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = CXmlNode{};
    pugi::xml_node p = N(parent);
    if (!p)
        return E_POINTER;
    if (!IsValidName(name))
        return E_INVALIDARG;
    // A document holds one top element; a second would not be XML.
    if (p.type() == pugi::node_document ? static_cast<bool>(m_impl->doc.document_element())
                                        : p.type() != pugi::node_element)
        return E_UNEXPECTED;
    pugi::xml_node n = p.append_child(name);
    if (!n)
        return E_OUTOFMEMORY;
    *out = H(n);
    return S_OK;
}

HRESULT CXmlDom::InsertElementBefore(CXmlNode parent, CXmlNode ref, const char* name, CXmlNode* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = CXmlNode{};
    pugi::xml_node p = N(parent);
    pugi::xml_node r = N(ref);
    if (!p || !r)
        return E_POINTER;
    if (!IsValidName(name))
        return E_INVALIDARG;
    if (p.type() != pugi::node_element || r.parent() != p)
        return E_UNEXPECTED;
    pugi::xml_node n = p.insert_child_before(name, r);
    if (!n)
        return E_OUTOFMEMORY;
    *out = H(n);
    return S_OK;
}

HRESULT CXmlDom::SetAttribute(CXmlNode element, const char* name, const char* value)
{
    pugi::xml_node e = N(element);
    if (!e)
        return E_POINTER;
    if (e.type() != pugi::node_element)
        return E_UNEXPECTED;
    if (!IsValidName(name) || !IsValidText(value))
        return E_INVALIDARG;
    pugi::xml_attribute a = e.attribute(name);
    if (!a)
        a = e.append_attribute(name);
    if (!a || !a.set_value(value))
        return E_OUTOFMEMORY;
    return S_OK;
}

CString CXmlDom::SaveToText() const
{
    std::ostringstream s;
    m_impl->doc.save(s, "\t", pugi::format_default, pugi::encoding_utf8);
    return CString(s.str());
}

HRESULT CXmlDom::Save(const char* path) const
{
    if (path == nullptr)
        return E_POINTER;
    const CString text = SaveToText();
    const std::string tmp = std::string(path) + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (f == nullptr)
        return STG_E_ACCESSDENIED;
    bool ok = std::fwrite(text.GetString(), 1, static_cast<std::size_t>(text.GetLength()), f) ==
              static_cast<std::size_t>(text.GetLength());
    ok = std::fflush(f) == 0 && ok;
    ok = fsync(fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), path) != 0) {
        std::remove(tmp.c_str());
        return E_FAIL;
    }
    return S_OK;
}
