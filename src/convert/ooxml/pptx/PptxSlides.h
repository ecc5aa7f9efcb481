// The presentation's layout: one page of 64 rows by 130 columns per slide in the
// display text itself, a banner on each page's first row, every shape's text
// placed at the shape's position and aligned as it says, tables in columns and
// pictures as labels. Writes never pass a page's rows, a row's columns or the
// buffer, and each slide's page starts below the last row of the one before.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "convert/ooxml/XmlPart.h"

class PptxSlides {
 public:
  static constexpr int kRowBytes = 132;  // 130 columns, CR LF
  static constexpr int kColumns = 130;
  static constexpr int kPageRows = 64;
  static constexpr int kAreaBytes = 8768;
  static constexpr int kEntries = 171;   // geometry and alignment entries
  static constexpr int kPictures = 50;

  // buffer: capacity bytes, pre-filled here with blank rows.
  PptxSlides(char* buffer, int capacity, bool verticalRules);

  // Master and layout parts: the placeholder geometry (entries from 151).
  void ReadMaster(std::string_view part);
  void ReadLayout(std::string_view part);
  // One slide: its banner and its shapes; pictures by relationship number.
  void Slide(int number, std::string_view part, const std::vector<std::string>& pictures);
  // The closing line after the last slide; the text's length.
  int Finish();

 private:
  struct Box {
    int x = 0, y = 0, cx = 0, cy = 0;
  };

  void Put(int row, int col, char c);
  char At(int row, int col) const;
  // The elements the layout reads; kOther for every other.
  enum class Tag {
    kOther, kShapeName, kShape, kShapeEnd, kPlaceholder, kPicture, kGroup, kGroupEnd, kBody, kBodyEnd,
    kGraphicTransform, kTransform, kParagraphProps, kParagraph, kParagraphEnd, kBreak, kRun, kRunEnd,
    kText, kBlip, kTable, kTableEnd, kGrid, kGridEnd, kGridCol, kCell, kCellEnd, kRowEnd,
  };
  // The element whose '<' is at p, read with one lookup of its name.
  Tag TagAt(int p) const;
  int Find(std::string_view pattern, int p, int mode) const;
  void ReadGeometry(int p, int nameLength, int entry, int depth);
  void SlideElement(Tag tag, int& p, const std::vector<std::string>& pictures);
  void ShapeStart();
  void EndLine();
  void AppendRun(int& p);
  void PlaceShape();
  void PlaceTable();

  char* buf_;
  int cap_;
  int totalRows_;
  int colUnit_, rowUnit_;
  std::array<Box, kEntries> geo_{};
  std::array<char, kEntries> align_{};

  std::string_view text_;
  int start_ = 0;         // first canvas row of the current slide
  int largest_ = 30;      // the slide's largest row used
  int extra_ = 0;         // rows its tables took beyond one per table row

  // The current shape.
  int entry_ = 0, type_ = 0, depth_ = 0;
  bool picture_ = false;
  enum class Body { Outside, InBody, InParagraph, InRun } body_ = Body::Outside;
  std::vector<std::string> lines_;
  std::string line_;
  std::string ref_;  // the character of a numeric reference being appended
  size_t shapeBytes_ = 0;

  // The current table.
  bool inTable_ = false, inGrid_ = false;
  int tableCol_ = 0, tableRow_ = 1;
  std::vector<int> colPos_;
  std::string cells_;
  bool cellFirstParagraph_ = true;
};
