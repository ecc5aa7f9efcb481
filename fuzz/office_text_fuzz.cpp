// The Word, PowerPoint, RTF and mail roads over any bytes. The first input byte
// picks the form: a raw file of one of the four kinds, or a compound file built
// around the bytes as its PowerPoint Document stream, as its WordDocument and 1Table
// streams (a 4-byte length first), or as three mail property streams; and the
// display form. Nothing may read past the data, write past the output or hang.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "CfbImage.h"
#include "LoadFuzzSupport.h"

namespace {

// The payload as streams of a compound file (forms 3 to 5), or as it is.
std::string FileBytes(int form, const std::string& payload, const char** name) {
  switch (form) {
    case 0: *name = "a.rtf"; return payload;
    case 1: *name = "a.doc"; return payload;
    case 2: *name = "a.msg"; return payload;
    case 3: *name = "a.ppt"; return cfbimage::Build({{"PowerPoint Document", payload}});
    case 4: {
      *name = "a.doc";
      uint32_t first = 0;
      for (int i = 0; i < 4 && i < static_cast<int>(payload.size()); ++i) first |= static_cast<uint32_t>(static_cast<uint8_t>(payload[i])) << (8 * i);
      const std::string rest = payload.size() > 4 ? payload.substr(4) : "";
      const size_t cut = std::min<size_t>(first, rest.size());
      return cfbimage::Build({{"WordDocument", rest.substr(0, cut)}, {"1Table", rest.substr(cut)}});
    }
    default: {
      *name = "a.msg";
      const size_t third = payload.size() / 3;
      return cfbimage::Build({{"__substg1.0_0037001F", payload.substr(0, third)},
                              {"__substg1.0_3707001E", payload.substr(third, third)},
                              {"__substg1.0_37010102", payload.substr(2 * third)}});
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* name = "a.doc";
  const std::string bytes = FileBytes(data[0] % 6, std::string(reinterpret_cast<const char*>(data + 1), size - 1), &name);
  const uint8_t options = data[0];
  LoadFuzzFile(name, bytes, [options](CQelDoc& doc) {
    doc.m_nInDataLimit = 65536;
    doc.m_nOutDataLimit = 65536;
    doc.m_nTableRows = 2000;
    doc.m_nTableRowsR = 2000;
    doc.m_nDisplayForm = options / 6 % 3;
    doc.m_nSelectedItem = options >= 200 ? 1 : 0;
  });
  return 0;
}
