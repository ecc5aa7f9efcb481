// What the text pane asks of its text control: the text, its lines, the selection
// and the scroll position. Positions are byte offsets into the CP932 text and never
// fall inside a double-byte character. The plain model keeps lines only; the
// rich-text model takes its place when formatting comes.
#pragma once

#include <string>
#include <string_view>

#include "platform/text/CodePage.h"

// The bytes of the character at pos: 2 for a lead byte followed by a trail byte, else
// 1 (a stray lead byte before a line end or the text's end stands alone).
inline int SjisCharSize(std::string_view text, size_t pos) {
  if (pos + 1 >= text.size() || !IsSjisLeadByte(static_cast<unsigned char>(text[pos]))) return 1;
  const unsigned char trail = static_cast<unsigned char>(text[pos + 1]);
  return trail >= 0x40 && trail <= 0xFC && trail != 0x7F ? 2 : 1;
}

struct ScrollPos {
  int line = 0;    // first line shown
  int column = 0;  // first byte column shown
};

class TextModel {
 public:
  virtual ~TextModel() = default;

  virtual void SetText(std::string_view text) = 0;  // replaces the whole text; caret to 0
  virtual const std::string& GetText() const = 0;
  virtual int GetTextLength() const = 0;

  // Lines end at "\r\n", "\r" or "\n"; the end is not part of the line.
  virtual int GetLineCount() const = 0;
  virtual int LineIndex(int line) const = 0;   // offset of the line's start; -1 out of range
  virtual int LineLength(int line) const = 0;  // bytes before the line end; -1 out of range
  virtual int LineFromChar(int pos) const = 0;

  // The selection; an end past the text is taken as its end, and a position inside a
  // double-byte character as that character's start.
  virtual void SetSel(int start, int end) = 0;
  virtual void GetSel(int& start, int& end) const = 0;
  virtual std::string GetSelText() const = 0;
  virtual void ReplaceSel(std::string_view text) = 0;

  virtual ScrollPos GetScrollPos() const = 0;
  virtual void SetScrollPos(ScrollPos pos) = 0;  // kept inside the text
};
