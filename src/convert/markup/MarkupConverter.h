// One conversion of HTML or spreadsheet XML into display text. The source is
// walked byte by byte with fixed patterns (no tree): tags become breaks, marks and
// table cells, entities become characters, text in UTF-8, EUC-JP or JIS becomes
// Shift-JIS, and link addresses are numbered in the text and listed at the end.
// Table rows gather in a CellMatrix and are laid out as aligned columns at a flush.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/DisplayWriter.h"
#include "convert/ConvertStatus.h"
#include "convert/markup/CellMatrix.h"

class CQelDoc;

enum class MarkupDialect { Html, SheetXml };

// Kinds of the tags that carry addresses and alternative texts.
enum MarkupLinkKind { kLinkAnchor, kLinkImage, kLinkInput, kLinkArea, kLinkFrame, kLinkMeta };

class MarkupConverter {
 public:
  // tableLayout: 2 separates columns with the byte 0x08, 1 with "|", else a blank.
  MarkupConverter(CQelDoc& doc, MarkupDialect dialect, int tableLayout, int64_t length);
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
  void Escape();
  void JisRun();
  int GuessMode(int64_t at, bool sourceDisplay) const;
  // Converts the character at `at` by the current mode; returns the source bytes it
  // takes (0: not converted) and the Shift-JIS bytes in `out`.
  int ConvertAt(int64_t at, std::string& out);
  std::string DecodeValue(std::string_view bytes);

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

  CQelDoc& m_doc;
  DisplayWriter m_out;  // the display text, from position 0
  const MarkupDialect m_dialect;
  const uint8_t* m_data = nullptr;
  int64_t m_len = 0;
  int64_t m_pos = 0;
  int m_outLimit = 0;
  int64_t m_passes = 0;

  // Character set: the mode for ConvertCharToSjis, whether a meta tag set it, and
  // whether the source is Shift-JIS already.
  bool m_convert = true;
  bool m_jis = false;  // inside JIS text (after ESC $ B)
  int m_mode = 0;
  bool m_modeFromMeta = false;

  // Layout state.
  bool m_pre = false;
  bool m_listItem = false;
  bool m_style = false;
  bool m_anchor = false;
  bool m_closeBreak = false;  // the last output was the break of a closing tag
  int m_pendingMark = -1;     // emphasis whose mark waits for the next text byte
  std::array<bool, 3> m_markOpen{};
  int m_tableDepth = 0;
  bool m_listing = false;     // listing kind and form both set: cells as lines
  int m_wrapWidth = 64;
  char m_separator = ' ';

  // Tables.
  CellMatrix m_matrix;
  bool m_inRow = false;
  bool m_inCell = false;
  int m_column = 0;
  int m_cellLine = 0;
  int m_rowLine = 0;  // first row line of the open row; row lines gathered before it
  int m_rowDeepest = 0;
  int m_maxColumn = 0;
  int m_cellWidest = 0;
  int m_cellSpan = 1;
  bool m_matrixFull = false;
  std::array<int, CellMatrix::kStride> m_rowSpan{};
  std::array<bool, CellMatrix::kStride> m_covered{};

  std::vector<std::string> m_links;
  std::string m_tag;
  std::string m_tagName;  // the tag's leading word ("/" included), lower case
  std::string m_scratch;
};
