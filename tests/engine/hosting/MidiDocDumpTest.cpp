// The song document's three diagnostic dumps, written into a scratch folder
// and read back with the XML reader.
#include "engine/hosting/CMidiDoc.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/hosting/CProjectDocument.h"
#include "model/CPatternInstance.h"
#include "platform/xml/CXmlDom.h"
#include "tests/engine/hosting/SongDocFixture.h"
#include "tests/model/PatternTestSupport.h"

namespace {

namespace fs = std::filesystem;

// The dumps write into the current directory: each test runs in its own.
class MidiDocDumpTest : public songdoctest::SongDocTest {
protected:
    void SetUp() override
    {
        m_saved = fs::current_path();
        m_folder = fs::temp_directory_path() /
                   ("mv_dump_" + std::to_string(::getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        fs::current_path(m_folder);
        SongDocTest::SetUp();
    }
    void TearDown() override
    {
        SongDocTest::TearDown();
        fs::current_path(m_saved);
        fs::remove_all(m_folder);
    }

    SHORT AddTrack(const char* name)
    {
        EXPECT_EQ(S_OK, doc->InsertChannel(doc->GetChannelCount(), FALSE, &CLSID_NoSynth, "", nullptr));
        EXPECT_EQ(S_OK, doc->SetChannelName(doc->GetChannelCount() - 1, name, FALSE));
        return doc->GetChannelIdAt(doc->GetChannelCount() - 1);
    }

    // The file read back; fails the test when it does not parse.
    void Load(const char* file)
    {
        CString error;
        ASSERT_EQ(S_OK, xml.LoadFile((m_folder / file).c_str(), &error)) << error.GetString();
    }

    // Every element of that name below node, in document order.
    std::vector<CXmlNode> All(CXmlNode node, const char* name) const
    {
        std::vector<CXmlNode> found;
        for (CXmlNode c = xml.FirstChild(node); c; c = xml.NextSibling(c)) {
            if (xml.Type(c) != CXmlDom::NodeType::Element)
                continue;
            if (xml.Name(c) == name)
                found.push_back(c);
            for (CXmlNode d : All(c, name))
                found.push_back(d);
        }
        return found;
    }
    // Runs the dump and reads its file back, header checked.
    void DumpAndLoad(HRESULT (CMidiDoc::*dump)(), const char* file)
    {
        ASSERT_EQ(S_OK, (doc->*dump)());
        Load(file);
        ExpectTimeHeader();
    }

    std::vector<CXmlNode> All(const char* name) const { return All(xml.Document(), name); }

    std::string Attr(CXmlNode node, const char* name) const
    {
        for (const auto& [key, value] : xml.Attributes(node))
            if (key == name)
                return value.GetString();
        return "<none>";
    }

    // The header's time: weekday, day, month, year, time and one blank.
    void ExpectTimeHeader() const
    {
        const auto log = All("LOG_INFO");
        ASSERT_EQ(log.size(), 1u);
        const std::string time = Attr(log[0], "Time");
        ASSERT_GT(time.size(), 2u);
        EXPECT_EQ(time.back(), ' ');
        EXPECT_NE(time[time.size() - 2], ' ');
        EXPECT_NE(time.find(", "), std::string::npos) << time;
    }

    CXmlDom xml;

private:
    fs::path m_saved;
    fs::path m_folder;
};

TEST_F(MidiDocDumpTest, EmptySongWritesTheHeaderAndEmptyLists)
{
    DumpAndLoad(&CMidiDoc::DumpContentXml, "MvCONTENT_MSXML.xml");
    ASSERT_EQ(All("MvPATS").size(), 1u);
    ASSERT_EQ(All("MvTRACKS").size(), 1u);
    EXPECT_TRUE(All("PAT").empty());
    EXPECT_TRUE(All("TRACK").empty());
}

TEST_F(MidiDocDumpTest, ContentListsPatternsWithEventsAndTracksWithInstances)
{
    const SHORT drums = AddTrack("Drums");
    AddTrack("Bass");
    CPattern* full = nullptr;
    CPattern* empty = nullptr;
    ASSERT_EQ(S_OK, doc->CreatePattern(7, FALSE, nullptr, &full));
    ASSERT_EQ(S_OK, doc->CreatePattern(8, FALSE, nullptr, &empty));
    full->SetDuration(3840);
    ASSERT_EQ(S_OK, full->InsertEvent(pattest::Note(0, 60), FALSE, nullptr, FALSE));
    ASSERT_EQ(S_OK, full->InsertEvent(pattest::Note(480, 64), FALSE, nullptr, FALSE));
    CChannel* channel = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannel(drums, &channel));
    CPatternInstance instance(full);
    instance.SetStart(3840);
    instance.SetEnd(3840 + 3840 + 960 + 5);
    ASSERT_EQ(S_OK, channel->AddPatternInstance(instance, FALSE, nullptr));

    DumpAndLoad(&CMidiDoc::DumpContentXml, "MvCONTENT_MSXML.xml");
    const auto pats = All("PAT");
    ASSERT_EQ(pats.size(), 2u);
    EXPECT_EQ(Attr(pats[0], "ID"), "7");
    EXPECT_EQ(Attr(pats[0], "Dur"), "3840");
    EXPECT_EQ(Attr(pats[0], "Name"), full->GetDisplayName().GetString());
    EXPECT_EQ(Attr(pats[1], "ID"), "8");
    // Each pattern keeps an event list, the empty one too.
    const auto fullEvents = All(pats[0], "EVENT");
    ASSERT_EQ(fullEvents.size(), 2u);
    EXPECT_EQ(Attr(fullEvents[0], "Data"), pattest::Note(0, 60).GetText().GetString());
    EXPECT_EQ(Attr(fullEvents[1], "Data"), pattest::Note(480, 64).GetText().GetString());
    EXPECT_EQ(All(pats[1], "EVENTS").size(), 1u);
    EXPECT_TRUE(All(pats[1], "EVENT").empty());

    const auto tracks = All("TRACK");
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(Attr(tracks[0], "Name"), "Drums");
    EXPECT_EQ(Attr(tracks[0], "ID"), std::to_string(drums));
    EXPECT_EQ(Attr(tracks[1], "Name"), "Bass");
    const auto insts = All(tracks[0], "PATINST");
    ASSERT_EQ(insts.size(), 1u);
    EXPECT_EQ(Attr(insts[0], "PATID"), "7");
    EXPECT_EQ(Attr(insts[0], "START"), "2: 1:000");
    EXPECT_EQ(Attr(insts[0], "END"), "3: 2:005");
    EXPECT_TRUE(All(tracks[1], "PATINST").empty());
}

TEST_F(MidiDocDumpTest, MapsListTempoAndMeterEntries)
{
    ASSERT_EQ(S_OK, doc->GetTempoMap()->Insert(1, CTempo(1920, 9000)));
    DumpAndLoad(&CMidiDoc::DumpMapsXml, "MvMAPS_MSXML.xml");
    const auto tempos = All("TEMPO");
    ASSERT_EQ(tempos.size(), 2u);
    EXPECT_EQ(Attr(tempos[0], "Data"), "t=0, bpm=14000");
    EXPECT_EQ(Attr(tempos[1], "Data"), "t=1920, bpm=9000");
    const auto meters = All("METERKEY");
    ASSERT_EQ(meters.size(), 1u);
    EXPECT_EQ(Attr(meters[0], "Data"), "t=0, top=4, bot=2, key=0");
}

TEST_F(MidiDocDumpTest, ParamsListEveryChannelAndAuxBusWithTheirGroups)
{
    const SHORT first = AddTrack("One");
    const SHORT second = AddTrack("Two");
    DumpAndLoad(&CMidiDoc::DumpParamsXml, "MvPARAMS_MSXML.xml");
    const auto chans = All("CHAN");
    ASSERT_EQ(chans.size(), 2u);
    std::vector<std::string> ids{Attr(chans[0], "ID"), Attr(chans[1], "ID")};
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{std::to_string(first), std::to_string(second)}));
    for (CXmlNode chan : chans) {
        const auto objects = All(chan, "OBJECT");
        ASSERT_FALSE(objects.empty());
        for (CXmlNode object : objects) {
            const int start = std::stoi(Attr(object, "ParamStart"));
            const int count = std::stoi(Attr(object, "ParamCount"));
            EXPECT_GT(count, 0);
            // Name, ParamStart, ParamCount, then the parameters by id, each
            // named and inside the group's range.
            const auto attributes = xml.Attributes(object);
            ASSERT_GT(attributes.size(), 3u);
            for (std::size_t i = 3; i < attributes.size(); ++i) {
                const int id = std::stoi(attributes[i].first.GetString() + 1);
                EXPECT_GE(id, start);
                EXPECT_LT(id, start + count);
                EXPECT_FALSE(attributes[i].second.IsEmpty());
            }
        }
    }
    EXPECT_EQ(All("AUX").size(), static_cast<std::size_t>(doc->GetAuxBusCount()));
}

TEST_F(MidiDocDumpTest, TheDumpCommandOfTheDocumentObjectWritesAllThree)
{
    CProjectDocument::Setup setup;
    setup.engine = &engine;
    CProjectDocument project(setup);
    EXPECT_EQ(E_UNEXPECTED, project.OnCommand(CProjectDocument::kDumpXmlCommand));
    EXPECT_EQ(S_FALSE, project.OnCommand(CProjectDocument::kDumpXmlCommand + 1));
    ASSERT_EQ(S_OK, project.NewDocument());
    ASSERT_EQ(S_OK, project.OnCommand(CProjectDocument::kDumpXmlCommand));
    for (const char* file : {"MvPARAMS_MSXML.xml", "MvCONTENT_MSXML.xml", "MvMAPS_MSXML.xml"}) {
        SCOPED_TRACE(file);
        Load(file);
        ExpectTimeHeader();
    }
}

TEST_F(MidiDocDumpTest, AnUnwritableFolderIsAFailureNotSuccess)
{
    fs::path folder = fs::current_path() / "ro";
    fs::create_directories(folder);
    fs::current_path(folder);
    fs::remove_all(folder);  // the current directory is gone: nothing can be saved there
    EXPECT_TRUE(FAILED(doc->DumpMapsXml()));
    EXPECT_TRUE(FAILED(doc->DumpContentXml()));
}

}  // namespace
