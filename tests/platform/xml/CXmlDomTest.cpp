#include "platform/xml/CXmlDom.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

CXmlNode Append(CXmlDom& dom, CXmlNode parent, const char* name)
{
    CXmlNode n;
    EXPECT_EQ(dom.AppendElement(parent, name, &n), S_OK) << name;
    return n;
}

TEST(CXmlDomTest, NamesAndTextsThatWouldNotBeXmlAreRefused)
{
    struct Case {
        const char* text;
        bool name;
        bool value;
    };
    const Case cases[] = {
        {"TEMPO", true, true},          {"_a-b.c9", true, true},       {"\xC3\xA9t\xC3\xA9", true, true},
        {"", false, true},              {"9lives", false, true},       {"a b", false, true},
        {"a:b", false, true},           {"-a", false, true},           {"<a>", false, true},
        {"t=1, bpm=120", false, true},  {"tab\there", false, true},    {"bell\x07", false, false},
        {"nul\x1F", false, false},      {"\xC3", false, false},        {"\xC0\x80", false, false},
        {"\xED\xA0\x80", false, false}, {"\xEF\xBF\xBE", false, false}, {"\xF0\x9F\x8E\xB5", true, true},
        {"a&b<c>\"'", false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CXmlDom::IsValidName(c.text), c.name) << c.text;
        EXPECT_EQ(CXmlDom::IsValidText(c.text), c.value) << c.text;
    }
    EXPECT_FALSE(CXmlDom::IsValidName(nullptr));
    EXPECT_FALSE(CXmlDom::IsValidText(nullptr));
}

TEST(CXmlDomTest, BuildsElementsAndAttributesAndReadsThemBack)
{
    CXmlDom dom;
    const CXmlNode root = Append(dom, dom.Document(), "LOG");
    CXmlNode second;
    EXPECT_EQ(dom.AppendElement(dom.Document(), "SECOND", &second), E_UNEXPECTED);
    EXPECT_FALSE(second);
    const CXmlNode b = Append(dom, root, "B");
    CXmlNode a;
    ASSERT_EQ(dom.InsertElementBefore(root, b, "A", &a), S_OK);
    EXPECT_EQ(dom.FirstChild(root), a);
    EXPECT_EQ(dom.NextSibling(a), b);
    EXPECT_EQ(dom.Parent(a), root);
    EXPECT_EQ(dom.Parent(root), dom.Document());
    EXPECT_EQ(dom.Type(dom.Document()), CXmlDom::NodeType::Document);
    EXPECT_EQ(dom.SetAttribute(a, "v", "1"), S_OK);
    EXPECT_EQ(dom.SetAttribute(a, "w", "2"), S_OK);
    EXPECT_EQ(dom.SetAttribute(a, "v", "3"), S_OK);
    const auto attrs = dom.Attributes(a);
    ASSERT_EQ(attrs.size(), 2u);
    EXPECT_EQ(attrs[0].first, "v");
    EXPECT_EQ(attrs[0].second, "3");
    EXPECT_EQ(dom.SetAttribute(a, "bad name", "x"), E_INVALIDARG);
    EXPECT_EQ(dom.SetAttribute(a, "x", "\x01"), E_INVALIDARG);
    EXPECT_EQ(dom.SetAttribute(CXmlNode{}, "x", "y"), E_POINTER);
    EXPECT_EQ(dom.InsertElementBefore(a, b, "C", &second), E_UNEXPECTED);  // b is not a's child
    EXPECT_EQ(dom.AppendElement(root, "1x", &second), E_INVALIDARG);
    EXPECT_EQ(dom.Attributes(a).size(), 2u);

    const CString text = dom.SaveToText();
    CXmlDom back;
    ASSERT_EQ(back.LoadText(text.GetString(), static_cast<std::size_t>(text.GetLength())), S_OK) << text.GetString();
    EXPECT_EQ(back.Name(back.DocumentElement()), "LOG");
    EXPECT_EQ(back.Name(back.FirstChild(back.DocumentElement())), "A");
}

TEST(CXmlDomTest, MalformedBytesAreRefusedWithTheirPlace)
{
    const char* texts[] = {"<a>", "<a></b>", "<a x='1' x='2'/>", "", "<a/><b/>", "<?xml version='1.0'?>text",
                           "<a>&#1;</a>", "<a b='&#xFFFE;'/>", "<a>\xC3</a>"};
    for (const char* t : texts) {
        CXmlDom dom;
        CString error;
        EXPECT_EQ(dom.LoadText(t, std::strlen(t), &error), E_INVALIDARG) << t;
        EXPECT_FALSE(dom.DocumentElement()) << t;
        EXPECT_FALSE(error.IsEmpty()) << t;
    }
    CXmlDom dom;
    EXPECT_EQ(dom.LoadFile("/nonexistent/x.xml"), STG_E_FILENOTFOUND);
}

TEST(CXmlDomTest, SaveReplacesTheFileWholeAndLeavesNoTemporary)
{
    const auto dir = std::filesystem::temp_directory_path() / ("mvxmldom" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "out.xml").string();
    CXmlDom dom;
    Append(dom, dom.Document(), "ROOT");
    ASSERT_EQ(dom.Save(path.c_str()), S_OK);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    CXmlDom back;
    ASSERT_EQ(back.LoadFile(path.c_str()), S_OK);
    EXPECT_EQ(back.Name(back.DocumentElement()), "ROOT");
    EXPECT_NE(dom.Save((dir / "missing" / "out.xml").string().c_str()), S_OK);
    std::filesystem::remove_all(dir);
}

}  // namespace
