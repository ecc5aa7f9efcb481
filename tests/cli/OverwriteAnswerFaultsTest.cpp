// The overwrite question on every road that asks it, answered no, cancel, not at
// all and yes, through the built program. A "no" to the OK/Cancel question was taken
// as OK: every image save, the region save, the captures, the series, the list's
// convert and the sheet PDF replaced the user's file. Only a yes replaces a file now;
// any other answer leaves every file of the folder byte for byte and adds none.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/NetServers.h"
#include "support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

// Every file below folder but the run's own (script, messages, program folder).
std::map<std::string, std::string> UserFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    const std::string rel = fs::relative(e.path(), folder).string();
    if (e.is_directory() || rel == "s.script" || rel == "err.txt" || rel.starts_with("home/")) continue;
    files[rel] = testenv::ReadHostFile(e.path().string());
  }
  return files;
}

// The names of the files added, removed or changed from before to after.
std::string Changed(const std::map<std::string, std::string>& before, const std::map<std::string, std::string>& after) {
  std::string names;
  for (const auto& [name, bytes] : after) {
    if (!before.contains(name) || before.at(name) != bytes) names += name + " ";
  }
  for (const auto& [name, bytes] : before) {
    if (!after.contains(name)) names += name + " (removed) ";
  }
  return names;
}

TEST(OverwriteAnswerFaults, OnlyAYesReplacesAFileOnEveryRoadThroughTheOverwriteQuestion) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("zip");
  struct Road {
    const char* fault;
    std::string before;     // the statements before the asking one
    std::string answer;     // the answer words the road needs before the overwrite answer
    std::string ask;        // the statement that asks
    std::vector<std::string> targets;  // the user's files the road would replace
    const char* program = nullptr;     // an outside program the road needs
    std::vector<std::string> made = {};  // new files the road makes whatever the answer
  };
  // The download's file, served by a static server.
  testenv::TempDir served;
  testenv::WriteHostFile(served.HostPath("dl.zip"), std::string(4096, 'z'));  // past the size a save is offered from
  nettest::HttpServer web;
  START_OR_SKIP(web.StartStatic(served.Host(), served.HostPath("http.log")), "http.server");
  const std::string address = "http://127.0.0.1:" + std::to_string(web.Port()) + "/dl.zip";
  const std::string clicked = "window target 100 100 200 120 0000FF\nfront target 3000\n";
  const std::string region = "click 10 10\ncommand ID_REGION_TOP_LEFT\nclick 40 30\ncommand ID_REGION_BOTTOM_RIGHT\n";
  const std::vector<Road> roads = {
      {"PNG save replaced the file on a no", "open p.bmp\n", "path=s.png", "command ID_IMAGE_SAVE_PNG", {"s.png"}},
      {"a yes its statement did not use answered the save after it", "answer yes\nopen p.bmp\n", "path=s.png",
       "command ID_IMAGE_SAVE_PNG", {"s.png"}},
      {"8-bit PNG save", "open p.bmp\n", "path=s.png", "command ID_IMAGE_SAVE_PNG_8BIT", {"s.png"}},
      {"JPEG save", "open p.bmp\n", "path=s.jpg", "command ID_IMAGE_SAVE_JPEG_STANDARD", {"s.jpg"}},
      {"BMP save", "open p.bmp\n", "path=s.bmp", "command ID_IMAGE_SAVE_BMP", {"s.bmp"}},
      {"BMZ save", "open p.bmp\n", "path=s.bmz", "command ID_IMAGE_SAVE_BMZ", {"s.bmz"}},
      {"PDF save", "open p.bmp\n", "path=s.pdf", "command ID_IMAGE_SAVE_PDF", {"s.pdf"}},
      {"save as", "open p.bmp\n", "path=s.png", "command ID_IMAGE_SAVE_AS", {"s.png"}},
      {"region save", "open p.bmp\n" + region, "path=r.png", "command ID_REGION_SAVE", {"r.png"}},
      {"desktop capture", "", "path=d.png", "command ID_SAVE_DESKTOP_SCREEN", {"d.png"}},
      {"data-screen capture", "open t.txt\n", "path=t.png", "command ID_SAVE_DATA_SCREEN", {"t.png"}},
      {"clicked-window capture", clicked, "path=c.png", "command ID_SAVE_CLICKED_WINDOW", {"c.png"}},
      {"clicked-window series replaced its numbered files", clicked, "path=pic#3s1000m.png",
       "command ID_SAVE_CLICKED_WINDOW_REPEAT", {"pic#3s1000m_0001.png", "pic#3s1000m_0002.png"}},
      {"the list's convert", "list 1 p.bmp\nselect p.bmp\n", "png", "list-command convert", {"p.png"}},
      {"sheet PDF", "open k.csv\ncommand ID_TABLE_EDIT\n", "path=k.pdf", "key Ctrl+P", {"k.pdf"}},
      {"compress", "list 1 tree\n", "", "list-command compress", {"tree.zip"}},
      {"unpack", "list 1 pack.zip\n", "", "list-command unpack", {"a.txt"}},
      // After a "no" these kept the file but exited 0: the statement fails naming it.
      {"compress-lzh", "list 1 tree\n", "", "list-command compress-lzh", {"tree.lzh"}, "lha"},
      {"protect", "list 1 t.txt\n", "key=ABCD", "list-command protect", {"t.+txt"}},
      {"Ctrl+S region save", "open p.bmp\n" + region, "path=r.png", "key Ctrl+S", {"r.png"}},
      {"a download", "set inbrowser=1\n", "path=dl.zip", "address " + address, {"dl.zip"}},
      {"a batch convert with a refused file", "list 1 p.bmp\nselect p.bmp q.bmp\n", "png", "list-command convert",
       {"p.png"}, nullptr, {"q.png"}},
  };
  for (const Road& road : roads) {
    if (road.program && !testenv::PeerProgram(road.program)) continue;
    for (const char* answer : {"no", "cancel", "", "yes"}) {
      SCOPED_TRACE(std::string(road.fault) + ", answered '" + answer + "'");
      testenv::TempDir dir;
      const std::string d = dir.Host();
      testenv::Shell("cd " + testenv::Quote(d) + " && convert -size 60x40 gradient:red-blue -type TrueColor BMP3:p.bmp"
                     " && cp p.bmp q.bmp && mkdir tree src && echo packed > src/a.txt && echo tree > tree/b.txt"
                     " && cd src && zip -q ../pack.zip a.txt");
      testenv::WriteHostFile(dir.HostPath("t.txt"), "a text\r\n");
      testenv::WriteHostFile(dir.HostPath("k.csv"), "a,1\r\nb,2\r\n");
      for (const std::string& t : road.targets) testenv::WriteHostFile(dir.HostPath(t), "the user's " + t);
      const auto before = UserFiles(d);
      std::string words = road.answer;
      if (*answer) words += (words.empty() ? "" : " ") + std::string(answer);
      testenv::WriteHostFile(dir.HostPath("s.script"),
                             road.before + (words.empty() ? "" : "answer " + words + "\n") + road.ask + "\n");
      const testenv::ProgramRun run = testenv::RunProgram(d, dir.HostPath("home"), "--script s.script", "env -u DISPLAY ");
      EXPECT_NE(run.err.find("は既に存在します。"), std::string::npos) << "asked\n" << run.err;
      if (std::string(answer) == "yes") {
        EXPECT_EQ(run.status, 0) << run.err;
        for (const std::string& t : road.targets) EXPECT_NE(testenv::ReadHostFile(dir.HostPath(t)), before.at(t)) << t;
      } else {
        auto after = UserFiles(d);
        for (const std::string& m : road.made) after.erase(m);
        EXPECT_EQ(Changed(before, after), "") << run.err;
        EXPECT_EQ(run.status, 1) << run.err;
        // The statement names the kept file as the user wrote it, relative or whole.
        const size_t said = run.err.find("not replaced: ");
        const std::string line = said == std::string::npos ? "" : run.err.substr(said, run.err.find('\n', said) - said);
        EXPECT_TRUE(line.ends_with(road.targets[0])) << run.err;
      }
    }
  }
}

}  // namespace
