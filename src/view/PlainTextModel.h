// The plain text control: CP932 text with line starts, a selection and a scroll
// position.
#pragma once

#include <string_view>
#include <vector>

#include "view/TextModel.h"

// Where the plain pane puts a line's characters: one cell a byte (a double-byte
// character takes two), a Tab running on to the next stop every kPlainTabCells
// cells (the control's 720 twips at 8 pixels a cell).
constexpr int kPlainTabCells = 6;
// The cell after the character that starts at byte i of the line, when it starts at cell.
int PlainNextCell(std::string_view line, size_t i, int cell);
// The cell where the character at byte `byte` of the line starts.
int PlainCellOfByte(std::string_view line, int byte);
// The start of the character under `cell`; the line's length past its end.
int PlainByteOfCell(std::string_view line, int cell);

class PlainTextModel : public TextModel {
 public:
  void SetText(std::string_view text) override;
  const std::string& GetText() const override { return text_; }
  int GetTextLength() const override { return static_cast<int>(text_.size()); }

  int GetLineCount() const override { return static_cast<int>(starts_.size()); }
  int LineIndex(int line) const override;
  int LineLength(int line) const override;
  int LineFromChar(int pos) const override;

  void SetSel(int start, int end) override;
  void GetSel(int& start, int& end) const override {
    start = selStart_;
    end = selEnd_;
  }
  std::string GetSelText() const override;
  void ReplaceSel(std::string_view text) override;

  ScrollPos GetScrollPos() const override { return scroll_; }
  void SetScrollPos(ScrollPos pos) override;

 private:
  void IndexLines();
  int CharStart(int pos) const;  // clamped into the text, moved to a character start

  std::string text_;
  std::vector<int> starts_{0};
  int selStart_ = 0;
  int selEnd_ = 0;
  ScrollPos scroll_;
};
