// Word 97 and later as display text: the text is read through the piece table (or,
// without one, from the first text page with a width guess per sector), each
// character folded or substituted into a line of 16-bit characters, every line
// converted to Shift-JIS and laid into the character grid; paragraph and cell marks
// take their types from the position table, so the grid renderer can draw tables.
//
// Bounds: every byte is read through the byte cursor; the line holds at most 4,000 bytes;
// take-backs never go below the line's start; the grid stops at its row limit; the
// road stops past the image and ends at the text end (FIB) or after the last piece.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "app/QelDoc.h"
#include "base/CheckedSize.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/OfficeState.h"
#include "convert/office/cfb/CompoundStreams.h"
#include "convert/office/cfb/RawImage.h"
#include "convert/office/doc/WordGrid.h"
#include "convert/office/doc/WordPairScan.h"
#include "convert/office/doc/WordText.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"

namespace {

constexpr size_t kLineBytes = 4000;
constexpr int kEndZeroRun = 128;

class Word97Road {
 public:
  Word97Road(CQelDoc& doc, WordGrid& grid) : doc_(doc), img_(RawImageOf(doc)), grid_(grid) {}

  // Fills the grid; the pictures found go to pictures_.
  void Run();
  std::vector<WordPicture>& Pictures() { return pictures_; }

 private:
  int64_t FindPieceTable(int64_t fib) const;
  void GuessWidth();
  bool PageStart();
  bool NextPiece();
  void Step();
  bool PlainPairs();
  void Append(uint8_t lo, uint8_t hi) {
    line_.push_back(lo);
    line_.push_back(hi);
  }
  void TakeBack(size_t n) { line_.resize(line_.size() - std::min(n, line_.size())); }
  void ParagraphMark(uint8_t& lo);
  void CellMark(uint8_t& lo, int& typeCode);
  void Flush();

  CQelDoc& doc_;
  ByteCursor img_;
  WordGrid& grid_;
  std::vector<WordPicture> pictures_;
  std::vector<uint8_t> line_;
  std::vector<char16_t> wide_;  // the line as 16-bit characters (storage kept between lines)

  int64_t main_ = 512;
  int64_t pos_ = 0;
  int64_t textEnd_ = 0;
  int64_t rawEnd_ = 0;
  int ptEnd_ = 0;
  int entry_ = 0;

  std::vector<int> cps_, fcs_;
  int pieceCount_ = 0;
  int piece_ = -1;
  int64_t remaining_ = 0;
  bool eightBit_ = false;

  bool done_ = false;
  bool stop_ = false;
  bool flushNow_ = false;
  bool eightBitZero_ = false;
  int zeroRun_ = 0;
  int64_t pageChecked_ = -1;
};

// The piece table's place: the FIB's table offset at 0x18A in the 1Table, then the
// 0Table stream; failing both, the FIB's clx offset in the stream its flags name.
int64_t Word97Road::FindPieceTable(int64_t fib) const {
  const int64_t one = doc_.Office().m_anCfbSlots[3], zero = doc_.Office().m_anCfbSlots[2];
  const uint32_t v = img_.PeekU24LE(fib + 0x18A);
  auto accepted = [&](int64_t p) {
    return img_.PeekU8(p + 1) == 0x80 || img_.PeekU8(p) == 2 || (img_.PeekU8(p - 2) == 0xFF && img_.PeekU8(p - 1) == 0x40);
  };
  if (one > 0 && accepted(one + v)) return one + v;
  if (zero > 0 && accepted(zero + v)) return zero + v;
  const int64_t table = (img_.PeekU16LE(fib + 0x0A) & 0x0200) ? one : zero;
  const int64_t clx = table > 0 ? table + img_.PeekU32LE(fib + 0x1A2) : 0;
  if (clx > 0 && (img_.PeekU8(clx) == 1 || img_.PeekU8(clx) == 2)) return clx;
  return 0;
}

// Without a piece table: 8-bit when few bytes look like the high halves or the
// upper bytes of 16-bit characters.
void Word97Road::GuessWidth() {
  int n = 0, high = 0, oneZero = 0;
  for (int k = 0; k + 1 < 512; k += 2) {
    const uint8_t a = img_.PeekU8(pos_ + k), b = img_.PeekU8(pos_ + k + 1);
    if (a == 0 && b == 0) break;
    n += 2;
    if ((a > 0x80 && a != 0xA0) || (b > 0x80 && b != 0xA0)) ++high;
    if ((a == 0) != (b == 0)) ++oneZero;
  }
  eightBit_ = high < std::max(n / 10, 5) && oneZero < 2 && n > 6;
}

// At a page start: skips empty pages, notes 8-bit text, ends at the property pages.
// False when the road is done.
bool Word97Road::PageStart() {
  pageChecked_ = pos_;
  if (pieceCount_ == 0) GuessWidth();
  const int64_t endPage = ptEnd_ / 512;
  for (int guard = 0; guard < 100000; ++guard) {
    const uint8_t b0 = img_.PeekU8(pos_), b1 = img_.PeekU8(pos_ + 1);
    if (b0 == 0 && (b1 == 4 || b1 == 0)) break;
    if (b0 < 0x80 && b1 == '\r') {
      eightBit_ = true;
      break;
    }
    if (img_.PeekU8(pos_ + 2) == 0 && img_.PeekU8(pos_ + 3) == 0 && pos_ / 512 != endPage && pos_ + 512 <= rawEnd_) {
      pos_ += 512;
      continue;
    }
    break;
  }
  const uint8_t b0 = img_.PeekU8(pos_), b1 = img_.PeekU8(pos_ + 1);
  if (b0 == 0 && (b1 == 4 || b1 == 6) && (img_.PeekU8(pos_ - 1) == 0 || eightBitZero_) && pos_ / 512 > endPage) {
    done_ = true;
    return false;
  }
  return true;
}

bool Word97Road::NextPiece() {
  if (++piece_ >= pieceCount_) {
    done_ = true;
    return false;
  }
  const auto fc = static_cast<uint32_t>(fcs_[piece_]);
  int64_t offset = fc & 0xFFFFFF;
  int64_t length = (static_cast<int64_t>(cps_[piece_ + 1]) - cps_[piece_]) * 2;
  eightBit_ = (fc >> 24) == 0x40;
  if (eightBit_) {
    offset /= 2;
    length /= 2;
  }
  remaining_ = std::max<int64_t>(length, 0);
  pos_ = main_ + offset;
  return remaining_ > 0 || NextPiece();
}

void Word97Road::ParagraphMark(uint8_t& lo) {
  doc_.Convert().m_nRawPos = pos_;
  const int found = doc_.NextPositionEntry(entry_, ptEnd_);
  const bool first = entry_ == 0 && doc_.Convert().m_anParaEnd[0] >= pos_;
  if (found > 0 || first) {
    entry_ = found;
    if (doc_.Convert().m_abParaType[static_cast<size_t>(entry_)] == 7) lo = 4;
  }
  flushNow_ = true;
}

void Word97Road::CellMark(uint8_t& lo, int& typeCode) {
  doc_.Convert().m_nRawPos = pos_;
  const int found = doc_.NextPositionEntry(entry_, ptEnd_);
  const bool first = entry_ == 0 && doc_.Convert().m_anParaEnd[0] >= pos_;
  if (found <= 0 && !first) return;
  entry_ = found;
  const int type = doc_.Convert().m_abParaType[static_cast<size_t>(entry_)];
  if (type >= 26) {
    doc_.Convert().m_abParaType[static_cast<size_t>(entry_)] = 6;
    typeCode = type;
  }
  lo = doc_.ClassifyCell(entry_);
}

void Word97Road::Step() {
  if (pos_ % 512 == 0 && pos_ != pageChecked_ && !PageStart()) return;
  if (pieceCount_ > 0 && remaining_ <= 0 && !NextPiece()) return;
  if (pos_ % 512 == 0 && pos_ != pageChecked_ && !PageStart()) return;
  const uint8_t c = img_.PeekU8(pos_);
  uint8_t h = img_.PeekU8(pos_ + 1);
  ++pos_;
  --remaining_;

  bool zeroPair = false;
  if (eightBit_) {
    h = 0;
    eightBitZero_ = c == 0;
    if (c == 0x10) {
      // deleted text
    } else if (c == 0) {
      zeroPair = true;
    } else if (c == 2) {
      Append(0x18, 0x20);
    } else {
      uint8_t lo = CQelDoc::FoldLatin1Char(c);
      int typeCode = 0;
      if (c == 0x0D) ParagraphMark(lo);
      if (c == 0x07) CellMark(lo, typeCode);
      Append(lo, 0);
      if (typeCode) Append(static_cast<uint8_t>(typeCode), 0);
    }
  } else if (line_.size() % 2 == 0) {
    if (c == 0x10 && h == 0x10) {
      ++pos_;
      --remaining_;
    } else {
      zeroPair = c == 0 && h == 0;
      uint8_t lo = c, hi = h;
      int typeCode = 0;
      if (h == 0x00) {
        if (c == 0x0B || (c >= 0x02 && c <= 0x06) || (c >= 0x13 && c <= 0x15) || c >= 0x80) lo = CQelDoc::FoldLatin1Char(c);
        if (c == 0x0D) ParagraphMark(lo);
        if (c == 0x07) CellMark(lo, typeCode);
      } else if (h == 0x20) {
        if (c == 0x18 || c == 0x19) lo = '\'', hi = 0;
        else if (c == 0x1C || c == 0x1D) lo = '"', hi = 0;
        else if (c == 0x39) lo = '<', hi = 0;
        else if (c == 0x3A) lo = '>', hi = 0;
      } else if (h == 0xF0) {
        if (c == 0x6C || c == 0xB7) lo = 0xB7, hi = 0;
        else if (c == 0xA3) Append('=', 0), lo = '<', hi = 0;
        else if (c == 0xB3) Append('>', 0), lo = '=', hi = 0;
        else if (c == 0x44) lo = 0x94, hi = 0x03;
        else if (c >= 0x20 && c <= 0x3F) hi = 0;
      }
      SetRawImageByte(doc_, pos_, hi);
      line_.push_back(lo);
      if (typeCode) {
        line_.push_back(0);
        line_.push_back(static_cast<uint8_t>(typeCode));
        // the mark's high byte follows as this character's high byte
      }
    }
  } else {
    zeroPair = c == 0 && h == 0;
    line_.push_back(c);
  }

  if (zeroPair) {
    ++zeroRun_;
    if (!eightBit_) {
      if (zeroRun_ == 4) TakeBack(4);
      else if (zeroRun_ > 4 && zeroRun_ % 2 == 0) TakeBack(2);
    }
    const int64_t at = pos_ - 1;
    if (at % 512 == 511 && ptEnd_ > 0 && at / 512 > ptEnd_ / 512) stop_ = true;
    if (ptEnd_ > 0 && at - ptEnd_ >= 1 && at - ptEnd_ <= 3) {
      done_ = true;
      if (line_.size() % 2) line_.push_back(0);
      Append(3, 0);
    }
    if (zeroRun_ >= 512 && (!eightBit_ || pieceCount_ < 3)) done_ = true;
  } else {
    zeroRun_ = 0;
  }
  if (pos_ >= textEnd_ + 1) done_ = true;
  if (pos_ > rawEnd_) stop_ = true;
}

// The common 16-bit characters in one go: the two steps of a character that Step
// takes as it is (no mark, no substitution, no zero pair), away from page and piece
// boundaries, the text end and a full line. False when the next byte needs Step.
bool Word97Road::PlainPairs() {
  if (eightBit_ || done_ || stop_ || flushNow_ || line_.size() % 2 != 0 || pos_ < 0) return false;
  // The first place a run must not reach: the line nearly full, a page's last two
  // bytes, the piece end, the text end and the image end. A pair at pos is taken
  // while pos < limit; the run steps two bytes at a time from an inside-page place.
  const int64_t pageEnd = (pos_ / 512 + 1) * 512;
  if (pos_ % 512 == 0 || pos_ + 1 == pageEnd) return false;
  int64_t limit = std::min({pageEnd - 1, textEnd_ - 1, rawEnd_ - 1,
                            pos_ + static_cast<int64_t>(kLineBytes) - static_cast<int64_t>(line_.size()) - 2});
  if (pieceCount_ > 0) limit = std::min(limit, pos_ + remaining_ - 1);
  const uint8_t* bytes = img_.Data();  // [pos, pos + 2) lies inside: limit <= rawEnd_ - 1
  const int64_t pos = OrdinaryPairsEnd(bytes, pos_, limit, img_.Size());
  if (pos == pos_) return false;
  // The pairs go into the line as they stand in the image.
  line_.insert(line_.end(), bytes + pos_, bytes + pos);
  remaining_ -= pos - pos_;
  pos_ = pos;
  zeroRun_ = 0;
  return true;
}

// The line in Shift-JIS into the grid, ended by CR LF.
void Word97Road::Flush() {
  flushNow_ = false;
  // A flush after a mark's low byte: its high byte (0) is stepped over below, so the
  // next line starts on a character. A flush between characters steps over nothing.
  const bool midCharacter = line_.size() % 2 != 0;
  if (midCharacter) line_.push_back(0);
  std::vector<char16_t>& wide = wide_;
  wide.resize(line_.size() / 2);
  if constexpr (std::endian::native == std::endian::little) {
    if (!wide.empty()) std::memcpy(wide.data(), line_.data(), wide.size() * 2);  // the units as they lie, low byte first
  } else {
    ByteCursor units(std::span<const uint8_t>(line_.data(), wide.size() * 2));
    for (char16_t& unit : wide) unit = units.U16LE();
  }
  line_.clear();
  if (!eightBit_ && midCharacter && (img_.PeekU8(pos_) == 0 || img_.PeekU8(pos_) == '\n')) {
    ++pos_;
    --remaining_;
  }
  // Straight into the grid where it holds two bytes a unit, else through the scratch;
  // either way at most the scratch's size.
  const auto scratch = static_cast<int64_t>(doc_.Convert().m_szSjisScratch.size());
  const int64_t room = std::min(grid_.Room(), scratch);
  const bool direct = room >= 2 * static_cast<int64_t>(wide.size());
  char* out = direct ? reinterpret_cast<char*>(grid_.bytes) + (static_cast<int64_t>(grid_.row) * grid_.width + grid_.col)
                     : doc_.Convert().m_szSjisScratch.data();
  int n = wide.empty() ? 0 : plat::WideToCp932(wide.data(), static_cast<int>(wide.size()), out, static_cast<int>(direct ? room : scratch));
  if (n == 1 && static_cast<uint8_t>(out[0]) > 0x20 && (done_ || stop_) && grid_.row > 0) out[0] = ' ';
  if (n == 1 && out[0] == '\r') n = 0;  // in the grid, the CR put below takes its place
  if (direct) {
    grid_.Skip(n);
  } else {
    grid_.PutBytes(reinterpret_cast<const uint8_t*>(out), n);
  }
  if (n == 0 || out[n - 1] != '\r') grid_.Put('\r');
  grid_.Put('\n');
}

void Word97Road::Run() {
  main_ = doc_.Office().m_anCfbSlots[0];
  const int64_t fib = main_;
  rawEnd_ = std::min<int64_t>(doc_.Convert().m_nRawLen, img_.Size());
  textEnd_ = std::min<int64_t>(main_ + img_.PeekU24LE(fib + 0x1C), rawEnd_);

  cps_.assign(kMaxWordPieces + 1, 0);
  fcs_.assign(kMaxWordPieces + 1, 0);
  const int64_t place = FindPieceTable(fib);
  if (place > 0) pieceCount_ = doc_.ReadWordPieceTable(static_cast<int>(place), cps_.data(), fcs_.data(), 7, kMaxWordPieces);

  // The text start: the first page from the third that is not empty.
  int64_t start = main_ + 0x400;
  while (start < rawEnd_ && img_.PeekU8(start + 1) == 0 && (img_.PeekU8(start) == 0 || img_.PeekU8(start) == 0xE5)) start += 512;

  const int64_t data = doc_.Office().m_anCfbSlots[1];
  if (data > 0) {
    // The pictures of the first picture page after the text start, then those of
    // the Data stream.
    pictures_.resize(kMaxWordPictures);
    int count = FindWordPagePictures(img_, start + 512, rawEnd_, pictures_.data(), kMaxWordPictures, 0);
    const int64_t dataEnd = data + std::max(doc_.Office().m_anCfbSlotLength[1], 0);
    count = FindWordPictures(img_, data, std::min(dataEnd, rawEnd_), pictures_.data(), kMaxWordPictures, count);
    pictures_.resize(static_cast<size_t>(count));
  }

  doc_.Convert().m_nRawPos = start;
  const int textPage = static_cast<int>(img_.PeekU16LE(fib + 0x18) >> 8);
  ptEnd_ = doc_.BuildPositionTable(4, data > 0 ? static_cast<int>(data / 512 - 1) : 0, data > start ? static_cast<int>(data) : 0,
                                   textPage);

  pos_ = start;
  if (pieceCount_ > 0 && !NextPiece()) return;
  line_.reserve(kLineBytes + 16);
  while (!grid_.Full()) {
    if (PlainPairs()) continue;
    Step();
    if (flushNow_ || line_.size() >= kLineBytes || done_ || stop_) {
      Flush();
      if (done_ || stop_ || pos_ > rawEnd_ || zeroRun_ >= kEndZeroRun) break;
    }
  }
}

}  // namespace

// The grid over the dump's first string matrix: the call's charLimit bytes a row, up
// to its settingRows + 90 rows.
WordGrid MakeWordGrid(DumpCall& call) {
  WordGrid grid;
  grid.width = std::max(call.charLimit, 1);
  const int64_t rows = std::min<int64_t>(static_cast<int64_t>(call.settingRows) + 90,
                                         static_cast<int64_t>(call.cells.size()) / grid.width);
  grid.rows = static_cast<int>(std::max<int64_t>(rows, 0));
  grid.bytes = reinterpret_cast<uint8_t*>(call.cells.data());
  return grid;
}

// Whether the directory of the compound file may hold an entry called name: its
// sectors read one by one from the file, along the chain table, as
// CompoundStreams::Named reads them from the whole image of size bytes. False only
// when the whole directory was read and no entry matched; a short read says true.
static bool DirectoryMayName(const CQelDoc& doc, plat::File& file, int64_t size, const char* name) {
  constexpr int64_t kSector = 512;
  const int64_t sectors = std::max<int64_t>(size / kSector - 1, 0);
  std::array<uint8_t, kSector> bytes{};
  const ByteCursor sector(bytes.data(), kSector);
  if (file.Seek(0, plat::File::Origin::Begin) != 0 || file.Read(bytes.data(), kSector) != kSector) return true;
  uint32_t s = sector.PeekU32LE(48);
  const auto length = static_cast<int64_t>(std::strlen(name));
  if (2 * length >= 64) return true;
  for (int64_t steps = 0; s < 0xFFFFFFFAu && steps <= sectors; ++steps) {
    const int64_t at = (static_cast<int64_t>(s) + 1) * kSector;
    if (s >= sectors || at + kSector > size) break;
    if (file.Seek(at, plat::File::Origin::Begin) != at || file.Read(bytes.data(), kSector) != kSector) return true;
    for (int64_t entry = 0; entry < kSector; entry += 128) {
      bool same = sector.PeekU8(entry + 66) == 2 && sector.PeekU16LE(entry + 2 * length) == 0;
      for (int64_t k = 0; same && k < length; ++k) same = sector.PeekU16LE(entry + 2 * k) == static_cast<uint8_t>(name[k]);
      if (same) return true;
    }
    s = s < doc.Office().m_anCfbChain.size() ? doc.Office().m_anCfbChain[s] : 0xFFFFFFFAu;
  }
  return false;
}

// The pictures of a Data stream that the stream image does not hold (the compound
// stage takes it only as the directory's first entry): read from the file itself,
// once its directory shows a Data entry.
static std::string FindDataStreamPictures(CQelDoc& doc, DumpCall& call, std::vector<WordPicture>& pictures) {
  plat::File file;
  if (!file.Open(call.path, plat::File::Mode::Read)) return {};
  const int64_t size = std::min(call.readSize, std::max<int64_t>(file.GetLength(), 0));
  if (!DirectoryMayName(doc, file, size, "Data")) return {};
  if (file.Seek(0, plat::File::Origin::Begin) != 0) return {};
  ZeroedVector<uint8_t> bytes;
  if (!TryAllocate(bytes, size, 1, 0, &doc.m_allocHook)) return {};
  bytes.resize(static_cast<size_t>(std::max<int64_t>(file.Read(bytes.data(), size), 0)));
  const ByteCursor image(bytes.data(), static_cast<int64_t>(bytes.size()));
  CompoundStreams streams(doc, image, static_cast<int64_t>(bytes.size()));
  std::string data = streams.Named("Data");
  if (data.empty()) return {};
  const ByteCursor dataImage(reinterpret_cast<uint8_t*>(data.data()), static_cast<int64_t>(data.size()));
  pictures.resize(kMaxWordPictures);
  pictures.resize(static_cast<size_t>(FindWordPictures(dataImage, 0, dataImage.Size(), pictures.data(), kMaxWordPictures, 0)));
  return data;
}

void CQelDoc::DumpWord97Text(DumpCall& call) {
  WordGrid grid = MakeWordGrid(call);
  Word97Road road(*this, grid);
  road.Run();
  // The Data stream when the image does not hold it: the pictures' positions are its own.
  std::string outside;
  if (Office().m_anCfbSlots[1] <= 0) outside = FindDataStreamPictures(*this, call, road.Pictures());
  std::vector<int> kinds;
  for (const WordPicture& p : road.Pictures()) kinds.push_back(p.kind);
  const int placed = RenderWordGrid(grid, call.bTableRules, grid.row, grid.col, 0, kinds.data(), static_cast<int>(kinds.size()));
  const int pictures = static_cast<int>(kinds.size());
  // The picture table the selected picture is cut from, numbered from 1 as the tags
  // count them; a picture listed after the text ("[Img1]") counts on from the placed.
  for (int k = 0; k < pictures && k + 1 < static_cast<int>(call.pictureType.size()); ++k) {
    const WordPicture& p = road.Pictures()[static_cast<size_t>(k)];
    call.pictureType[static_cast<size_t>(k + 1)] = p.kind;
    call.pictureAddress[static_cast<size_t>(k + 1)] = static_cast<int>(std::clamp<int64_t>(p.pos, -1, INT32_MAX));
    call.pictureVolume[static_cast<size_t>(k + 1)] = outside.empty() ? static_cast<int>(std::clamp<int64_t>(p.volume, 0, INT32_MAX)) : 0;
  }
  if (m_nSelectedItemView == 1 && m_nSelectedItem > 0) m_nSelectedItem += placed;
  const int selected = m_nSelectedItem > 199 ? 1 : m_nSelectedItem;
  if (!outside.empty() && selected >= 1 && selected <= pictures) {
    const WordPicture& p = road.Pictures()[static_cast<size_t>(selected - 1)];
    const auto from = static_cast<size_t>(std::clamp<int64_t>(p.pos, 0, static_cast<int64_t>(outside.size())));
    ShowPictureBytes(*this, std::string_view(outside).substr(from, static_cast<size_t>(std::max<int64_t>(p.volume, 0))));
  }
  for (int k = 1; k <= pictures - placed; ++k) {
    char tag[24];
    std::snprintf(tag, sizeof tag, "\n[Img%d]", k);
    ConvAppend(tag);
  }
}
