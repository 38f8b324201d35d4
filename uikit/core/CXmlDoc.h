// Writes small XML files, such as the song's diagnostic dumps of its tempo
// and meter lists: a current element to which new elements, attributes and
// navigation steps refer, with its tag, name, text and attributes mirrored
// in plain strings, and the tags of its ancestors as a path.
//
// Typical use: Create; AddElement or OpenElement for each level;
// SetAttribute on the current element; CloseElement (an ancestor's name) to
// climb back; ResetToRoot between sections; Save.
//
// A failed call on the document raises CComError with its HRESULT: E_POINTER
// when there is no document, or no element to set an attribute on;
// E_INVALIDARG for a name that is no XML name or a value that is not XML
// text (valid UTF-8 without control characters), which would make a file no
// reader accepts. Nothing is changed by a call that raises.
//
// UI thread; one object per dump.
#pragma once

#include <memory>
#include <vector>

#include "platform/com/Variant.h"
#include "platform/win/CString.h"
#include "platform/xml/CXmlDom.h"

class CXmlDoc {
public:
    CXmlDoc();
    virtual ~CXmlDoc();

    // A new, empty document holding only its declaration; the current
    // element, the path and the mirrored strings are cleared.
    bool Create();
    // A new element below the current one (or the top element, or below it
    // when there is no current one), which becomes current.
    bool AddElement(const char* name);
    // As AddElement, but before the first child of a current element that
    // has children.
    bool OpenElement(const char* name);
    // Sets the attribute, as text, on the current element (or the top one).
    bool SetAttribute(const char* name, const VARIANT& value);
    // Climbs to the nearest ancestor of that name; false, with nothing
    // changed, when none has it.
    bool CloseElement(const char* name);
    void ResetToRoot();
    bool Save(const char* path);

    const CString& GetCurrentTag() const { return m_tag; }
    const CString& GetCurrentName() const { return m_name; }
    const CString& GetCurrentText() const { return m_text; }
    const CString& GetTagPath() const { return m_tagPath; }
    const std::vector<CString>& GetAttributeNames() const { return m_attributeNames; }
    const std::vector<CString>& GetAttributeValues() const { return m_attributeValues; }
    const CString& GetLastErrorText() const { return m_error; }

private:
    void UpdateCurrentInfo(CXmlNode node);
    void ClearInfo();
    CXmlDom& Dom();
    void Raise(HRESULT hr, const char* what);
    bool InsertElement(const char* name, bool first);

    CString m_tag;
    CString m_name;
    CString m_tagPath;
    CString m_text;
    std::unique_ptr<CXmlDom> m_dom;
    CXmlNode m_root;
    CXmlNode m_current;
    CString m_error;
    CString m_success;
    std::vector<CString> m_attributeNames;
    std::vector<CString> m_attributeValues;
};
