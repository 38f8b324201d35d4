#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/WideString.h"
#include "uikit/core/CDebugLog.h"

namespace {

// A log client that keeps what it is given.
class FakeLogClient : public IKelLogClient {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP RegisterSource(LPCWSTR name, DWORD* source) override
    {
        names.push_back(mvwin::Utf16ToUtf8(name));
        *source = 40 + static_cast<DWORD>(names.size());
        return S_OK;
    }
    STDMETHODIMP IsSourceEnabled(DWORD source) override { return source == enabled ? S_OK : S_FALSE; }
    STDMETHODIMP WriteText(DWORD source, LPCWSTR text) override
    {
        texts.push_back(text);
        return 7;
    }
    STDMETHODIMP DropAdviseSink(IKelLogClientAdvise*) override { return S_OK; }

    DWORD enabled = 15;
    std::vector<std::string> names;
    std::vector<std::u16string> texts;
};

HRESULT VPrintf(IKelLogClient* client, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    HRESULT hr = LogVPrintf(client, 0, 15, format, args);
    va_end(args);
    return hr;
}

TEST(DebugLog, NoClientIsEverConnected)
{
    EXPECT_EQ(InitDebugLog(u"Morvane"), 0);
    EXPECT_EQ(g_DebugLog.GetClient(), nullptr);
    EXPECT_EQ(ShutdownDebugLog(), 1);
    EXPECT_EQ(g_DebugLog.GetClient(), nullptr);
}

TEST(DebugLog, EveryCallWithoutAClientReturnsZeroAndDoesNothing)
{
    IKelLogClient* client = g_DebugLog.GetClient();
    DWORD source = 0xABCD;
    EXPECT_EQ(RegisterLogSource(client, "ReferenceClock", &source), 0);
    EXPECT_EQ(source, 0xABCDu);
    EXPECT_EQ(LogPrintf(client, 15, "%s %s\n", "Morvane", "1.0.0.1"), 0);
    EXPECT_EQ(VPrintf(client, "%d", 1), 0);
    EXPECT_EQ(g_DebugLog.OnLogClientGone(0), S_OK);
}

TEST(DebugLog, QueryInterfaceAnswersTheTwoInterfacesOnly)
{
    CDebugLog log;
    void* out = nullptr;
    EXPECT_EQ(log.QueryInterface(IID_IKelLogClientAdvise, &out), S_OK);
    EXPECT_EQ(out, static_cast<IKelLogClientAdvise*>(&log));
    EXPECT_EQ(log.QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, static_cast<IUnknown*>(&log));
    EXPECT_EQ(log.Release(), 2u);  // 1 from birth + 2 answers - 1

    // Callers may test the out pointer rather than the result.
    out = &log;
    EXPECT_EQ(log.QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(log.QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(log.AddRef(), 3u);
}

TEST(DebugLog, ReleaseCountsButNeverDeletes)
{
    CDebugLog log;
    EXPECT_EQ(log.Release(), 0u);
    EXPECT_EQ(log.AddRef(), 1u);
}

TEST(DebugLog, WithAClientSourcesAreRegisteredInUtf16)
{
    FakeLogClient client;
    DWORD source = 0;
    EXPECT_EQ(RegisterLogSource(&client, "MidiSync", &source), S_OK);
    EXPECT_EQ(source, 41u);
    ASSERT_EQ(client.names.size(), 1u);
    EXPECT_EQ(client.names[0], "MidiSync");
}

TEST(DebugLog, WithAClientOnlyWantedSourcesAreWritten)
{
    FakeLogClient client;
    EXPECT_EQ(LogPrintf(&client, 15, "%s %s\n", "Morvane", "1.0.0.1"), 7);
    EXPECT_EQ(LogPrintf(&client, 16, "unwanted"), 0);
    EXPECT_EQ(LogPrintf(&client, 15, nullptr), 0);
    ASSERT_EQ(client.texts.size(), 1u);
    EXPECT_EQ(client.texts[0], u"Morvane 1.0.0.1\n");
}

TEST(DebugLog, LongMessagesAreCutAt511)
{
    FakeLogClient client;
    std::string longText(600, 'x');
    EXPECT_EQ(LogPrintf(&client, 15, "%s|", longText.c_str()), 7);
    ASSERT_EQ(client.texts.size(), 1u);
    EXPECT_EQ(client.texts[0], std::u16string(511, u'x'));
}

}  // namespace
