// The bounded writer of display text: it never passes its buffer, keeps room for the
// terminator, never ends the text inside a double-byte character, and marks a cut.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/DisplayWriter.h"

namespace {

TEST(DisplayWriterTest, CutsKeepWholeCharactersAndMarkThePartialLoad) {
  // "表示" in Shift-JIS: 95 5C 8E A6 (the first trail byte is a backslash).
  const std::string text = "ab\x95\x5C\x8E\xA6";
  const struct {
    int capacity;
    std::string kept;
  } cases[] = {{1, ""}, {3, "ab"}, {4, "ab"}, {5, "ab\x95\x5C"}, {6, "ab\x95\x5C"}, {7, text}, {8, text}};
  for (const auto& k : cases) {
    std::vector<char> buffer(static_cast<size_t>(k.capacity) + 1, '#');  // one guard byte
    int pos = 0;
    int partial = 0;
    DisplayWriter out(buffer.data(), k.capacity, pos, &partial);
    out.Append(text);
    EXPECT_EQ(std::string(buffer.data(), static_cast<size_t>(pos)), k.kept) << k.capacity;
    EXPECT_EQ(buffer[static_cast<size_t>(pos)], '\0') << k.capacity;
    EXPECT_EQ(buffer.back(), '#') << k.capacity;
    EXPECT_EQ(partial, k.kept.size() < text.size() ? 1 : 0) << k.capacity;
  }
}

TEST(DisplayWriterTest, FormattedTextAndFillsStopAtTheBuffer) {
  std::vector<char> buffer(16, '#');
  int pos = 0;
  DisplayWriter out(buffer.data(), 10, pos);
  EXPECT_EQ(out.Printf("%05d|", 42), 6);
  EXPECT_EQ(out.Fill(' ', 100), 3);
  EXPECT_TRUE(out.Full());
  EXPECT_TRUE(out.Cut());
  EXPECT_EQ(std::string(buffer.data(), 10), std::string("00042|   ") + '\0');
  EXPECT_EQ(buffer[10], '#');
  // A long formatted text (past the writer's own small buffer) is cut the same way.
  int pos2 = 0;
  std::vector<char> big(600, '#');
  DisplayWriter wide(big.data(), 599, pos2);
  wide.Printf("%s", std::string(1000, 'x').c_str());
  EXPECT_EQ(pos2, 598);
  EXPECT_EQ(big[599], '#');
}

// The table's end mark: the NUL at the position and a second one only where the
// buffer still has a byte for it.
TEST(DisplayWriterTest, TableEndMarkStaysInsideTheBuffer) {
  for (const int capacity : {1, 3, 4, 8}) {
    std::vector<char> buffer(static_cast<size_t>(capacity) + 1, '#');  // one guard byte
    int pos = 0;
    DisplayWriter out(buffer.data(), capacity, pos);
    out.Append("abc");
    out.TerminateTable();
    const auto at = static_cast<size_t>(pos);
    EXPECT_EQ(buffer[at], '\0') << capacity;
    EXPECT_EQ(buffer[at + 1], at + 1 < static_cast<size_t>(capacity) ? '\0' : '#') << capacity;
    EXPECT_EQ(buffer.back(), '#') << capacity;
  }
}

}  // namespace
