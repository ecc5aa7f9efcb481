// One character of UTF-8, EUC-JP or JIS text to Shift-JIS, into the document's
// conversion scratch.
#include "app/QelDoc.h"
#include "convert/charmap/CharMode.h"
#include "platform/text/CodePage.h"

namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

// Returns the source bytes consumed after the first (1, 2, or 3 for a four-byte UTF-8
// sequence), or 0 when the character is not taken: malformed and overlong UTF-8 is
// refused, so that no "/" or "." can hide in a longer form. A JIS pair that has no
// Shift-JIS code leaves two zero bytes in the scratch.
int CQelDoc::ConvertCharToSjis(unsigned char b0, unsigned char b1, unsigned char b2, int mode, int limit) {
  char* out = m_szSjisScratch.data();
  if (b0 >= 0xC0 && (mode == kCharUtf8 || mode == kCharGuessUtf8) && !m_bSjisFixed) {
    int consumed;
    char16_t cp;
    if (b0 >= 0xF0) {
      if (b0 > 0xF4) return 0;
      // Outside the code page's reach: one '?' for the whole four-byte sequence.
      if (!IsContinuation(b1) || !IsContinuation(b2)) return 0;
      out[0] = '?';
      out[1] = 0;
      return 3;
    }
    if (b0 >= 0xE0) {
      if (!IsContinuation(b1) || !IsContinuation(b2)) return 0;
      cp = static_cast<char16_t>((b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F));
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;  // overlong or a surrogate
      consumed = 2;
    } else {
      if (!IsContinuation(b1) || b0 < 0xC2) return 0;  // C0 and C1 start overlong forms
      cp = static_cast<char16_t>((b0 & 0x3F) << 6 | (b1 & 0x3F));
      consumed = 1;
    }
    m_awcScratch[0] = cp;
    m_awcScratch[1] = 0;
    int n = plat::WideToCp932(m_awcScratch.data(), -1, out, 10);
    if (n == 2) out[1] = 0;  // one byte and its terminator
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
