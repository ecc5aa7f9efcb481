// PDF text, pictures and the source view. The first byte picks the display form and
// the settings that change the roads; the rest is the file. The walk must end, the
// text stay inside its limit, and no read or write leave its buffer. A repeat mark
// (RepeatMark.h) grows an input up to 1 MiB.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "RepeatMark.h"
#include "RunFolder.h"
#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/pdf/PdfTokenizer.h"
#include "convert/pdf/PdfValueReaders.h"
#include "platform/os/Files.h"

namespace {

// The small readers on their own, at the places where their patterns start: every
// read stays in the bytes and every position they leave is inside them or just out.
void ReadersOnTheirOwn(const uint8_t* data, size_t size) {
  const ByteCursor b(data, static_cast<int64_t>(size));
  const int64_t n = b.Size();
  int64_t cursor = 0;
  PdfTokenizer tok(b, cursor);
  std::array<int64_t, 10> numbers;
  for (int64_t i = 0; i < n && i < 4096; ++i) {
    const uint8_t c = b.PeekU8(i);
    if (c == '<') {
      int64_t pos = i;
      int oneByte = 0;
      if (ParsePdfHexString(b, &pos, &oneByte) >= 0 && (pos <= i || pos > n)) std::abort();
    } else if (c == 'R' || c == ']') {
      cursor = i;
      for (int k = 0; k < 64 && cursor >= 0; ++k) {
        const int64_t before = cursor;
        tok.PdfNextToken(cursor, 8);
        if (cursor >= before) break;  // no reference: the cursor stays
      }
    } else if (c == 'T' || c == 'c') {
      PdfReadNumberBackward(b, i - 1, numbers, c == 'T');
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* raw, size_t rawSize) {
  const fuzzsupport::RepeatedInput input(raw, rawSize, size_t{1} << 20);
  const uint8_t* data = input.data();
  const size_t size = input.size();
  if (size < 1) return 0;
  ReadersOnTheirOwn(data + 1, size - 1);
  const std::string& folder = fuzzsupport::RunFolder();
  if (folder.empty()) return 0;
  // One document for the whole run (its tables are large), in the process's own folder.
  static CQelDoc doc(plat::FromHostPath(folder));
  const uint8_t options = data[0];
  doc.m_nDisplayForm = options & 1 ? 2 : 0;
  doc.m_bRepeat = options >> 1 & 1;
  doc.m_nCsvMode = options >> 2 & 1;
  doc.Convert().m_nPdfWordGap = options >> 3 & 1 ? 0 : 5;
  doc.m_nSelectedItem = options >> 4 & 1 ? (options >> 5) + 1 : 0;
  doc.m_nSelectedItemView = doc.m_nSelectedItem ? 'a' : 0;
  doc.m_nTableRows = 700;
  doc.m_nOutDataLimit = 1 << 16;
  doc.m_nBmpDataLimit = 1 << 20;

  // The input's bytes, with room behind them for unpacked object streams.
  const size_t length = size - 1;
  doc.Convert().m_rawStore.assign(data + 1, data + size);
  doc.Convert().m_rawStore.resize(length + 20000);
  doc.Convert().m_pRawData = doc.Convert().m_rawStore.data();
  doc.Convert().m_nRawLen = static_cast<int64_t>(length);
  doc.Convert().m_nRawPos = 0;
  if (!doc.AllocateConvBuffer(doc.m_nOutDataLimit + 8192)) return 0;
  DumpCall call;
  call.cellChars = 522;
  call.cellRows = doc.m_nTableRows + 290;
  call.cells.assign(static_cast<size_t>(call.cellChars) * static_cast<size_t>(call.cellRows), 0);
  doc.WriteConvertFailure(doc.DumpPdf(call));
  const int text = doc.m_nConvPos;
  if (text < 0 || text >= doc.m_nConvCap || text > doc.m_nOutDataLimit) std::abort();
  if (doc.Convert().m_nRawLen > static_cast<int64_t>(doc.Convert().m_rawStore.size())) std::abort();
  return 0;
}
