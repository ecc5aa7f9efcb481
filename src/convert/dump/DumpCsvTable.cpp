// CSV to table text: the bytes are rewritten one for one into the display text, the
// field separators becoming the column mark (byte 6) that the table display splits
// on. A quoted field keeps its commas and stays on one line.
#include <algorithm>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "convert/dump/CharHelpers.h"
#include "convert/dump/DumpCall.h"

namespace {

constexpr int64_t kCsvRoom = 100000;
constexpr int kQuotedCommaLimit = 90;  // an unclosed quote is given up after this many commas
constexpr char kColumnMark = 6;

}  // namespace

void CQelDoc::DumpCsvTable(DumpCall& call) {
  // Every byte read is shown: the table text is not cut to the read size.
  const int64_t n = std::min(call.bytesRead, call.bufferSize);
  const int64_t need = n + kCsvRoom;
  if (need > m_nConvCap) {
    if (m_pConvBuf != m_convStore.data() || need > INT32_MAX ||
        !plat::TryResize(m_convStore, static_cast<size_t>(need), &m_allocHook)) {
      m_nConvPos = 0;
      ConvAppend(LoadString(IDS_OUT_OF_MEMORY));
      ConvAppend(" 016");
      return;
    }
    m_pConvBuf = m_convStore.data();
    m_nConvCap = static_cast<int>(need);
  }

  const uint8_t* in = m_pRawData;
  char* out = m_pConvBuf;
  bool quoted = false;
  bool lead = false;
  int commas = 0;
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t b = in[i];
    if (lead && b < 0x40 && i > 0) out[i - 1] = ' ';
    char c = static_cast<char>(b);
    switch (b) {
      case '"':
        quoted = !quoted;
        break;
      case '\r':
      case '\n':
        if (quoted) c = ':';
        break;
      case '\t':
        c = '~';
        break;
      case ',':
        if (!quoted) {
          c = kColumnMark;
          commas = 0;
        } else if (++commas <= kQuotedCommaLimit) {
          if (i > 0 && out[i - 1] == '"') c = kColumnMark;
        } else {
          if (i > 0) out[i - 1] = '\r';
          c = '\n';
          quoted = false;
          commas = 0;
        }
        break;
      default:
        break;
    }
    out[i] = c;
    lead = !lead && IsLeadByte80To9FE0ToEFFAToFC(b);
  }
  out[n] = '\0';
  out[n + 1] = '\0';
  m_nConvPos = static_cast<int>(n);
  if (call.fileLength > n) {
    m_bPartialLoad = 1;
    if (m_bQuickHead == 0) AppendTruncationNote();
  }
}
