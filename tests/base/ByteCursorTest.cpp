// The bounded cursor on short and hostile spans: reads past the end give 0, set the
// sticky error and never touch a byte outside the span (the sanitizers watch a span
// cut out of a larger buffer).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/ByteCursor.h"

namespace {

// Seven bytes inside a larger buffer: a read of the eighth would be a read past the span.
class ByteCursorTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> buffer_{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xEE};
  ByteCursor Seven() const { return ByteCursor(buffer_.data(), 7); }
};

TEST_F(ByteCursorTest, ReadsInBothOrdersThenZerosAndAStickyError) {
  ByteCursor c = Seven();
  EXPECT_EQ(c.U16LE(), 0x0201);
  EXPECT_EQ(c.U16BE(), 0x0304);
  EXPECT_TRUE(c.Ok());
  EXPECT_EQ(c.U32LE(), 0u);  // three bytes left: nothing is read
  EXPECT_TRUE(c.Failed());
  EXPECT_TRUE(c.AtEnd());
  EXPECT_EQ(c.U8(), 0);
  EXPECT_TRUE(c.Failed());

  ByteCursor d = Seven();
  d.Seek(3);
  EXPECT_EQ(d.U32LE(), 0x07060504u);
  EXPECT_TRUE(d.Ok());

  ByteCursor e = Seven();
  e.Skip(4);
  EXPECT_EQ(e.U24BE(), 0x050607u);
  EXPECT_EQ(e.U24BE(), 0u);
  EXPECT_TRUE(e.Failed());
}

// Data that continuation headers split: a header before a byte is passed and not
// counted, one after the last byte is left, one cut by the span's end is data, and a
// skip past the end stops there with the error set.
TEST_F(ByteCursorTest, ContinuedDataPassesItsHeaders) {
  constexpr uint32_t kMark = 0x2020003C;  // 3C 00 20 20
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int64_t n, end;
    bool ok;
  } cases[] = {
      {"no header", {1, 2, 3}, 3, 3, true},
      {"a header first", {0x3C, 0, 0x20, 0x20, 1, 2}, 2, 6, true},
      {"a header between", {1, 0x3C, 0, 0x20, 0x20, 2}, 2, 6, true},
      {"a header after the last byte", {1, 2, 0x3C, 0, 0x20, 0x20}, 2, 2, true},
      {"a header cut by the end", {1, 0x3C, 0, 0x20}, 4, 4, true},
      {"too short", {1, 0x3C, 0, 0x20, 0x20}, 2, 5, false},
  };
  for (const auto& c : cases) {
    ByteCursor cur(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
    cur.SkipContinued(c.n, kMark);
    EXPECT_EQ(cur.Pos(), c.end) << c.what;
    EXPECT_EQ(cur.Ok(), c.ok) << c.what;
    EXPECT_FALSE(cur.MarkAt(static_cast<int64_t>(c.bytes.size()) - 3, kMark)) << c.what;
  }
  const std::vector<uint8_t> split{0x3C, 0, 0x20, 0x20, 7};
  ByteCursor cur(split.data(), 5);
  EXPECT_EQ(cur.U8Continued(kMark), 7);
  EXPECT_FALSE(cur.PassMark(kMark));
}

TEST_F(ByteCursorTest, LyingLengthsAndOffsetsFail) {
  const struct {
    const char* what;
    int64_t at;
    int64_t n;
  } cases[] = {{"past the end", 5, 3}, {"negative length", 0, -1}, {"offset past the end", 8, 1}, {"huge", 1, INT64_MAX}};
  for (const auto& k : cases) {
    ByteCursor skip = Seven();
    skip.Seek(std::min<int64_t>(k.at, 7));
    skip.Skip(k.n);
    EXPECT_TRUE(skip.Failed()) << k.what;
    EXPECT_TRUE(skip.AtEnd()) << k.what;
    ByteCursor sub = Seven();
    sub.Seek(std::min<int64_t>(k.at, 7));
    EXPECT_TRUE(sub.Sub(k.n).Failed()) << k.what;
    EXPECT_TRUE(Seven().Window(k.at, k.n).Failed()) << k.what;
    EXPECT_TRUE(Seven().Bytes(k.n).empty() || k.n <= 7) << k.what;
    EXPECT_LE(static_cast<int64_t>(Seven().PeekBytes(k.at, k.n).size()), std::max<int64_t>(0, 7 - k.at)) << k.what;
  }
  // A short read copies what there is and zero-fills the rest.
  ByteCursor c = Seven();
  c.Seek(5);
  uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_FALSE(c.Read(out, 4));
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x06, 0x07, 0, 0}));
  EXPECT_TRUE(c.Failed());
}

TEST_F(ByteCursorTest, SubCursorsAndPeeksStayInsideTheSpan) {
  ByteCursor c = Seven();
  c.Skip(2);
  ByteCursor sub = c.Sub(3);
  EXPECT_EQ(sub.Size(), 3);
  EXPECT_EQ(sub.U8(), 0x03);
  EXPECT_EQ(c.U8(), 0x06);  // the parent moved past the sub-cursor's bytes
  ByteCursor cut = c.Sub(5);  // one byte left
  EXPECT_EQ(cut.Size(), 1);
  EXPECT_TRUE(cut.Failed());
  EXPECT_TRUE(c.Failed());

  const ByteCursor whole = Seven();
  EXPECT_EQ(whole.PeekU32LE(4), 0x00070605u);  // the missing byte reads as 0
  EXPECT_EQ(whole.PeekU16BE(6), 0x0700);
  EXPECT_EQ(whole.PeekU24LE(5), 0x000706u);
  EXPECT_EQ(whole.PeekU24LE(-1), 0x020100u);  // the byte before the span reads as 0
  EXPECT_TRUE(whole.Inside(0) && whole.Inside(6));
  EXPECT_FALSE(whole.Inside(-1) || whole.Inside(7));
  EXPECT_EQ(whole.PeekBytes(5, 10).size(), 2u);
  EXPECT_TRUE(whole.PeekBytes(7, 1).empty());
  EXPECT_TRUE(whole.Ok());  // peeks never fail the cursor
}

}  // namespace
