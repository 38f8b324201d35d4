// A small XML document object model for the toolkit's XML writer: element
// creation, insertion before a sibling, attributes, parent and child
// navigation, saving as UTF-8, and reading a document back from bytes (which
// may come from anywhere: a malformed text is refused with its position, never
// half taken).
//
// Node handles are plain values that stay valid until the node's document is
// reloaded or destroyed. Names must be XML names without a namespace prefix and
// texts XML characters in valid UTF-8: anything else is refused with
// E_INVALIDARG rather than written as a file no reader accepts.
//
// One document per owner; not shared between threads.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

struct CXmlNode {
    void* p = nullptr;
    explicit operator bool() const { return p != nullptr; }
    friend bool operator==(CXmlNode a, CXmlNode b) { return a.p == b.p; }
};

class CXmlDom {
public:
    enum class NodeType { None, Document, Element, Text, Other };

    CXmlDom();
    ~CXmlDom();
    CXmlDom(const CXmlDom&) = delete;
    CXmlDom& operator=(const CXmlDom&) = delete;

    // Replaces the document with the one the bytes hold; on failure the
    // document is left empty and *error (when given) says what and where.
    HRESULT LoadText(const char* data, std::size_t size, CString* error = nullptr);
    HRESULT LoadFile(const char* path, CString* error = nullptr);

    CXmlNode Document() const;
    // The one top element, or none.
    CXmlNode DocumentElement() const;
    NodeType Type(CXmlNode node) const;
    CString Name(CXmlNode node) const;
    // The text of the node and everything below it, in document order.
    CString Text(CXmlNode node) const;
    CXmlNode Parent(CXmlNode node) const;
    CXmlNode FirstChild(CXmlNode node) const;
    CXmlNode NextSibling(CXmlNode node) const;
    std::vector<std::pair<CString, CString>> Attributes(CXmlNode node) const;

    // A new element as the last child of parent (the document node makes it
    // the top element, refused when there is one already).
    HRESULT AppendElement(CXmlNode parent, const char* name, CXmlNode* out);
    // A new element before the child ref of parent.
    HRESULT InsertElementBefore(CXmlNode parent, CXmlNode ref, const char* name, CXmlNode* out);
    // Sets or replaces an attribute of an element.
    HRESULT SetAttribute(CXmlNode element, const char* name, const char* value);

    // The document as UTF-8 text, elements indented.
    CString SaveToText() const;
    // Written to a temporary file beside the path and renamed over it only
    // when the whole file was written.
    HRESULT Save(const char* path) const;

    static bool IsValidName(const char* name);
    static bool IsValidText(const char* text);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
