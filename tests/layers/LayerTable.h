#pragma once
// The layer table and a checker of a source tree against it. A folder's
// files may include their own layer and the layers below it; side folders
// (plug-ins, the plug-in manager) may include the platform, the shared synth
// framework and themselves. Tests and benchmarks stand at the layer of what
// they test. Only the window layer and the program's main include Qt.
#include <filesystem>
#include <string>
#include <vector>

struct LayerViolation {
  std::string file;  // relative to the tree's root
  int line = 0;
  std::string message;
};

class LayerTable {
public:
  // Reads the lines "layer dir...", "place dir=layerdir" and "side dir".
  static bool Parse(const std::string &text, LayerTable &out, std::string &error);

  std::vector<LayerViolation> CheckTree(const std::filesystem::path &root) const;

  // Index of a path's layer (bottom is 0); -1 for a side folder, -2 for a
  // path outside every layer. The longest folder of the table that holds the
  // path decides, layer or side.
  int LayerOf(const std::string &relPath) const;

private:
  static constexpr int kSide = -1;
  static constexpr int kNone = -2;

  struct Found {
    int layer = kNone;
    std::string side;  // empty unless the path stands in a side folder
  };

  Found Resolve(const std::string &relPath) const;
  std::string Place(const std::string &relPath) const;
  std::string SideOf(const std::string &relPath) const;
  bool QtAllowed(const std::string &relPath) const;
  void CheckFile(const std::filesystem::path &root, const std::filesystem::path &file,
                 std::vector<LayerViolation> &out) const;

  std::vector<std::vector<std::string>> layers_;
  std::vector<std::pair<std::string, std::string>> places_;
  std::vector<std::string> sides_;
};
