#include "tests/layers/LayerTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const std::string &path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

LayerTable BuiltTable() {
  LayerTable table;
  std::string error;
  std::string text = ReadFile(MORVANE_BINARY_DIR "/generated/layers.txt");
  EXPECT_FALSE(text.empty()) << "the build writes the layer table";
  EXPECT_TRUE(LayerTable::Parse(text, table, error)) << error;
  return table;
}

std::string Describe(const std::vector<LayerViolation> &v) {
  std::string s;
  for (auto &e : v) s += e.file + ":" + std::to_string(e.line) + ": " + e.message + "\n";
  return s;
}

}  // namespace

TEST(LayerTable, SourceTreeIncludesOnlyDownward) {
  LayerTable table = BuiltTable();
  auto violations = table.CheckTree(MORVANE_SOURCE_DIR);
  EXPECT_TRUE(violations.empty()) << Describe(violations);
}

TEST(LayerTable, PlantedFixtureFailsAtEachFault) {
  LayerTable table = BuiltTable();
  auto v = table.CheckTree(MORVANE_SOURCE_DIR "/tests/layers/fixture");
  std::vector<std::pair<std::string, int>> where;
  for (auto &e : v) where.emplace_back(e.file, e.line);
  std::sort(where.begin(), where.end());
  std::vector<std::pair<std::string, int>> expected = {
      {"engine/graph/UsesTransport.h", 4},      // graph reaching up to the engine owner
      {"model/Upward.h", 5},                    // model reaching the devices
      {"model/WithQt.cpp", 2},                  // Qt below the window layer
      {"plugins/loopplayer/cliplib/ReachesPlayer.h", 3},  // a layer reaching its side folder
      {"plugins/phaser/ReachesModel.cpp", 3},   // a plug-in reaching into the program
      {"tests/devices/ReachesEngine.cpp", 3},   // a test above the layer it tests
      {"tests/engine/graph/ReachesSynth.cpp", 2},  // a layer's test reaching a plug-in folder
  };
  EXPECT_EQ(where, expected) << Describe(v);
}

TEST(LayerTable, PlacesTestsAndSidesAsTheTableSays) {
  LayerTable table = BuiltTable();
  struct Case {
    const char *path;
    const char *sameAs;
  } cases[] = {
      {"tests/engine/graph/CDxSourceTest.cpp", "engine/graph/CDxSource.h"},
      {"tests/uikit/core/ResStringTest.cpp", "uikit/core/ResString.h"},
      {"platform/com/regsvr/main.cpp", "platform/com/Unknown.h"},
      {"tests/rt/RtProbe.h", "engine/hosting/CMidiDoc.h"},
      {"engine/mixer/X.h", "engine/mixer/Y.h"},
      // The loop-clip library stands at its layer inside the loop player's side folder.
      {"tests/plugins/loopplayer/cliplib/CWaveClipReaderTest.cpp", "plugins/loopplayer/cliplib/CWaveClipReader.h"},
      {"tests/plugins/synthframework/CFilterTest.cpp", "engine/graph/CDxSource.h"},
  };
  for (auto &c : cases) EXPECT_EQ(table.LayerOf(c.path), table.LayerOf(c.sameAs)) << c.path;
  EXPECT_LT(table.LayerOf("engine/graph/CDxSource.h"), table.LayerOf("devices/IAudioDevice.h"));
  EXPECT_LT(table.LayerOf("devices/IAudioDevice.h"), table.LayerOf("engine/CTransport.h"));
  EXPECT_LT(table.LayerOf("uikit/core/ResString.h"), table.LayerOf("model/CPattern.h"));
  EXPECT_LT(table.LayerOf("engine/hosting/X.h"), table.LayerOf("platform/ui/CWnd.h"));
  EXPECT_EQ(table.LayerOf("plugins/phaser/X.cpp"), -1);
  EXPECT_EQ(table.LayerOf("plugins/loopplayer/CTamblor.h"), -1);
  EXPECT_LT(table.LayerOf("platform/audio/X.h"), table.LayerOf("plugins/loopplayer/cliplib/X.h"));
  EXPECT_LT(table.LayerOf("plugins/loopplayer/cliplib/X.h"), table.LayerOf("model/CPattern.h"));
  EXPECT_EQ(table.LayerOf("tools/setup"), -2);
}

TEST(LayerTable, RefusesMalformedTables) {
  const char *bad[] = {"layer\n", "place tests/rt\n", "shelf model\n"};
  for (const char *text : bad) {
    LayerTable t;
    std::string error;
    EXPECT_FALSE(LayerTable::Parse(text, t, error)) << text;
    EXPECT_FALSE(error.empty());
  }
}
