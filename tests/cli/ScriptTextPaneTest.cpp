// The text pane as save-pane and the captures see it: plain lines compared pixel for
// pixel with pango-view's drawing of the same lines in the IPA font; rich text's
// formats and a table's rules read from the pane's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/CommandTables.h"
#include "cli/ScriptRunner.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

// Fault mended: the text pane was never painted, so save-pane and the data-screen
// capture of a text view wrote a picture of one colour (the capture saying it
// succeeded), and after a picture the pane still showed that picture, also when the
// next file was a picture that could not be read and the pane showed its message.
TEST(ScriptTextPaneTest, TextViewCaptureWasOneColourFault) {
  SKIP_WITHOUT_PROGRAM("pango-view");
  SKIP_WITHOUT_PROGRAM("compare");
  testenv::TempDir dir;
  const auto sh = [&](const std::string& command) { return Shell("cd " + Quote(dir.Host()) + " && " + command); };
  testenv::WriteHostFile(dir.HostPath("t.txt"), plat::Utf8ToCp932Lossy("Hello, world\r\n日本語の文章 ABC\r\n"
                                                                       "\tTabbed 123\r\nline 4: the quick brown fox\r\n"));
  sh("convert -size 700x500 gradient:yellow-navy -type TrueColor BMP3:g.bmp");
  testenv::WriteHostFile(dir.HostPath("bad.bmp"), "BM" + std::string(60, 'x'));
  // What the pane shows, a Tab drawn as the blanks up to its stop (six cells).
  const std::string shown = "Hello, world\n日本語の文章 ABC\n      Tabbed 123\nline 4: the quick brown fox\n";
  struct Case {
    const char* road;
    const char* script;
    std::string lines;
    bool fails = false;  // the open fails with the lines as its reason: nothing is captured
  } cases[] = {
      {"save-pane", "open t.txt\nsave-pane out.png\n", shown},
      {"data-screen capture", "open t.txt\nanswer path=out.png\ncommand ID_SAVE_DATA_SCREEN\n", shown},
      {"after a picture", "open g.bmp\nopen t.txt\nsave-pane out.png\n", shown},
      {"a broken picture after a picture", "open g.bmp\nopen bad.bmp\nsave-pane out.png\n",
       "画像ファイルが壊れているか、または未対応の形式です。", true},
      {"scrolled a line down and two cells right", "open t.txt\nscroll v 1\nscroll h 2\nsave-pane out.png\n",
       "本語の文章 ABC\n    Tabbed 123\nne 4: the quick brown fox\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.road);
    std::remove(dir.HostPath("out.png").c_str());
    testenv::WriteHostFile(dir.HostPath("s.script"), c.script);
    int status = -1;
    Shell("cd " + Quote(dir.Host()) + " && PELNORIX_HOME=home " + Quote(PELNORIX_BINARY) + " --script s.script 2>err.txt",
          &status);
    const std::string err = testenv::ReadHostFile(dir.HostPath("err.txt"));
    if (c.fails) {
      EXPECT_EQ(status, 1) << err;
      EXPECT_NE(err.find("cannot be shown: " + c.lines), std::string::npos) << err;
      continue;
    }
    EXPECT_EQ(status, 0) << err;
    testenv::WriteHostFile(dir.HostPath("ref.txt"), c.lines);
    sh("pango-view --font='IPAGothic 16' --pixels --antialias=none --hinting=full --hint-metrics=on --margin=0 -q "
       "-o ref.png ref.txt");
    const std::string size = sh("identify -format '%wx%h' ref.png");
    const int height = 16 * static_cast<int>(std::count(c.lines.begin(), c.lines.end(), '\n'));
    EXPECT_EQ(size.substr(size.find('x')), "x" + std::to_string(height));  // lines of 16 pixels
    EXPECT_EQ(sh("convert out.png -crop " + size + "+0+0 +repage crop.png && compare -metric AE crop.png ref.png null: 2>&1"),
              "0");
    // Past the lines the pane is its background.
    EXPECT_EQ(sh("convert out.png -fill white -draw 'rectangle 0,0," + std::to_string(std::stoi(size) - 1) +
                 "," + std::to_string(height - 1) + "' -format '%k' info:"),
              "1");
  }
}

class ScriptRichPaneTest : public testenv::DocTest {
 protected:
  std::ostringstream out_;
  ScriptRunner runner_{*doc_, *frame_, AllCommandTables(), out_, messages_};
  const plat::Bitmap& Pane(const std::string& script) {
    EXPECT_EQ(runner_.Run("t.script", script), kScriptDone) << messages_.str();
    runner_.View().PreparePaneSurface();
    return runner_.View().Pane().m_paneSurface;
  }
};

// Pixels of a rectangle of the pane.
struct Box {
  const plat::Bitmap& pane;
  int left, top, width, height;
  int Count(uint32_t pixel) const {
    int n = 0;
    for (int y = top; y < top + height; ++y) {
      for (int x = left; x < left + width; ++x) n += pane.At(x, y) == pixel;
    }
    return n;
  }
  // The most pixels of one colour in a row of the box, and the row.
  std::pair<int, int> LongestRow(uint32_t pixel) const {
    std::pair<int, int> best{0, -1};
    for (int y = top; y < top + height; ++y) best = std::max(best, {Box{pane, left, y, width, 1}.Count(pixel), y});
    return best;
  }
};

constexpr uint32_t kInk = 0x000000, kRed = 0xFF0000, kYellow = 0xFFFF00, kRule = 0x010000;

// The same word six times in 12-point runs, each format its own: a run sits where the
// control puts it (8 pixels a character), drawn in its format and colours.
TEST_F(ScriptRichPaneTest, RichTextRunsShowTheirFormatsAndColours) {
  WriteFile("f.rtf", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}{\\colortbl;\\red255\\green0"
                     "\\blue0;\\red255\\green255\\blue0;}\\f0\\fs24 plain {\\b plain} {\\i plain} {\\ul plain} "
                     "{\\strike plain} {\\cf1 plain} {\\highlight2 plain}\\par}");
  const plat::Bitmap& pane = Pane("open \"" + dir_.HostPath("f.rtf") + "\"\n");
  const auto word = [&](int n) { return Box{pane, 48 * n, 0, 40, 19}; };  // "plain " is 48 pixels
  const int ink = word(0).Count(kInk);
  const int baseline = 16;  // a 12-point line is 19 pixels, its baseline a sixth of them above its foot
  ASSERT_GT(ink, 60);
  EXPECT_LT(word(0).LongestRow(kInk).first, 20);  // no line under or through it
  struct Case {
    const char* format;
    int n;
    bool (*holds)(const Box& b, int ink, int baseline);
  } cases[] = {
      {"bold", 1, [](const Box& b, int ink, int) { return b.Count(kInk) > ink + 20; }},
      {"italic", 2, [](const Box& b, int ink, int) { return b.Count(kInk) > ink / 2 && b.Count(kInk) < ink * 3 / 2; }},
      {"underline", 3, [](const Box& b, int, int base) {
         return b.LongestRow(kInk).first >= 36 && b.LongestRow(kInk).second > base; }},
      {"strike-out", 4, [](const Box& b, int, int base) {
         return b.LongestRow(kInk).first >= 36 && b.LongestRow(kInk).second < base - 2; }},
      {"red", 5, [](const Box& b, int ink, int) { return b.Count(kRed) == ink && b.Count(kInk) == 0; }},
      {"highlight", 6, [](const Box& b, int ink, int) { return b.Count(kInk) == ink && b.Count(kYellow) == 40 * 19 - ink; }},
  };
  for (const Case& c : cases) EXPECT_TRUE(c.holds(word(c.n), ink, baseline)) << c.format;
  // The italic word is slanted, not the plain one again.
  bool same = true;
  for (int y = 0; y < 19; ++y) {
    for (int x = 0; x < 40; ++x) same = same && pane.At(x, y) == pane.At(96 + x, y);
  }
  EXPECT_FALSE(same);
}

// A table made by the table commands: its vertical rules are 1-point runs and its
// bottom rule a line of exact spacing 20, all highlighted in the rule colour; each
// shows at least a pixel wide, the vertical ones over the rows' whole height.
TEST_F(ScriptRichPaneTest, TableRulesShowInTheRuleColour) {
  WriteFile("table.rtf", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}\\f0\\fs21 "
                         "item|count|price\\par apple|3|100\\par pear|5|80\\par}");
  const plat::Bitmap& pane = Pane("open \"" + dir_.HostPath("table.rtf") +
                                  "\"\ncaret 1 1 3 11\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\ncommand ID_TABLE_EDIT"
                                  "\ncaret 3 4\ncommand ID_TABLE_BOTTOM_RULE_CYCLE\n");
  // Rows of 16 pixels: an empty line, item, apple, the rule line (1 pixel), pear (18).
  const Box all{pane, 0, 0, 640, 480};
  const auto [ruleWidth, ruleRow] = all.LongestRow(kRule);
  EXPECT_EQ(ruleRow, 48);
  EXPECT_EQ(ruleWidth, (1585 + 10) / 15);  // up to the third column's stop and its slot (10 twips)
  // The rules before the columns (stops 145, 865 and 1585 twips) run down the three rows.
  for (const int x : {145 / 15, 865 / 15, 1585 / 15}) {
    EXPECT_EQ((Box{pane, x, 16, 1, 51}.Count(kRule)), 51) << "rule at " << x;
  }
  EXPECT_EQ((Box{pane, 0, 68, 640, 412}.Count(kRule)), 0);  // nothing below the table
}

}  // namespace
