// The Shift-JIS lead-byte test and the Latin-1 fold, at the edges of their ranges,
// checked against the code page itself where it has an answer.
#include <gtest/gtest.h>

#include "app/QelDoc.h"
#include "base/SjisLeadByte.h"
#include "platform/text/CodePage.h"

namespace {

TEST(CharHelpersTest, LeadBytesAreTheCodePagesButForTheUserArea) {
  // The display's test differs from the code page's in 80 (a lead here) and the
  // user-defined leads F0 to F9 (single bytes here).
  for (int c = 0; c < 256; ++c) {
    const bool userArea = c >= 0xF0 && c <= 0xF9;
    const bool lead = c == 0x80 || (IsSjisLeadByte(static_cast<uint8_t>(c)) && !userArea);
    EXPECT_EQ(IsLeadByte80To9FE0ToEFFAToFC(static_cast<unsigned char>(c)), lead ? 1 : 0) << c;
    // Every assigned lead byte starts a character the code page knows.
    if (lead && c != 0x80 && c != 0x85 && c != 0x86 && (c < 0xEB || c > 0xEF)) {
      bool known = false;
      for (int t = 0x40; t <= 0xFC && !known; ++t) known = plat::Cp932CodeToUnicode(static_cast<uint16_t>(c << 8 | t)) != 0xFFFF;
      EXPECT_TRUE(known) << c;
    }
  }
}

TEST(CharHelpersTest, FoldMatchesTheLatin1Letters) {
  EXPECT_EQ(CQelDoc::FoldLatin1Char(0x80), 'C');
  EXPECT_EQ(CQelDoc::FoldLatin1Char(0x93), '"');
  EXPECT_EQ(CQelDoc::FoldLatin1Char(0xA9), 'C');
  EXPECT_EQ(CQelDoc::FoldLatin1Char(0xD7), 'X');
  EXPECT_EQ(CQelDoc::FoldLatin1Char(0xF7), '/');
  EXPECT_EQ(CQelDoc::FoldLatin1Char(0xFF), 'y');
  EXPECT_EQ(CQelDoc::FoldLatin1Char(0x0B), '\r');
  EXPECT_EQ(CQelDoc::FoldLatin1Char(0x13), '#');
  EXPECT_EQ(CQelDoc::FoldLatin1Char(0x04), '\'');
  for (int c : {0x00, 0x01, 0x0A, 0x41, 0x7F}) EXPECT_EQ(CQelDoc::FoldLatin1Char(static_cast<unsigned char>(c)), c);
  // Accented letters fold to their base letter, as Unicode decomposes them.
  const char* bases = "AAAAAAACEEEEIIII";
  for (int c = 0xC0; c < 0xD0; ++c) EXPECT_EQ(CQelDoc::FoldLatin1Char(static_cast<unsigned char>(c)), bases[c - 0xC0]) << c;
}

}  // namespace
