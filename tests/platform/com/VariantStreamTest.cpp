// Variants in a stream: every carried type round-trips in the documented
// bytes, and a stream that lies about its lengths or types is refused
// without touching the variant.
#include "platform/com/VariantStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace {

mvcom::CComPtr<IStream> StreamOf(const std::vector<BYTE>& bytes)
{
    mvcom::CComPtr<IStream> s;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, s.Put()), S_OK);
    ULONG written = 0;
    if (!bytes.empty())
        s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    return s;
}

std::vector<BYTE> BytesOf(IStream* s)
{
    STATSTG stat{};
    s->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    s->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    return bytes;
}

TEST(VariantStreamTest, EveryTypeRoundTripsInItsDocumentedBytes)
{
    VARIANT empty, null;
    null.vt = VT_NULL;
    const struct {
        const char* name;
        VARIANT value;
        std::vector<BYTE> bytes;
    } cases[] = {
        {"empty", empty, {0, 0}},
        {"null", null, {1, 0}},
        {"i4", VariantFromI4(-2), {3, 0, 0xFE, 0xFF, 0xFF, 0xFF}},
        {"r8", VariantFromR8(1.5), {5, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
        {"bool", VariantFromBool(true), {11, 0, 0xFF, 0xFF}},
        {"text", VariantFromText("C#3"), {8, 0, 3, 0, 0, 0, 'C', '#', '3'}},
        {"empty text", VariantFromText(""), {8, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        mvcom::CComPtr<IStream> s = StreamOf({});
        ASSERT_EQ(WriteVariant(s.Get(), c.value), S_OK) << c.name;
        EXPECT_EQ(BytesOf(s.Get()), c.bytes) << c.name;
        EXPECT_EQ(VariantStreamSize(c.value), c.bytes.size()) << c.name;
        mvcom::CComPtr<IStream> in = StreamOf(c.bytes);
        VARIANT back = VariantFromI4(77);
        ASSERT_EQ(ReadVariant(in.Get(), back), S_OK) << c.name;
        EXPECT_EQ(back.vt, c.value.vt) << c.name;
        EXPECT_EQ(back.bstrVal, c.value.bstrVal) << c.name;
        if (c.value.vt == VT_I4) {
            EXPECT_EQ(back.lVal, c.value.lVal);
        } else if (c.value.vt == VT_R8) {
            EXPECT_EQ(back.dblVal, c.value.dblVal);
        } else if (c.value.vt == VT_BOOL) {
            EXPECT_EQ(back.boolVal, c.value.boolVal);
        }
    }
}

TEST(VariantStreamTest, DishonestStreamsAreRefusedAndLeaveTheVariant)
{
    const struct {
        const char* name;
        std::vector<BYTE> bytes;
    } cases[] = {
        {"nothing", {}},
        {"half a type word", {3}},
        {"short integer", {3, 0, 1, 2}},
        {"unknown type", {9, 0, 0, 0, 0, 0}},
        {"text longer than the stream", {8, 0, 10, 0, 0, 0, 'a'}},
        {"text over the limit", {8, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"odd boolean", {11, 0, 1, 0}},
        {"text with a NUL", {8, 0, 2, 0, 0, 0, 'a', 0}},
    };
    for (const auto& c : cases) {
        mvcom::CComPtr<IStream> in = StreamOf(c.bytes);
        VARIANT v = VariantFromI4(77);
        EXPECT_EQ(ReadVariant(in.Get(), v), E_FAIL) << c.name;
        EXPECT_EQ(v.vt, VT_I4) << c.name;
        EXPECT_EQ(v.lVal, 77) << c.name;
    }
}

}  // namespace
