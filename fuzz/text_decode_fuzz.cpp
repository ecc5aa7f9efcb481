// Text read as UTF-8, EUC-JP or ISO-2022-JP (first byte picks the form), and the
// character maps: nothing may read past the input or write past the scratch.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "RunFolder.h"
#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "convert/charmap/CharMaps.h"
#include "convert/charmap/CidToSjis.h"
#include "convert/charmap/TextDecode.h"
#include "platform/os/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string& folder = fuzzsupport::RunFolder();
  if (folder.empty()) return 0;
  // One document for the whole run (its tables are large), in the process's own folder.
  static CQelDoc doc(plat::FromHostPath(folder));
  const int form = data[0] % 4;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  doc.DecodeTextToSjis(text, form);
  const ConvertState& cid = doc.Convert();
  for (size_t i = 1; i + 1 < size; i += 2) {
    unsigned char hi = data[i], lo = data[i + 1];
    MapCidToSjis(&hi, &lo, cid.m_anCidRangeStart.data(), cid.m_anCidRangeSjis.data(), cid.m_abyCidSymbolTrail.data());
    unsigned char b = data[i], prefix;
    MapPdfDocChar(&b, &prefix);
    unsigned char first, second;
    MapUnicodeToSjis(data[i] << 8 | data[i + 1], &first, &second);
  }
  return 0;
}
