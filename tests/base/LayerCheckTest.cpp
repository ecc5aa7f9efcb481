// The layers: every include between the folders of src/ points down the table below,
// the one the build's include scopes keep (src/CMakeLists.txt). The build already
// refuses an upward include; this test names the edge, and keeps the two ways in
// which the scopes are wider than the rule narrow: a subsystem sees the state of the
// others through the document's scope, and a test or the command line sees all.
//   base <- platform/text <- platform/os <- platform/gdi <- platform/{ui, metafile, inet}
//        <- platform/{richedit, mci} (over ui) <- codec <- core (app, frame, view,
//        filelist) <- the subsystems (convert, image, richtext, archive, net, media) <- cli
// The core sees of each subsystem only its state and the operations the document and
// the view declare (*State.h, *Ops.inc, the image's settings block and DIB layout, and
// the player's protocol numbers).
// GCC 12 reports std::regex's own state copies as maybe uninitialised (GCC bug 105562).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <algorithm>
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

// A folder below src/ (or a file's path below it) to its layer.
std::string LayerOf(const std::string& path) {
  static const std::vector<std::pair<std::string, std::string>> kFolders = {
      {"platform/text/", "text"},         {"platform/os/", "os"},       {"platform/gdi/", "gdi"},
      {"platform/ui/", "ui"},             {"platform/metafile/", "metafile"},
      {"platform/inet/", "inet"},         {"platform/richedit/", "richedit"},
      {"platform/mci/", "mci"},           {"base/", "base"},            {"codec/", "codec"},
      {"app/", "core"},                   {"frame/", "core"},           {"view/", "core"},
      {"filelist/", "core"},              {"convert/", "convert"},      {"image/", "image"},
      {"richtext/", "richtext"},          {"archive/", "archive"},      {"net/", "net"},
      {"media/", "media"},                {"cli/", "cli"},
  };
  for (const auto& [folder, layer] : kFolders) {
    if (path.rfind(folder, 0) == 0) return layer;
  }
  return "";
}

// What each layer may include besides itself.
const std::map<std::string, std::set<std::string>>& Allowed() {
  static const std::set<std::string> kPlatform = {"base", "text", "os", "gdi", "ui", "metafile", "inet", "richedit", "mci"};
  static const std::set<std::string> kBelowSubsystems = [] {
    std::set<std::string> s = kPlatform;
    s.insert({"codec", "core"});
    return s;
  }();
  static const std::set<std::string> kAll = [] {
    std::set<std::string> s = kBelowSubsystems;
    s.insert({"convert", "image", "richtext", "archive", "net", "media"});
    return s;
  }();
  static const std::map<std::string, std::set<std::string>> kAllowed = {
      {"base", {}},
      {"text", {"base"}},
      {"os", {"base", "text"}},
      {"gdi", {"base", "text", "os"}},
      {"ui", {"base", "text", "os", "gdi"}},
      {"metafile", {"base", "text", "os", "gdi"}},
      {"inet", {"base", "text", "os", "gdi"}},
      {"richedit", {"base", "text", "os", "gdi", "ui"}},
      {"mci", {"base", "text", "os", "gdi", "ui"}},
      {"codec", {"base", "text", "os"}},
      {"core", [] {
         std::set<std::string> s = kPlatform;
         s.insert("codec");
         return s;
       }()},
      {"convert", kBelowSubsystems},
      {"image", kBelowSubsystems},
      {"richtext", kBelowSubsystems},
      {"archive", kBelowSubsystems},
      {"net", kBelowSubsystems},
      {"media", kBelowSubsystems},
      {"cli", kAll},
  };
  return kAllowed;
}

// What the core sees of a subsystem: its state and the declarations of its operations.
bool IsDeclaredState(const std::string& included) {
  const auto endsWith = [&](const char* tail) {
    const std::string t = tail;
    return included.size() >= t.size() && included.compare(included.size() - t.size(), t.size(), t) == 0;
  };
  return endsWith("State.h") || endsWith("Ops.inc") || included == "image/ImageConvertSettings.h" ||
         included == "image/codecs/Dib.h" || included == "media/MediaCodes.h";
}

// Empty when `from` (a path below src/) may include `included`, else why not.
std::string Refusal(const std::string& from, const std::string& included) {
  const std::string a = LayerOf(from);
  const std::string b = LayerOf(included);
  if (a.empty() || b.empty() || a == b) return "";
  const auto& allowed = Allowed();
  const auto row = allowed.find(a);
  if (row != allowed.end() && row->second.count(b)) return "";
  if (a == "core" && IsDeclaredState(included)) return "";
  return a + " may not include " + b;
}

struct Finding {
  std::string where;
  std::string why;
};

std::vector<Finding> Scan(const fs::path& src) {
  const std::regex include(R"re(^\s*#\s*include\s+"([^"]+)")re");
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
      const std::string why = Refusal(rel, m[1]);
      if (!why.empty()) found.push_back({rel + ":" + std::to_string(number) + " " + std::string(m[1]), why});
    }
  }
  return found;
}

}  // namespace

TEST(LayerCheck, EveryIncludePointsDownTheLayers) {
  const fs::path src = fs::path(PELNORIX_SOURCE_DIR) / "src";
  ASSERT_TRUE(fs::is_directory(src)) << src;
  std::ostringstream report;
  for (const Finding& f : Scan(src)) report << f.where << " (" << f.why << ")\n";
  EXPECT_TRUE(report.str().empty()) << "includes outside the layers' table:\n" << report.str();
}

// A planted upward include is named, and the sanctioned edges pass.
TEST(LayerCheck, TheTableRefusesUpwardAndSidewaysIncludes) {
  struct Case {
    const char* from;
    const char* included;
    bool allowed;
  };
  const Case cases[] = {
      {"platform/os/Files.cpp", "app/QelDoc.h", false},
      {"base/DisplayWriter.cpp", "platform/text/CodePage.h", false},
      {"platform/text/CodePage.cpp", "platform/os/Files.h", false},
      {"codec/Inflate.cpp", "archive/ArchivePaths.h", false},
      {"image/codecs/DecodeGif.cpp", "convert/pdf/PdfReader.h", false},
      {"image/codecs/DecodeGif.cpp", "convert/ConvertState.h", false},
      {"app/LoadDocument.cpp", "convert/charmap/TextDecode.h", false},
      {"filelist/FlistView.cpp", "net/FtpSite.h", false},
      {"platform/richedit/RichEdit.h", "platform/mci/Mci.h", false},
      {"app/QelDoc.h", "image/ImageState.h", true},
      {"view/QelView.h", "richtext/TableOps.inc", true},
      {"convert/pdf/PdfWalk.cpp", "codec/LzwDecode.h", true},
      {"net/FtpCommands.cpp", "filelist/FlistView.h", true},
      {"platform/mci/Mci.h", "platform/ui/Ui.h", true},
      {"cli/CommandTables.cpp", "media/MediaCommands.h", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Refusal(c.from, c.included).empty(), c.allowed) << c.from << " -> " << c.included;
  }
}
