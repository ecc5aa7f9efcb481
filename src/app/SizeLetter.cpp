// CQelDoc::SetSizeFromLetter: the letter that may close a home string ("...@c").
// For a media file R and r switch repeat play on and off. Otherwise A to Z (case
// flag cleared) or a to z (set) give an index from 0; an index from 12 on also
// sets the repeat flag and counts from 12 again; the font height (index x 3 + 9)
// points becomes the sheets' size (workbooks and CSV sheets) or the text's. Any
// other character changes nothing.
#include "app/FileKind.h"
#include "app/QelDoc.h"

namespace {

constexpr int kRepeatFrom = 12;

bool IsSheetKind(int kind) { return kind == kKindXls || kind == kKindCsv || kind == kKindXlsx; }

}  // namespace

void CQelDoc::SetSizeFromLetter(char letter) {
  if (IsMediaKind(m_nFileKind)) {
    if (letter == 'R') SetMediaRepeat(true);
    if (letter == 'r') SetMediaRepeat(false);
    return;
  }
  int index = 0;
  if (letter >= 'A' && letter <= 'Z') {
    index = letter - 'A';
    m_bLowerCaseLetter = 0;
  } else if (letter >= 'a' && letter <= 'z') {
    index = letter - 'a';
    m_bLowerCaseLetter = 1;
  } else {
    return;
  }
  if (index >= kRepeatFrom) {
    m_bRepeat = 1;
    index -= kRepeatFrom;
  }
  const int tenths = (index * 3 + 9) * 10;
  if (IsSheetKind(m_nFileKind)) {
    m_nTablePointSize = tenths;
  } else {
    m_nTextPointSize = tenths;
  }
}
