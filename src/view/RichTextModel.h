// The rich-text control behind the pane's TextModel: the pane sees byte offsets into
// the CP932 text (paragraphs end in one CR), the rich-edit layer keeps one position
// per character with formats, and the table, RTF and clipboard services reach the
// layer itself through Rich().
#pragma once

#include "platform/richedit/RichEdit.h"
#include "view/TextModel.h"

class RichTextModel : public TextModel {
 public:
  void SetText(std::string_view text) override { edit_.SetText(text); }
  const std::string& GetText() const override { return edit_.Text(); }
  int GetTextLength() const override { return static_cast<int>(edit_.Text().size()); }

  int GetLineCount() const override { return edit_.GetLineCount(); }
  int LineIndex(int line) const override;
  int LineLength(int line) const override;
  int LineFromChar(int pos) const override { return edit_.ExLineFromChar(edit_.CharFromByte(pos)); }

  void SetSel(int start, int end) override;
  void GetSel(int& start, int& end) const override;
  std::string GetSelText() const override { return edit_.GetSelText(); }
  void ReplaceSel(std::string_view text) override { edit_.ReplaceSel(text, true); }

  ScrollPos GetScrollPos() const override;
  void SetScrollPos(ScrollPos pos) override;

  plat::RichEdit& Rich() { return edit_; }
  const plat::RichEdit& Rich() const { return edit_; }

 private:
  plat::RichEdit edit_;
  int anchorFirst_ = 1;  // whether the selection's anchor is its start
};
