// ZIP listing: the members of an archive as a table of sizes, ratio, date and name,
// read from the local headers alone, from one member to the next by the sizes in
// each header. Only a 3,000-byte window is read per member, so an archive of any
// size is listed without reading its data and without its central directory.
// Bad data: a header that cannot be read, a member whose sizes pass the end of the
// file or a Zip64 size above 2^62 makes the archive damaged (its message replaces
// the listing); a next header not found within 200 bytes ends the walk, names
// are cut at 999 bytes with control bytes shown as blanks, and the listing stops
// at the output volume (marked partial); the totals never overflow. The search for
// data descriptors reads the file about once, however many members ask for it.
// Each header's fixed part, its Zip64 field and a data descriptor are read by the
// codec's ZIP readers, so a header reads the same here as in extraction. Names
// flagged UTF-8 (bit 11), or every name when the setting says so, are shown in
// Shift-JIS as the extraction writes them.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "platform/text/CodePage.h"
#include "base/ConvertStatus.h"
#include "codec/zip/ZipRecords.h"
#include "codec/zip/ZipSizes.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/DumpSteps.h"
#include "convert/dump/ListingTable.h"
#include "convert/dump/ListingWindow.h"
#include "ops/ArchiveStatus.h"

namespace {

constexpr int64_t kWindow = 3000;
constexpr int64_t kScanStep = 2000;   // the descriptor scan moves by this, the windows overlap
constexpr int64_t kResync = 200;      // the next header is looked for within these bytes
constexpr int64_t kTail = 20;         // nothing is looked for in the last 20 bytes
constexpr uint32_t kMaxName = 999;
// A Zip64 size above this lies: it is taken as negative, which ends the walk, so that
// no offset or total computed from it can overflow.
constexpr uint64_t kMaxZip64Size = uint64_t{1} << 62;

struct ZipMember {
  int64_t compressed = 0;
  int64_t original = 0;
  int64_t dataStart = 0;  // file offset behind the name
  int64_t next = 0;       // file offset of the next header
  int month = 1, day = 1, year = 1970, hour = 9, minute = 0;
  std::string name;
};

int64_t Zip64Size(uint64_t v) { return v > kMaxZip64Size ? -1 : static_cast<int64_t>(v); }

// What the descriptor searches have seen: from `from` on, the first descriptor
// signature lies at `first` (the file's length when there is none). A later search
// from `from` or beyond starts at `first`, so all searches together read the file
// about once.
struct DescriptorMemo {
  int64_t from = INT64_MAX;
  int64_t first = 0;
};

// The data descriptor of a member whose sizes follow its data, found by a scan: a
// descriptor with its signature (or "SD" 07 08), its CRC and both sizes, with a
// record's "PK" right behind it. A candidate is taken when it lies no further behind
// the data than its compressed size allows. Returns false when none is found before
// the last 20 bytes of the file.
bool FindDescriptor(ListingWindow& file, ZipMember& m, DescriptorMemo& memo) {
  const int64_t end = file.FileLength() - kTail;
  int64_t begin = m.next;
  if (m.next >= memo.from) begin = std::max(m.next, memo.first);
  bool seen = false;
  for (int64_t start = begin; start < end; start += kScanStep) {
    const ByteCursor w = file.Load(start, kWindow);
    const std::span<const uint8_t> bytes = w.PeekBytes(0, w.Size());
    for (int64_t i = 0; i < w.Size() && i < kWindow - kTail; ++i) {
      const std::span<const uint8_t> at = bytes.subspan(static_cast<size_t>(i));
      if (codec::DescriptorMarkAt(at, codec::DescriptorMarks::kSignatureOrSd) == codec::DescriptorMark::kNone) continue;
      const codec::ZipDescriptor d = codec::ReadDescriptor(at, false, codec::DescriptorMarks::kSignatureOrSd);
      if (!d.recordFollows) continue;
      if (!seen) memo = {m.next, start + i};
      seen = true;
      const auto compressed = static_cast<int64_t>(d.compressedSize);
      if (compressed + 80 < start + i - m.next) continue;
      m.compressed = compressed;
      m.original = static_cast<int64_t>(d.uncompressedSize);
      m.next += static_cast<int64_t>(d.length);
      return true;
    }
  }
  if (!seen) memo = {m.next, file.FileLength()};
  return false;
}

// Reads the local header at offset through the codec's header parser, then the name.
// The signature is not checked here (the walk found it, or the file starts there).
// False when the window holds no header there.
bool ReadHeader(CQelDoc& doc, ListingWindow& file, int64_t offset, ZipMember& m, DescriptorMemo& memo) {
  const ByteCursor h = file.Load(offset, kWindow);
  codec::ZipFixedPart fixed;
  if (!codec::ReadLocalFixed(h.PeekBytes(0, h.Size()), fixed)) return false;
  const codec::CZipHeader& f = fixed.header;
  constexpr int64_t kFixed = codec::LocalField::kSize;
  const auto rawCompressed = static_cast<uint32_t>(f.compressedSize);
  const auto rawOriginal = static_cast<uint32_t>(f.uncompressedSize);
  const int64_t nameLen = std::min<int64_t>(std::min<uint32_t>(fixed.nameLength, kMaxName), h.Size() - kFixed);
  const int64_t extraLen = fixed.extraLength;
  const std::span<const uint8_t> name = h.PeekBytes(kFixed, nameLen);

  m.year = f.year;
  if (m.year > 1970 && m.year <= 2037) {
    m.month = f.month;
    m.day = f.day;
    m.hour = f.hour;
    m.minute = f.minute;
    if (m.month < 1 || m.month > 12) m.month = 1;
    if (m.day < 1) m.day = 1;
    if (m.hour > 24) m.hour = 0;
    if (m.minute > 60) m.minute = 0;
  } else {
    m.year = 1970, m.month = 1, m.day = 1, m.hour = 9, m.minute = 0;
  }
  m.compressed = rawCompressed;
  m.original = rawOriginal;
  m.name.assign(name.begin(), name.end());
  m.name = doc.ZipMemberName(m.name, (f.flags & codec::kFlagUtf8) != 0).path;
  for (char& c : m.name) {
    if (static_cast<uint8_t>(c) < 0x20) c = ' ';
  }
  if (rawCompressed == codec::kZip64Escape || rawOriginal == codec::kZip64Escape) {
    // Its extra field lies behind the name as far as it was read; a Zip64 field that
    // runs past its end is read on into the bytes that follow.
    const codec::Zip64Field z = codec::ReadZip64Field(h.PeekBytes(kFixed + nameLen, h.Size()), static_cast<size_t>(extraLen),
                                                      {rawOriginal == codec::kZip64Escape, rawCompressed == codec::kZip64Escape, false});
    if (z.uncompressedSize) m.original = Zip64Size(*z.uncompressedSize);
    if (z.compressedSize) m.compressed = Zip64Size(*z.compressedSize);
  }
  m.dataStart = offset + kFixed + nameLen;
  m.next = m.dataStart + extraLen;
  if (m.compressed == 0 && (f.flags & codec::kFlagDescriptor)) FindDescriptor(file, m, memo);
  m.next += std::max<int64_t>(m.compressed, 0);
  return true;
}

// The next local header within the first 200 bytes at offset; -1 at a central
// directory, at the end record, or when none is there.
int64_t NextHeader(ListingWindow& file, int64_t offset) {
  const ByteCursor w = file.Load(offset, kWindow);
  for (int64_t i = 0; i < kResync && i + 3 < w.Size(); ++i) {
    const uint32_t signature = w.PeekU32LE(i);
    if (signature == codec::kLocalSignature) return offset + i;
    if (signature == codec::kCentralSignature || signature == codec::kEndSignature ||
        signature == codec::kZip64EndSignature)
      return -1;
  }
  return -1;
}

// A size in the listing's column: billions, millions, thousands and units with separators.
void PrintZipSize(CQelDoc& doc, const char* lead, int64_t v) {
  const auto n = static_cast<long long>(v);
  if (n >= 1000000000) {
    doc.ConvPrintf("%s%2lld,%03lld,%03lld,%03lld", lead, n / 1000000000, n / 1000000 % 1000, n / 1000 % 1000, n % 1000);
  } else if (n > 1000000) {
    doc.ConvPrintf("%s%5lld,%03lld,%03lld", lead, n / 1000000, n / 1000 % 1000, n % 1000);
  } else if (n > 1000) {
    doc.ConvPrintf("%s%9lld,%03lld", lead, n / 1000, n % 1000);
  } else {
    doc.ConvPrintf("%s%13lld", lead, n);
  }
}

}  // namespace

ConvertStatus DumpZipListing(CQelDoc& doc, DumpCall& call) {
  static constexpr char kRule[] = "     --------------------------------------------------------------------\r\n";
  ListingTable table(doc, "ZIP File\r\n      compressed     original  ratio     date   time    file name\r\n", kRule);
  const uint8_t* head = doc.Convert().m_pRawData;
  ListingWindow file(call.file, head, call.bytesRead, call.fileLength);
  const bool split = ByteCursor(head, call.bytesRead).PeekU32LE(0) == codec::kSpannedMarker;
  int64_t header = split ? 4 : 0;
  ZipMember m;
  DescriptorMemo memo;
  int64_t damagedAt = -1;  // the header that cannot be read or whose member passes the file's end
  while (true) {
    if (!ReadHeader(doc, file, header, m, memo)) {
      damagedAt = header;
      break;
    }
    const bool sane = m.compressed >= 0 && m.original >= 0;
    if (!sane || m.dataStart + m.compressed >= call.fileLength) {
      damagedAt = header;
      break;
    }
    PrintZipSize(doc, "   ", m.compressed);
    PrintZipSize(doc, "", m.original);
    doc.ConvPrintf("  %4lld%%   ", static_cast<long long>(ListingRatio(m.compressed, m.original)));
    doc.ConvPrintf("%02d/%02d'%02d %02d:%02d   ", m.month, m.day, m.year < 2000 ? m.year - 1900 : m.year - 2000, m.hour,
                   m.minute);
    doc.ConvAppend(m.name);
    doc.ConvAppend("\r\n");
    table.Count(m.compressed, m.original);
    if (m.next <= 0 || m.next >= call.fileLength - kTail || table.Full()) break;
    header = NextHeader(file, m.next);
    if (header < 0) break;
  }

  if (damagedAt >= 0) return DamagedListing(doc, call, "ZIP", damagedAt);
  doc.ConvAppend(kRule);
  PrintZipSize(doc, "   ", table.Compressed());
  PrintZipSize(doc, "", table.Original());
  doc.ConvPrintf("  %4lld%%                    %lld files Total", static_cast<long long>(table.Ratio()), table.Files());
  FinishDump(doc, call);
  return ConvertStatus::Ok();
}
