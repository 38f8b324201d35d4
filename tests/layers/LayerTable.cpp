#include "tests/layers/LayerTable.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool Under(const std::string &path, const std::string &folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

std::string Generic(const fs::path &p) { return p.lexically_normal().generic_string(); }

}  // namespace

bool LayerTable::Parse(const std::string &text, LayerTable &out, std::string &error) {
  std::istringstream in(text);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    std::istringstream words(line);
    std::string kind;
    if (!(words >> kind)) continue;
    std::vector<std::string> args;
    for (std::string w; words >> w;) args.push_back(w);
    if (args.empty()) {
      error = "line " + std::to_string(n) + ": nothing after '" + kind + "'";
      return false;
    }
    if (kind == "layer") {
      out.layers_.push_back(args);
    } else if (kind == "place") {
      auto eq = args[0].find('=');
      if (eq == std::string::npos) {
        error = "line " + std::to_string(n) + ": a place needs dir=layerdir";
        return false;
      }
      out.places_.emplace_back(args[0].substr(0, eq), args[0].substr(eq + 1));
    } else if (kind == "side") {
      out.sides_.insert(out.sides_.end(), args.begin(), args.end());
    } else {
      error = "line " + std::to_string(n) + ": unknown kind '" + kind + "'";
      return false;
    }
  }
  return true;
}

// Tests and benchmarks take the place of what they test: tests/engine/graph/X
// stands where engine/graph/X does, unless the table places the folder.
std::string LayerTable::Place(const std::string &relPath) const {
  std::string best, to;
  for (auto &[dir, layerDir] : places_)
    if (Under(relPath, dir) && dir.size() > best.size()) best = dir, to = layerDir;
  if (!best.empty()) return to + "/" + relPath.substr(best.size() + 1);
  if (Under(relPath, "tests")) return relPath.substr(6);
  return relPath;
}

// A path belongs to the longest folder of the table that holds it, layer or
// side: a layer folder inside a side folder (a plug-in's library that the
// program links too) stands at its layer, the rest of the side folder beside.
LayerTable::Found LayerTable::Resolve(const std::string &relPath) const {
  std::string p = Place(relPath);
  Found f;
  size_t bestLen = 0;
  for (size_t i = 0; i < layers_.size(); ++i)
    for (auto &dir : layers_[i])
      if (Under(p, dir) && dir.size() > bestLen) f.layer = int(i), bestLen = dir.size();
  for (auto &s : sides_)
    if (Under(p, s) && s.size() > bestLen) f.layer = kSide, f.side = s, bestLen = s.size();
  return f;
}

std::string LayerTable::SideOf(const std::string &relPath) const { return Resolve(relPath).side; }

int LayerTable::LayerOf(const std::string &relPath) const { return Resolve(relPath).layer; }

bool LayerTable::QtAllowed(const std::string &relPath) const {
  std::string p = Place(relPath);
  return Under(p, "platform/ui") || p == "app/main.cpp";
}

void LayerTable::CheckFile(const fs::path &root, const fs::path &file,
                           std::vector<LayerViolation> &out) const {
  static const std::regex quoted(R"re(^\s*#\s*include\s*"([^"]+)")re");
  static const std::regex angled(R"re(^\s*#\s*include\s*<(Qt\w*|Q[A-Z]\w*)[/>])re");
  std::string rel = Generic(fs::relative(file, root));
  int from = LayerOf(rel);
  std::string side = SideOf(rel);
  std::ifstream in(file);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    std::smatch m;
    if (std::regex_search(line, m, angled)) {
      if (!QtAllowed(rel))
        out.push_back({rel, n, "includes Qt <" + m[1].str() + "> outside the window layer"});
      continue;
    }
    if (!std::regex_search(line, m, quoted)) continue;
    std::string target = m[1].str();
    fs::path local = file.parent_path() / target;
    if (fs::exists(local)) target = Generic(fs::relative(local, root));
    int to = LayerOf(target);
    if (to == kNone) continue;  // generated or system headers
    std::string toSide = SideOf(target);
    std::string toPlace = Place(target);
    if (from == kSide) {
      // A side folder's own files include the layer folders inside it.
      bool ok = Under(toPlace, "platform") || toSide == side || Under(toPlace, side) ||
                toSide == "plugins/synthframework";
      if (!ok) out.push_back({rel, n, "includes " + target + " from beside the program (" + side + ")"});
    } else if (from == kNone) {
      continue;
    } else if (to == kSide) {
      // A side folder's own tests and benchmarks may stand at a layer (to
      // drive it through the program's graph) and still reach the folder
      // they measure.
      if (Under(rel, "tests/" + toSide) || Under(rel, "bench/" + toSide)) continue;
      out.push_back({rel, n, "includes " + target + " of " + toSide + ", which stands beside the layers"});
    } else if (to > from) {
      out.push_back({rel, n, "includes " + target + ": layer " + layers_[to].front() +
                                 " is above layer " + layers_[from].front()});
    }
  }
}

std::vector<LayerViolation> LayerTable::CheckTree(const fs::path &root) const {
  std::vector<LayerViolation> out;
  static const char *const kTops[] = {"platform", "uikit",   "model",   "engine",
                                      "devices",  "app",     "patterneditor", "views",
                                      "plugins",  "plugmgr", "tests",   "bench",
                                      "resources"};
  for (const char *top : kTops) {
    fs::path dir = root / top;
    if (!fs::is_directory(dir)) continue;
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
      // The checker's own fixture plants faults on purpose.
      if (it->is_directory() && Generic(fs::relative(it->path(), root)) == "tests/layers/fixture") {
        it.disable_recursion_pending();
        continue;
      }
      auto ext = it->path().extension();
      if (it->is_regular_file() && (ext == ".h" || ext == ".cpp" || ext == ".hpp" || ext == ".inl"))
        files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (auto &f : files) CheckFile(root, f, out);
  }
  return out;
}
