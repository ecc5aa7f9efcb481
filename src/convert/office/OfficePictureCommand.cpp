// The user's pick of a picture in a binary Office document: the tag names the
// picture by its number; the file is loaded again with that picture chosen, which
// shows the picture instead of the text, and the choice is given up afterwards so
// that the next load shows the text again. A Word document lists the pictures its
// text does not place after the text as "[Img1]", "[Img2]", ...: those numbers count
// on from the placed ones (the view code 1 tells the Word road so).
#include <string_view>

#include "app/FileKind.h"
#include "app/QelDoc.h"

namespace {

// The number behind the first "[Image" or "[Img" of text; *after is set for "[Img".
int PictureTagNumber(std::string_view text, bool* after) {
  for (size_t at = text.find("[Im"); at != std::string_view::npos; at = text.find("[Im", at + 1)) {
    size_t k = at + 3;
    *after = false;
    if (text.substr(k, 3) == "age") k += 3;
    else if (text.substr(k, 1) == "g") {
      ++k;
      *after = true;
    } else {
      continue;
    }
    int n = 0;
    size_t digits = 0;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9' && digits < 4; ++k, ++digits) n = n * 10 + (text[k] - '0');
    if (digits > 0 && k < text.size() && text[k] == ']' && n > 0) return n;
  }
  return 0;
}

}  // namespace

int CQelDoc::ShowOfficePicture(std::string_view text) {
  if (m_nFileKind != kKindPpt && m_nFileKind != kKindDoc && m_nFileKind != kKindXls) return -1;
  bool after = false;
  const int n = PictureTagNumber(text, &after);
  if (n <= 0 || n > 199 || (after && m_nFileKind != kKindDoc)) return -1;
  m_nSelectedItem = n;
  m_nSelectedItemView = after ? 1 : 0;
  const int result = LoadDocument(m_strPathName);
  m_nSelectedItem = 0;
  m_nSelectedItemView = 0;
  return result;
}
