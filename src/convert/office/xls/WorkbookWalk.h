// The record walk of a binary workbook (WorkbookRecords.cpp) and what it hands to the
// sheet output.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteCursor.h"
#include "base/ConvertStatus.h"
#include "convert/office/xls/BiffNumberText.h"

class CQelDoc;
class SheetTables;
struct DumpCall;

// What the sheet output needs besides the tables.
struct SheetSummary {
  int cells = 0;      // cells met (stored or not)
  int stored = 0;     // cells in the SheetCellList
  int entries = 0;    // pool entries used
  int boxes = 0;      // text boxes after the cells
  bool xlsx = false;  // the XLSX road: sheet numbers shown + 1, 257 past 255 sheets
  int lastSheet = 0;  // sheet number of the last sheet read
  bool earlyStop = false;  // a reader stopped at a limit: no no-data note, no end line
  bool stringsDropped = false;  // shared strings past the reader's capacity were left out
};

class WorkbookWalk {
 public:
  enum class End { Table, Message };
  enum class Form { Flags, Older, Other };

  WorkbookWalk(CQelDoc& doc, DumpCall& call, SheetTables& tables);
  // Walks the records from start; Message when the dump ends with what was written
  // and Failure().
  End Run(int64_t start);
  // The message that ends the dump (an encrypted or unreadable workbook), or Ok.
  ConvertStatus Failure() const { return failure_; }
  SheetSummary Result() const {
    SheetSummary s;
    s.cells = cells_;
    s.stored = stored_;
    s.entries = nextEntry_;
    s.lastSheet = sheet_;
    s.boxes = boxes_;
    return s;
  }

 private:
  void ClassifyFormat(int number, const std::string& code);
  BiffNumberStyle StyleOf(int xf) const;
  // StyleOf through a cache per XF, made stale by any change to the formats, the
  // XF table or the date system.
  BiffNumberStyle CachedStyle(int xf);
  void StylesChanged() { ++styleGeneration_; }
  int NewEntry();
  void AddCell(int row, int column, int entry);
  void AddNumber(int row, int column, int xf, double value);
  void AddInlineText(int entry, ByteCursor in, bool withFlags);
  void AddTextCell(ByteCursor record, bool withFlags);
  void ReadFormat(uint16_t type, ByteCursor in);
  // The record handlers of Run (WorkbookRecords.cpp).
  bool OnRecord(uint16_t type, int64_t data, ByteCursor rec, int64_t& pos, int64_t limit);
  void OnBof(ByteCursor rec);
  void OnFormula(ByteCursor rec);
  void OnDimensions(const ByteCursor& rec);
  void OnColumnInfo(ByteCursor rec);
  bool ReadSharedStrings(int64_t dataStart, int64_t limit);
  void StartWidths();
  void EnsureWidths();  // starts the current sheet's width row when no record did
  int WidthRow() const;
  // Drawings (WorkbookDrawings.cpp): anchors and pictures of shapes, text boxes.
  // The drawing group record at data (its continuation records joined to it):
  // returns where the walk goes on, past the last continuation.
  int64_t DrawingGroup(int64_t data, int64_t length, int64_t limit);
  void Drawing(const ByteCursor& record);
  void TextObject(const ByteCursor& record, int64_t next);
  void AddBox(const std::string& text);

  CQelDoc& doc_;
  DumpCall& call_;
  SheetTables& t_;
  std::vector<uint16_t> formatKind_, formatDecimals_, xfFormat_;
  std::vector<BiffNumberStyle> styles_;
  std::vector<uint32_t> styleStamp_;  // generation each cached style was made in
  uint32_t styleGeneration_ = 1;
  Form form_ = Form::Flags;
  ConvertStatus failure_;
  bool date1904_ = false;
  int codePage_ = 932;  // of 8-bit text (CODEPAGE record)
  int xfCount_ = 0;
  int nextOldFormat_ = 0;
  int sstCount_ = 0;
  int nextEntry_ = 0;
  int cells_ = 0;
  int stored_ = 0;
  int sheet_ = -1;
  int widthsSet_ = 0;
  std::bitset<256> widthsStarted_;  // width rows a default-width record (or EnsureWidths) started
  int64_t resume_ = 0;
  // Walk state: open substreams, whether each (by nesting depth) is a chart's, the
  // workbook globals seen, the shared strings read, the formula entry a string
  // result may replace.
  int depth_ = 0;
  std::array<bool, 16> chart_{};
  bool globalsSeen_ = false;
  bool sstRead_ = false;
  int lastFormulaEntry_ = -1;

  // Drawing state: the pictures of the drawing group (by picture number from 1),
  // the last anchor seen and whether a text object has used it.
  struct StoredPicture {
    uint8_t kind = 0;      // the store entry's first byte: 0x52 JPEG, 0x62 PNG, 0x22 EMF ...
    int64_t address = -1;  // image position of its data
    int64_t volume = 0;    // bytes of its data, continuation headers not counted
  };
  std::vector<StoredPicture> pictures_;
  int picturesShown_ = 0;
  int boxes_ = 0;
  struct Anchor {
    int firstCol = 0, firstRow = 0, lastCol = 0, lastRow = 0, dxRight = 0, dyBottom = 0;
  } anchor_;
  bool anchorFresh_ = false;
  int lastBox_ = -1;
};
