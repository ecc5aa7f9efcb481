// HTML and spreadsheet XML to text. The first byte picks the converter and the
// settings that change its roads; the rest is the file. The text must stay inside
// its buffer and hold no NUL (the source display copies bytes as they stand). A
// repeat mark (RepeatMark.h) grows an input up to 1 MiB.
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
#include "platform/os/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* raw, size_t rawSize) {
  const fuzzsupport::RepeatedInput input(raw, rawSize, size_t{1} << 20);
  const uint8_t* data = input.data();
  const size_t size = input.size();
  if (size < 1) return 0;
  const std::string& folder = fuzzsupport::RunFolder();
  if (folder.empty()) return 0;
  // One document for the whole run (its tables are large), in the process's own folder.
  static CQelDoc doc(plat::FromHostPath(folder));
  const uint8_t options = data[0];
  doc.m_bShowAddress = options & 1;
  doc.m_bVerticalRules = options >> 1 & 1;
  doc.m_nDisplayForm = options >> 2 & 1 ? 2 : 0;
  doc.m_bAsciiFixed = options >> 3 & 1;
  doc.m_nListingKind = options >> 4 & 1;
  doc.m_nListingForm = options >> 4 & 1;
  doc.m_nTextSizeIndex = options >> 5 & 1 ? 5 : 0;
  doc.m_nReadTextForm = 0;
  const bool sheet = options >> 7 & 1;
  const int layout = options >> 6 & 1;
  doc.m_nTableRows = 600;
  doc.m_nOutDataLimit = 1 << 16;

  // Exactly the input's bytes, so that a read past them is seen.
  doc.Convert().m_rawStore = ZeroedVector<uint8_t>(data + 1, data + size);
  doc.Convert().m_pRawData = doc.Convert().m_rawStore.data();
  doc.Convert().m_nRawLen = static_cast<int64_t>(size - 1);
  if (!doc.AllocateConvBuffer(doc.m_nOutDataLimit + 8192)) return 0;
  DumpCall call;
  call.bTableRules = layout;
  doc.WriteConvertFailure(sheet ? doc.ConvertXmlSheetToText(call) : doc.ConvertHtmlToText(call));
  const int length = doc.m_nConvPos;
  if (length < 0 || length >= doc.m_nConvCap) std::abort();
  if (doc.m_nDisplayForm != 2) {
    for (int i = 0; i < length; ++i) {
      if (doc.m_pConvBuf[i] == '\0') std::abort();
    }
  }
  return 0;
}
