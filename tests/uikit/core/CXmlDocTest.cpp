#include "uikit/core/CXmlDoc.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "platform/com/CComError.h"

namespace {

class CXmlDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("mvxmldoc" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        ASSERT_TRUE(m_doc.Create());
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const char* name) const { return (m_dir / name).string(); }

    // What xmllint, a reader other than the one we write with, makes of the
    // file: the XPath's string value, or "!" when it refuses the file.
    static std::string Lint(const std::string& path, const char* xpath)
    {
        const std::string cmd = "xmllint --nonet --xpath 'string(" + std::string(xpath) + ")' '" + path + "' 2>/dev/null";
        std::FILE* p = ::popen(cmd.c_str(), "r");
        if (p == nullptr)
            return "!";
        std::string out;
        std::array<char, 256> buf{};
        std::size_t n = 0;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            out.append(buf.data(), n);
        const int status = ::pclose(p);
        if (!out.empty() && out.back() == '\n')
            out.pop_back();
        return status == 0 ? out : "!";
    }

    static bool LintAvailable() { return std::system("xmllint --version >/dev/null 2>&1") == 0; }

    std::filesystem::path m_dir;
    CXmlDoc m_doc;
};

TEST_F(CXmlDocTest, ElementsNestAndTheTagPathFollows)
{
    EXPECT_TRUE(m_doc.AddElement("LOG_INFO"));
    EXPECT_EQ(m_doc.GetCurrentTag(), "<LOG_INFO>");
    EXPECT_EQ(m_doc.GetTagPath(), "");
    m_doc.AddElement("TEMPOS");
    m_doc.AddElement("TEMPO");
    EXPECT_EQ(m_doc.GetCurrentName(), "TEMPO");
    EXPECT_EQ(m_doc.GetTagPath(), "<LOG_INFO><TEMPOS>");
    EXPECT_TRUE(m_doc.CloseElement("TEMPOS"));
    EXPECT_EQ(m_doc.GetCurrentName(), "TEMPOS");
    EXPECT_EQ(m_doc.GetTagPath(), "<LOG_INFO>");
    m_doc.AddElement("TEMPO");
    EXPECT_TRUE(m_doc.CloseElement("LOG_INFO"));
    EXPECT_EQ(m_doc.GetTagPath(), "");
    m_doc.ResetToRoot();
    EXPECT_EQ(m_doc.GetCurrentName(), "LOG_INFO");
    m_doc.AddElement("METERS");
    EXPECT_EQ(m_doc.GetTagPath(), "<LOG_INFO>");
}

TEST_F(CXmlDocTest, ClosingANameNoAncestorHasChangesNothing)
{
    m_doc.AddElement("A");
    m_doc.AddElement("B");
    m_doc.SetAttribute("k", VariantFromI4(1));
    m_doc.AddElement("C");
    m_doc.SetAttribute("n", VariantFromI4(2));
    EXPECT_FALSE(m_doc.CloseElement("Z"));
    EXPECT_FALSE(m_doc.CloseElement("C"));  // its own name is no ancestor's
    EXPECT_EQ(m_doc.GetCurrentName(), "C");
    EXPECT_EQ(m_doc.GetTagPath(), "<A><B>");
    ASSERT_EQ(m_doc.GetAttributeNames().size(), 1u);
    EXPECT_EQ(m_doc.GetAttributeNames()[0], "n");
    EXPECT_FALSE(m_doc.CloseElement(nullptr));
}

TEST_F(CXmlDocTest, OpenElementInsertsFirstOnlyWhenThereAreChildren)
{
    m_doc.AddElement("ROOT");
    m_doc.OpenElement("ONLY");  // no children yet: appended
    m_doc.CloseElement("ROOT");
    m_doc.AddElement("LAST");
    m_doc.CloseElement("ROOT");
    m_doc.OpenElement("FIRST");
    m_doc.CloseElement("ROOT");
    const std::string path = Path("order.xml");
    ASSERT_TRUE(m_doc.Save(path.c_str()));
    CXmlDom back;
    ASSERT_EQ(back.LoadFile(path.c_str()), S_OK);
    std::string order;
    for (CXmlNode n = back.FirstChild(back.DocumentElement()); n; n = back.NextSibling(n))
        order += back.Name(n).Str() + " ";
    EXPECT_EQ(order, "FIRST ONLY LAST ");
}

TEST_F(CXmlDocTest, AttributesMirrorInOrderAndTakeAnyVariantAsText)
{
    m_doc.AddElement("TEMPO");
    m_doc.SetAttribute("Data", VariantFromText("t=0, bpm=120"));
    m_doc.SetAttribute("Count", VariantFromI4(-3));
    m_doc.SetAttribute("Level", VariantFromR8(0.25));
    m_doc.SetAttribute("On", VariantFromBool(true));
    m_doc.SetAttribute("Count", VariantFromI4(4));
    const std::vector<CString> names{"Data", "Count", "Level", "On"};
    const std::vector<CString> values{"t=0, bpm=120", "4", "0.25", "-1"};
    EXPECT_EQ(m_doc.GetAttributeNames(), names);
    EXPECT_EQ(m_doc.GetAttributeValues(), values);
}

TEST_F(CXmlDocTest, RefusedCallsRaiseAndChangeNothing)
{
    auto code = [](auto&& call) {
        try {
            call();
        } catch (const CComError& e) {
            return e.Error();
        }
        return S_OK;
    };
    // No element yet: nothing to set an attribute on.
    EXPECT_EQ(code([&] { m_doc.SetAttribute("Time", VariantFromI4(1)); }), E_POINTER);
    CXmlDoc never;
    EXPECT_EQ(code([&] { never.AddElement("A"); }), E_POINTER);
    EXPECT_EQ(code([&] { never.Save(Path("never.xml").c_str()); }), E_POINTER);

    m_doc.AddElement("A");
    const char* badNames[] = {"", "1st", "two words", "x:y", "<A>", "\xC3"};
    for (const char* n : badNames) {
        EXPECT_EQ(code([&] { m_doc.AddElement(n); }), E_INVALIDARG) << n;
        EXPECT_EQ(code([&] { m_doc.OpenElement(n); }), E_INVALIDARG) << n;
        EXPECT_EQ(code([&] { m_doc.SetAttribute(n, VariantFromI4(1)); }), E_INVALIDARG) << n;
    }
    EXPECT_EQ(code([&] { m_doc.SetAttribute("v", VariantFromText("bell\x07")); }), E_INVALIDARG);
    EXPECT_EQ(code([&] { m_doc.SetAttribute("v", VariantFromText("\xFF")); }), E_INVALIDARG);
    VARIANT null;
    null.vt = VT_NULL;
    EXPECT_EQ(code([&] { m_doc.SetAttribute("v", null); }), DISP_E_TYPEMISMATCH);
    EXPECT_NE(code([&] { m_doc.Save(Path("missing/dir.xml").c_str()); }), S_OK);
    EXPECT_NE(m_doc.GetLastErrorText(), "Success");
    EXPECT_EQ(m_doc.GetCurrentName(), "A");
    EXPECT_EQ(m_doc.GetTagPath(), "");
    EXPECT_TRUE(m_doc.GetAttributeNames().empty());
    ASSERT_TRUE(m_doc.Save(Path("clean.xml").c_str()));
    CXmlDom back;
    ASSERT_EQ(back.LoadFile(Path("clean.xml").c_str()), S_OK);
    EXPECT_FALSE(back.FirstChild(back.DocumentElement()));
    EXPECT_TRUE(m_doc.Create());
    EXPECT_EQ(m_doc.GetLastErrorText(), "Success");
}

// The file is UTF-8 that two readers, ours and xmllint, read back to the
// same elements and attribute values, markup characters and all.
TEST_F(CXmlDocTest, WritesUtf8ThatBothReadersReadBack)
{
    const char* tricky = "a<b>&c\"d'e \xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5";
    m_doc.AddElement("LOG_INFO");
    m_doc.SetAttribute("Time", VariantFromText("2026-01-01 12:00"));
    m_doc.AddElement("TEMPOS");
    m_doc.AddElement("TEMPO");
    m_doc.SetAttribute("Data", VariantFromText("t=0, bpm=120"));
    m_doc.CloseElement("TEMPOS");
    m_doc.AddElement("TEMPO");
    m_doc.SetAttribute("Data", VariantFromText(tricky));
    m_doc.SetAttribute("Lines", VariantFromText("one\ntwo\tthree"));
    const std::string path = Path("dump.xml");
    ASSERT_TRUE(m_doc.Save(path.c_str()));

    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\"", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"), std::string::npos);

    CXmlDom back;
    CString error;
    ASSERT_EQ(back.LoadFile(path.c_str(), &error), S_OK) << error.GetString();
    const CXmlNode tempos = back.FirstChild(back.DocumentElement());
    const CXmlNode second = back.NextSibling(back.FirstChild(tempos));
    ASSERT_TRUE(second);
    const auto attrs = back.Attributes(second);
    ASSERT_EQ(attrs.size(), 2u);
    EXPECT_EQ(attrs[0].second, tricky);
    EXPECT_EQ(attrs[1].second, "one\ntwo\tthree");

    if (!LintAvailable())
        GTEST_SKIP() << "xmllint is not installed (tools/setup installs it)";
    EXPECT_EQ(Lint(path, "/LOG_INFO/@Time"), "2026-01-01 12:00");
    EXPECT_EQ(Lint(path, "/LOG_INFO/TEMPOS/TEMPO[1]/@Data"), "t=0, bpm=120");
    EXPECT_EQ(Lint(path, "/LOG_INFO/TEMPOS/TEMPO[2]/@Data"), tricky);
    EXPECT_EQ(Lint(path, "/LOG_INFO/TEMPOS/TEMPO[2]/@Lines"), "one\ntwo\tthree");
    EXPECT_EQ(Lint(path, "count(//TEMPO)"), "2");
}

}  // namespace
