// An engine owner built from the fakes of TransportFakes.h, with default
// settings, a scripted answerer for its message boxes and a recorded sleep.
// Start() takes it as far as the program's first timer tick does: built,
// a document attached, the device opened and the graph running, stopped.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "devices/CAppConfig.h"
#include "platform/res/CScriptedAnswerer.h"
#include "tests/engine/TransportFakes.h"

namespace mvtest {

struct TransportRig : ::testing::Test {
    // The load guard's waits, in order.
    static inline std::mutex sleepLock;
    static inline std::vector<DWORD> sleeps;
    static void RecordSleep(DWORD ms)
    {
        std::lock_guard<std::mutex> lock(sleepLock);
        sleeps.push_back(ms);
    }
    static std::vector<DWORD> Sleeps()
    {
        std::lock_guard<std::mutex> lock(sleepLock);
        return sleeps;
    }

    void SetUp() override
    {
        CAppConfig::SetRewireDeviceMode(false);
        config.emplace();
        CAppConfig::SetDriverType(CTransport::kDriverDirectSound);
        prompts = std::make_shared<CScriptedAnswerer>();
        promptScope = std::make_unique<CPromptAnswererScope>(prompts);
        {
            std::lock_guard<std::mutex> lock(sleepLock);
            sleeps.clear();
        }
        FakeCounter::step = 0;
        transport = std::make_unique<CTransport>(&factory, RecordSleep);
        doc = std::make_unique<FakeTransportDocument>(&factory.journal);
    }

    void TearDown() override
    {
        if (transport)
            transport->SetDocument(nullptr);
        doc.reset();
        transport.reset();
        promptScope.reset();
        config.reset();
        CAppConfig::SetRewireDeviceMode(false);
    }

    // Built, the document attached and reset, the graph re-seeked and running.
    void Start(BOOL rewire = FALSE)
    {
        ASSERT_EQ(S_OK, transport->Init(rewire));
        doc->UseGraph(transport->GetFilterGraph());
        ASSERT_EQ(S_OK, transport->SetDocument(doc.get()));
        ASSERT_EQ(S_OK, transport->ApplyAudioReset());
        ASSERT_EQ(S_OK, transport->ResyncEngine());
        ASSERT_NE(nullptr, Device());
    }

    FakeAudioDevice* Device() { return static_cast<FakeAudioDevice*>(transport->GetAudioDriver()); }

    std::vector<std::string> PromptTexts() const
    {
        std::vector<std::string> out;
        for (const auto& p : prompts->Prompts())
            out.push_back(p.text);
        return out;
    }

    std::optional<CAppConfig> config;
    FakeEngineFactory factory;
    std::shared_ptr<CScriptedAnswerer> prompts;
    std::unique_ptr<CPromptAnswererScope> promptScope;
    std::unique_ptr<CTransport> transport;
    std::unique_ptr<FakeTransportDocument> doc;
};

// A further engine for one case of a table: its own factory (script it
// before Attach), engine owner and document, detached when it goes.
struct CaseEngine {
    // Built and the document attached.
    HRESULT Attach(BOOL rewire = FALSE)
    {
        HRESULT hr = transport.Init(rewire);
        if (FAILED(hr))
            return hr;
        doc.UseGraph(transport.GetFilterGraph());
        return transport.SetDocument(&doc);
    }
    ~CaseEngine() { transport.SetDocument(nullptr); }

    FakeAudioDevice* Device() { return static_cast<FakeAudioDevice*>(transport.GetAudioDriver()); }

    FakeEngineFactory factory;
    CTransport transport{&factory, TransportRig::RecordSleep};
    FakeTransportDocument doc{&factory.journal};
};

}  // namespace mvtest
