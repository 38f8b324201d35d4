// Feeds any bytes to the XML reader, then walks what it took and writes it
// back out, and reads that again: a document the reader accepts must survive
// the walk and the writer, and what the writer makes must read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/xml/CXmlDom.h"

namespace {

void Walk(const CXmlDom& dom, CXmlNode node, int depth)
{
    if (depth > 256)
        return;
    (void)dom.Name(node);
    (void)dom.Attributes(node);
    if (depth < 4)
        (void)dom.Text(node);
    for (CXmlNode c = dom.FirstChild(node); c; c = dom.NextSibling(c))
        Walk(dom, c, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CXmlDom dom;
    CString error;
    if (FAILED(dom.LoadText(reinterpret_cast<const char*>(data), size, &error)))
        return 0;
    Walk(dom, dom.Document(), 0);
    CXmlNode root = dom.DocumentElement();
    if (root) {
        CXmlNode added;
        if (SUCCEEDED(dom.AppendElement(root, "FUZZ", &added)))
            dom.SetAttribute(added, "v", "\xC3\xA9<&>\"");
    }
    const CString text = dom.SaveToText();
    CXmlDom again;
    if (FAILED(again.LoadText(text.GetString(), static_cast<std::size_t>(text.GetLength()), &error)))
        std::abort();
    return 0;
}
