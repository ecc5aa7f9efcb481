// Stored workbook strings read straight into Shift-JIS: each string read whole
// (the quick road: no 0x3C byte among its characters) and split by a continuation
// header inside its characters (the road that checks every character) must give the
// same text, code, widest line and end position, and the texts a sheet shows.
#include <gtest/gtest.h>

#include <string>

#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "convert/office/OfficeState.h"
#include "support/TestEnv.h"

namespace {

class RecordTextTest : public testenv::DocTest {
 protected:
  struct Result {
    int status = 0;
    std::string text;
    int code = 0;
    int widest = 0;
    int64_t end = 0;
  };
  Result Read(const std::string& image, int cap) {
    doc_->Convert().m_rawStore.assign(image.begin(), image.end());
    doc_->Convert().m_pRawData = doc_->Convert().m_rawStore.data();
    doc_->Convert().m_nRawLen = static_cast<int64_t>(image.size());
    doc_->Convert().m_nRawPos = 0;
    Result r;
    r.status = doc_->ReadOfficeRecordText(cap, 0);
    r.text = reinterpret_cast<const char*>(&doc_->Office().m_abRecordText[1]);
    r.code = doc_->Office().m_nRecordTextCode;
    r.widest = doc_->Office().m_abRecordText[0];
    r.end = doc_->Convert().m_nRawPos;
    doc_->Convert().m_pRawData = nullptr;
    return r;
  }
};

// A string record: character count, flags (wide, runs, phonetic), the characters
// (split after `split` characters by a rewritten continuation header and its flags
// byte when split >= 0), the runs and the phonetic block; then a trailing "zz".
std::string StoredString(const std::u16string& chars, bool wide, int split, int runs = 0, int phonetic = 0) {
  std::string s;
  s += static_cast<char>(chars.size() & 0xFF);
  s += static_cast<char>(chars.size() >> 8);
  s += static_cast<char>((wide ? 1 : 0) | (runs ? 8 : 0) | (phonetic ? 4 : 0));
  if (runs) s += std::string{static_cast<char>(runs & 0xFF), static_cast<char>(runs >> 8)};
  if (phonetic) s += std::string{static_cast<char>(phonetic & 0xFF), static_cast<char>(phonetic >> 8), 0, 0};
  for (size_t i = 0; i < chars.size(); ++i) {
    if (static_cast<int>(i) == split) s += std::string("\x3C\x00\x20\x20", 4) + static_cast<char>(wide ? 1 : 0);
    s += static_cast<char>(chars[i] & 0xFF);
    if (wide) s += static_cast<char>(chars[i] >> 8);
  }
  s += std::string(static_cast<size_t>(runs) * 4, '\x11');
  s += std::string(static_cast<size_t>(phonetic), '\x22');
  return s + "zz";
}

TEST_F(RecordTextTest, StringsReadTheSameWholeAndSplitByContinuations) {
  struct Case {
    std::u16string chars;
    bool wide;
    int cap;
    const char* text;  // nullptr: the two roads are compared only
    int code;
    int widest;
  };
  const Case cases[] = {
      {u"abc", false, 498, "abc", 1003, 3},
      {u"\u65E5\u672C", true, 498, "\x93\xFA\x96\x7B", 5, 4},
      {u"item 12 \u54C1", true, 498, "item 12 \x95\x69", 11, 10},
      {u"a\tb", false, 498, "a b", 1003, 3},
      {u"a\nbc", false, 498, "a\x0B" "bc", 1004, 2},
      {u"a\x02" "bc", false, 498, "a   ", 1004, 4},
      {u"a\x02\u65E5", true, 498, "a   ", 5, 4},
      {std::u16string(u"ab\0cd", 5), false, 498, "ab", 1002, 2},
      {u"\u00D7", false, 498, "\x81\x7E", 1002, 2},
      {u"\u00D7", false, 1, "", 1002, 0},
      {u"\u65E5\u672C", true, 3, "\x93\xFA", 3, 2},
      {u"abcdef", false, 4, "abcd", 1004, 4},
      {u"a<b", false, 498, "a<b", 1003, 3},
      {u"\u3C00x", true, 498, nullptr, 0, 0},
      {u"caf\u00E9", false, 498, nullptr, 0, 0},
      {u"x\u00D7", false, 498, nullptr, 0, 0},
      {u"\u00D7", true, 498, nullptr, 0, 0},
      {u"\x1F\x7F\x80", false, 498, nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    const std::string label = std::to_string(c.chars.size()) + " chars, first " + std::to_string(c.chars[0]);
    const Result whole = Read(StoredString(c.chars, c.wide, -1), c.cap);
    EXPECT_EQ(whole.status, 1) << label;
    EXPECT_EQ(whole.end + 2, static_cast<int64_t>(StoredString(c.chars, c.wide, -1).size())) << label;
    if (c.text) {
      EXPECT_EQ(whole.text, c.text) << label;
      EXPECT_EQ(whole.code, c.code) << label;
      EXPECT_EQ(whole.widest, c.widest) << label;
    }
    for (int split = 1; split < static_cast<int>(c.chars.size()); ++split) {
      const std::string image = StoredString(c.chars, c.wide, split);
      const Result parted = Read(image, c.cap);
      EXPECT_EQ(parted.status, 1) << label << " split " << split;
      EXPECT_EQ(parted.text, whole.text) << label << " split " << split;
      EXPECT_EQ(parted.code, whole.code) << label << " split " << split;
      EXPECT_EQ(parted.widest, whole.widest) << label << " split " << split;
      EXPECT_EQ(parted.end + 2, static_cast<int64_t>(image.size())) << label << " split " << split;
    }
  }
}

TEST_F(RecordTextTest, RunsAndPhoneticBlocksArePassedAndCutStringsRefused) {
  const std::string image = StoredString(u"\u65E5 ok", true, -1, 2, 9);
  const Result r = Read(image, 498);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.text, "\x93\xFA ok");
  EXPECT_EQ(r.end + 2, static_cast<int64_t>(image.size()));
  // Cut inside the characters, the runs or the phonetic block: no text, never a read past the end.
  for (size_t cut = 3; cut + 2 < image.size(); ++cut) {
    const Result part = Read(image.substr(0, cut), 498);
    EXPECT_EQ(part.status, -1) << cut;
    EXPECT_EQ(part.text, "") << cut;
  }
}

// The character count, the run count and the phonetic size are read low byte first:
// they were once put together from two reads in one expression, whose order C++
// leaves to the compiler. Counts whose two bytes differ read as stored.
TEST_F(RecordTextTest, CountsReadLowByteFirstFault) {
  const struct {
    int chars, runs, phonetic;
  } cases[] = {{258, 0, 0}, {3, 258, 0}, {3, 0, 258}, {300, 513, 1027}};
  for (const auto& c : cases) {
    const std::u16string chars(static_cast<size_t>(c.chars), u'a');
    const std::string image = StoredString(chars, false, -1, c.runs, c.phonetic);
    const Result r = Read(image, 498);
    const std::string label = std::to_string(c.chars) + " " + std::to_string(c.runs) + " " + std::to_string(c.phonetic);
    EXPECT_EQ(r.status, 1) << label;
    EXPECT_EQ(r.code, 1000 + c.chars) << label;
    EXPECT_EQ(r.end + 2, static_cast<int64_t>(image.size())) << label;
  }
}

}  // namespace
