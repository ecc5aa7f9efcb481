// One conversion of HTML or spreadsheet XML into display text. The source is
// walked byte by byte with fixed patterns (no tree): tags become breaks, marks and
// table cells, entities become characters, text in UTF-8, EUC-JP or JIS becomes
// Shift-JIS, and link addresses are numbered in the text and listed at the end.
// Table rows gather in a CellMatrix and are laid out as aligned columns at a flush.
// Limits: a million passes, the output volume, 635 bytes per cell line and the
// matrix's rows (a full matrix is flushed and the table goes on below). Bad data
// never stops the walk: an unknown entity or escape is text, a character that
// does not convert is kept as bytes or '?', and a NUL never reaches the text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteCursor.h"
#include "base/DisplayWriter.h"
#include "base/ConvertStatus.h"
#include "convert/charmap/CharMode.h"
#include "convert/markup/CellMatrix.h"

class CQelDoc;

enum class MarkupDialect { Html, SheetXml };

// Kinds of the tags that carry addresses and alternative texts.
enum MarkupLinkKind { kLinkAnchor, kLinkImage, kLinkInput, kLinkArea, kLinkFrame, kLinkMeta };

class MarkupConverter {
 public:
  // tableLayout: 2 separates columns with the byte 0x08, 1 with "|", else a blank;
  // tableRows: the rows of the cell matrix (n_tbl).
  MarkupConverter(CQelDoc& doc, MarkupDialect dialect, int tableLayout, int64_t length, int tableRows);
  // Renders the source from display position 0 (the write position follows it);
  // a failure is returned, not written.
  ConvertStatus Run();

 private:
  // Main loop and text (MarkupConverter.cpp).
  void ConvertBody();
  void CopySource();
  void TextRun();
  void HighByte();
  void Entity();
  bool CharacterReference();
  void Escape();
  void JisRun();
  int GuessMode(int64_t at, bool sourceDisplay) const;
  // Converts the character at `at` by the current mode; returns the source bytes it
  // takes (0: not converted) and the Shift-JIS bytes in `out`.
  int ConvertAt(int64_t at, std::string& out);
  std::string DecodeValue(std::string_view bytes);
  uint8_t At(int64_t i) const { return in_.PeekU8(i); }

  // Writing (MarkupConverter.cpp).
  void Out(std::string_view text);
  void Break();
  void WriteMark(std::string_view text);
  size_t SourceText(std::string_view text, bool unit = false);
  bool CellUnit(const char* bytes, int count);
  bool CellByte(char byte);
  bool NewCellLine();
  bool JustBroke() const;

  // Tags (MarkupTags.cpp).
  void Tag();
  void DispatchTag();
  bool TableTag();
  bool Word(std::string_view word) const;
  bool Prefix(std::string_view word) const;
  void Emphasis(int which, bool open);

  // Links and attributes (MarkupLinks.cpp).
  void Link(int kind);
  std::string_view Attribute(std::string_view name) const;
  int NumberAttribute(std::string_view name) const;
  void WriteLinkList();

  // Tables (MarkupTables.cpp).
  bool IsTableTag(bool end) const;
  bool IsRowTag(bool end) const;
  bool IsCellTag(bool end) const;
  void StartRow(bool countSpans);
  void EndRow();
  void StartCell();
  void EndCell();
  bool MatrixFull() const;
  void FlushTable(bool forced);

  CQelDoc& doc_;
  DisplayWriter out_;  // the display text, from position 0
  const MarkupDialect dialect_;
  const int tableRows_;  // the cell matrix's rows
  // The source: read through the cursor (At gives 0 outside it); the pointer only
  // for views of bytes already bounded by len_.
  ByteCursor in_;
  const uint8_t* data_ = nullptr;
  int64_t len_ = 0;
  int64_t pos_ = 0;
  int outLimit_ = 0;
  int64_t passes_ = 0;

  // Character set: the mode for ConvertCharToSjis (kModeUnset: guessed at the next
  // high byte), whether a meta tag set it, and whether the source is Shift-JIS already.
  static constexpr int kModeUnset = 0;
  bool convert_ = true;
  bool jis_ = false;  // inside JIS text (after ESC $ B)
  int mode_ = kModeUnset;
  bool modeFromMeta_ = false;

  // Layout state.
  bool pre_ = false;
  bool listItem_ = false;
  bool style_ = false;
  bool anchor_ = false;
  bool closeBreak_ = false;  // the last output was the break of a closing tag
  int pendingMark_ = -1;     // emphasis whose mark waits for the next text byte
  std::array<bool, 3> markOpen_{};
  int tableDepth_ = 0;
  bool listing_ = false;     // listing kind and form both set: cells as lines
  int wrapWidth_ = 64;
  char separator_ = ' ';

  // Tables.
  CellMatrix matrix_;
  bool inRow_ = false;
  bool inCell_ = false;
  int column_ = 0;
  int cellLine_ = 0;
  int rowLine_ = 0;  // first row line of the open row; row lines gathered before it
  int rowDeepest_ = 0;
  int maxColumn_ = 0;
  int cellWidest_ = 0;
  int cellSpan_ = 1;
  bool matrixFull_ = false;
  std::array<int, CellMatrix::kStride> rowSpan_{};
  std::array<bool, CellMatrix::kStride> covered_{};

  std::vector<std::string> links_;
  std::string tag_;
  std::string tagName_;  // the tag's leading word ("/" included), lower case
  std::string scratch_;
};
