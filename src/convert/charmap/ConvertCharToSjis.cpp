// One character of UTF-8, EUC-JP or JIS text to Shift-JIS, into the document's
// conversion scratch.
#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "convert/charmap/CharMode.h"
#include "platform/text/CodePage.h"

// Returns the source bytes consumed after the first (1, 2, or 3 for a four-byte UTF-8
// sequence), or 0 when the character is not taken: malformed and overlong UTF-8 is
// refused, so that no "/" or "." can hide in a longer form. A JIS pair that has no
// Shift-JIS code leaves two zero bytes in the scratch.
int CQelDoc::ConvertCharToSjis(unsigned char b0, unsigned char b1, unsigned char b2, int mode, int limit) {
  char* out = Convert().m_szSjisScratch.data();
  if (b0 >= 0xC0 && (mode == kCharUtf8 || mode == kCharGuessUtf8) && !m_bSjisFixed) {
    const int consumed = plat::Utf8CharToCp932(b0, b1, b2, out);
    out[2] = 0;
    return consumed;
  }
  if (b0 < 0xA1 && mode != kCharJis && mode != kCharJisAlike) return 0;
  if (m_bSjisFixed || limit >= 30) return 0;
  if (b1 < 0xA0 && mode != kCharJis && mode != kCharJisAlike) return 0;
  unsigned first = b0;
  unsigned second = b1;
  if (mode == kCharEuc || mode > kCharPair) {  // EUC to JIS
    first -= 0x80;
    second -= 0x80;
  }
  const unsigned sjis = plat::JisToSjis((first & 0xFF) << 8 | (second & 0xFF));
  out[0] = static_cast<char>(sjis >> 8);
  out[1] = static_cast<char>(sjis & 0xFF);
  return 1;
}
