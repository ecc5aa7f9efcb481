// The file-to-text dump: the one entry of the format converters. A text file is shown
// as its text; any other file is read under the volumes the load hands the call, the
// sniffing decides what the bytes are, the road of its working kind renders it and the
// common end closes (truncation note, output clamp, terminator). Every failure is
// text in the output.
#include <algorithm>
#include <cstring>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/ByteCursor.h"
#include "base/CheckedSize.h"
#include "base/ConvertStatus.h"
#include "codec/zip/ZipRecords.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/DumpSteps.h"

namespace {

constexpr size_t kMaxPath = 512;
constexpr int kMaxCharLimit = 510;
// The lowest volumes the work tables are built with: entry n_tbl - 210 of the work
// arrays is addressed, and the tables need at least one row and one cell.
constexpr int kMinTableRows = 300;
constexpr int kMinTableRowsR = 100;
constexpr int64_t kHeadBytes = 2000;     // the first read; a binary-looking file keeps only these
constexpr int64_t kHeadSlack = 5;        // bytes behind the first read
constexpr int64_t kMediaHeadBytes = 8000;  // MP3 and WMA tags sit in the first 8,000 bytes
constexpr int64_t kReadMargin = 900000;  // room behind the read size for the roads that append
constexpr int64_t kQuickHeadRead = 200000;
constexpr int64_t kQuickHeadReadTable = 1000000;
constexpr int64_t kHugeRead = 100000000;

bool StartsWith(const ByteCursor& in, std::string_view sig) {
  const std::span<const uint8_t> head = in.PeekBytes(0, static_cast<int64_t>(sig.size()));
  return head.size() == sig.size() && std::memcmp(head.data(), sig.data(), sig.size()) == 0;
}

}  // namespace

bool DumpCall::Ends(const char* word) const { return ext3 == word; }

CQelDoc::DumpRequest CQelDoc::DumpVolumes(bool lengthless) const {
  DumpRequest request{m_nInDataLimit, std::max(m_nTableRows, kMinTableRows), lengthless};
  request.charLimit = std::clamp(m_nCharLimit, 1, kMaxCharLimit);
  request.settingRows = request.tableRows;
  request.tableRowsR = std::max(m_nTableRowsR, kMinTableRowsR);
  return request;
}

int CQelDoc::DumpFileAsText(std::string path, int bTableRules, int bForceHtml, const DumpRequest& request) {
  m_bPartialLoad = 0;
  m_volumeCut = VolumeCut::kNone;
  m_nConvPos = 0;
  Convert().m_nRawPos = 0;

  DumpCall call;
  call.path = path;
  call.bTableRules = bTableRules;
  call.ext3 = path.size() >= 3 ? path.substr(path.size() - 3) : path;
  call.inputVolume = request.inputVolume;
  call.lengthless = request.lengthless;
  call.readSize = std::max(call.inputVolume, 0);
  call.kind = GetFileKind(path);
  ConvWriter().Terminate();
  if (RunTextFileRoad(*this, call)) return m_nConvPos;

  call.tableRows = std::max(request.tableRows, kMinTableRows);
  call.charLimit = request.charLimit;
  call.settingRows = request.settingRows;
  call.tableRowsR = request.tableRowsR;
  if (bForceHtml == 1 || call.Ends("m3u")) call.kind = kKindHtml;
  if (path.size() > kMaxPath) return 0;
  if (RunPackageRoad(*this, call)) return m_nConvPos;

  if (!call.file.Open(path, plat::File::Mode::Read)) {
    if (path.empty() || path.back() != '\\') WriteConvertFailure(ConvertStatus::Message(IDS_CANNOT_OPEN));
    return m_nConvPos;
  }
  if (!ReadDumpInput(*this, call)) return FinishDump(*this, call);
  if (SniffDumpFile(*this, call)) return m_nConvPos;
  return RunDumpRoads(*this, call);
}

// The reading: the file's length, the read size, the first 2,000 bytes, the
// first-byte check and the full read. False when the call ends with what it wrote.
bool ReadDumpInput(CQelDoc& doc, DumpCall& call) {
  call.fileLength = std::max<int64_t>(call.file.GetLength(), 0);
  doc.Convert().m_nRawLen = call.fileLength;
  if (doc.m_nFileKind == kKindPdf && call.fileLength > static_cast<int64_t>(call.inputVolume) - 200) {
    // The message is the whole text: nothing of the PDF is shown.
    if (doc.m_nConvPos == 0) doc.m_bNothingShown = 1;
    doc.AppendFileSizeOver(call.inputVolume);
    doc.m_bPartialLoad = 1;
    return false;
  }
  if (doc.m_bQuickHead == 1) call.readSize = doc.m_nFileKind == kKindXls || doc.m_nFileKind == kKindWorkbook35 ? kQuickHeadReadTable : kQuickHeadRead;
  call.readSize = std::min(call.readSize, call.fileLength);

  const int64_t head = call.kind == kKindAudio ? kMediaHeadBytes : kHeadBytes;
  if (!TryAllocate(doc.Convert().m_rawStore, head, 1, kHeadSlack, &doc.m_allocHook)) {
    doc.WriteConvertFailure(ConvertStatus::OutOfMemory(" 001"));
    return false;
  }
  doc.Convert().m_pRawData = doc.Convert().m_rawStore.data();
  call.bytesRead = std::max<int64_t>(call.file.Read(doc.Convert().m_pRawData, head), 0);
  call.bufferSize = head;
  const ByteCursor b(doc.Convert().m_pRawData, call.bytesRead);
  const int64_t n = call.bytesRead;

  // First-byte check: a Word or Excel name on something else, and binary-looking data.
  const bool checked = call.kind == kKindDoc || call.kind == kKindXls || call.kind == kKindCopied7 ||
                       call.kind == kKindCopied8 || (call.kind >= kKindPdf && call.kind != kKindMidi);
  const bool compound = StartsWith(b, "\xD0\xCF\x11");
  if (checked && doc.m_nDisplayForm == 0 && call.fileLength >= kHeadBytes && !compound &&
      !StartsWith(b, "%PDF-") && !StartsWith(b, codec::kLocalMagic)) {
    if (call.kind < kKindRtf) {
      const bool word = (b.PeekU8(0) == 0x94 && b.PeekU8(1) == 0xA6) || (b.PeekU8(0) == 0xFE && b.PeekU8(1) == 0x37);
      const bool excel = b.PeekU8(0) == 0x09 && b.PeekU8(2) == 0x06;
      if (!(call.kind == kKindDoc && word) && !(call.kind == kKindXls && excel)) call.kind = kKindText;
    }
    if (n >= kHeadBytes - 1 && call.kind > kKindXls && call.kind != kKindPdf && call.kind != kKindCsv) {
      const std::span<const uint8_t> first = b.PeekBytes(0, 1000);
      const auto nuls = std::count(first.begin(), first.end(), 0);
      if (nuls >= 5 && doc.m_nReadTextForm == 0) {
        call.binary = true;
        call.readSize = std::min(kHeadBytes, n);
        if (call.fileLength > call.readSize) doc.m_bPartialLoad = 1;
        return true;
      }
      if (call.readSize > doc.m_nOutDataLimit && call.readSize > kHugeRead) call.readSize = doc.m_nOutDataLimit;
    }
  }

  // Full read; the binary display works from the first 2,000 bytes.
  if (doc.m_nDisplayForm == 1) {
    if (call.fileLength > call.bytesRead) doc.m_bPartialLoad = 1;
    return true;
  }
  const int64_t size = call.readSize + kReadMargin;
  if (!TryAllocate(doc.Convert().m_rawStore, size, 1, 0, &doc.m_allocHook)) {
    doc.WriteConvertFailure(ConvertStatus::OutOfMemory(" 002"));
    return false;
  }
  doc.Convert().m_pRawData = doc.Convert().m_rawStore.data();
  call.bufferSize = size;
  if (size < call.fileLength || doc.m_nOutDataLimit < call.fileLength) doc.m_bPartialLoad = 1;
  // A compound Office file is gathered by the compound-file reader, not read here.
  if (compound && call.kind >= kKindPpt && call.kind <= kKindXls) return true;
  call.bytesRead = 0;
  if (call.file.Seek(0, plat::File::Origin::Begin) == 0) {
    call.bytesRead = std::max<int64_t>(call.file.Read(doc.Convert().m_pRawData, size), 0);
  }
  return true;
}

void CQelDoc::ReleaseRawData() {
  ConvertState& c = Convert();
  c.m_rawStore.clear();
  c.m_rawStore.shrink_to_fit();
  c.m_pRawData = nullptr;
}

int FinishDump(CQelDoc& doc, DumpCall& call) {
  doc.ConvWriter().Terminate();
  call.file.Close();
  doc.ReleaseRawData();
  return doc.m_nConvPos;
}

int CQelDoc::CfbIsAtLineBreak() {
  const ConvertState& raw = Convert();
  if (!raw.m_pRawData || raw.m_nRawPos < 0 || raw.m_nRawPos >= static_cast<int64_t>(raw.m_rawStore.size())) return 0;
  const uint8_t c = raw.m_pRawData[raw.m_nRawPos];
  return c == '\r' || c == '\n' ? 1 : 0;
}
