// The word-processing document's layout: one walk over the Shift-JIS text of the
// document part that places paragraphs, table rows, frames, text boxes, picture
// labels and page marks on a character canvas of 510-column rows. Everything is
// bounded: writes outside the canvas, the row buffer (400 lines of 510), the line
// buffer (20,000 bytes), the cell table (100) or the nested-table list (50) are
// dropped, and a drop at the canvas's cap marks the text as cut.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/ooxml/docx/DocxCanvas.h"
#include "convert/ooxml/XmlPart.h"

struct DocxPage {
  int topOffset = 5;     // rows above the first paragraph of the first page
  int marginOffset = 5;  // columns of the left margin
  int lineWidth = 110;   // columns a paragraph wraps at
};

class DocxLayout {
 public:
  static constexpr int kColumns = DocxCanvas::kColumns;
  static constexpr int kMaxColumn = 500;

  DocxLayout(std::string_view part, DocxCanvas& canvas, const DocxPage& page,
             const std::vector<std::string>& pictures, bool verticalRules);

  void Run();
  // The last canvas row used (page base + the page's largest row) and the largest column.
  int LastRow() const;
  int LastColumn() const { return maxCol_; }
  bool Cut() const { return cut_; }

 private:
  struct Anchor {
    int x = 0, y = 0;  // column and row
  };

  void Walk(int from, int to);
  void Element(int& p);  // DocxElements.cpp
  int Find(std::string_view pattern, int p, int mode) const;

  // Canvas.
  void Put(int row, int col, char c);
  char At(int row, int col) const;
  void Touch(int row, int col);
  void PutText(int row, int col, std::string_view text);
  void PutRun(int row, int col, std::string_view bytes);

  // Text (DocxText.cpp).
  void ReadRun(int& p);
  void AppendText(std::string_view bytes);
  // One character (one or two bytes) into a cell whose columns are width (CellColumns()).
  void AppendCellChar(std::string_view ch, int width);
  void FlushParagraph();
  void PlaceLines(std::string_view text, int row, int col, int wrap, int* lastRow);
  void LineBreak();

  // Pages.
  void PageBreak();
  void WritePageMark();

  // Positioned objects (DocxObjects.cpp).
  void Frame(int p);
  void Position(int p, bool horizontal);
  void VmlShape(int p);
  void Picture(int p, std::string_view pattern);
  void ShapeBox(int p);
  int WrapWidth() const;
  void EnterTextBox();
  void LeaveTextBox();

  // Tables (DocxTables.cpp).
  void TableStart(int& p);
  void TableEnd();
  void RowStart();
  void RowEnd();
  void CellStart();
  void CellWidth(int p);
  void CellEnd();
  void CellParagraph();
  void EndCellLine();
  void Border();
  int CellColumns() const;

  std::string_view text_;
  DocxCanvas& canvas_;
  DocxPage page_;
  const std::vector<std::string>& pictures_;
  bool rules_;
  bool cut_ = false;

  // Cursor and extents.
  int pageBase_ = 0, row_ = 0, col_ = 0, pageMax_ = 0, maxCol_ = 0;
  int pageNumber_ = 1;
  bool markPending_ = false;
  int spread_ = 0;         // the empty-paragraph spacing correction
  bool afterEmpty_ = false;

  std::string line_;       // the current paragraph's text (outside cells)

  // States.
  int drawing_ = 0, pict_ = 0, vgroup_ = 0, wgroup_ = 0;
  bool anchored_ = false;
  Anchor anchor_;
  int extentW_ = 0, extentH_ = 0;
  // The drawing's size in shape units (width: EMU / 100, height: EMU / 300), which
  // give the wrap width of its text, and the shape's offset from its anchor.
  int drawingW_ = 0, drawingH_ = 0;
  Anchor shapeOffset_;
  bool inBox_ = false;
  int boxLine_ = 0;
  Anchor boxAt_;
  int savedRow_ = 0, savedCol_ = 0;
  std::string savedLine_;
  bool savedInCell_ = false;
  bool frameTaken_ = false;
  // The row the text flow had when a frame inside a table moved the cursor: the
  // flow goes on there after the table.
  bool frameReturn_ = false;
  int frameReturnRow_ = 0;

  // Tables.
  int tableDepth_ = 0;
  bool inCell_ = false;
  bool cellFirstParagraph_ = true;
  std::string cellText_;
  int cellLineLen_ = 0;
  int cellCount_ = 0;
  std::array<int, 101> cellWidths_{};  // twips, kept from row to row
  int cellWidthNow_ = 0;
  int64_t cumulative_ = 0;  // twips of the row's cells so far
  int prevEdge_ = 0, composing_ = 2;
  std::vector<std::string> rowBuf_;  // the lines of the table row being composed
  int rowLines_ = 0;
  size_t rowUsed_ = 0;  // columns of the row buffer written so far
  int cellStart_ = 2;
  bool firstRow_ = true;
  std::vector<std::pair<int, int>> nested_;
  bool renderingNested_ = false;
};
