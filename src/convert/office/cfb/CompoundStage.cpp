// Compound files (structured storage): the dump's stage for binary Office files.
// It refines the working kind from the first bytes (and, for an unknown extension,
// from the directory), builds the chain table from the FAT, walks the directory for
// the streams the Office roads read and gathers each of them, in chain order, into
// the stream image: raw offset 512 on, one stream after another, their offsets in
// m_anCfbSlots. A mail file keeps its file image; the cursor (CompoundCursor.cpp)
// reads it through the chain table.
//
// Limits and bad data: sector numbers are 32-bit and every one is checked against
// the file and the table (81,920 entries); 512-byte sectors only (a file of 4,096-byte
// sectors is answered with string 240); every chain walk ends after as many steps as
// the file has sectors; a chain (FAT, DIFAT, mini FAT, directory) that comes back to
// a sector it passed, or a directory tree that comes back to an entry above it, makes
// the file damaged: the dump ends with that message, since the loop's repeats cannot
// be told from the streams; so does a stream's chain that leads to a sector past the
// file's end and past every sector the FAT describes before the stream is as long as
// its entry says (a cut file keeps what it has); a stream below the mini-stream cutoff is read through the
// mini-stream, never as regular sectors; the stream image never grows past the raw
// buffer.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/CheckedSize.h"
#include "base/ByteCursor.h"
#include "base/ConvertStatus.h"
#include "base/StringIds.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/OfficeState.h"
#include "convert/office/cfb/ChainLoops.h"
#include "platform/text/CodePage.h"
#include "platform/os/WriteAhead.h"

namespace {

constexpr int kSector = 512;
constexpr int kEntryBytes = 128;  // one directory entry
constexpr uint32_t kSpecialMark = 0xFFFFFFFA;  // from here: end of chain, free and table marks
constexpr int kMaxFatSectors = 640;
constexpr int kMaxDirEntries = 100;
constexpr int64_t kMiniCutoff = 4096;
constexpr int kMiniSector = 64;
constexpr int kMaxMiniFatSectors = 4096;


struct DirEntry {
  uint8_t c0 = 0, c1 = 0, c3 = 0;  // first, second and fourth characters of the name (low bytes)
  uint32_t start = 0;
  uint32_t size = 0;
};

struct SlotSource {
  int64_t position = 0;  // file position (start + 1) * 512, 0 for none
  uint32_t start = 0;
  int64_t size = -1;     // stream size when the directory gives it, else -1
  bool mini = false;     // lives in the mini-stream
};

class CompoundLoader {
 public:
  CompoundLoader(CQelDoc& doc, DumpCall& call) : doc_(doc), office_(doc.Office()), call_(call) {}

  // A failure ends the dump.
  ConvertStatus Run();

 private:
  int64_t ReadAt(int64_t offset, uint8_t* out, int64_t n);
  int64_t ReadInto(int64_t offset, uint8_t* out, int64_t n);
  int64_t ReadSector(uint32_t s, uint8_t* out) { return ReadAt((static_cast<int64_t>(s) + 1) * kSector, out, kSector); }
  ByteCursor Header() const { return ByteCursor(header_, kSector); }
  uint32_t Next(uint32_t s) const { return s < office_.m_anCfbChain.size() ? office_.m_anCfbChain[s] : kSpecialMark; }
  bool InFile(uint32_t s) const { return s < static_cast<uint32_t>(office_.m_nCfbSectorCount); }
  ConvertStatus ClassifyUnknown(const uint8_t* dir);
  // The damaged file's message, in place of anything shown before it.
  ConvertStatus Damaged() {
    doc_.m_nConvPos = 0;
    if (!loop_) return ConvertStatus::Message(IDS_FILE_DAMAGED).With(plat::Utf8ToCp932Lossy("FATのチェーンがファイルの終わりを越えています"));
    return ConvertStatus::Message(IDS_COMPOUND_DAMAGED).With(loop_);
  }
  ConvertStatus EnlargeCellBuffers();
  void BuildChainTable();
  void WalkDirectory(uint32_t firstDir);
  void LoadMiniStream();
  int64_t GatherRegular(int slot, const SlotSource& src, int64_t at);
  int64_t GatherMini(const SlotSource& src, int64_t at);
  void FindPropertyWindow();

  // The sectors of the file, for the chains' loop checks.
  SectorsPassed Passed() const { return SectorsPassed(office_.m_nCfbSectorCount); }
  // Whether the chain from sector s comes back to a sector it passed (a 0 ends it,
  // as in the directory walk).
  bool ChainLoops(uint32_t s) const {
    SectorsPassed passed = Passed();
    for (; s != 0 && InFile(s); s = Next(s)) {
      if (!passed.Visit(s)) return true;
    }
    return false;
  }

  CQelDoc& doc_;
  OfficeState& office_;
  DumpCall& call_;
  const char* loop_ = nullptr;  // the part found looping: the file is damaged
  bool pastEnd_ = false;        // a stream's chain leads past the file's end: the file is damaged
  int64_t fatEntries_ = INT64_MAX;  // the sectors the FAT describes (all, when no FAT was read)
  std::vector<DirectoryLinks> links_;  // the directory entries read, by stream id
  uint8_t header_[kSector]{};
  std::array<SlotSource, 7> src_{};
  std::vector<uint32_t> rootChain_;  // the mini-stream's sectors in order
  std::vector<uint32_t> miniFat_;
  bool miniLoaded_ = false;
  std::array<uint8_t, 32768> window_;  // the file from windowAt_, windowLength_ bytes
  int64_t windowAt_ = 0;
  int64_t windowLength_ = 0;
};

// Reads n bytes at offset into out (zeros where the file has none); the bytes read.
// A chain's sectors mostly follow one another, so small reads are served from a
// window of the file read ahead, not by a seek and a read each.
int64_t CompoundLoader::ReadAt(int64_t offset, uint8_t* out, int64_t n) {
  const int64_t got = ReadInto(offset, out, n);
  if (got < n) std::memset(out + got, 0, static_cast<size_t>(n - got));
  return got;
}

// ReadAt without the zeros: the bytes read into out (0 to n).
int64_t CompoundLoader::ReadInto(int64_t offset, uint8_t* out, int64_t n) {
  if (n <= 0 || offset < 0 || offset >= call_.fileLength) return 0;
  if (n > static_cast<int64_t>(window_.size())) {
    if (call_.file.Seek(offset, plat::File::Origin::Begin) != offset) return 0;
    return std::clamp<int64_t>(call_.file.Read(out, n), 0, n);
  }
  if (offset < windowAt_ || offset + n > windowAt_ + windowLength_) {
    windowAt_ = offset;
    windowLength_ = 0;
    if (call_.file.Seek(offset, plat::File::Origin::Begin) != offset) return 0;
    windowLength_ = std::max<int64_t>(call_.file.Read(window_.data(), static_cast<int64_t>(window_.size())), 0);
  }
  const int64_t got = std::clamp<int64_t>(windowAt_ + windowLength_ - offset, 0, n);
  std::memcpy(out, window_.data() + (offset - windowAt_), static_cast<size_t>(got));
  return got;
}

ConvertStatus CompoundLoader::EnlargeCellBuffers() {
  call_.cellRows = call_.tableRows + 290;
  call_.cell2Bytes = call_.tableRowsR;
  const char* place = nullptr;
  if (!TryAllocate(call_.cells, call_.cellChars, call_.cellRows, 0, &doc_.m_allocHook)) {
    place = " 006";
  } else if (!TryAllocate(call_.cells2, call_.cell2Chars, call_.cell2Bytes, 0, &doc_.m_allocHook)) {
    place = " 007";
  }
  if (!place) return ConvertStatus::Ok();
  doc_.m_nConvPos = 0;  // the message replaces the plain copy
  return ConvertStatus::OutOfMemory(place);
}

// Working kind 99: a Workbook or Book stream makes a workbook, WordDocument Word,
// PowerPoint Document (or Pictures-first presentations) a presentation. Four
// entries are looked at: the three after the root and the first 128 bytes of file
// sector 2, where a directory written in sectors 1 and 2 goes on.
ConvertStatus CompoundLoader::ClassifyUnknown(const uint8_t* dir) {
  const bool root = (dir[0] == 'R' && dir[2] == 'o') || (dir[0] == 0 && dir[1] == 'R');
  if (!root) return ConvertStatus::Ok();
  uint8_t after[kEntryBytes];
  ReadAt(3 * kSector, after, kEntryBytes);
  const uint8_t* entries[4] = {dir + kEntryBytes, dir + 2 * kEntryBytes, dir + 3 * kEntryBytes, after};
  int kind = 0;
  for (int pass = 0; pass < 4 && kind == 0; ++pass) {
    for (const uint8_t* entry : entries) {
      const uint8_t c0 = entry[0], c3 = entry[6];
      if (pass == 0 && ((c0 == 'B' && c3 == 'k') || (c0 == 'W' && c3 == 'k'))) kind = kKindXls;
      if (pass == 1 && c0 == 'W' && c3 == 'd') kind = kKindDoc;
      if (pass == 2 && c0 == 'P' && c3 == 'e') kind = kKindPpt;
      if (pass == 3 && c0 == 'P' && c3 == 't' && kind == 0) kind = kKindPpt;
      if (kind) break;
    }
  }
  if (kind == 0) return ConvertStatus::Ok();
  call_.kind = kind;
  doc_.m_nFileKind = kind;
  return EnlargeCellBuffers();
}

void CompoundLoader::BuildChainTable() {
  auto& chain = office_.m_anCfbChain;
  const ByteCursor header = Header();
  const uint32_t firstFat = header.PeekU32LE(76);
  if (firstFat >= kSpecialMark) {
    const int n = std::min<int>(office_.m_nCfbSectorCount, OfficeState::kCfbChainEntries);
    for (int s = 0; s < n; ++s) chain[s] = static_cast<uint32_t>(s + 1);
    fatEntries_ = n;
    return;
  }
  uint8_t sector[kSector];
  int fatCount = 0;
  auto takeFat = [&](uint32_t f) {
    if ((static_cast<int64_t>(f) + 1) * kSector < doc_.Convert().m_nRawLen && ReadSector(f, sector) > 0) {
      ByteCursor in(sector, kSector);
      for (int i = 0; i < 128; ++i) chain[static_cast<size_t>(fatCount) * 128 + i] = in.U32LE();
    }
    ++fatCount;
  };
  for (int i = 0; i < 109 && fatCount < kMaxFatSectors; ++i) {
    const uint32_t f = header.PeekU32LE(76 + i * 4);
    if (f >= kSpecialMark) {
      office_.m_nCfbChainOrigin = 1;
      fatEntries_ = int64_t{fatCount} * 128;
      return;
    }
    takeFat(f);
  }
  // DIFAT sectors: 127 entries and the number of the next one at offset 508.
  uint32_t difat = header.PeekU32LE(68);
  uint8_t list[kSector];
  const ByteCursor entries(list, kSector);
  SectorsPassed passed = Passed();
  for (int hop = 0; fatCount < kMaxFatSectors && InFile(difat) && hop < office_.m_nCfbSectorCount; ++hop) {
    if (!passed.Visit(difat)) {
      loop_ = "DIFAT";
      break;
    }
    if (ReadSector(difat, list) < kSector) break;
    bool end = false;
    for (int i = 0; i < 127 && fatCount < kMaxFatSectors; ++i) {
      const uint32_t f = entries.PeekU32LE(i * 4);
      if (f >= kSpecialMark) {
        end = true;
        break;
      }
      takeFat(f);
    }
    if (end) break;
    difat = entries.PeekU32LE(508);
  }
  office_.m_nCfbChainOrigin = 1;
  fatEntries_ = int64_t{fatCount} * 128;
}

void CompoundLoader::WalkDirectory(uint32_t firstDir) {
  uint8_t dir[kSector];
  ReadSector(firstDir, dir);
  const ByteCursor sector(dir, kSector);
  const uint32_t rootStart = sector.PeekU32LE(116);
  office_.m_nCfbMiniStart = static_cast<int>(std::min<uint32_t>(rootStart, INT32_MAX));
  uint32_t miniStart = rootStart;
  uint32_t current = firstDir;
  SectorsPassed passed = Passed();
  passed.Visit(firstDir);
  links_.assign(1, DirectoryLinks{sector.PeekU32LE(68), sector.PeekU32LE(72), sector.PeekU32LE(76)});
  int steps = 0;
  int index = 1;
  int counted = 0;
  int furtherWordDocs = 0;
  bool mainFound = false;
  SlotSource& main = src_[0];
  auto set = [](SlotSource& slot, const DirEntry& e) {
    slot.start = e.start;
    slot.position = (static_cast<int64_t>(e.start) + 1) * kSector;
    slot.size = e.size;
    slot.mini = e.size < kMiniCutoff;
  };
  while (counted < kMaxDirEntries && furtherWordDocs < 80) {
    if (index == 4) {
      // The next directory sector, by the chain.
      const uint32_t next = current >= static_cast<uint32_t>(OfficeState::kCfbChainEntries) ? current + 1 : Next(current);
      if (next == 0 || !InFile(next) || ++steps > office_.m_nCfbSectorCount || ReadSector(next, dir) < kSector) {
        office_.m_nCfbEnd = 1;
        break;
      }
      if (!passed.Visit(next)) {
        loop_ = "directory";
        break;
      }
      current = next;
      index = 0;
    }
    const ByteCursor p = sector.Window(index * 128, 128);
    DirEntry e{p.PeekU8(0), p.PeekU8(2), p.PeekU8(6), p.PeekU32LE(116), p.PeekU32LE(120)};
    links_.push_back(DirectoryLinks{p.PeekU32LE(68), p.PeekU32LE(72), p.PeekU32LE(76)});
    const bool entry1 = counted == 0;
    if (entry1) set(main, e);
    if (e.c0 == 0x05 && e.c1 == 'D') {
      if (e.start != 0 && (e.size & 0xFFFF) == 4096) set(src_[5], e);
    } else if (e.c0 == 'P' && (e.c1 == 'o' || e.c1 == 'P') && doc_.m_nFileKind == kKindPpt) {
      set(main, e);
      if (e.start == 0 && rootStart == 3) main.start = 3, main.position = 4 * kSector;
      mainFound = true;
    } else if (e.c0 == 'P' && e.c1 == 'i') {
      set(src_[4], e);
    } else if (e.c0 == 'W' && e.c1 == 'o') {
      if (e.c3 == 'd' && entry1 && main.start != 0) {
        set(main, e);
        miniStart = e.start;
        mainFound = true;
      } else if (!mainFound) {
        set(main, e);
        mainFound = true;
      } else if (e.c3 == 'd') {
        counted = 1;
        ++furtherWordDocs;
      }
    } else if (e.c0 == 'O' && e.c1 == 'b' && entry1) {
      main = SlotSource{(static_cast<int64_t>(rootStart) + 1) * kSector, rootStart, -1, false};
    } else if (e.c0 == 'D' && e.c1 == 'a' && entry1) {
      if (e.start > 0) set(src_[1], e);
    } else if (e.c0 == '1' && e.c1 == 'T') {
      set(src_[3], e);
    } else if (e.c0 == '0' && e.c1 == 'T') {
      set(src_[2], e);
    }
    ++counted;
    ++index;
    if (static_cast<int64_t>(current + 1) * kSector + index * 128 >= doc_.Convert().m_nRawLen) break;
  }
  office_.m_nCfbMiniStart = static_cast<int>(std::min<uint32_t>(miniStart, INT32_MAX));
}

// The mini-stream (the root's chain) and the mini FAT, read once when a small stream needs them.
void CompoundLoader::LoadMiniStream() {
  if (miniLoaded_) return;
  miniLoaded_ = true;
  SectorsPassed miniFatSectors = Passed();
  for (uint32_t s = Header().PeekU32LE(60), steps = 0; InFile(s) && steps < static_cast<uint32_t>(kMaxMiniFatSectors);
       s = Next(s), ++steps) {
    if (!miniFatSectors.Visit(s)) {
      loop_ = "FAT";
      break;
    }
    uint8_t sector[kSector];
    if (ReadSector(s, sector) < kSector) break;
    ByteCursor in(sector, kSector);
    for (int i = 0; i < 128; ++i) miniFat_.push_back(in.U32LE());
  }
  SectorsPassed rootSectors = Passed();
  for (uint32_t s = static_cast<uint32_t>(office_.m_nCfbMiniStart), steps = 0;
       InFile(s) && steps < static_cast<uint32_t>(office_.m_nCfbSectorCount); s = Next(s), ++steps) {
    if (!rootSectors.Visit(s)) {
      loop_ = "FAT";
      break;
    }
    rootChain_.push_back(s);
  }
}

// Copies a stream of the mini-stream, 64-byte blocks by the mini FAT; the new write offset.
int64_t CompoundLoader::GatherMini(const SlotSource& src, int64_t at) {
  LoadMiniStream();
  const int64_t end = std::min<int64_t>(at + src.size, call_.bufferSize - kSector);
  uint32_t m = src.start;
  int64_t w = at;
  SectorsPassed passed(static_cast<int64_t>(miniFat_.size()));
  for (size_t steps = 0; w < end && m < miniFat_.size() && steps <= miniFat_.size(); ++steps, m = miniFat_[m]) {
    if (!passed.Visit(m)) {
      loop_ = "mini FAT";
      break;
    }
    const int64_t offset = static_cast<int64_t>(m) * kMiniSector;
    const size_t holder = static_cast<size_t>(offset / kSector);
    if (holder >= rootChain_.size()) break;
    const int64_t n = std::min<int64_t>(kMiniSector, end - w);
    ReadAt((static_cast<int64_t>(rootChain_[holder]) + 1) * kSector + offset % kSector, doc_.Convert().m_pRawData + w, n);
    w += n;
  }
  // The next stream starts on a sector boundary, as gathered sectors do.
  const int64_t padded = std::min<int64_t>(at + (std::max<int64_t>(w - at, 1) + kSector - 1) / kSector * kSector,
                                           call_.bufferSize - kSector);
  std::memset(doc_.Convert().m_pRawData + w, 0, static_cast<size_t>(std::max<int64_t>(padded - w, 0)));
  return std::max(padded, w);
}

int64_t CompoundLoader::GatherRegular(int slot, const SlotSource& src, int64_t at) {
  const int64_t volume = call_.readSize;
  // Sectors the stream can hold: its size when the directory gives one, else the file's.
  const int64_t most = src.size > 0 ? (src.size + kSector - 1) / kSector : office_.m_nCfbSectorCount + 1;
  uint32_t s = static_cast<uint32_t>(src.position / kSector - 1);
  int64_t w = at;
  // Sectors that follow one another in the file, as a chain's mostly do, are read
  // together straight into the stream image: runLength bytes from file offset
  // runFrom to image offset runTo.
  int64_t runFrom = 0, runTo = at, runLength = 0;
  SectorsPassed passed = Passed();
  passed.Visit(s);
  auto flush = [&] {
    if (runLength > 0) ReadAt(runFrom, doc_.Convert().m_pRawData + runTo, runLength);
    runLength = 0;
  };
  for (int64_t copied = 0;; ++copied) {
    const int64_t offset = (static_cast<int64_t>(s) + 1) * kSector;
    if (runLength > 0 && runFrom + runLength == offset) {
      runLength += kSector;
    } else {
      flush();
      runFrom = offset;
      runTo = w;
      runLength = kSector;
    }
    // The bytes a read of this sector gives: the file's, at most a sector.
    const int64_t got = std::clamp<int64_t>(call_.fileLength - offset, 0, kSector);
    uint32_t next = Next(s);
    if (next > static_cast<uint32_t>(office_.m_nCfbSectorCount) && (static_cast<int64_t>(s) + 1) * kSector < 4096) next = s + 1;
    w += kSector;
    if (!InFile(next) || (slot == 5 && copied + 1 == 4) || got < kSector || copied + 1 >= most ||
        (static_cast<int64_t>(next) + 1) * kSector >= doc_.Convert().m_nRawLen || w >= doc_.Convert().m_nRawLen ||
        w + kSector > call_.bufferSize - kSector) {
      // A chain that goes on, before the stream its directory entry sizes is whole, to
      // a sector past the file's end that no FAT sector describes: the file is damaged.
      pastEnd_ = pastEnd_ || (src.size > 0 && copied + 1 < most && next < kSpecialMark && next >= fatEntries_ &&
                              (static_cast<int64_t>(next) + 1) * kSector >= call_.fileLength);
      break;
    }
    if (w >= volume) {
      office_.m_bCfbOverflow = 1;
      break;
    }
    if (!passed.Visit(next)) {
      loop_ = "FAT";
      break;
    }
    s = next;
  }
  flush();
  return w;
}

// The workbook property window: the last 8,192 bytes of the file searched for the
// property-set vector of sheet names (1E 10 00 00).
void CompoundLoader::FindPropertyWindow() {
  int64_t w = doc_.Convert().m_nRawLen / kSector * kSector - 8192;
  if (w < 0) w = kSector;
  std::vector<uint8_t> tail(8192);
  ReadAt(w, tail.data(), 8192);
  for (int q = 8188; q >= 0; --q) {
    if (tail[q] == 0x1E && tail[q + 1] == 0x10 && tail[q + 2] == 0 && tail[q + 3] == 0) {
      w = (w + q) / kSector * kSector;
      break;
    }
  }
  if (w < kSector) w = kSector;
  src_[6] = SlotSource{w, static_cast<uint32_t>(w / kSector - 1), -1, false};
}

ConvertStatus CompoundLoader::Run() {
  const uint8_t* b = doc_.Convert().m_pRawData;
  const bool have3 = call_.bytesRead >= 3;
  const bool cfb = have3 && b[0] == 0xD0 && b[1] == 0xCF && b[2] == 0x11;
  const bool word6 = have3 && b[0] == 0x94 && b[1] == 0xA6 && b[2] == 0x2E;
  const bool word2 = have3 && b[0] == 0xFE && b[1] == 0x37 && b[2] == 0x00;
  int& kind = call_.kind;
  if (kind == kKindRtf && (cfb || word6 || word2)) kind = kKindRtfCompound;
  if (!(cfb || word6 || word2) && kind == kKindXls && have3 && b[0] == 0x09 && (b[1] == 0x04 || b[1] == 0x02) && b[2] == 0x06) {
    const int n = std::min<int>(4000, OfficeState::kCfbChainEntries);
    for (int s = 0; s < n; ++s) office_.m_anCfbChain[s] = static_cast<uint32_t>(s + 1);
    office_.m_nCfbChainOrigin = 2;
    return ConvertStatus::Ok();
  }
  if (!(cfb || word6 || word2) && (kind == kKindDoc || kind == kKindXls)) kind = kKindNotOffice;
  if (word6) {
    kind = kKindDoc;
    return ConvertStatus::Ok();
  }
  const bool loads = kind == kKindPpt || kind == kKindDoc || kind == kKindXls || kind == kKindMail || kind == kKindRtfCompound ||
                     kind == kKindOther;
  if (cfb && loads) {
    call_.fileLength = std::max<int64_t>(call_.file.GetLength(), 0);
    ReadAt(0, header_, kSector);
    // Only 512-byte sectors (shift 9) and 64-byte mini sectors are read.
    const ByteCursor header = Header();
    if (header.PeekU16LE(30) != 9 || header.PeekU16LE(32) != 6) return ConvertStatus::Message(IDS_OFFICE_FORMAT_UNSUPPORTED);
    const uint32_t firstDir = header.PeekU32LE(48);
    if ((static_cast<int64_t>(firstDir) + 1) * kSector > doc_.Convert().m_nRawLen || firstDir >= kSpecialMark) return ConvertStatus::Message(IDS_OFFICE_FORMAT_UNSUPPORTED);
    office_.m_nCfbDirectoryPos = static_cast<int>((static_cast<int64_t>(firstDir) + 1) * kSector);
    uint8_t dir[kSector];
    ReadSector(firstDir, dir);
    if (kind == kKindOther) {
      if (const ConvertStatus status = ClassifyUnknown(dir); !status.ok()) return status;
    }
    if (kind == kKindDoc || kind == kKindRtfCompound) {
      uint8_t s0[4];
      ReadAt(kSector, s0, 4);
      if (s0[0] == 'R' && s0[1] == 0 && s0[2] == 'o' && s0[3] == 0) office_.m_nCfbWordMark = 60;
    }
    if ((dir[0] == 'R' && dir[2] == 'o') || (dir[0] == 0 && dir[1] == 'R')) BuildChainTable();
    // The directory's whole chain, also where the walk stops at the file's end.
    if (!loop_ && ChainLoops(firstDir)) loop_ = "directory";
    if (!loop_) WalkDirectory(firstDir);
    if (!loop_ && DirectoryTreeLoops(links_)) loop_ = "directory tree";
    if (loop_) return Damaged();
    office_.m_nCfbEnd = 0;
    if (kind == kKindMail) {
      src_[0] = SlotSource{(static_cast<int64_t>(office_.m_nCfbMiniStart) + 1) * kSector,
                           static_cast<uint32_t>(office_.m_nCfbMiniStart), -1, false};
      return ConvertStatus::Ok();  // the mail road reads the file image itself
    }
    if (!src_[0].mini && src_[0].position > doc_.Convert().m_nRawLen) return ConvertStatus::Message(IDS_OFFICE_FORMAT_UNSUPPORTED);
    if (kind == kKindXls && !(src_[5].position > 0 && src_[5].position <= doc_.Convert().m_nRawLen)) FindPropertyWindow();
    // The streams' sizes tell how much of the image the gathering writes: its pages
    // are asked for at once.
    int64_t expected = 0;
    for (const SlotSource& src : src_) {
      if (src.position > 0 && src.size > 0) expected += (src.size + kSector - 1) / kSector * kSector;
    }
    expected = std::min<int64_t>(expected, std::max<int64_t>(std::min(call_.bufferSize, doc_.Convert().m_nRawLen + kSector) - kSector, 0));
    plat::WriteAhead(doc_.Convert().m_pRawData + kSector, static_cast<size_t>(expected));
    // Gathering, slot by slot, from raw offset 512.
    int64_t w = kSector;
    for (int slot = 0; slot < 7; ++slot) {
      const SlotSource& src = src_[slot];
      office_.m_anCfbSlots[slot] = 0;
      if (src.position <= 0 || w >= call_.readSize + 99000 || w + 2 * kSector > call_.bufferSize) continue;
      if (src.start >= kSpecialMark || (src.mini && src.size == 0)) continue;
      office_.m_anCfbSlots[slot] = static_cast<int>(w);
      const int64_t end = src.mini ? GatherMini(src, w) : GatherRegular(slot, src, w);
      office_.m_anCfbSlotLength[slot] = static_cast<int>(src.size >= 0 ? std::min<int64_t>(src.size, end - w) : end - w);
      w = end;
    }
    if (loop_ || pastEnd_) return Damaged();
    call_.bytesRead = w;
    if (office_.m_bCfbOverflow) call_.inputCut = true;
    if (office_.m_anCfbSlots[0] > 0) std::memcpy(doc_.Convert().m_pRawData, doc_.Convert().m_pRawData + office_.m_anCfbSlots[0], 4);
    if (kind == kKindXls) doc_.ReadSheetNames(call_);
    return ConvertStatus::Ok();
  }
  if (!cfb && kind == kKindMail) {
    kind = kKindText;
    const int64_t n = std::min(call_.readSize, call_.bytesRead);
    for (int64_t i = 0; i < n; ++i) {
      const char c = doc_.Convert().m_pRawData[i] ? static_cast<char>(doc_.Convert().m_pRawData[i]) : ' ';
      if (doc_.ConvAppend(std::string_view(&c, 1)) == 0) break;
    }
  }
  return ConvertStatus::Ok();
}

}  // namespace

ConvertStatus CQelDoc::RunCompoundStage(DumpCall& call) {
  OfficeState& o = Office();
  o.m_anCfbSlots = {};
  o.m_anCfbSlotLength = {};
  // Cleared when a previous file left entries: a fresh table stays untouched zero
  // pages, neither read nor written. Every build of the table either sets the
  // origin or (the linear guess without a FAT) starts with entry 0 = 1.
  if (o.m_nCfbChainOrigin != 0 || (!o.m_anCfbChain.empty() && o.m_anCfbChain[0] != 0)) {
    std::fill(o.m_anCfbChain.begin(), o.m_anCfbChain.end(), 0);
  }
  o.m_nCfbDirectoryPos = o.m_nCfbMiniStart = o.m_nCfbWordMark = o.m_nCfbChainOrigin = o.m_bCfbOverflow = 0;
  o.m_nCfbOffset = o.m_nCfbSector = o.m_nCfbPrevSector = o.m_nCfbEnd = 0;
  o.m_nCfbSectorCount = static_cast<int>(std::min<int64_t>(Convert().m_nRawLen / 512, INT32_MAX));
  if (!Convert().m_pRawData) return ConvertStatus::Ok();
  CompoundLoader loader(*this, call);
  return loader.Run();
}
