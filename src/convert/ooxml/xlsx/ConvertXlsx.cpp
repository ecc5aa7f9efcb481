// XLSX workbooks to the spreadsheet cell tables. The package is unpacked into the
// work folder under the package caps; the reader then takes the workbook relations
// (relation id to sheet part number), the sheet names, the date system, the number
// formats and cell styles, the shared strings, every worksheet in part-number order
// and, last, each sheet's drawing (pictures and shape texts as object cells). Each
// cell value becomes one text, numbers and dates formatted as the sheet shows them.
//
// Limits: 255 sheets; 2,000 styles and custom formats; 30,000 shared strings (a note
// says when more were dropped); the table's capacity of cells and 200 object cells;
// the cell limit of bytes per text; rows and columns within the sheet's own limits.
// Parts are Shift-JIS text searched with bounded finds; nothing is read past a part.
#include <algorithm>
#include <cstring>

#include "app/FrameHost.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/xls/ColumnWidthMode.h"
#include "convert/office/xls/SheetTables.h"
#include "convert/office/xls/WorkbookWalk.h"
#include "convert/ooxml/OoxmlText.h"
#include "convert/ooxml/xlsx/SheetNumberFormat.h"
#include "convert/ooxml/xlsx/XlsxDrawing.h"
#include "convert/ooxml/xlsx/XlsxScan.h"
#include "convert/ooxml/XmlPart.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kMaxSheets = 255;
constexpr int kMaxStyles = 2000;
constexpr int kMaxSharedStrings = 30000;
constexpr int kMaxRow = 1048576;
constexpr int kMaxColumn = 16384;
constexpr int kMaxRelations = 199;

using namespace xlsx;

class XlsxReader {
 public:
  XlsxReader(CQelDoc& doc, DumpCall& call, SheetTables& tables) : doc_(doc), call_(call), t_(tables) {}
  int Run(const std::string& path, SheetSummary& summary);

 private:
  View Part(const std::string& name) {
    const int n = doc_.LoadPackagePart(name);
    return n > 0 ? View(doc_.m_pText, static_cast<size_t>(n)) : View();
  }
  void ReadRelations();
  void ReadWorkbook();
  void ReadStyles();
  void ReadSharedStrings();
  bool ReadSheet(int n);
  void StoreCell(int row, int column, int sheet, int style, View type, View value, bool inlineText);
  void ReadDrawing(int n);
  int ClassOf(int style) const;

  CQelDoc& doc_;
  DumpCall& call_;
  SheetTables& t_;
  int relationSheet_[kMaxRelations + 1]{};
  std::vector<int> styleFormat_;
  std::vector<int> customClass_ = std::vector<int>(kMaxStyles, -1);
  std::vector<std::string> strings_;
  bool stringsDropped_ = false;
  SheetFormatContext context_;
  int cells_ = 0;
  int boxes_ = 0;
  int lastSheet_ = 0;
  std::string text_;
};

void XlsxReader::ReadRelations() {
  const View part = Part("xl\\_rels\\workbook.xml.rels");
  for (size_t at = 0; (at = FindTag(part, at, "Relationship")) != View::npos; ++at) {
    const int id = ToInt(Attr(part, at, "Id=\"rId"));
    const View target = Attr(part, at, "Target=\"");
    const size_t s = target.find("worksheets/sheet");
    if (id < 1 || id > kMaxRelations || s == View::npos) continue;
    const int sheet = ToInt(target.substr(s + 16));
    if (sheet >= 1 && sheet <= kMaxSheets) relationSheet_[id] = sheet;
  }
}

void XlsxReader::ReadWorkbook() {
  const View part = Part("xl\\workbook.xml");
  for (size_t at = 0; (at = FindTag(part, at, "sheet")) != View::npos; ++at) {
    const int id = ToInt(Attr(part, at, "r:id=\"rId"));
    if (id < 1 || id > kMaxRelations || relationSheet_[id] == 0) continue;
    std::string name;
    AppendText(Attr(part, at, "name=\""), name, 31, ' ');
    auto& entry = call_.names[relationSheet_[id] - 1];
    entry.fill(0);
    std::memcpy(entry.data(), name.data(), name.size());
  }
  const size_t pr = FindTag(part, 0, "workbookPr");
  if (pr != View::npos) {
    const View v = Attr(part, pr, "date1904=\"");
    context_.date1904 = v == "1" || v == "true";
  }
}

void XlsxReader::ReadStyles() {
  const View part = Part("xl\\styles.xml");
  const size_t fmts = FindTag(part, 0, "numFmts");
  const size_t fmtsEnd = fmts == View::npos ? View::npos : FindTag(part, fmts, "/numFmts");
  for (size_t at = fmts; at != View::npos && (at = FindTag(part, at, "numFmt", fmtsEnd)) != View::npos; ++at) {
    const int id = ToInt(Attr(part, at, "numFmtId=\""), -1);
    int pos = static_cast<int>(at);
    const int cls = XmlFindInElement("formatCode=\"", part, &pos, kXmlFormatClass);
    if (id >= 0 && id < kMaxStyles) customClass_[id] = cls;
  }
  const size_t xfs = FindTag(part, 0, "cellXfs");
  const size_t xfsEnd = xfs == View::npos ? View::npos : FindTag(part, xfs, "/cellXfs");
  for (size_t at = xfs; at != View::npos && (at = FindTag(part, at, "xf", xfsEnd)) != View::npos; ++at) {
    if (static_cast<int>(styleFormat_.size()) >= kMaxStyles) break;
    styleFormat_.push_back(ToInt(Attr(part, at, "numFmtId=\"")));
  }
}

// Every string is indexed at its <si>, so an empty one keeps its place.
void XlsxReader::ReadSharedStrings() {
  const View part = Part("xl\\sharedStrings.xml");
  const size_t limit = static_cast<size_t>(std::max(t_.CharLimit() - 1, 1));
  for (size_t at = 0; (at = FindTag(part, at, "si")) != View::npos;) {
    const size_t gt = part.find('>', at);
    const bool empty = gt != View::npos && part[gt - 1] == '/';  // <si/>
    const size_t end = empty ? gt : std::min(FindTag(part, at + 1, "/si"), part.size());
    if (static_cast<int>(strings_.size()) >= kMaxSharedStrings) {
      stringsDropped_ = true;
      AfxNote(plat::Utf8ToCp932Lossy("the workbook holds more than " + std::to_string(kMaxSharedStrings) +
                                     " shared strings: the cells of the rest are left blank; no setting raises that cap"));
      break;
    }
    std::string text;
    for (size_t p = at + 1; p < end;) {
      if (TagAt(part, p, "rPh")) {
        const size_t skip = FindTag(part, p, "/rPh", end);
        p = skip == View::npos ? end : skip + 1;
        continue;
      }
      if (TagAt(part, p, "t")) {
        const size_t open = part.find('>', p);
        if (open == View::npos || open >= end) break;
        const size_t close = std::min(part.find('<', open + 1), end);
        if (part[open - 1] != '/') AppendText(part.substr(open + 1, close - open - 1), text, limit, '\x0B');
        p = close;
        continue;
      }
      const size_t next = part.find('<', p + 1);
      p = next == View::npos ? end : next;
    }
    strings_.push_back(std::move(text));
    at = end;
  }
}

int XlsxReader::ClassOf(int style) const {
  if (style <= 0 || style >= static_cast<int>(styleFormat_.size())) return 0;
  const int id = styleFormat_[style];
  if (id >= 0 && id < kMaxStyles && customClass_[id] >= 0) return customClass_[id];
  return id < 900 ? (id == 11 ? 11003 : id * 1000) : 0;
}

void XlsxReader::StoreCell(int row, int column, int sheet, int style, View type, View value, bool inlineText) {
  if (cells_ >= t_.Capacity()) return;
  const int i = cells_;
  std::string& text = text_;
  text.clear();
  const size_t limit = static_cast<size_t>(std::max(t_.CharLimit() - 1, 1));
  int code = 0;
  const int cls = ClassOf(style);
  // #DIV/0!, #REF! and #VALUE! are error cells; the other error values (#N/A,
  // #NUM!, #NAME?, #NULL!) are shown as the texts they are.
  const bool error = value.size() >= 2 && value[0] == '#' && (value[1] == 'D' || value[1] == 'R' || value[1] == 'V');
  if (error) {
    text = "--";
    code = 9002;
  } else if (type == "s") {
    const int index = ToInt(value, -1);
    if (index >= 0 && index < static_cast<int>(strings_.size())) text = strings_[index].substr(0, limit);
    // A string near the cell limit keeps a blank behind it.
    if (static_cast<int>(text.size()) > t_.CharLimit() - 5) text += ' ';
    code = 1001 + static_cast<int>(text.size());
  } else if (type == "str") {
    AppendText(value, text, 99, ':');
    code = 1001 + static_cast<int>(text.size());
  } else if (type == "b") {
    text = value == "1" ? "TRUE" : "FALSE";
    code = 1001 + static_cast<int>(text.size());
  } else if (inlineText || type == "e" || cls / 1000 == 49 || (cls == 0 && !IsPlainNumber(value))) {
    AppendText(value, text, limit, ':');
    code = 1001 + static_cast<int>(text.size());
  } else if (IsDateForm(cls)) {
    text = FormatSheetDate(value, cls, context_);
    code = 1001 + static_cast<int>(text.size());
  } else {
    text = FormatSheetNumber(value, cls, context_);
    code = 9000 + static_cast<int>(std::min<size_t>(text.size(), 99));
  }
  t_.SetText(i, static_cast<int>(std::min<size_t>(text.size() + 1, 255)), text);
  t_.Code(i) = code;
  t_.Row(i) = row;
  t_.Column(i) = column;
  t_.Entry(i) = i;
  t_.Sheet(i) = sheet;
  ++cells_;
}

// One worksheet part: column widths, then the cells. False when the part is missing or empty.
bool XlsxReader::ReadSheet(int n) {
  char name[48];
  std::snprintf(name, sizeof name, "xl\\worksheets\\sheet%d.xml", n);
  const View part = Part(name);
  if (part.empty()) return false;
  auto& widths = doc_.Convert().m_abSheetColumns[n];
  auto adjusted = [](int w) {
    if (w > 0) w += 2;
    if (w > 10) w += w / 10;
    return std::clamp(w, 0, 255);
  };
  // The default width first: the columns' own widths stand over it.
  if (const size_t pr = FindTag(part, 0, "sheetFormatPr"); pr != View::npos) {
    const View def = Attr(part, pr, "defaultColWidth=\"");
    if (!def.empty()) {
      const int w = adjusted(ToInt(def));
      for (int c = 1; c <= 254; ++c) widths[c] = static_cast<unsigned char>(w);
    }
  }
  for (size_t at = 0; (at = FindTag(part, at, "col")) != View::npos; ++at) {
    int first = ToInt(Attr(part, at, "min=\""));
    const int last = std::min(ToInt(Attr(part, at, "max=\"")), 255);
    if (first > 255) first = 0;
    int w = adjusted(ToInt(Attr(part, at, "width=\"")));
    if (Attr(part, at, "hidden=\"") == "1" || Attr(part, at, "hidden=\"") == "true") w = 0;
    for (int c = std::max(first, 1); c <= last; ++c) widths[c] = static_cast<unsigned char>(w);
  }
  int row = 0, column = 0;
  const size_t data = FindTag(part, 0, "sheetData");
  for (size_t at = data == View::npos ? part.size() : data; at < part.size() && cells_ < t_.Capacity();) {
    const size_t lt = part.find('<', at);
    if (lt == View::npos) break;
    at = lt + 1;
    if (TagAt(part, lt, "row")) {
      const View r = Attr(part, lt, "r=\"");
      row = std::clamp(r.empty() ? row + 1 : ToInt(r), 1, kMaxRow);
      column = 0;
    } else if (TagAt(part, lt, "c")) {
      const View ref = Attr(part, lt, "r=\"");
      int letters = 0;
      size_t k = 0;
      for (; k < ref.size() && k < 4 && ref[k] >= 'A' && ref[k] <= 'Z'; ++k) letters = letters * 26 + (ref[k] - 'A' + 1);
      column = std::clamp(letters > 0 ? letters : column + 1, 1, kMaxColumn);
      const int style = ToInt(Attr(part, lt, "s=\""));
      const View type = Attr(part, lt, "t=\"");
      const size_t close = part.find('>', lt);
      if (close == View::npos) break;
      if (part[close - 1] == '/') {
        at = close + 1;
        continue;  // an empty cell
      }
      const size_t end = std::min(FindTag(part, close, "/c"), part.size());
      // The value: <v>, or the text runs of an inline string.
      const size_t v = FindTag(part, close, "v", end);
      if (v != View::npos) {
        const size_t open = part.find('>', v);
        const size_t stop = std::min(part.find('<', open + 1), end);
        if (open != View::npos && open < end) {
          StoreCell(row - 1, column - 1, n - 1, style, type, part.substr(open + 1, stop - open - 1), false);
        }
      } else if (const size_t is = FindTag(part, close, "t", end); is != View::npos) {
        std::string joined;
        for (size_t p = is; p < end && (p = FindTag(part, p, "t", end)) != View::npos; ++p) {
          const size_t open = part.find('>', p);
          if (open == View::npos || open >= end) break;
          const size_t stop = std::min(part.find('<', open + 1), end);
          joined.append(part.substr(open + 1, stop - open - 1));
        }
        StoreCell(row - 1, column - 1, n - 1, style, type, joined, true);
      }
      at = end;
    }
  }
  lastSheet_ = n;
  return true;
}

// A sheet's drawing: pictures become "[name]" object cells, shape texts object cells
// with their place; the legacy drawing names the pictures of shapes that refer to it.
void XlsxReader::ReadDrawing(int n) {
  char name[64];
  std::snprintf(name, sizeof name, "xl\\worksheets\\_rels\\sheet%d.xml.rels", n);
  int drawing = 0, legacy = 0;
  {
    const View rels = Part(name);
    const size_t d = rels.find("drawings/drawing");
    if (d != View::npos) drawing = ToInt(rels.substr(d + 16));
    else if (!doc_.PackageHasFolder("xl\\worksheets\\_rels")) drawing = n;
    const size_t v = rels.find("drawings/vmlDrawing");
    if (v != View::npos) legacy = ToInt(rels.substr(v + 19));
  }
  if (drawing < 1 || drawing > 99) return;
  XlsxDrawing objects;
  std::snprintf(name, sizeof name, "xl\\drawings\\_rels\\drawing%d.xml.rels", drawing);
  objects.ReadRelations(Part(name), false);
  if (legacy >= 1 && legacy <= 99) {
    std::snprintf(name, sizeof name, "xl\\drawings\\_rels\\vmlDrawing%d.vml.rels", legacy);
    objects.ReadRelations(Part(name), true);
    std::snprintf(name, sizeof name, "xl\\drawings\\vmlDrawing%d.vml", legacy);
    objects.ReadLegacy(Part(name));
  }
  std::snprintf(name, sizeof name, "xl\\drawings\\drawing%d.xml", drawing);
  XlsxDrawing::Settings settings;
  settings.widths = &doc_.Convert().m_abSheetColumns[n];
  settings.pictureLabels = doc_.m_nColumnWidthMode == kWidthsOfFile;
  settings.charLimit = static_cast<size_t>(std::max(t_.CharLimit(), 2));
  settings.room = static_cast<size_t>(SheetTables::kMaxBoxes - boxes_);
  for (const XlsxDrawing::Object& object : objects.Read(Part(name), settings)) {
    const int i = t_.Capacity() + boxes_++;
    t_.SetText(i, static_cast<int>(std::min<size_t>(object.text.size(), 255)), object.text);
    t_.Code(i) = 1000 + static_cast<int>(object.text.size());
    t_.Row(i) = object.row;
    t_.Column(i) = object.column;
    t_.Entry(i) = i;
    t_.Sheet(i) = n - 1;
  }
}

int XlsxReader::Run(const std::string& path, SheetSummary& summary) {
  const int unpacked = doc_.UnpackOfficePackage(path);
  if (unpacked == CQelDoc::kPackageTooLarge) doc_.AppendPackageTooLarge();
  if (unpacked < 0) return unpacked;
  context_.tableDecimals = doc_.m_nTableDecimals;
  context_.columnWidthMode = doc_.m_nColumnWidthMode;
  ReadRelations();
  ReadWorkbook();
  ReadStyles();
  ReadSharedStrings();
  for (int row = 0; row <= 256; ++row) {
    auto& widths = doc_.Convert().m_abSheetColumns[row];
    for (int c = 0; c < 255; ++c) widths[c] = 8;
  }
  for (int n = 1; n <= kMaxSheets && cells_ < t_.Capacity(); ++n) {
    if (!ReadSheet(n)) break;
  }
  strings_.clear();
  for (int n = 1; n <= lastSheet_ && boxes_ < SheetTables::kMaxBoxes; ++n) ReadDrawing(n);
  summary.cells = summary.stored = summary.entries = cells_;
  summary.boxes = boxes_;
  summary.lastSheet = lastSheet_;
  summary.xlsx = true;
  summary.stringsDropped = stringsDropped_;
  return boxes_;
}

}  // namespace

int CQelDoc::ConvertXlsx(std::string path, DumpCall& call, SheetTables& tables, SheetSummary& summary) {
  return XlsxReader(*this, call, tables).Run(path, summary);
}

ConvertStatus CQelDoc::DumpXlsx(DumpCall& call) {
  SheetTables tables(call, call.charLimit, call.settingRows);
  for (int i = 0; i < tables.Entries(); ++i) tables.Clear(i);
  m_nConvPos = 0;
  SheetSummary summary;
  const int result = ConvertXlsx(call.path, call, tables, summary);
  if (result < 0) return m_nConvPos == 0 ? ConvertStatus::Message(IDS_CANNOT_OPEN) : ConvertStatus::Ok();
  // A part the reader asked for (the workbook, its strings, a sheet) left out for its damaged data.
  if (const ConvertStatus damaged = ooxml::DamageFound(*this); !damaged.ok()) return damaged;
  // A package longer than the input volume: neither the no-data note nor the end line.
  summary.earlyStop = call.fileLength > call.bytesRead;
  WriteSheetTable(call, tables, summary);
  return ConvertStatus::Ok();
}
