// The size letter of a home string: repeat flags for media, the letter's case, and
// the font size of the text or of a sheet.
#include <gtest/gtest.h>

#include "app/FileKind.h"
#include "app/Settings.h"
#include "support/TestEnv.h"

namespace {

class SizeLetterTest : public testenv::DocTest {};

TEST_F(SizeLetterTest, LettersGiveSizesCaseAndRepeat) {
  struct Case {
    int kind;
    char letter;
    int text, table, lower, repeat;
  };
  const Case cases[] = {
      {kKindText, 'A', 90, 0, 0, 0},   // index 0: 9 points
      {kKindText, 'd', 180, 0, 1, 0},  // index 3: 18 points, lower case
      {kKindText, 'L', 420, 0, 0, 0},  // index 11: the largest without repeat
      {kKindText, 'M', 90, 0, 0, 1},   // index 12: repeat, counted from 0 again
      {kKindText, 'z', 480, 0, 1, 1},  // index 25 -> 13
      {kKindCsv, 'c', 0, 150, 1, 0},
      {kKindXls, 'B', 0, 120, 0, 0},
      {kKindXlsx, 'B', 0, 120, 0, 0},
      {kKindText, '5', 0, 0, 0, 0},    // no letter: nothing changes
      {kKindText, '@', 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.letter));
    doc_->m_nTextPointSize = doc_->m_nTablePointSize = doc_->m_bLowerCaseLetter = doc_->m_bRepeat = 0;
    doc_->m_nFileKind = c.kind;
    doc_->SetSizeFromLetter(c.letter);
    EXPECT_EQ(doc_->m_nTextPointSize, c.text);
    EXPECT_EQ(doc_->m_nTablePointSize, c.table);
    EXPECT_EQ(doc_->m_bLowerCaseLetter, c.lower);
    EXPECT_EQ(doc_->m_bRepeat, c.repeat);
  }
}

TEST_F(SizeLetterTest, MediaTakesOnlyTheRepeatLetters) {
  doc_->m_nFileKind = kKindWave;
  doc_->SetSizeFromLetter('R');
  EXPECT_EQ(SettingValue(*doc_, "repeat"), "1");
  doc_->SetSizeFromLetter('c');
  EXPECT_EQ(SettingValue(*doc_, "repeat"), "1");
  EXPECT_EQ(doc_->m_nTextPointSize, 0);
  doc_->SetSizeFromLetter('r');
  EXPECT_EQ(SettingValue(*doc_, "repeat"), "0");
}

}  // namespace
