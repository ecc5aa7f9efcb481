// The content-stream interpreter: runs over one decoded content stream, keeps the
// graphics-state stack, the current transformation matrix, the text matrices and
// the selected font, and places the characters of every text-showing operator on
// the reader's canvas at the column and line of their page position (a column is
// 64 × (word gap + 2) hundredths of a point wide, a line 7 points high). Image
// XObjects drawn with Do get a tag at their place; forms are walked.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/ByteCursor.h"
#include "convert/pdf/PdfFontWidths.h"

class PdfReader;

class PdfContent {
 public:
  explicit PdfContent(PdfReader& reader);
  // A page starts: matrices to identity, counters and the saved states cleared.
  void PageStart();
  void Interpret(const ByteCursor& data);

  struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    Matrix Times(const Matrix& m) const;
  };
  // A form XObject's stream, in the state of the Do that drew it.
  void InterpretForm(int object, const ByteCursor& data, const Matrix& formMatrix);

 private:
  struct Saved {
    Matrix ctm;
    int fontObject, fontMode;
    double fontSize;
  };

  void Operator(int64_t at, std::string_view word);  // the operator word at `at`
  // A literal string into out; true when its bytes are codes to read as a hex string's.
  bool ReadLiteral(std::string& out);
  void ReadHexString(std::string& out);
  void ReadArray();
  void NextLine();
  int ResourceCode(int selector) const;
  int ResourceObject(int which) const;  // 0 fonts, 1 XObjects
  void CanvasPlace(double x, double y, int rotation, int* column, int* line) const;
  void EndRun();
  void SelectFont();
  void UseFont(int object);  // the font object's maps, widths and flags (0: none)
  void DrawObject();
  void PlaceImageTag(int object);
  void Position();
  void TableLine(int64_t at, std::string_view word);

 public:
  // The table-view form: a line of its own holding the text from position 0.
  void TableNote(std::string_view text);

 private:
  void ShowString(const std::string& bytes, bool hex);
  void ShowArray();
  void Advance(double units);
  void SkipInlineImage();

  // Text decoding (PdfTextRun.cpp).
  void WriteUnicode(uint32_t u);
  void WriteSingle(uint8_t byte);
  void WriteBytes(const uint8_t* bytes, int n);
  void WriteCid(uint8_t high, uint8_t low);

  PdfReader& r_;
  ByteCursor in_;  // the decoded stream
  int64_t p_ = 0;

  // Operands of the next operator.
  std::array<double, 16> nums_{};
  int numCount_ = 0;
  std::string name_;
  std::string str_;
  bool strHex_ = false;
  struct ArrayItem {
    bool isNumber;
    double number;
    std::string bytes;
    bool hex;
  };
  std::vector<ArrayItem> array_;

  // Graphics and text state.
  Matrix ctm_, tm_, tlm_;
  std::array<Saved, 10> saved_{};
  int depth_ = 0;
  double fontSize_ = 12, charSpacing_ = 0, wordSpacing_ = 0, scale_ = 1;
  double leading_ = 7;  // T* before any TL moves one canvas line (7 points)
  int fontObject_ = 0, fontMode_ = 0;
  bool simple_ = false, vertical_ = false, sjisFont_ = false, cidFont_ = false;
  const std::vector<uint16_t>* map_ = nullptr;
  std::unordered_map<int, std::vector<uint16_t>> maps_;  // built code maps by object
  std::unordered_set<int> singleMaps_;                    // maps whose CMap gave one-byte codes
  bool singleMap_ = false;                                // the font's codes are single bytes by its map
  std::unordered_map<int, PdfFontWidths> widths_;        // glyph widths by font object
  std::unordered_map<int, Matrix> formMatrices_;         // the matrix each form was drawn with
  const PdfFontWidths* fontWidths_ = nullptr;

  // Canvas position of the text and of the last run written.
  int column_ = 0, line_ = 0;
  int tableLine_ = 0;  // the last line of the table-view form
  bool lineFull_ = false;
  bool rotated_ = false;
  int64_t xOffset_ = 0, yOffset_ = 0;
  int pageDoubleBytes_ = 0;
  int lastLine_ = -1, lastEnd_ = 0;
  double lastEndX_ = 0, lastStartX_ = 0, lastEm_ = 0;
};
