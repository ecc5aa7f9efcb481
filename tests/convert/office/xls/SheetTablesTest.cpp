// The character-major string pool: texts stored plane by plane and read back one at
// a time and in blocks, cut to the cell limit on a character boundary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/dump/DumpCall.h"
#include "convert/office/xls/SheetTables.h"

namespace {

constexpr int kChars = 40;
constexpr int kRows = 300;

struct Pool {
  DumpCall call;
  Pool() {
    call.cellChars = kChars;
    call.cellRows = kRows;
    call.cells.resize(static_cast<size_t>(kChars) * kRows);
    for (auto& ints : call.workInts) ints.resize(kRows);
  }
};

std::string Gathered(const SheetTables& tables, int entry, int* length, bool* lineBreak) {
  std::vector<char> out(kChars);
  uint8_t breaks = 0;
  tables.Gather(&entry, 1, out.data(), kChars, kChars, length, &breaks);
  *lineBreak = breaks != 0;
  return std::string(out.data(), static_cast<size_t>(*length));
}

TEST(SheetTablesTest, TextsAreCutOnCharacterBoundariesAndReadBackWhole) {
  struct Case {
    std::string text;
    int limit;
    std::string stored;
    bool lineBreak;
  };
  const Case cases[] = {
      {"12345", 10, "12345", false},
      {"1234567890abc", 10, "1234567890", false},
      {"ab\x93\xfa\x96\x7b", 10, "ab\x93\xfa\x96\x7b", false},
      {"abcdefghi\x93\xfa", 10, "abcdefghi", false},  // the pair would pass the limit
      {"abcdefgh\x93\xfa", 10, "abcdefgh\x93\xfa", false},
      {"ab\x93", 10, "ab", false},  // a lead byte without its trail byte
      {"\x93\xfa" "x\x96\x7b" "yz", 4, "\x93\xfa" "x", false},
      {"a\xb1" "b", 10, "a\xb1" "b", false},  // half-width kana: one byte
      {"", 10, "", false},
      {"eleven char", 30, "eleven char", false},   // inside the first planes read at once
      {"twelve chars", 30, "twelve chars", false},  // exactly those planes
      {"a text of twenty-six bytes", 30, "a text of twenty-six bytes", false},
      {"line\x0B" "two", 30, "line\x0B" "two", true},
      {"0123456789\x0B" "x", 30, "0123456789\x0B" "x", true},  // the break in the second word
      {"0123456789ab\x0B" "cd", 30, "0123456789ab\x0B" "cd", true},  // past the first planes
      {"\x93\xfa\x96\x7b" "0123456789", 30, "\x93\xfa\x96\x7b" "0123456789", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Pool pool;
    SheetTables tables(pool.call, c.limit, kRows);
    tables.SetText(5, 200, "a longer text that was there before");
    tables.SetText(5, 3, c.text);
    std::string text;
    tables.Text(5, text);
    EXPECT_EQ(text, c.stored);
    EXPECT_EQ(tables.Widest(5), 3);
    int length = 0;
    bool lineBreak = false;
    EXPECT_EQ(Gathered(tables, 5, &length, &lineBreak), c.stored);
    EXPECT_EQ(lineBreak, c.lineBreak);
  }
}

// Neighbouring entries share the planes: storing one leaves the others whole.
TEST(SheetTablesTest, NeighbouringEntriesKeepTheirTexts) {
  Pool pool;
  SheetTables tables(pool.call, 30, kRows);
  const std::vector<std::string> texts = {"first", "", "\x93\xfa\x96\x7b", "a somewhat longer text", "x"};
  for (size_t i = 0; i < texts.size(); ++i) tables.SetText(static_cast<int>(i), 1, texts[i]);
  std::vector<int> entries = {4, 0, 3, 2, 1, 0};
  std::vector<char> out(entries.size() * kChars);
  std::vector<int> lengths(entries.size());
  std::vector<uint8_t> breaks(entries.size());
  tables.Gather(entries.data(), static_cast<int>(entries.size()), out.data(), kChars, kChars, lengths.data(), breaks.data());
  for (size_t j = 0; j < entries.size(); ++j) {
    EXPECT_EQ(std::string(out.data() + j * kChars, static_cast<size_t>(lengths[j])), texts[static_cast<size_t>(entries[j])]);
  }
}

}  // namespace
