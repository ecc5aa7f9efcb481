// One character of EUC-JP and ISO-2022-JP (all of JIS X 0208) and of UTF-8, against
// iconv's conversion to CP932 of the same bytes.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "convert/ConvertState.h"
#include "convert/charmap/TextDecode.h"
#include "support/TestEnv.h"

namespace {

class CharConvertTest : public testenv::DocTest {};

// Every JIS X 0208 row/cell pair, one per line, written by make(row, cell).
template <class Make>
std::string AllPairs(Make make) {
  std::string text;
  for (int row = 0x21; row <= 0x7E; ++row) {
    for (int cell = 0x21; cell <= 0x7E; ++cell) text += make(row, cell) + "\n";
  }
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// iconv's CP932 for each line (empty where iconv has no character).
std::vector<std::string> IconvLines(const std::string& input, const std::string& from, const testenv::TempDir& dir) {
  testenv::WriteHostFile(dir.HostPath("in.txt"), input);
  return Lines(testenv::Shell("iconv -c -f " + from + " -t CP932 " + testenv::Quote(dir.HostPath("in.txt")) +
                              " 2>/dev/null"));
}

TEST_F(CharConvertTest, EucJpAgreesWithIconvOnAllOfJisX0208) {
  SKIP_WITHOUT_PROGRAM("iconv");
  const std::string input = AllPairs([](int r, int c) { return std::string{char(r | 0x80), char(c | 0x80)}; });
  const auto expected = IconvLines(input, "EUC-JP", dir_);
  ASSERT_EQ(expected.size(), 94u * 94u);
  int compared = 0;
  size_t k = 0;
  for (int row = 0x21; row <= 0x7E; ++row) {
    for (int cell = 0x21; cell <= 0x7E; ++cell, ++k) {
      if (expected[k].size() != 2) continue;  // no character there
      ASSERT_EQ(doc_->ConvertCharToSjis(row | 0x80, cell | 0x80, 0, 0, 0), 1);
      EXPECT_EQ(std::string(doc_->Convert().m_szSjisScratch.data(), 2), expected[k]) << std::hex << row << cell;
      ++compared;
    }
  }
  EXPECT_GT(compared, 6800);
}

TEST_F(CharConvertTest, Iso2022JpTextAgreesWithIconv) {
  SKIP_WITHOUT_PROGRAM("iconv");
  const std::string input =
      AllPairs([](int r, int c) { return std::string("\x1B$B") + char(r) + char(c) + "\x1B(Bx"; });
  const auto expected = IconvLines(input, "ISO-2022-JP", dir_);
  const auto ours = Lines(doc_->DecodeTextToSjis(input, kTextJis));
  ASSERT_EQ(ours.size(), expected.size());
  int compared = 0;
  for (size_t k = 0; k < ours.size(); ++k) {
    if (expected[k].size() != 3) continue;  // iconv has no character there
    EXPECT_EQ(ours[k], expected[k]) << k;
    ++compared;
  }
  EXPECT_GT(compared, 6800);
}

TEST_F(CharConvertTest, Utf8SequencesAreTakenWholeAndMalformedOnesRefused) {
  auto convert = [&](std::string bytes) {
    bytes.resize(3, '\0');
    int n = doc_->ConvertCharToSjis(bytes[0], bytes[1], bytes[2], 1, 0);
    return std::make_pair(n, std::string(doc_->Convert().m_szSjisScratch.data()));
  };
  EXPECT_EQ(convert("\xE3\x81\x82"), std::make_pair(2, std::string("\x82\xA0")));  // あ
  EXPECT_EQ(convert("\xC3\x97"), std::make_pair(1, std::string("\x81\x7E")));      // ×
  EXPECT_EQ(convert("\xF0\x9F\x98"), std::make_pair(3, std::string("?")));         // four bytes, one '?'
  EXPECT_EQ(convert("\xC0\xAF").first, 0);                                         // overlong '/'
  EXPECT_EQ(convert("\xE0\x80\xAF").first, 0);                                     // overlong '/'
  EXPECT_EQ(convert("\xE3\x81").first, 0);                                         // cut short
  EXPECT_EQ(convert("\xED\xA0\x80").first, 0);                                     // a surrogate
  doc_->m_bSjisFixed = 1;
  EXPECT_EQ(convert("\xE3\x81\x82").first, 0);
  doc_->m_bSjisFixed = 0;
  // The double-byte forms: EUC in mode 0, JIS as it is in mode 2, and the limit.
  EXPECT_EQ(doc_->ConvertCharToSjis(0xB0, 0xA1, 0, 0, 0), 1);
  EXPECT_EQ(std::string(doc_->Convert().m_szSjisScratch.data(), 2), "\x88\x9F");
  EXPECT_EQ(doc_->ConvertCharToSjis(0x30, 0x21, 0, 2, 0), 1);
  EXPECT_EQ(std::string(doc_->Convert().m_szSjisScratch.data(), 2), "\x88\x9F");
  EXPECT_EQ(doc_->ConvertCharToSjis(0xB0, 0xA1, 0, 0, 30), 0);
  EXPECT_EQ(doc_->ConvertCharToSjis(0x41, 0xA1, 0, 0, 0), 0);
}

TEST_F(CharConvertTest, BrokenCharactersInTextLeaveTheBytesAfterThem) {
  // A four-byte UTF-8 sequence is one '?' only when all four bytes are there.
  EXPECT_EQ(doc_->DecodeTextToSjis("\xF0\x9F\x98\x80!", kTextUtf8), "?!");
  EXPECT_EQ(doc_->DecodeTextToSjis("\xF0\x9F\x98" "A\n", kTextUtf8), "???A\n");
  EXPECT_EQ(doc_->DecodeTextToSjis("\xF0\x9F\x98", kTextUtf8), "???");
  // A JIS pair cut by a line end or an escape: the line end stays, the escape still switches.
  EXPECT_EQ(doc_->DecodeTextToSjis("\x1B$B\x30\r\n\x30\x21\x1B(Bx", kTextJis), "?\r\n\x88\x9F" "x");
  EXPECT_EQ(doc_->DecodeTextToSjis("\x1B$B\x30\x1B(Bx", kTextJis), "?x");
  EXPECT_EQ(doc_->DecodeTextToSjis("\x1B$B\x30", kTextJis), "?");
}

TEST_F(CharConvertTest, Utf8TextAgreesWithIconvWhereCp932HasTheCharacter) {
  SKIP_WITHOUT_PROGRAM("iconv");
  // All of JIS X 0208 written as UTF-8 by iconv, read back through the UTF-8 form.
  const std::string euc = AllPairs([](int r, int c) { return std::string{char(r | 0x80), char(c | 0x80)}; });
  testenv::WriteHostFile(dir_.HostPath("euc.txt"), euc);
  const std::string utf8 = testenv::Shell("iconv -c -f EUC-JP -t UTF-8 " + testenv::Quote(dir_.HostPath("euc.txt")));
  testenv::WriteHostFile(dir_.HostPath("utf8.txt"), utf8);
  const std::string expected =
      testenv::Shell("iconv -c -f UTF-8 -t CP932 " + testenv::Quote(dir_.HostPath("utf8.txt")) + " 2>/dev/null");
  const auto ours = Lines(doc_->DecodeTextToSjis(utf8, kTextUtf8));
  const auto theirs = Lines(expected);
  ASSERT_EQ(ours.size(), theirs.size());
  for (size_t k = 0; k < ours.size(); ++k) {
    if (theirs[k].empty()) {
      EXPECT_TRUE(ours[k].empty() || ours[k] == "?") << k;  // iconv has no CP932 code
    } else {
      EXPECT_EQ(ours[k], theirs[k]) << k;
    }
  }
}

}  // namespace
