// Binary workbook records (BIFF2 to BIFF8) to the spreadsheet cell tables: the shared
// strings, text and number cells with their number formats, the date system, the
// column widths per sheet. The walk runs over the workbook stream in the stream
// image (or, for an early worksheet file, over the file from its first byte).
//
// Records are a 16-bit type, a 16-bit length and the data; a record whose data would
// pass the loaded bytes ends the walk. Each record is read through a window of the
// stream image: a field past the record's end fails its cursor and the record is
// skipped. Sheets are counted by the BOF records of the
// sheet substreams (nested chart substreams excepted). String indexes are checked
// against the pool, cells beyond the table's capacity are counted but not stored, an
// encrypted workbook (FILEPASS) is answered with string 147.
#include <algorithm>
#include <array>
#include <bit>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/OfficeState.h"
#include "convert/office/xls/BiffNumberText.h"
#include "convert/office/xls/BiffRecord.h"
#include "convert/office/xls/ColumnWidthMode.h"
#include "convert/office/cfb/RawImage.h"
#include "convert/office/xls/SheetTables.h"
#include "convert/office/xls/WorkbookWalk.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kFormats = 2048;
constexpr uint16_t kNone = 0xFFFF;
constexpr int64_t kLongRecord = 25600;
// A formula's result: its top two bytes FF FF for a result that is not a number, whose
// kind is the first byte of the result.
constexpr uint16_t kFormulaNotNumber = 0xFFFF;
constexpr uint8_t kResultText = 0, kResultBoolean = 1, kResultError = 2;

double F64(ByteCursor& in) { return std::bit_cast<double>(in.U64LE()); }

}  // namespace

WorkbookWalk::WorkbookWalk(CQelDoc& doc, DumpCall& call, SheetTables& tables)
    : doc_(doc), call_(call), t_(tables), formatKind_(kFormats, kNone), formatDecimals_(kFormats, kNone), xfFormat_(kFormats, kNone), styles_(kFormats), styleStamp_(kFormats, 0) {
  // Built-in formats: kind and decimals (none for 11 and 48).
  auto set = [&](int f, int kind, int decimals) {
    formatKind_[f] = static_cast<uint16_t>(kind);
    formatDecimals_[f] = static_cast<uint16_t>(decimals);
  };
  set(1, 2, 0);
  set(2, 2, 2);
  set(11, 2, kNone);
  set(48, 2, kNone);
  for (int f : {3, 37, 38, 41, 42}) set(f, 5, 0);
  for (int f : {4, 39, 40, 43, 44}) set(f, 5, 2);
  set(9, 9, 0);
  set(10, 9, 2);
  for (int f = 14; f <= 22; ++f) set(f, 14, kNone);
  for (int f : {45, 46, 47, 55, 56, 57, 58}) set(f, 14, kNone);
}

// Classifies a number-format string: grouping, yen, decimals, date and percent.
void WorkbookWalk::ClassifyFormat(int number, const std::string& code) {
  if (number < 0 || number >= kFormats) return;
  bool grouping = false, yen = false, year = false, day = false, month = false, percent = false, counting = false,
       point = false, zero = false, wide = false, hour = false, ampm = false;
  int decimals = -1;
  for (size_t i = 0; i < code.size(); ++i) {
    const auto c = static_cast<uint8_t>(code[i]);
    const uint8_t prev = i > 0 ? static_cast<uint8_t>(code[i - 1]) : 0;
    if (c >= 0x80) wide = true;
    if (c == ',' && prev == '#' && !zero) grouping = true;
    if (c == '\\' && i >= 2 && code[i - 2] == '"') yen = true;
    if (c == '0') {
      zero = true;
      if (!counting && !point) counting = true;
      else if (point && counting) ++decimals;
    }
    if (c == '.' && counting && !point) {
      point = true;
      decimals = 0;
    }
    if (c == '_' || c == ';' || c == '%' || c == '/' || c < 0x20) counting = false;
    if (c == 'y' || c == 'Y') year = true;
    if ((c == 'd' || c == 'D') && prev != 'e') day = true;
    if (c == 'm' || c == 'M') month = true;
    if (c == 'h' || c == 'H') hour = true;
    if ((c == 'A' || c == 'a') && i + 1 < code.size() && (code[i + 1] == 'M' || code[i + 1] == 'm')) ampm = true;
    if (c == '%' && !(prev >= 0xB0 && prev <= 0xBF)) percent = true;
  }
  int kind = 2;
  if (month && (year || day)) kind = 14;
  else if (hour) kind = ampm ? 18 : 20;  // a time of day
  else if (percent && !wide) kind = 9;
  else if (grouping && yen) kind = 6;
  else if (grouping) kind = 5;
  formatKind_[number] = static_cast<uint16_t>(kind);
  formatDecimals_[number] = decimals < 0 ? kNone : static_cast<uint16_t>(decimals);
  StylesChanged();
}

BiffNumberStyle WorkbookWalk::CachedStyle(int xf) {
  if (xf < 0 || xf >= kFormats) return StyleOf(xf);
  if (styleStamp_[xf] != styleGeneration_) {
    styles_[xf] = StyleOf(xf);
    styleStamp_[xf] = styleGeneration_;
  }
  return styles_[xf];
}

BiffNumberStyle WorkbookWalk::StyleOf(int xf) const {
  int f = xf >= 0 && xf < kFormats && xfFormat_[xf] != kNone ? xfFormat_[xf] : 3;
  const int decimals = f < kFormats ? formatDecimals_[f] : kNone;
  const int kind = f < kFormats ? formatKind_[f] : kNone;
  if (f > 160) f = kind == kNone ? 2 : kind;
  BiffNumberStyle s;
  s.format = f == 14 && kind == 14 ? 14 : f;
  s.date1904 = date1904_;
  const bool dated = (f >= 14 && f <= 22) || f == 30 || f == 31 || (f >= 55 && f <= 58);
  const bool percent = f == 9 || f == 10;
  int code = decimals == kNone ? 8 : decimals <= 3 ? decimals : decimals <= 98 ? 4 : 8;
  if (dated) code = 4;
  const int mode = doc_.m_nColumnWidthMode;
  const int sd = doc_.m_nTableDecimals;
  if (mode >= kWidthsCellList) {
    code = 8;
  } else if (sd != 0 && !dated && !percent) {
    code = decimals == kNone || decimals == 0 ? sd + 9 : sd - 1;
    if (code >= 10) {
      code = sd - 1;
      s.dropZeroFraction = true;
    }
    code = std::clamp(code, 0, 4);
  }
  s.decimals = code;
  s.grouping = mode < kWidthsCellList && (kind == 5 || kind == 6 || f == 3 || f == 4 || f == 7 || f == 8 || f == 26);
  s.yen = kind == 6;
  return s;
}

namespace {

// A number text whose fraction is all zeros loses it with its point ("5.00" is "5"):
// the text's new length.
int DropZeroFraction(const char* text, int size, int& code) {
  const std::string_view view(text, static_cast<size_t>(size));
  const size_t point = view.rfind('.');
  if (point == std::string_view::npos || point + 1 == view.size()) return size;
  if (view.find_first_not_of('0', point + 1) != std::string_view::npos) return size;
  if (code > 9000) code = 9000 + static_cast<int>(point);
  return static_cast<int>(point);
}

}  // namespace

// A new pool entry for a cell's own text; -1 when the pool is full.
int WorkbookWalk::NewEntry() {
  if (nextEntry_ >= t_.Capacity()) return -1;
  return nextEntry_++;
}

void WorkbookWalk::AddCell(int row, int column, int entry) {
  const int i = cells_++;
  if (i >= t_.Capacity() || entry < 0) return;
  t_.Row(i) = row;
  t_.Column(i) = std::min(column, 500);
  t_.Entry(i) = entry;
  // The first sheet's number is the zero the fresh table holds: it is written only
  // where it differs, so that the table's pages stay untouched for a one-sheet book.
  int& sheet = t_.Sheet(i);
  if (sheet != std::max(sheet_, 0)) sheet = std::max(sheet_, 0);
  stored_ = i + 1;
}

void WorkbookWalk::AddNumber(int row, int column, int xf, double value) {
  const int entry = NewEntry();
  if (entry < 0) {
    ++cells_;
    return;
  }
  if (xf == 0) {
    t_.SetText(entry, 0, "");
    t_.Code(entry) = 0;
  } else {
    const BiffNumberStyle style = CachedStyle(xf);
    char text[kBiffNumberMax];
    int code = 0;
    int size = FormatBiffNumberTo(value, style, text, code);
    if (style.dropZeroFraction) size = DropZeroFraction(text, size, code);
    t_.SetText(entry, size, std::string_view(text, static_cast<size_t>(size)));
    t_.Code(entry) = code;
  }
  AddCell(row, column, entry);
}

// An inline text of a cell record (LABEL, RSTRING, STRING): 8-bit in the older forms,
// with a flags byte in the others.
void WorkbookWalk::AddInlineText(int entry, ByteCursor in, bool withFlags) {
  if (entry < 0 || in.Size() < 2) return;
  const int chars = in.U16LE();
  bool wide = false;
  if (withFlags && !in.AtEnd()) wide = in.U8() & 1;
  std::string text;
  int widest = 0, line = 0;
  for (int i = 0; i < chars && in.Has(wide ? 2 : 1); ++i) {
    char out[2];
    int w = 1;
    if (wide) {
      const char16_t ch = in.U16LE();
      w = ch < 0x80 ? (out[0] = static_cast<char>(ch), 1) : plat::WideCharToCp932(ch, out);
    } else {
      out[0] = static_cast<char>(in.U8());
      // 8-bit text of a Western code page: Latin letters folded, never read as Shift-JIS lead bytes.
      if (codePage_ != 932 && static_cast<uint8_t>(out[0]) >= 0x80) {
        out[0] = static_cast<char>(CQelDoc::FoldLatin1Char(static_cast<unsigned char>(out[0])));
      }
    }
    for (int k = 0; k < w; ++k) {
      char c = out[k];
      if (w == 1 && c == '\n') {
        c = 11;
        widest = std::max(widest, line);
        line = -1;
      } else if (w == 1 && c >= 0 && c < 0x20) {
        c = ' ';
      }
      text.push_back(c);
    }
    line += w;
  }
  widest = std::max(widest, line);
  t_.SetText(entry, widest, text);
  t_.Code(entry) = 1000 + static_cast<int>(std::min<size_t>(text.size(), static_cast<size_t>(t_.CharLimit())));
}

// The shared strings: continuation headers rewritten, then one pool entry per string.
// False when the strings cannot be trusted (the dump then ends with its message).
bool WorkbookWalk::ReadSharedStrings(int64_t dataStart, int64_t limit) {
  const ByteCursor image = RawImageOf(doc_);
  int64_t end = dataStart + image.PeekU16LE(dataStart - 2);
  while (end + 4 <= limit && image.PeekU16LE(end) == kBiffContinue) {
    const int64_t length = image.PeekU16LE(end + 2);
    SetRawImageByte(doc_, end + 2, kBiffBlankLength);
    SetRawImageByte(doc_, end + 3, kBiffBlankLength);
    end += 4 + length;
  }
  end = std::min(end, limit);
  const int64_t savedLen = doc_.Convert().m_nRawLen;
  doc_.Convert().m_nRawLen = end;
  doc_.Convert().m_nRawPos = dataStart + 8;
  doc_.Office().m_nRecordTextState = 0;
  int read = 0;
  bool trusted = true;
  while (doc_.Convert().m_nRawPos < end && sstCount_ < t_.Capacity()) {
    const int64_t before = doc_.Convert().m_nRawPos;
    const int result = doc_.ReadOfficeRecordText(t_.CharLimit(), call_.settingRows);
    if (result < 0) {
      trusted = read > 0 && doc_.Convert().m_nRawPos >= end;
      break;
    }
    if (doc_.Convert().m_nRawPos <= before) break;
    const int entry = sstCount_++;
    t_.SetText(entry, doc_.Office().m_abRecordText[0], reinterpret_cast<const char*>(&doc_.Office().m_abRecordText[1]));
    t_.Code(entry) = doc_.Office().m_nRecordTextCode;
    ++read;
    if (doc_.m_nDisplayForm == 2) {
      doc_.ConvPrintf("%6x %4d %s\n", static_cast<unsigned>(doc_.Convert().m_nRawPos), doc_.Office().m_nRecordTextCode,
                      reinterpret_cast<const char*>(&doc_.Office().m_abRecordText[1]));
    }
  }
  doc_.Convert().m_nRawLen = savedLen;
  nextEntry_ = sstCount_;
  if (!trusted) {
    failure_ = ConvertStatus::Message(read <= 1 ? IDS_ENCRYPTED_DATA : IDS_UNSUPPORTED_FORMAT).With(LoadString(IDS_OPEN_WITH_APPLICATION));
    return false;
  }
  resume_ = end;
  return true;
}

WorkbookWalk::End WorkbookWalk::Run(int64_t start) {
  const int64_t limit = std::min<int64_t>(doc_.Convert().m_nRawLen, static_cast<int64_t>(doc_.Convert().m_rawStore.size()));
  const ByteCursor image = RawImageOf(doc_).Window(0, limit);
  int64_t pos = start;
  bool first = true;
  while (pos + 4 <= limit) {
    if (image.PeekU16LE(pos) == kBiffCompoundMagic) break;  // an embedded compound file
    const uint16_t type = image.PeekU16LE(pos);
    const int64_t length = image.PeekU16LE(pos + 2);
    const int64_t data = pos + 4;
    if (type == 0 && length == 0) break;
    if (data + length > limit) break;
    ByteCursor rec = image.Window(data, length);
    pos = data + length;
    if (first) {
      form_ = length == 16 ? Form::Flags : length == 8 ? Form::Older : Form::Other;
      first = false;
    }
    if (length > kLongRecord) {
      if (type == kBiffLabel || type == kBiffRString || type == kBiffSst) {
        doc_.ConvPrintf("address error4(adr=%x d1=%4x d2=%4x d3=%4x d4=%4x nd=%6d)\r\n", static_cast<unsigned>(data - 4),
                        type & 0xFF, type >> 8, static_cast<unsigned>(length & 0xFF), static_cast<unsigned>(length >> 8),
                        static_cast<int>(length));
        return End::Message;
      }
      doc_.Office().m_nCfbEnd = 1;
      break;
    }
    const bool inChart = depth_ > 0 && depth_ <= static_cast<int>(chart_.size()) && chart_[depth_ - 1];
    const bool substream = type == kBiffBof2 || type == kBiffBof3 || type == kBiffBof4 || type == kBiffBof || type == kBiffEof;
    if (inChart && !substream) continue;
    if (!OnRecord(type, data, rec, pos, limit)) return End::Message;
  }
  return End::Table;
}

// One record of the walk by its type; false when the dump ends with a message. pos,
// past the record, moves on past what a record reads beyond its own bytes.
bool WorkbookWalk::OnRecord(uint16_t type, int64_t data, ByteCursor rec, int64_t& pos, int64_t limit) {
  const int64_t length = rec.Size();
  switch (type) {
    case kBiffBof2:
    case kBiffBof3:
    case kBiffBof4:
    case kBiffBof:
      OnBof(rec);
      break;
    case kBiffEof:
      depth_ = std::max(depth_ - 1, 0);
      break;
    case kBiffFilePass:
      failure_ = ConvertStatus::Message(IDS_ENCRYPTED_DATA).With(LoadString(IDS_OPEN_WITH_APPLICATION));
      return false;
    case kBiffSst:
      if (form_ == Form::Older && length > 8) {
        AddTextCell(rec, false);
      } else if (!sstRead_ && length > 8) {
        sstRead_ = true;
        if (!ReadSharedStrings(data, limit)) return false;
        pos = resume_;
        if (doc_.m_nDisplayForm == 2) {
          doc_.ConvAppend("\n<END>\n");
          return false;
        }
      }
      break;
    case kBiffLabelSst: {
      const int row = rec.U16LE(), column = rec.U16LE();
      rec.Skip(2);
      const uint32_t index = rec.U32LE();
      if (rec.Ok() && index < static_cast<uint32_t>(sstCount_)) AddCell(row, column, static_cast<int>(index));
      break;
    }
    case kBiffLabel:
    case kBiffRString:
      // Only the workbooks of the form with flags bytes (BIFF8) store a flags byte
      // before the characters; the earlier ones store 8-bit text in their code page.
      if (length > 8) AddTextCell(rec, form_ == Form::Flags);
      break;
    case kBiffCodePage: {
      const uint16_t page = rec.U16LE();
      if (rec.Ok()) codePage_ = page;
      break;
    }
    case kBiffNumber: {
      const int row = rec.U16LE(), column = rec.U16LE(), xf = rec.U16LE();
      const double value = F64(rec);
      if (rec.Ok()) AddNumber(row, column, xf, value);
      break;
    }
    case kBiffRk: {
      const int row = rec.U16LE(), column = rec.U16LE(), xf = rec.U16LE();
      const uint32_t rk = rec.U32LE();
      if (rec.Ok()) AddNumber(row, column, xf, DecodeRk(rk));
      break;
    }
    case kBiffMulRk: {  // row, first column, xf and RK pairs, last column
      const int row = rec.U16LE(), first = rec.U16LE();
      for (int k = 0; rec.Remaining() >= 8; ++k) {
        const int xf = rec.U16LE();
        const uint32_t rk = rec.U32LE();
        AddNumber(row, first + k, xf, DecodeRk(rk));
      }
      break;
    }
    case kBiffFormula:
    case kBiffFormula3:
    case kBiffFormula4:
      OnFormula(rec);
      break;
    case kBiffString:
      if (lastFormulaEntry_ >= 0) AddInlineText(lastFormulaEntry_, rec, form_ == Form::Flags);
      lastFormulaEntry_ = -1;
      break;
    case kBiffFormat:
    case kBiffFormat2:
      if (length > 4) ReadFormat(type, rec);
      break;
    case kBiffXf:
    case kBiffXf3:
    case kBiffXf4:
      if (xfCount_ < kFormats && length >= 4) xfFormat_[xfCount_++] = type == kBiffXf ? rec.PeekU16LE(2) : rec.PeekU8(1);
      StylesChanged();
      break;
    case kBiffDate1904: {
      const uint16_t system = rec.U16LE();
      if (rec.Ok()) date1904_ = system == 1;
      StylesChanged();
      break;
    }
    case kBiffMsoDrawingGroup:
      pos = DrawingGroup(data, length, limit);
      break;
    case kBiffMsoDrawing:
      Drawing(rec);
      break;
    case kBiffTxo:
      TextObject(rec, pos);
      break;
    case kBiffDefColWidth:
      if (length >= 2) StartWidths();
      break;
    case kBiffDimensions:
      OnDimensions(rec);
      break;
    case kBiffColInfo:
      OnColumnInfo(rec);
      break;
    default:
      break;
  }
  return true;
}

// BOF: a sheet substream at the top level starts a sheet.
void WorkbookWalk::OnBof(ByteCursor rec) {
  rec.Skip(2);
  const uint16_t substream = rec.U16LE();
  const uint16_t kindOf = rec.Ok() ? substream : static_cast<uint16_t>(kBiffWorksheet);
  if (depth_ == 0 && globalsSeen_ && kindOf != kBiffGlobals) ++sheet_;
  if (depth_ == 0 && kindOf == kBiffGlobals) globalsSeen_ = true;
  if (depth_ == 0 && !globalsSeen_) {
    globalsSeen_ = true;  // a lone worksheet file
    sheet_ = 0;
  }
  // A chart (a chart sheet, or one embedded in a worksheet) caches its data in
  // cell records of its own: they are not cells of the sheet.
  if (depth_ < static_cast<int>(chart_.size())) chart_[depth_] = depth_ > 0 || kindOf == kBiffChart;
  ++depth_;
}

// A formula's cell: its number, or for a text, boolean, error or empty result (the
// result's top bytes FF FF) the entry that the result shows.
void WorkbookWalk::OnFormula(ByteCursor rec) {
  const int row = rec.U16LE(), column = rec.U16LE();
  int xf = rec.U16LE();
  const double value = F64(rec);
  if (!rec.Ok()) return;
  if (xf == 26 || xf == 30) xf = 15;
  const uint8_t resultKind = rec.PeekU8(6), resultByte = rec.PeekU8(8);
  if (rec.PeekU16LE(12) != kFormulaNotNumber) {
    AddNumber(row, column, xf, value);
    lastFormulaEntry_ = -1;
    return;
  }
  const int entry = NewEntry();
  if (entry < 0) {
    ++cells_;
    return;
  }
  t_.SetText(entry, 2, resultKind == kResultText ? "--" : "");
  t_.Code(entry) = resultKind == kResultText ? 9002 : 0;
  if (resultKind == kResultBoolean) {
    t_.SetText(entry, 5, resultByte ? "TRUE" : "FALSE");
    t_.Code(entry) = 1000 + (resultByte ? 4 : 5);
  } else if (resultKind == kResultError) {
    t_.SetText(entry, 2, "--");
    t_.Code(entry) = 9002;
  }
  AddCell(row, column, entry);
  lastFormulaEntry_ = resultKind == kResultText ? entry : -1;
}

// A sheet without a default-width record gets the default widths before its column
// count: a row of zero widths would hide every column.
void WorkbookWalk::OnDimensions(const ByteCursor& rec) {
  const int64_t length = rec.Size();
  if (length >= 10) EnsureWidths();
  if (length >= 14 && WidthRow() >= 0) {
    doc_.Convert().m_abSheetColumns[WidthRow()][0] = static_cast<unsigned char>(std::clamp<int>(rec.PeekU16LE(10), 1, 255));
  } else if (length >= 10 && WidthRow() >= 0) {
    doc_.Convert().m_abSheetColumns[WidthRow()][0] = static_cast<unsigned char>(std::clamp<int>(rec.PeekU16LE(6), 1, 255));
  }
}

void WorkbookWalk::OnColumnInfo(ByteCursor rec) {
  if (rec.Size() < 12) return;
  EnsureWidths();
  if (WidthRow() < 0) return;
  const int firstCol = rec.U16LE(), lastCol = std::min<int>(rec.U16LE(), 254);
  const int width = rec.U16LE();
  rec.Skip(2);
  const int options = rec.U16LE();
  int code = 0;
  if (!(options == 3 || width < 256)) {
    code = width / 256 + 2;
    if (code > 10) code += code / 10;
  }
  for (int c = firstCol; c <= lastCol; ++c) doc_.Convert().m_abSheetColumns[WidthRow()][c + 1] = static_cast<unsigned char>(std::min(code, 255));
}

void WorkbookWalk::ReadFormat(uint16_t type, ByteCursor in) {
  int number = -1;
  int chars = 0;
  bool flags = false;
  if (type == kBiffFormat) {
    number = in.U16LE();
    flags = form_ == Form::Flags;
    chars = flags ? in.U16LE() : in.U8();
  } else {
    number = nextOldFormat_++;
    chars = in.U8();
  }
  bool wide = false;
  if (flags && !in.AtEnd()) wide = in.U8() & 1;
  std::string code;
  for (int i = 0; i < chars && in.Has(wide ? 2 : 1); ++i) {
    const unsigned ch = wide ? in.U16LE() : in.U8();
    code.push_back(ch < 0x80 ? static_cast<char>(ch) : static_cast<char>(0xFF));
  }
  ClassifyFormat(number, code);
}

void WorkbookWalk::AddTextCell(ByteCursor record, bool withFlags) {
  const int entry = NewEntry();
  if (entry < 0) {
    ++cells_;
    return;
  }
  const int row = record.U16LE(), column = record.U16LE();
  record.Skip(2);
  AddInlineText(entry, record.Sub(record.Remaining()), withFlags);
  AddCell(row, column, entry);
}

void WorkbookWalk::StartWidths() {
  const int row = WidthRow();
  if (row < 0) return;
  auto& columns = doc_.Convert().m_abSheetColumns[row];
  columns.fill(0);
  for (int c = 0; c < 255; ++c) columns[c + 1] = 8;
  columns[0] = 1;
  widthsSet_ = std::max(widthsSet_, row);
  widthsStarted_[static_cast<size_t>(row)] = true;
}

// A sheet without a default-width record of its own takes the widths of the last
// sheet that had one, else the default widths.
void WorkbookWalk::EnsureWidths() {
  const int row = WidthRow();
  if (row < 0 || widthsStarted_[static_cast<size_t>(row)]) return;
  int from = row - 1;
  while (from > 0 && !widthsStarted_[static_cast<size_t>(from)]) --from;
  if (from <= 0) {
    StartWidths();
    return;
  }
  doc_.Convert().m_abSheetColumns[row] = doc_.Convert().m_abSheetColumns[from];
  widthsStarted_[static_cast<size_t>(row)] = true;
}

// The column-width row of the current sheet: 1 to 255 (row 0 is the output's own).
int WorkbookWalk::WidthRow() const {
  const int row = std::max(sheet_, 0) + 1;
  return row <= 255 ? row : -1;
}

ConvertStatus CQelDoc::DumpWorkbook(DumpCall& call) {
  // No clearing pass over the tables: every pool entry a cell or box refers to is
  // written (text and code) before it is referred to, and a pass would touch every
  // page of the pool.
  SheetTables tables(call, call.charLimit, call.settingRows);
  for (auto& row : Convert().m_abSheetColumns) row.fill(0);
  WorkbookWalk walk(*this, call, tables);
  int64_t start = Office().m_anCfbSlots[0];
  if (Office().m_nCfbChainOrigin == 2) start = 0;
  else if (start <= 0) return ConvertStatus::Ok();
  // The walk ends with the stream's own bytes, not with the padding of its last sector.
  if (Office().m_nCfbChainOrigin != 2 && Office().m_anCfbSlotLength[0] > 0) Convert().m_nRawLen = std::min<int64_t>(Convert().m_nRawLen, start + Office().m_anCfbSlotLength[0]);
  Convert().m_nRawPos = start;
  m_nConvPos = 0;
  if (walk.Run(start) == WorkbookWalk::End::Message) return walk.Failure();
  SheetSummary summary = walk.Result();
  // Streams cut at the input volume: the truncation note ends the text, not the end line.
  summary.earlyStop = Office().m_bCfbOverflow != 0;
  const int64_t imageEnd = Convert().m_nRawLen;  // the sheet output clears it
  WriteSheetTable(call, tables, summary);
  if (m_nSelectedItem <= 0) return ConvertStatus::Ok();
  const int64_t shown = Convert().m_nRawLen;
  Convert().m_nRawLen = imageEnd;
  const ConvertStatus picture = ShowSelectedPicture(call);
  if (m_nFileKind == kKindXls) Convert().m_nRawLen = shown;  // no picture shown: the text stays
  return picture;
}
