// The sheet markup of the view's cell text: marker lines that open sheets, the
// settings line (paper, print items, sheet kind, sheet format), the column format
// block, row format items after '^', cell ranges, number forms and rule kinds. The
// markup is never rejected: an unknown letter is skipped, a number saturates, and
// items past their limits are ignored.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sheet {

constexpr int kMaxColumns = 500;  // column records per sheet

enum class LineClass { Data, SheetHead, RowFormatHead, ColumnBlock, Objects, FreeText, Settings };
LineClass ClassifyLine(std::string_view line);

// The colour-table index of a colour letter (0 for any other letter).
int ColourIndex(char letter);

// Text attributes: colour letters, attribute bits (1 bold, 2 underline, 4 italic,
// 8 strike; font code x 16 in bits 4-6) and the size code (text size 3n + 9 half-points).
struct TextAttributes {
  char textColour = 0;
  char backColour = 0;
  uint8_t attributes = 0;
  int size = 0;  // half-points; 0 none
  int Font() const { return (attributes >> 4) & 7; }  // 1-4, 0 none
};
// A column's '%' item (read until a control character or '$').
TextAttributes ParseColumnAttributes(std::string_view text);
// A sheet format's attributes after '%' (at most 8 characters).
TextAttributes ParseSheetAttributes(std::string_view text);

struct SheetFormat {
  uint8_t placement = 0;  // placement code (see ColumnFormat)
  bool pageMarks = false;
  uint8_t numberForm = 0;
  int rowSize = 0;        // half-points; 0: from the text size
  int widthFactor = 0;    // characters; 0 none
  TextAttributes attrs;
};
SheetFormat ParseSheetFormat(std::string_view text);

// Margins in hundredths of a millimetre; -99 unset.
struct SettingsLine {
  char paper = 0;      // 'a'..'v'; 0 none
  int scale = 100;     // percent
  int margins[4] = {-99, -99, -99, -99};  // top, bottom, left, right
  char kind = 'A';     // 'A', 'T' or 'S'
  SheetFormat format;
};
// Reads a line that opens with "XL" and a lower-case letter.
SettingsLine ParseSettingsLine(std::string_view line);
// The document's three print settings from four margins (each clamped to 0..99,999).
void MarginsToPrintSettings(const int margins[4], int& space1, int& space2, int& space3);

// Rule characters: '0' none, '1' thin, '2' thick, '9' a boundary without a rule.
char MapRuleChar(char c);

struct ColumnFormat {
  std::string name;                  // first five bytes of field 1
  int kind = 0;                      // 0 plain, 1 picture, 2 rectangle, 3 line, 4 text box
  std::array<char, 4> rules{'X', 0, 0, 0};  // left, right, top, bottom
  uint8_t placement = 0;
  uint8_t numberForm = 0;            // form letter or decimals digit; bit 7 thousands
  std::array<char, 4> ruleColours{};
  char direction = 0;
  TextAttributes attrs;
  std::array<int32_t, 4> range{};
  int rangeCount = 0;
  size_t contentPos = 0;
};
// One line of the column format block: its fields split at control characters.
ColumnFormat ParseColumnLine(std::string_view line, bool workbook);

// Up to four numbers of a range list; rows read one higher in a converted workbook.
int ParseRange(std::string_view text, bool workbook, std::array<int32_t, 4>& out);

struct RowFormat {
  char top = 0;     // rule characters; 0 not given
  char bottom = 0;
  uint8_t placement = 0;
  uint8_t numberForm = 0;
  bool pageBreak = false;
  bool tableStart = false;
  bool tableEnd = false;
};
// The items after a row's '^' (or all of them in row-format mode).
RowFormat ParseRowFormat(std::string_view items);
// Where a row's format items start: the first '^' not after '\' or '!'; npos if none.
size_t FindRowFormat(std::string_view row);

// The rule between two rows from the upper row's bottom and the lower row's top
// characters: 2 thick, 1 thin, 0 none.
int RuleKindBetween(char upperBottom, char lowerTop);

// Placement codes: the horizontal letter, plus 96 ('T'), 64 ('M') or 32 ('B').
char HorizontalPlacement(uint8_t code);
char VerticalPlacement(uint8_t code);

// A number form applied to a cell's text ('c', 'i', 'm', 'd', 's', 'v' or a decimals
// digit, bit 7 the thousands flag). Text that is not a number stays as it is.
std::string ApplyNumberForm(std::string_view text, uint8_t form);

}  // namespace sheet

namespace sheet {

// The paper letter of a printer paper code and orientation ('a' A4 portrait ... 'v'
// postcard landscape; any other paper 'a'), and the code and orientation of a letter.
char PaperLetter(int paperCode, int orientation);
void PaperOfLetter(char letter, int& paperCode, int& orientation);

}  // namespace sheet
