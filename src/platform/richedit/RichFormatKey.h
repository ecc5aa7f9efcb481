// A byte key of a character format (and the object it stands for), so that equal
// formats share one table entry in the control and in an RTF fragment.
#pragma once

#include <cstring>
#include <string>

#include "platform/richedit/RichEdit.h"

namespace plat {

inline std::string RichFormatKey(const CharFormat2& cf, int32_t object) {
  std::string key;
  key.reserve(40 + cf.szFaceName.size());
  auto put = [&key](const void* p, size_t n) { key.append(static_cast<const char*>(p), n); };
  put(&cf.dwMask, 4);
  put(&cf.dwEffects, 4);
  put(&cf.yHeight, 4);
  put(&cf.yOffset, 4);
  put(&cf.crTextColor, 4);
  put(&cf.bCharSet, 1);
  put(&cf.crBackColor, 4);
  put(&cf.bUnderlineType, 1);
  put(&object, 4);
  key += cf.szFaceName;
  return key;
}

// CP932 pairing as the control reads text: a lead byte 81-9F or E0-FC followed by a
// trail byte 40-FC other than 7F.
inline bool IsRichLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool IsRichTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

}  // namespace plat
