// The raw buffer of the binary Office roads (the stream or file image in
// CQelDoc::m_pRawData) as the one byte cursor: reads outside the buffer give 0, so the
// walks can follow positions taken from the file as they are. The two roads that
// rewrite bytes in place (blanked deleted text, a character's folded high byte) write
// through SetRawImageByte, which drops a write outside the buffer.
#pragma once

#include <cstdint>

#include "app/QelDoc.h"
#include "base/ByteCursor.h"
#include "convert/ConvertState.h"

inline ByteCursor RawImageOf(const CQelDoc& doc) {
  const ConvertState& c = doc.Convert();
  return ByteCursor(c.m_pRawData, c.m_pRawData ? static_cast<int64_t>(c.m_rawStore.size()) : 0);
}

inline void SetRawImageByte(CQelDoc& doc, int64_t at, uint8_t v) {
  ConvertState& c = doc.Convert();
  if (c.m_pRawData && at >= 0 && at < static_cast<int64_t>(c.m_rawStore.size())) c.m_pRawData[at] = v;
}
