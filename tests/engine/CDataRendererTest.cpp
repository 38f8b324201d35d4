#include "engine/CDataRenderer.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CEngineFactory.h"
#include "engine/IRenderTargets.h"
#include "TransportFakes.h"

namespace {

using Log = std::vector<std::string>;

// A receiver that notes each broadcast with its name and fails (or throws)
// the one named in `failOn`.
class Receiver final : public IRenderTarget {
public:
    Receiver(std::string name, Log* log) : m_name(std::move(name)), m_log(log) {}

    HRESULT OnLocate(LONG t) override { return Note("locate " + std::to_string(t)); }
    HRESULT OnStop(LONG t) override { return Note("stop " + std::to_string(t)); }
    HRESULT OnStart(LONG t) override { return Note("start " + std::to_string(t)); }
    HRESULT OnLoop(LONG s, LONG e) override { return Note("loop " + std::to_string(s) + "-" + std::to_string(e)); }
    HRESULT ProcessLiveInput(LONG t) override { return Note("live " + std::to_string(t)); }
    HRESULT RenderSpan(LONG f, LONG t) override
    {
        return Note("render " + std::to_string(f) + "-" + std::to_string(t));
    }
    HRESULT OnRecordingChanged(BOOL r) override { return Note("recording " + std::to_string(r)); }

    std::string failOn;
    HRESULT failWith = E_FAIL;
    bool throws = false;

private:
    HRESULT Note(const std::string& what)
    {
        m_log->push_back(m_name + " " + what);
        if (what.rfind(failOn, 0) == 0 && !failOn.empty()) {
            if (throws)
                throw std::runtime_error("receiver fault");
            return failWith;
        }
        return S_OK;
    }

    std::string m_name;
    Log* m_log;
};

// The receivers of a song: channels and aux buses by id, one master bus.
class Song final : public IRenderTargets {
public:
    HRESULT VisitChannels(IRenderTargetVisitor& v) override { return Visit(channels, v); }
    HRESULT VisitAuxBuses(IRenderTargetVisitor& v) override { return Visit(auxBuses, v); }
    IRenderTarget* GetMainBusTarget() override { return main; }

    std::map<SHORT, Receiver*> channels;
    std::map<SHORT, Receiver*> auxBuses;
    Receiver* main = nullptr;

private:
    static HRESULT Visit(std::map<SHORT, Receiver*>& m, IRenderTargetVisitor& v)
    {
        for (auto& [id, r] : m) {
            HRESULT hr = v.Visit(r);
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }
};

class SongDocument final : public mvtest::FakeTransportDocument {
public:
    explicit SongDocument(mvtest::Journal* j) : FakeTransportDocument(j) {}
    IRenderTargets* GetRenderTargets() override { return &song; }
    Song song;
};

class DataRendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Inserted out of id order: the broadcast follows the ids.
        doc.song.channels[1001] = &ch2;
        doc.song.channels[1000] = &ch1;
        doc.song.auxBuses[8000] = &aux;
        doc.song.main = &main;
        renderer.SetDocument(&doc);
    }

    Log log;
    mvtest::Journal journal;
    SongDocument doc{&journal};
    Receiver ch1{"ch1000", &log}, ch2{"ch1001", &log}, aux{"aux", &log}, main{"main", &log};
    CDataRenderer renderer;
};

struct BroadcastCase {
    const char* name;
    std::function<HRESULT(CDataRenderer&)> call;
    Log heard;
};

TEST_F(DataRendererTest, EachBroadcastReachesChannelsByIdThenAuxBusesThenMasterBus)
{
    const std::vector<BroadcastCase> cases = {
        {"locate", [](CDataRenderer& r) { return r.Locate(480); },
         {"ch1000 locate 480", "ch1001 locate 480", "aux locate 480", "main locate 480"}},
        {"stop", [](CDataRenderer& r) { return r.Stop(10); },
         {"ch1000 stop 10", "ch1001 stop 10", "aux stop 10", "main stop 10"}},
        {"start", [](CDataRenderer& r) { return r.Start(20); },
         {"ch1000 start 20", "ch1001 start 20", "aux start 20", "main start 20"}},
        {"loop", [](CDataRenderer& r) { return r.Loop(0, 3840); },
         {"ch1000 loop 0-3840", "ch1001 loop 0-3840", "aux loop 0-3840", "main loop 0-3840"}},
        {"render", [](CDataRenderer& r) { return r.Render(100, 164); },
         {"ch1000 render 100-164", "ch1001 render 100-164", "aux render 100-164", "main render 100-164"}},
        // Live input and the recording state are the channels' only.
        {"live input", [](CDataRenderer& r) { return r.BeginSpan(7); }, {"ch1000 live 7", "ch1001 live 7"}},
        {"recording", [](CDataRenderer& r) { return r.SetRecording(TRUE); },
         {"ch1000 recording 1", "ch1001 recording 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        EXPECT_EQ(S_OK, c.call(renderer));
        EXPECT_EQ(c.heard, log);
    }
}

TEST_F(DataRendererTest, FirstFailureEndsTheBroadcastWithItsCode)
{
    ch1.failOn = "start";
    ch1.failWith = E_OUTOFMEMORY;
    EXPECT_EQ(E_OUTOFMEMORY, renderer.Start(0));
    EXPECT_EQ(Log({"ch1000 start 0"}), log);

    log.clear();
    ch1.failOn.clear();
    aux.failOn = "render";
    EXPECT_EQ(E_FAIL, renderer.Render(0, 64));
    EXPECT_EQ(Log({"ch1000 render 0-64", "ch1001 render 0-64", "aux render 0-64"}), log);

    log.clear();
    aux.failOn.clear();
    main.failOn = "loop";
    main.failWith = E_ABORT;
    EXPECT_EQ(E_ABORT, renderer.Loop(0, 960));
    EXPECT_EQ(4u, log.size());
}

TEST_F(DataRendererTest, ReceiverExceptionEndsTheBroadcastAsUnexpected)
{
    ch2.failOn = "stop";
    ch2.throws = true;
    EXPECT_EQ(E_UNEXPECTED, renderer.Stop(5));
    EXPECT_EQ(Log({"ch1000 stop 5", "ch1001 stop 5"}), log);
}

TEST_F(DataRendererTest, WithoutDocumentOrReceiversEveryBroadcastSucceedsAndCallsNothing)
{
    mvtest::FakeTransportDocument bare(&journal);
    for (ITransportDocument* d : {static_cast<ITransportDocument*>(nullptr), static_cast<ITransportDocument*>(&bare)}) {
        renderer.SetDocument(d);
        EXPECT_EQ(S_OK, renderer.Locate(0));
        EXPECT_EQ(S_OK, renderer.SetRecording(TRUE));
        EXPECT_EQ(S_OK, renderer.Stop(0));
        EXPECT_EQ(S_OK, renderer.Start(0));
        EXPECT_EQ(S_OK, renderer.Loop(0, 1));
        EXPECT_EQ(S_OK, renderer.BeginSpan(0));
        EXPECT_EQ(S_OK, renderer.Render(0, 1));
    }
    EXPECT_TRUE(log.empty());
}

TEST(EngineFactoryTest, MakesTheDataRenderer)
{
    CEngineFactory factory;
    IDataRenderer* renderer = factory.CreateDataRenderer();
    ASSERT_NE(nullptr, renderer);
    EXPECT_NE(nullptr, dynamic_cast<CDataRenderer*>(renderer));
    delete renderer;
}

}  // namespace
