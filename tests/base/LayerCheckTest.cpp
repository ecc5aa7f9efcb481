// The layers: every object of the program includes only what its layer may see, read
// from the headers the compiler resolved for it (the build's deps log, `ninja -t deps`),
// so no spelling of an include (a macro, a comment, a continued line, a digraph,
// #include_next, a climb with "..", an absolute path) slips past. The allowed edges are
// the link graph the build writes (layers.txt, cmake/Layers.cmake): an object sees its
// layer's scope and the scopes of the layers it links and of their public links, as its
// include folders do, and a state scope only where the build grants it (the document's
// states to app/QelDoc.cpp and the settings table, the view's to view/). A header
// reached through a scope must be one that scope holds; one reached in src/ directly
// (beside its file, or by a climb or an absolute path) must lie in the object's layer, a
// generated one in a layer the object sees, and any other in the compiler's own include
// folders: a header anywhere else (another tree's copy of a state) is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = PELNORIX_BUILD_DIR;
const fs::path kSrc = fs::path(PELNORIX_SOURCE_DIR) / "src";

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
  std::vector<std::string> granted;  // the sources a state scope is granted to
};

// layers.txt: name|kind|scope|public links|private links|granted to
std::map<std::string, Layer> ReadGraph() {
  std::map<std::string, Layer> graph;
  std::istringstream in(testenv::ReadHostFile((kBuild / "layers.txt").string()));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> field;
    std::istringstream parts(line);
    for (std::string f; std::getline(parts, f, '|');) field.push_back(f);
    field.resize(6);
    Layer& layer = graph[field[0]];
    layer.state = field[1] == "state";
    layer.scope = Words(field[2]);
    layer.exports = Words(field[3]);
    layer.links = Words(field[3] + " " + field[4]);
    layer.granted = Words(field[5]);
  }
  return graph;
}

const std::map<std::string, Layer>& Graph() {
  static const std::map<std::string, Layer> graph = ReadGraph();
  return graph;
}

bool Covers(const std::string& entry, const std::string& path) {
  return path == entry || (path.size() > entry.size() && path.compare(0, entry.size(), entry) == 0 &&
                           path[entry.size()] == '/');
}

bool Holds(const std::string& name, const std::string& path) {
  for (const std::string& entry : Graph().at(name).scope) {
    if (Covers(entry, path)) return true;
  }
  return false;
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

// The scopes an object of `layer` compiled from `source` sees: its layer's, every link's
// and, through them, their public links', and the state scopes granted to the source.
std::set<std::string> Sees(const std::string& layer, const std::string& source) {
  std::set<std::string> seen = {layer};
  std::vector<std::string> pending = Graph().at(layer).links;
  while (!pending.empty()) {
    const std::string next = pending.back();
    pending.pop_back();
    if (!Graph().count(next) || !seen.insert(next).second) continue;
    for (const std::string& link : Graph().at(next).exports) pending.push_back(link);
  }
  for (const auto& [name, scope] : Graph()) {
    for (const std::string& entry : scope.granted) {
      if (Covers(entry, source)) seen.insert(name);
    }
  }
  return seen;
}

// The path below root, or "" when the path lies outside it.
std::string Below(const fs::path& path, const fs::path& root) {
  const std::string rel = path.lexically_relative(root).generic_string();
  return rel.empty() || rel == "." || rel.rfind("..", 0) == 0 ? "" : rel;
}

// The compiler's own include folders (the standard library, the system's and the
// peers' headers), as the build read them from the compiler.
const std::vector<fs::path>& SystemFolders() {
  static const std::vector<fs::path> folders = [] {
    std::vector<fs::path> found;
    std::istringstream in(PELNORIX_SYSTEM_INCLUDES);
    for (std::string folder; std::getline(in, folder, '|');) {
      if (!folder.empty()) found.push_back(fs::path(folder).lexically_normal());
    }
    return found;
  }();
  return folders;
}

// Empty when an object of `layer` compiled from `source` may have `dep` (as the compiler
// wrote it, relative to the build folder or absolute) among its headers, else why not.
std::string Refusal(const std::string& layer, const std::string& source, const std::string& dep) {
  const fs::path path = (fs::path(dep).is_absolute() ? fs::path(dep) : kBuild / dep).lexically_normal();
  const std::string scoped = Below(path, kBuild / "scopes");
  if (!scoped.empty()) {
    const std::string scope = scoped.substr(0, scoped.find('/'));
    const std::string header = scoped.substr(scoped.find('/') + 1);
    if (!Graph().count(scope)) return source + " reaches " + header + " through " + scope + ", no layer of the build";
    if (!Sees(layer, source).count(scope)) return source + " reaches " + header + " through " + scope + ", which " + layer + " does not see";
    if (!Holds(scope, header)) return source + " reaches " + header + " through " + scope + ", which does not hold it";
    return "";
  }
  const std::string direct = Below(path, kSrc);
  if (!direct.empty()) return Holds(layer, direct) ? "" : source + " reaches " + direct + " outside the folders of " + layer;
  if (Below(path, kBuild / "src") == source) return "";  // a generated source, its own
  const std::string generated = Below(path, kBuild / "src" / "generated");
  if (!generated.empty()) {
    const std::string owner = LayerOf(generated);
    if (owner.empty() || !Sees(layer, source).count(owner)) return source + " reaches the generated " + generated + ", which " + layer + " does not see";
    return "";
  }
  for (const fs::path& folder : SystemFolders()) {
    if (!Below(path, folder).empty()) return "";
  }
  return source + " reaches " + path.string() + " outside the source, the scopes and the system's folders";
}

struct Object {
  std::string layer;
  std::string source;  // below src/
  std::vector<std::string> deps;
};

// The program's objects in the deps log: src/CMakeFiles/<target>.dir/<source>.o.
std::vector<Object> ReadDeps(const std::string& log) {
  std::vector<Object> objects;
  const std::string prefix = "src/CMakeFiles/";
  std::istringstream in(log);
  bool keep = false;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    if (line[0] != ' ') {
      const std::string name = line.substr(0, line.find(": #deps"));
      const size_t dir = name.find(".dir/");
      keep = name.rfind(prefix, 0) == 0 && dir != std::string::npos && name.size() > 2 &&
             name.compare(name.size() - 2, 2, ".o") == 0;
      if (!keep) continue;
      const std::string target = name.substr(prefix.size(), dir - prefix.size());
      const std::string source = name.substr(dir + 5, name.size() - dir - 7);
      std::string layer = Graph().count(target) ? target : LayerOf(source);
      keep = !layer.empty() && !Graph().at(layer).state;
      if (keep) objects.push_back({layer, source, {}});
    } else if (keep) {
      objects.back().deps.push_back(line.substr(line.find_first_not_of(' ')));
    }
  }
  return objects;
}

bool HaveGraph() { return Graph().count("base") && Graph().count("app") && Graph().count("doc_state"); }

// Plants `text` as a header that a source of from's folder includes, preprocesses it as
// the build compiles `from`, with every other scope of the build after the layer's own
// (as if a scope had leaked into the layer), and returns the check's refusals of what
// the compiler resolved; "cannot plant" and the compiler's words when it fails.
std::string PlantAndCheck(const std::string& from, std::string text) {
  const std::string layer = LayerOf(from);
  const std::string object = "src/CMakeFiles/" + layer + ".dir/" + from + ".o";
  std::string command = testenv::Shell(PELNORIX_NINJA " -C " + testenv::Quote(kBuild.string()) +
                                       " -t commands -s " + testenv::Quote(object));
  while (!command.empty() && command.back() == '\n') command.pop_back();
  const std::string source = " -c " + (kSrc / from).string();
  const std::string output = "-o " + object;
  const size_t at = command.find(source), out = command.find(output);
  if (at == std::string::npos || out == std::string::npos) return "cannot plant: no object " + object;
  testenv::TempDir dir;
  const std::string planted = dir.HostPath("Planted.cpp");
  for (size_t p; (p = text.find("@SRC@")) != std::string::npos;) text.replace(p, 5, kSrc.string());
  const std::string outside = dir.HostPath("src").substr(0, dir.HostPath("src").size() - 4);
  if (text.find("@DIR@") != std::string::npos) {
    // A copy of a state header at an absolute path outside the source, as another tree's.
    fs::create_directories(dir.HostPath("src/net"));
    testenv::WriteHostFile(dir.HostPath("src/net/NetState.h"), testenv::ReadHostFile((kSrc / "net/NetState.h").string()));
  }
  for (size_t p; (p = text.find("@DIR@")) != std::string::npos;) text.replace(p, 5, outside);
  testenv::WriteHostFile(dir.HostPath("Planted.h"), text + "\n");
  testenv::WriteHostFile(planted, "#include \"Planted.h\"\n");
  command.replace(at, source.size(), " -E " + planted);
  command.replace(out, output.size(), "-o /dev/null");
  command += " -MF " + dir.HostPath("Planted.d");
  for (const auto& [name, scope] : Graph()) {
    // A folder named twice would be taken once, at its real path.
    const std::string folder = (kBuild / "scopes" / name).string();
    if (command.find("-I" + folder + " ") == std::string::npos) command += " -idirafter " + folder;
  }
  int status = 0;
  const std::string words = testenv::Shell("cd " + testenv::Quote(kBuild.string()) + " && " + command + " 2>&1", &status);
  if (status != 0) return "cannot plant: " + words;
  std::istringstream deps(testenv::ReadHostFile(dir.HostPath("Planted.d")));
  std::string refusals;
  bool target = true;
  for (std::string word; deps >> word;) {
    if (target || word == "\\" || word == planted || word == dir.HostPath("Planted.h")) {
      target = target && word.back() != ':';
      continue;
    }
    const std::string why = Refusal(layer, from, word);
    if (!why.empty()) refusals += why + "\n";
  }
  return refusals;
}

}  // namespace

TEST(LayerCheck, EveryObjectIncludesOnlyWhatItsLayerSees) {
  ASSERT_TRUE(HaveGraph()) << "no link graph at " << kBuild / "layers.txt";
  int status = 0;
  const std::string log = testenv::Shell(PELNORIX_NINJA " -C " + testenv::Quote(kBuild.string()) + " -t deps", &status);
  ASSERT_EQ(status, 0) << "no deps log in " << kBuild;
  std::set<std::string> built;
  std::ostringstream report;
  for (const Object& object : ReadDeps(log)) {
    built.insert(object.layer);
    for (const std::string& dep : object.deps) {
      const std::string why = Refusal(object.layer, object.source, dep);
      if (!why.empty()) report << why << "\n";
    }
  }
  for (const auto& [name, layer] : Graph()) {
    EXPECT_TRUE(layer.state || built.count(name)) << "no object of " << name << " in the deps log: build the program first";
  }
  EXPECT_TRUE(report.str().empty()) << "headers outside the layers' link graph:\n" << report.str();
}

// Planted includes, each compiled as the build compiles its file: the link graph refuses
// those that point up, sideways or into a state the file is not granted, however spelled.
TEST(LayerCheck, PlantedIncludesAreRefusedFromTheResolvedHeaders) {
  struct Case {
    const char* fault;
    const char* from;
    const char* text;
    bool allowed;
  };
  ASSERT_TRUE(HaveGraph()) << "no link graph at " << kBuild / "layers.txt";
  const Case cases[] = {
      {"filelist reads the net state", "filelist/FlistView.cpp", "#include \"net/NetState.h\"", false},
      {"macro include", "filelist/FlistView.cpp", "#define STATE \"net/NetState.h\"\n#include STATE", false},
      {"comment before the name", "filelist/FlistView.cpp", "#include /* state */ \"net/NetState.h\"", false},
      {"continued line", "filelist/FlistView.cpp", "#include \\\n  \"net/NetState.h\"", false},
      {"digraph include", "filelist/FlistView.cpp", "%:include \"net/NetState.h\"", false},
      {"include_next", "filelist/FlistView.cpp", "#include_next \"net/NetState.h\"", false},
      {"frame writes the image state", "frame/MainFrame.cpp", "#include \"image/ImageState.h\"", false},
      {"view reads a document state", "view/QelView.cpp", "#include \"net/NetState.h\"", false},
      {"load road reads a state", "app/LoadDocument.cpp", "#include \"image/ImageState.h\"", false},
      {"os includes the document", "platform/os/Files.cpp", "#include \"app/QelDoc.h\"", false},
      {"base includes text", "base/DisplayWriter.cpp", "#include <platform/text/CodePage.h>", false},
      {"climb through a scope", "base/DisplayWriter.cpp", "#include \"base/../platform/text/CodePage.h\"", false},
      {"climb sideways", "convert/pdf/PdfWalk.cpp", "#include \"convert/../net/NetState.h\"", false},
      {"absolute path", "base/DisplayWriter.cpp", "#include \"@SRC@/platform/text/CodePage.h\"", false},
      {"macro include of a path outside the source", "filelist/FlistView.cpp", "#define STATE \"@DIR@/src/net/NetState.h\"\n#include STATE", false},
      {"text includes os", "platform/text/CodePage.cpp", "#include \"platform/os/Files.h\"", false},
      {"codec includes archive", "codec/deflate/Inflate.cpp", "#include \"archive/ArchivePaths.h\"", false},
      {"picture includes a converter", "image/codecs/DecodeGif.cpp", "#include \"convert/pdf/PdfReader.h\"", false},
      {"picture includes the document", "image/codecs/DecodeGif.cpp", "#include \"app/QelDoc.h\"", false},
      {"picture reads the image state", "image/codecs/png/DecodePng.cpp", "#include \"image/ImageState.h\"", false},
      {"document includes the frame", "app/QelDoc.cpp", "#include \"frame/MainFrame.h\"", false},
      {"file list includes net", "filelist/FlistView.cpp", "#include \"net/FtpSite.h\"", false},
      {"richedit includes mci", "platform/richedit/RichEdit.cpp", "#include \"platform/mci/Mci.h\"", false},
      {"converter reads the image state", "convert/pdf/PdfWalk.cpp", "#include \"image/ImageState.h\"", false},
      {"media reads a view state", "media/MediaCommand.cpp", "#include \"image/ViewRegionState.h\"", false},
      {"image includes the archive folder", "image/loading/LoadImageAsDib.cpp", "#include \"archive/ArchivePaths.h\"", false},
      {"richtext includes the archive folder", "richtext/sheet/SheetPdfFile.cpp", "#include \"archive/Overwrite.h\"", false},
      {"document composes a state", "app/QelDoc.cpp", "#include \"image/ImageState.h\"", true},
      {"settings table reads a state", "app/Settings.cpp", "#include \"net/NetState.h\"", true},
      {"view composes its states", "view/QelView.cpp", "#include \"image/ViewImageState.h\"", true},
      {"net its own state", "net/OpenAddress.cpp", "#include \"net/NetState.h\"", true},
      {"view the operations", "view/QelView.cpp", "#include \"richtext/TableOps.inc\"", true},
      {"image the archive operations' types", "image/loading/LoadImageAsDib.cpp", "#include \"ops/ArchiveStatus.h\"", true},
      {"frame the document", "frame/MainFrame.cpp", "#include \"app/QelDoc.h\"", true},
      {"converter the codec", "convert/pdf/PdfWalk.cpp", "#include \"codec/LzwDecode.h\"", true},
      {"net the file lists", "net/FtpCommands.cpp", "#include <filelist/FlistView.h>", true},
      {"cli a subsystem", "cli/CommandTables.cpp", "#include \"media/MediaCommands.h\"", true},
      {"image its picture codecs", "image/saving/WritePng.cpp", "#include \"image/codecs/png/PngEncode.h\"", true},
  };
  for (const Case& c : cases) {
    const std::string refusals = PlantAndCheck(c.from, c.text);
    EXPECT_EQ(refusals.rfind("cannot plant", 0), std::string::npos) << c.fault << ": " << refusals;
    EXPECT_EQ(refusals.empty(), c.allowed) << c.fault << " (" << c.from << "):\n" << refusals;
  }
}
