// The raw buffer of the binary Office roads (the stream or file image in
// CQelDoc::m_pRawData) as the one byte cursor: reads outside the buffer give 0, so the
// walks can follow positions taken from the file as they are. The two roads that
// rewrite bytes in place (blanked deleted text, a character's folded high byte) write
// through SetRawImageByte, which drops a write outside the buffer.
#pragma once

#include <cstdint>

#include "app/QelDoc.h"
#include "base/ByteCursor.h"

inline ByteCursor RawImageOf(const CQelDoc& doc) {
  return ByteCursor(doc.m_pRawData, doc.m_pRawData ? static_cast<int64_t>(doc.m_rawStore.size()) : 0);
}

inline void SetRawImageByte(CQelDoc& doc, int64_t at, uint8_t v) {
  if (doc.m_pRawData && at >= 0 && at < static_cast<int64_t>(doc.m_rawStore.size())) doc.m_pRawData[at] = v;
}
