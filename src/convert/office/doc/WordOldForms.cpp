// The binary Word road of the dump: chooses the form by the bytes at the FIB place
// (or, for files that are not compound files, by the file's first bytes) and runs
// it. Besides Word 97 (WordText.cpp) these are the earlier generations: 16-bit
// units through pieces or the FIB's text range (97 A6), 8-bit text (DC A5), RTF
// kept inside a Word file, and two simple forms whose bytes are copied almost as
// they are. Every read goes through the byte cursor; the grids stop at their row limit.
#include <algorithm>
#include <vector>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/OfficeState.h"
#include "convert/office/cfb/RawImage.h"
#include "convert/office/doc/WordGrid.h"
#include "convert/office/doc/WordText.h"

namespace {

enum class OldForm { Range16, Pieces16, Text8 };

class OldWordRoad {
 public:
  OldWordRoad(CQelDoc& doc, WordGrid& grid, OldForm form) : doc_(doc), img_(RawImageOf(doc)), grid_(grid), form_(form) {}
  void Run();

 private:
  // A paragraph or cell mark: its type from the position table; returns the byte
  // the grid gets and sets typeCode for a row end.
  uint8_t Mark(uint8_t c, int& typeCode);
  void Units(int64_t from, int64_t units);
  void Bytes8(int64_t from);
  bool Done(int64_t pos) const { return pos >= textEnd_ + 1 || pos > rawEnd_ || grid_.Full(); }

  CQelDoc& doc_;
  ByteCursor img_;
  WordGrid& grid_;
  OldForm form_;
  int64_t main_ = 512;
  int64_t textEnd_ = 0;
  int64_t rawEnd_ = 0;
  int ptEnd_ = 0;
  int entry_ = 0;
  bool ended_ = false;
};

uint8_t OldWordRoad::Mark(uint8_t c, int& typeCode) {
  const int e = doc_.FindPositionEntry(entry_, ptEnd_);
  if (e < 0 || e >= static_cast<int>(doc_.Convert().m_abParaType.size())) return c;
  entry_ = e;
  const int type = doc_.Convert().m_abParaType[static_cast<size_t>(e)];
  if (c == '\r') return type == 7 ? 4 : c;
  if (type >= 26) {
    doc_.Convert().m_abParaType[static_cast<size_t>(e)] = 6;
    typeCode = type;
  }
  return doc_.ClassifyCell(e);
}

// 16-bit units from `from`; units < 0: until a unit 00 00.
void OldWordRoad::Units(int64_t from, int64_t units) {
  int64_t pos = from;
  for (int64_t k = 0; units < 0 || k < units; ++k) {
    if (Done(pos)) {
      ended_ = true;
      return;
    }
    uint8_t b = img_.PeekU8(pos);
    const uint8_t h = img_.PeekU8(pos + 1);
    pos += 2;
    if (b == 0 && h == 0 && units < 0) {
      ended_ = true;
      return;
    }
    if (h == 0x10) b = CQelDoc::FoldLatin1Char(b);
    if (h == 0) {
      if (b == 0x0B) b = '\r';
      else if (b == 0x08) b = 0xA5;
      else if (b == 0x13) b = '#';
      else if (b == 0x14) b = '[';
      else if (b == 0x15) b = ']';
    }
    int typeCode = 0;
    if (form_ == OldForm::Pieces16 && h == 0 && (b == '\r' || b == 0x07)) {
      doc_.Convert().m_nRawPos = pos;
      b = Mark(b, typeCode);
    }
    if (form_ == OldForm::Pieces16) {
      if (h >= 0x80) grid_.Put(h);
      grid_.Put(b);
    } else {
      grid_.Put(b);
      if (h != 0) grid_.Put(h);
    }
    if (typeCode) grid_.Put(static_cast<uint8_t>(typeCode));
    if (h == 0 && (b == '\r' || b == 4)) grid_.Put('\n');
  }
}

void OldWordRoad::Bytes8(int64_t from) {
  const int64_t endPage = ptEnd_ / 512;
  for (int64_t pos = from;;) {
    if (Done(pos) || (ptEnd_ > 0 && pos > ptEnd_ && pos / 512 > endPage)) return;
    uint8_t c = img_.PeekU8(pos++);
    if (c == 0) {
      if (img_.PeekU8(pos) == 0) return;
      continue;
    }
    if (c != 0x07) c = CQelDoc::FoldLatin1Char(c);
    int typeCode = 0;
    if (c == '\r' || c == 0x07) {
      doc_.Convert().m_nRawPos = pos;
      c = Mark(c, typeCode);
    }
    grid_.Put(c);
    if (c == '\r' || c == 4) grid_.Put('\n');
    if (typeCode) grid_.Put(static_cast<uint8_t>(typeCode));
  }
}

void OldWordRoad::Run() {
  main_ = doc_.Office().m_anCfbSlots[0];
  const int64_t fib = main_;
  rawEnd_ = std::min<int64_t>(doc_.Convert().m_nRawLen, img_.Size());
  textEnd_ = std::min<int64_t>(fib + img_.PeekU24LE(fib + 0x1C), rawEnd_);
  const int64_t start = main_ + 0x300;

  if (form_ == OldForm::Range16) {
    textEnd_ = std::min<int64_t>(fib + img_.PeekU24LE(fib + 0x1C), rawEnd_);
    Units(fib + img_.PeekU24LE(fib + 0x18), -1);
    return;
  }
  std::vector<int> cps(kMaxWordPieces + 1, 0), fcs(kMaxWordPieces + 1, 0);
  int pieces = 0;
  if (form_ == OldForm::Pieces16) {
    const int64_t place = fib + img_.PeekU24LE(fib + 0x148);
    if (img_.PeekU8(place + 1) == 0x80) pieces = doc_.ReadWordPieceTable(static_cast<int>(place), cps.data(), fcs.data(), 5, kMaxWordPieces);
  }
  doc_.Convert().m_nRawPos = start;
  ptEnd_ = doc_.BuildPositionTable(3, 0, 0);
  if (form_ == OldForm::Text8) {
    Bytes8(start);
    return;
  }
  if (pieces < 2) {
    Units(start, -1);
    return;
  }
  for (int k = 0; k + 1 < pieces && !ended_ && !grid_.Full(); ++k) {
    const int64_t at = k == 0 ? start : main_ + (static_cast<uint32_t>(fcs[k]) & 0xFFFFFF);
    Units(at, std::max(cps[k + 1] - cps[k], 0));
  }
}

// The simple forms: the file's bytes to the display text, nearly as they are.
void CopySimpleForm(CQelDoc& doc, bool form94) {
  const ByteCursor img = RawImageOf(doc);
  const int64_t rawEnd = std::min<int64_t>(doc.Convert().m_nRawLen, img.Size());
  int64_t end = rawEnd;
  if (form94 && img.PeekU24LE(0x1C) != 0) end = std::min<int64_t>(img.PeekU24LE(0x1C), rawEnd);
  DisplayWriter out = doc.ConvWriter();
  std::string text;
  for (int64_t i = form94 ? 0x180 : 0x201; i < end && static_cast<int64_t>(text.size()) < doc.m_nOutDataLimit;) {
    const uint8_t c = img.PeekU8(i), d = img.PeekU8(i + 1);
    if ((c == 0 && d == 0) || (c == 0x1E && d == 0x78)) break;
    if (form94) {
      if (c == '\r' && d == 0x07 && img.PeekU8(i + 2) == '\r' && img.PeekU8(i + 3) == 0x07) {
        text += "\r\n";
        i += 4;
      } else if (c == '\r' && d == 0x07) {
        text += '\t';
        i += 2;
      } else {
        text += static_cast<char>(c);
        ++i;
      }
      continue;
    }
    if (c == 0x07) text += '\t';
    else if (c == 0x0B) text += '~';
    else if (c == '\r' && d != '\n') text += "\r\n";
    else if (c != 0) text += static_cast<char>(c);
    ++i;
  }
  out.Append(text);
}

}  // namespace

ConvertStatus CQelDoc::DumpWordText(DumpCall& call) {
  const ByteCursor img = RawImageOf(*this);
  const int64_t main = Office().m_anCfbSlots[0];
  if (call.kind == kKindMail) {
    CopySimpleForm(*this, false);
    return ConvertStatus::Ok();
  }
  if (main <= 0) {
    if (img.PeekU8(0) == 0x94 && img.PeekU8(1) == 0xA6 && img.PeekU8(2) == 0x2E) CopySimpleForm(*this, true);
    else if (img.PeekU8(0) == 0xFE && img.PeekU8(1) == 0x37 && img.PeekU8(2) == 0x00) CopySimpleForm(*this, false);
    else return ConvertStatus::Message(IDS_NOT_OF_KIND).With("Word");  // neither a compound file nor a Word form
    return ConvertStatus::Ok();
  }
  const uint8_t b0 = img.PeekU8(main), b1 = img.PeekU8(main + 1), b2 = img.PeekU8(main + 2);
  if (b0 == '{' && b1 == '\\') {
    DumpRtfWordFormat(main, true);
    return ConvertStatus::Ok();
  }
  if (b0 == 0xEC && b1 == 0xA5) {
    DumpWord97Text(call);
    return ShowSelectedPicture(call);
  }
  OldForm form;
  if (b0 == 0x97 && b1 == 0xA6 && b2 == 0x65) form = OldForm::Range16;
  else if ((b0 == 0x97 && b1 == 0xA6 && b2 == 0x68) || (b0 == 'R' && b1 == 0 && b2 == 'o')) form = OldForm::Pieces16;
  else if ((b0 == 0xDC && b1 == 0xA5 && b2 == 0x68) || b2 == 0x65) form = OldForm::Text8;
  else return ConvertStatus::Message(IDS_OFFICE_FORMAT_UNSUPPORTED);  // a main stream of a form not read here

  WordGrid grid = MakeWordGrid(call);
  OldWordRoad(*this, grid, form).Run();
  RenderWordGrid(grid, call.bTableRules, grid.row, grid.col, 0, nullptr, 0);
  if (grid.Full()) ConvAppend(LoadString(IDS_DATA_OMITTED));
  return ConvertStatus::Ok();
}
