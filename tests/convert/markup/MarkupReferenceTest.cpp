// The converters against tools nobody here wrote: w3m's reading of the same page
// (word order), lynx's link list, one page in four encodings made by iconv, and
// the tables that LibreOffice and pandoc write (columns aligned, cells as the
// source has them). Fixtures in tests/data/markup/ (see make-fixtures); the
// generated page is read by the tools at test time when they are installed.
#include <algorithm>
#include <random>
#include <sstream>
#include <string>

#include "convert/markup/MarkupTestSupport.h"
#include "support/TestEnv.h"

using markuptest::Body;
using markuptest::Cells;
using markuptest::Convert;
using markuptest::Letters;
using markuptest::LinkList;
using markuptest::Lines;
using markuptest::Utf8;
using testenv::DataPath;
using testenv::Quote;
using testenv::ReadHostFile;

namespace {

class MarkupReference : public testenv::DocTest {
 protected:
  std::string ConvertFile(const std::string& name, markuptest::Form form = markuptest::Form::Html, int layout = 0) {
    return Convert(*doc_, ReadHostFile(DataPath("markup/" + name)), form, layout);
  }
};

// The addresses of the link list ("@01 http://...").
std::vector<std::string> Addresses(const std::string& text) {
  std::vector<std::string> out;
  for (const auto& line : LinkList(text)) out.push_back(line.substr(line.find(' ') + 1));
  return out;
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> out;
  for (const auto& line : Lines(text)) {
    if (line.find_first_not_of(' ') != std::string::npos) out.push_back(line);
  }
  return out;
}

// The body without its first line: the page's title (and meta names), which w3m
// does not show.
std::string WithoutTitle(const std::string& body) {
  const size_t first = body.find_first_not_of('\n');
  const size_t end = body.find('\n', first);
  return end == std::string::npos ? "" : body.substr(end);
}

// Lines laid out as a table: the separators of each block stand in the same places.
void ExpectAligned(const std::vector<std::string>& lines) {
  for (const auto& line : lines) {
    std::vector<size_t> at, first;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '|') at.push_back(i);
    }
    for (size_t i = 0; i < lines[0].size(); ++i) {
      if (lines[0][i] == '|') first.push_back(i);
    }
    EXPECT_EQ(at, first) << Utf8(line);
  }
}

std::vector<std::string> TableLines(const std::string& text) {
  std::vector<std::string> out;
  for (const auto& line : Lines(Body(text))) {
    if (line.find('|') != std::string::npos && line.find_first_not_of(" |") != std::string::npos) out.push_back(line);
  }
  return out;
}

// A page of paragraphs, headings, lists, links and a small table, in Japanese and
// English words chosen by a seeded generator.
std::string GeneratedPage(unsigned seed) {
  static const char* const kWords[] = {"日本", "東京", "天気", "会議", "資料", "確認", "予定", "学校", "電話",
                                       "ひらがな", "カタカナ", "大阪", "apple", "river", "stone", "cloud",
                                       "garden", "window", "quiet", "seven", "paper", "light"};
  std::mt19937 random(seed);
  auto word = [&] { return std::string(kWords[random() % std::size(kWords)]); };
  std::ostringstream page;
  page << "<html><head><meta charset=\"UTF-8\"></head><body>\n";
  int link = 0;
  for (int block = 0; block < 12; ++block) {
    page << "<h" << 1 + block % 3 << ">" << word() << " " << word() << "</h" << 1 + block % 3 << ">\n<p>";
    for (int w = 0; w < 40; ++w) {
      switch (random() % 9) {
        case 0:
          page << "<a href=\"http://example.com/" << block << "/" << ++link << ".html\">" << word() << "</a> ";
          break;
        case 1:
          page << "<b>" << word() << "</b> ";
          break;
        case 2:
          page << word() << " &amp; ";
          break;
        default:
          page << word() << (w % 11 == 10 ? "\n" : " ");
      }
    }
    page << "</p>\n<ul>\n";
    for (int i = 0; i < 3; ++i) page << "<li>" << word() << " " << word() << "</li>\n";
    page << "</ul>\n";
    if (block % 4 == 1) {
      page << "<table border=1>\n";
      for (int r = 0; r < 3; ++r) page << "<tr><td>" << word() << "</td><td>" << r * 17 << "</td><td>" << word() << "</td></tr>\n";
      page << "</table>\n";
    }
  }
  page << "</body></html>\n";
  return page.str();
}

}  // namespace

TEST_F(MarkupReference, OnePageInFourEncodingsGivesOneText) {
  const std::string utf8 = ConvertFile("page.utf8.html");
  EXPECT_NE(Utf8(utf8).find("日本語の見出し"), std::string::npos);
  for (const char* name : {"page.eucjp.html", "page.jis.html", "page.sjis.html"}) {
    EXPECT_EQ(ConvertFile(name), utf8) << name;
  }
}

TEST_F(MarkupReference, WordOrderAsW3mReadsIt) {
  for (const std::string name : {"page", "pandoc-table"}) {
    const std::string mine = Utf8(WithoutTitle(Body(ConvertFile(name + (name == "page" ? ".utf8.html" : ".html")))));
    const std::string w3m = ReadHostFile(DataPath("markup/" + name + ".w3m.txt"));
    EXPECT_EQ(Letters(mine, true), Letters(w3m, false)) << name;
  }
}

TEST_F(MarkupReference, LinkListAsLynxListsIt) {
  doc_->m_bShowAddress = 1;
  for (const std::string name : {"page", "pandoc-table"}) {
    const std::string mine = ConvertFile(name + (name == "page" ? ".utf8.html" : ".html"));
    EXPECT_EQ(Addresses(mine), NonEmptyLines(ReadHostFile(DataPath("markup/" + name + ".lynx-links.txt")))) << name;
  }
}

TEST_F(MarkupReference, LibreOfficeAndPandocTablesKeepTheirColumns) {
  // The sheet's cells as the CSV that LibreOffice read holds them.
  std::vector<std::vector<std::string>> csv;
  for (const auto& line : Lines(ReadHostFile(DataPath("markup/lo-sheet.csv")))) {
    std::vector<std::string> row;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) row.push_back(markuptest::Sjis(cell));
    if (!line.empty() && line.back() == ',') row.emplace_back();
    csv.push_back(row);
  }
  const auto html = TableLines(ConvertFile("lo-sheet.html", markuptest::Form::Html, 1));
  ASSERT_EQ(html.size(), csv.size());
  ExpectAligned(html);
  for (size_t r = 0; r < csv.size(); ++r) EXPECT_EQ(Cells(html[r]), csv[r]) << "row " << r;

  // LibreOffice's worksheet part of the same sheet as an .xlsx: its cells hold the
  // values, texts as their numbers in the shared strings; empty cells are left out.
  std::vector<std::string> strings;
  const std::string sst = ReadHostFile(DataPath("markup/lo-sheet-strings.xml"));
  for (size_t at = sst.find("<t"); at != std::string::npos; at = sst.find("<t", at + 1)) {
    const size_t open = sst.find('>', at) + 1;
    strings.push_back(markuptest::Sjis(sst.substr(open, sst.find("</t>", open) - open)));
  }
  const auto sheet = TableLines(ConvertFile("lo-sheet1.xml", markuptest::Form::Sheet, 1));
  ASSERT_EQ(sheet.size(), csv.size());
  ExpectAligned(sheet);
  for (size_t r = 0; r < csv.size(); ++r) {
    std::vector<std::string> expected;
    for (const auto& cell : csv[r]) {
      if (cell.empty()) continue;
      auto text = std::find(strings.begin(), strings.end(), cell);
      expected.push_back(text == strings.end() ? cell : std::to_string(text - strings.begin()));
    }
    std::vector<std::string> shown = Cells(sheet[r]);
    while (!shown.empty() && shown.back().empty()) shown.pop_back();
    EXPECT_EQ(shown, expected) << "row " << r;
  }
  const auto pandoc = TableLines(ConvertFile("pandoc-table.html", markuptest::Form::Html, 1));
  ASSERT_EQ(pandoc.size(), 5u);
  ExpectAligned(pandoc);
  EXPECT_EQ(Cells(pandoc[3]), (std::vector<std::string>{"Kanto region", "1500", "1620", "3120"}));
}

TEST_F(MarkupReference, GeneratedPagesAgainstW3mLynxAndIconv) {
  SKIP_WITHOUT_PROGRAM("w3m");
  SKIP_WITHOUT_PROGRAM("lynx");
  SKIP_WITHOUT_PROGRAM("iconv");
  for (unsigned seed : {1u, 2u, 3u}) {
    const std::string page = GeneratedPage(seed);
    const std::string path = dir_.HostPath("gen" + std::to_string(seed) + ".html");
    testenv::WriteHostFile(path, page);
    doc_->m_bShowAddress = 1;
    const std::string mine = Convert(*doc_, page);
    const std::string w3m = testenv::Shell("w3m -dump -T text/html -I UTF-8 -O UTF-8 " + Quote(path));
    const std::string letters = Letters(Utf8(Body(mine)), true);
    EXPECT_GT(letters.size(), 3000u);
    EXPECT_EQ(letters, Letters(w3m, false)) << seed;
    const std::string lynx = testenv::Shell("lynx -dump -listonly -nonumbers -force_html " + Quote(path));
    EXPECT_GT(Addresses(mine).size(), 20u);
    EXPECT_EQ(Addresses(mine), NonEmptyLines(lynx)) << seed;
    for (const char* encoding : {"EUC-JP", "ISO-2022-JP", "SHIFT_JIS"}) {
      std::string meta = encoding == std::string("SHIFT_JIS") ? "Shift_JIS" : encoding;
      const std::string relabelled = "sed 's/charset=\"UTF-8\"/charset=\"" + meta + "\"/' " + Quote(path);
      const std::string encoded = testenv::Shell(relabelled + " | iconv -f UTF-8 -t " + encoding);
      ASSERT_FALSE(encoded.empty()) << encoding;
      EXPECT_EQ(Convert(*doc_, encoded), mine) << seed << " " << encoding;
    }
  }
}
