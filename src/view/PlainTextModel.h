// The plain text control: CP932 text with line starts, a selection and a scroll
// position.
#pragma once

#include <vector>

#include "view/TextModel.h"

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
