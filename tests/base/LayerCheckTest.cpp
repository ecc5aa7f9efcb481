// The layers: every include in src/ points down the link graph the build writes
// (layers.txt, cmake/Layers.cmake), the one table of the layers. A file may include
// what its layer's scope holds and what the scopes of the layers it links hold,
// through their public links too, as the build's include folders do; includes in
// <...> are read like quoted ones. Two rules narrow the scopes: an include that climbs
// out of its folder with ".." or names an absolute path is refused (the build's check
// step refuses it too), and a state scope (doc_state: the subsystems' *State.h and
// *Ops.inc) is seen only by the layers that link it by name, so a subsystem does not
// reach another's state through the document. The second holds in the build as well
// once app/QelDoc.h stops including the states and app links doc_state privately.
// GCC 12 reports std::regex's own state copies as maybe uninitialised (GCC bug 105562).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

struct Layer {
  bool state = false;                // a state scope, not a library
  std::vector<std::string> scope;    // folders and files below src/
  std::vector<std::string> links;    // public and private
  std::vector<std::string> exports;  // public only
};

// layers.txt: name|kind|scope|public links|private links
std::map<std::string, Layer> ReadGraph(const fs::path& file) {
  std::map<std::string, Layer> graph;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> field;
    std::istringstream parts(line);
    for (std::string f; std::getline(parts, f, '|');) field.push_back(f);
    field.resize(5);
    Layer& layer = graph[field[0]];
    layer.state = field[1] == "state";
    layer.scope = Words(field[2]);
    layer.exports = Words(field[3]);
    layer.links = Words(field[3] + " " + field[4]);
  }
  return graph;
}

const std::map<std::string, Layer>& Graph() {
  static const std::map<std::string, Layer> graph = ReadGraph(PELNORIX_LAYER_GRAPH);
  return graph;
}

bool Covers(const std::string& entry, const std::string& path) {
  return path == entry || (path.size() > entry.size() && path.compare(0, entry.size(), entry) == 0 &&
                           path[entry.size()] == '/');
}

// The library whose folders hold path (below src/); "" for none.
std::string LayerOf(const std::string& path) {
  std::string best;
  size_t length = 0;
  for (const auto& [name, layer] : Graph()) {
    for (const std::string& entry : layer.scope) {
      if (!layer.state && Covers(entry, path) && entry.size() > length) best = name, length = entry.size();
    }
  }
  return best;
}

// The scope entries a layer's files see: its own, and of each layer it links those
// of the link and of the link's public links, a state scope only when linked by name.
void Reach(const std::string& name, bool byName, std::set<std::string>& seen, std::set<std::string>& entries) {
  const auto it = Graph().find(name);
  if (it == Graph().end() || (it->second.state && !byName) || !seen.insert(name).second) return;
  entries.insert(it->second.scope.begin(), it->second.scope.end());
  for (const std::string& link : it->second.exports) Reach(link, false, seen, entries);
}

std::set<std::string> Visible(const std::string& layer) {
  std::set<std::string> seen = {layer}, entries;
  const Layer& own = Graph().at(layer);
  entries.insert(own.scope.begin(), own.scope.end());
  for (const std::string& link : own.links) Reach(link, true, seen, entries);
  return entries;
}

// Empty when `from` (a path below src/) may include `spelled` (as written between
// the quotes or brackets), else why not.
std::string Refusal(const std::string& from, const std::string& spelled, bool angled, const fs::path& src) {
  const std::vector<std::string> parts = [&] {
    std::vector<std::string> p;
    std::istringstream in(spelled);
    for (std::string part; std::getline(in, part, '/');) p.push_back(part);
    return p;
  }();
  for (const std::string& part : parts) {
    if (part == "..") return "climbs out of its folder with ..";
  }
  if (!spelled.empty() && spelled[0] == '/') return "names an absolute path";
  // A quoted include looks beside its file first.
  std::string path = spelled;
  const std::string beside = (fs::path(from).parent_path() / spelled).generic_string();
  if (!angled && fs::exists(src / beside)) path = beside;
  const std::string target = LayerOf(path);
  if (target.empty()) return "";  // the standard library, the system's, a peer's
  const std::string layer = LayerOf(from);
  if (layer.empty()) return "is in no layer of the build";
  for (const std::string& entry : Visible(layer)) {
    if (Covers(entry, path)) return "";
  }
  return layer + " may not include " + target;
}

struct Finding {
  std::string where;
  std::string why;
};

std::vector<Finding> Scan(const fs::path& src) {
  const std::regex include(R"re(^\s*#\s*include\s*([<"])([^">]+)[">])re");
  std::vector<Finding> found;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h" && ext != ".inc") continue;
    const std::string rel = fs::relative(entry.path(), src).generic_string();
    std::ifstream in(entry.path());
    std::string line;
    std::smatch m;
    for (int number = 1; std::getline(in, line); ++number) {
      if (line.find("include") == std::string::npos || !std::regex_search(line, m, include)) continue;
      const std::string why = Refusal(rel, m[2], m[1] == "<", src);
      if (!why.empty()) found.push_back({rel + ":" + std::to_string(number) + " " + std::string(m[2]), why});
    }
  }
  return found;
}

fs::path Src() { return fs::path(PELNORIX_SOURCE_DIR) / "src"; }

bool HaveGraph() { return Graph().count("base") && Graph().count("app"); }

}  // namespace

TEST(LayerCheck, EveryIncludePointsDownTheLayers) {
  ASSERT_TRUE(fs::is_directory(Src())) << Src();
  ASSERT_TRUE(HaveGraph()) << "no link graph at " << PELNORIX_LAYER_GRAPH;
  std::ostringstream report;
  for (const Finding& f : Scan(Src())) report << f.where << " (" << f.why << ")\n";
  EXPECT_TRUE(report.str().empty()) << "includes outside the layers' link graph:\n" << report.str();
}

// Planted includes are named, and the edges the build links pass.
TEST(LayerCheck, TheLinkGraphRefusesUpwardSidewaysAndClimbingIncludes) {
  struct Case {
    const char* from;
    const char* included;
    bool allowed;
  };
  ASSERT_TRUE(HaveGraph()) << "no link graph at " << PELNORIX_LAYER_GRAPH;
  const Case cases[] = {
      {"platform/os/Files.cpp", "app/QelDoc.h", false},
      {"base/DisplayWriter.cpp", "platform/text/CodePage.h", false},
      {"base/DisplayWriter.cpp", "../platform/text/CodePage.h", false},
      {"convert/pdf/PdfWalk.cpp", "../ConvertState.h", false},
      {"base/DisplayWriter.cpp", "/usr/include/stdio.h", false},
      {"platform/text/CodePage.cpp", "platform/os/Files.h", false},
      {"codec/Inflate.cpp", "platform/text/CodePage.h", false},
      {"codec/Inflate.cpp", "archive/ArchivePaths.h", false},
      {"image/DecodeGif.cpp", "convert/pdf/PdfReader.h", false},
      {"image/DecodeGif.cpp", "convert/ConvertState.h", false},
      {"app/LoadDocument.cpp", "convert/charmap/TextDecode.h", false},
      {"app/QelDoc.cpp", "frame/MainFrame.h", false},
      {"app/QelDoc.cpp", "<frame/MainFrame.h>", false},
      {"filelist/FlistView.cpp", "net/FtpSite.h", false},
      {"platform/richedit/RichEdit.h", "platform/mci/Mci.h", false},
      {"app/QelDoc.h", "image/ImageState.h", true},
      {"view/QelView.h", "richtext/TableOps.inc", true},
      {"frame/MainFrame.cpp", "app/QelDoc.h", true},
      {"convert/pdf/PdfWalk.cpp", "codec/LzwDecode.h", true},
      {"codec/Inflate.cpp", "<base/ByteCursor.h>", true},
      {"net/FtpCommands.cpp", "filelist/FlistView.h", true},
      {"platform/mci/Mci.h", "platform/ui/Ui.h", true},
      {"cli/CommandTables.cpp", "media/MediaCommands.h", true},
      {"codec/Inflate.cpp", "<vector>", true},
  };
  for (const Case& c : cases) {
    std::string spelled = c.included;
    const bool angled = spelled[0] == '<';
    if (angled) spelled = spelled.substr(1, spelled.size() - 2);
    EXPECT_EQ(Refusal(c.from, spelled, angled, Src()).empty(), c.allowed) << c.from << " -> " << c.included;
  }
}
