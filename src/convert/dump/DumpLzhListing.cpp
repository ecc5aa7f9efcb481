// LZH listing: the members of an archive as a table of sizes, ratio and name, read
// from the member headers alone. Each header gives the offset of the next (its own
// size plus the compressed size), and the next one is found again by its method
// "-l" within 50 bytes, so a small gap between members does not end the walk.
// Levels 0 to 3 are read from a 512-byte window per header. Bad data: a header
// that cannot be read (an unknown level, a header size of 0, a name past the
// header's end) or a member whose data passes the end of the file makes the archive
// damaged (its message replaces the listing); an offset that does not move forward
// ends the walk, extended
// headers are walked only within the window, and the listing stops at the output
// volume (marked partial). The fixed part of each header and its extended headers
// are read by the codec's LZH readers, which the listing lets read level 3 as well.
#include <algorithm>
#include <span>
#include <string>

#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "codec/lzh/LzhHeader.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/DumpSteps.h"
#include "convert/dump/ListingTable.h"
#include "convert/dump/ListingWindow.h"

namespace {

constexpr int64_t kWindow = 512;
constexpr int kHighestLevel = 3;
constexpr int64_t kMethodScan = 50;
constexpr size_t kNameColumn = 22;

struct LzhMember {
  int64_t compressed = 0;
  int64_t original = 0;
  int64_t next = 0;  // file offset behind the member's data
  std::string name;
  std::string directory;
};

// Appends name bytes; FF, the separator of LZH paths, becomes '\\', and a control
// byte a blank (it would break the row or reach the terminal). A name cut by the
// end of the window ends there.
void AppendPath(std::string& out, std::span<const uint8_t> bytes) {
  for (const uint8_t c : bytes) {
    out.push_back(c == 0xFF ? '\\' : c < 0x20 ? ' ' : static_cast<char>(c));
  }
}

// Walks the extended headers within the window through the codec's reader, from the
// size field at p: the name and directory headers are kept, and a size too small to
// move on ends the walk. Returns the bytes the headers take by their sizes.
int64_t ReadExtendedHeaders(const ByteCursor& w, int64_t p, int sizeWidth, LzhMember& m) {
  const codec::LzhExtendedChain chain = codec::ReadLzhExtended(w.PeekBytes(0, w.Size()), static_cast<size_t>(p), sizeWidth);
  for (const codec::LzhExtendedHeader& e : chain.headers) {
    if (e.type == codec::kLzhExtFileName && e.dataLength > 0) {
      m.name.clear();
      AppendPath(m.name, e.data);
    } else if (e.type == codec::kLzhExtFolder) {
      m.directory.clear();
      AppendPath(m.directory, e.data);
    }
  }
  return static_cast<int64_t>(chain.bytes);
}

// Reads the header that starts at offset through the codec's header parser (all
// four levels); false when there is none. Levels 0 and 1: the name follows its
// length; level 2: extended headers from its first size field; level 3: a 32-bit
// header size and 32-bit extended header sizes.
bool ReadLzhHeader(ListingWindow& file, int64_t offset, LzhMember& m) {
  using codec::LzhField;
  const ByteCursor w = file.Load(offset, kWindow);
  codec::LzhFixedPart fixed;
  if (codec::ReadLzhFixed(w.PeekBytes(0, w.Size()), kHighestLevel, fixed) != codec::LzhFixedResult::kRead) return false;
  m.compressed = fixed.packedSize;
  m.original = fixed.originalSize;
  m.name.clear();
  m.directory.clear();
  const auto headerSize = static_cast<int64_t>(fixed.headerSize);
  if (fixed.level == 0 || fixed.level == 1) {
    const int64_t nameLen = fixed.nameLength;
    if (static_cast<int64_t>(LzhField::kName) + nameLen > headerSize) return false;  // the name passes the header's end
    AppendPath(m.name, w.PeekBytes(LzhField::kName, nameLen));
    // Level 1 counts its extended headers in the compressed size; the listing shows the data.
    // Its first extended header size is read behind the name, its CRC and its OS byte.
    if (fixed.level == 1) {
      const int64_t extended = ReadExtendedHeaders(w, LzhField::kName + nameLen + LzhField::kFirstExtSizeBehindName1, 2, m);
      m.next = offset + headerSize + m.compressed;
      m.compressed = std::max<int64_t>(m.compressed - extended, 0);
      return true;
    }
  } else if (fixed.level == 2) {
    ReadExtendedHeaders(w, LzhField::kFirstExtSize2, 2, m);
  } else {
    ReadExtendedHeaders(w, LzhField::kFirstExtSize3, 4, m);
  }
  m.next = offset + headerSize + m.compressed;
  return headerSize > 0;
}

// The header whose method "-l" stands within the first 50 bytes at offset, from
// index `from`; -1 when there is none.
int64_t FindLzhHeader(ListingWindow& file, int64_t offset, int64_t from) {
  const ByteCursor w = file.Load(offset, kWindow);
  for (int64_t i = std::max<int64_t>(from, codec::LzhField::kMethod); i < kMethodScan && i + 1 < w.Size(); ++i) {
    if (codec::LzhMethodLeadAt(w.PeekBytes(i, 2))) return offset + i - static_cast<int64_t>(codec::LzhField::kMethod);
  }
  return -1;
}

}  // namespace

ConvertStatus DumpLzhListing(CQelDoc& doc, DumpCall& call) {
  static constexpr char kRule[] = "\t----------------------------------------------------------------------\r\n";
  ListingTable table(doc, "LZH File\r\n\t compressed\t   original\tratio\t\t   file name  / dir\r\n", kRule);
  ListingWindow file(call.file, doc.Convert().m_pRawData, call.bytesRead, call.fileLength);
  LzhMember m;
  int64_t header = FindLzhHeader(file, 0, 2);
  while (header >= 0) {
    if (!ReadLzhHeader(file, header, m) || m.next > call.fileLength) return DamagedListing(doc, call, "LZH", header);
    doc.ConvPrintf("\t%11lld\t%11lld\t%4lld%%\t\t", static_cast<long long>(m.compressed), static_cast<long long>(m.original),
                   static_cast<long long>(ListingRatio(m.compressed, m.original)));
    doc.ConvAppend(m.name);
    if (!m.directory.empty()) {
      if (m.name.size() < kNameColumn) doc.ConvAppend(std::string(kNameColumn - m.name.size(), ' '));
      doc.ConvAppend(" / ");
      doc.ConvAppend(m.directory);
    }
    doc.ConvAppend("\r\n");
    table.Count(m.compressed, m.original);
    if (m.next <= header || m.next >= call.fileLength || table.Full()) break;
    header = FindLzhHeader(file, m.next, 0);
  }

  doc.ConvAppend(kRule);
  doc.ConvPrintf("\t%11lld\t%11lld\t%4lld%%\t\t%lld files Total", static_cast<long long>(table.Compressed()),
                 static_cast<long long>(table.Original()), static_cast<long long>(table.Ratio()), table.Files());
  FinishDump(doc, call);
  return ConvertStatus::Ok();
}
