// The rich-edit control as the program uses it: CP932 text with one position per
// character (a double-byte character is one, a paragraph ends in one CR), the Unicode
// value of each character CP932 cannot write, character formats (CHARFORMAT2) per
// character, paragraph formats (PARAFORMAT2) on each paragraph's CR, a selection,
// undo groups, RTF streamed in and out, and the clipboard. Lines are paragraphs: nothing wraps. Positions and metrics follow the
// control at 96 DPI, 15 twips a pixel.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Alloc.h"
#include "platform/ui/Clipboard.h"
#include "platform/gdi/Types.h"

namespace plat {

// CHARFORMAT2 mask bits.
inline constexpr uint32_t CFM_BOLD = 0x00000001;
inline constexpr uint32_t CFM_ITALIC = 0x00000002;
inline constexpr uint32_t CFM_UNDERLINE = 0x00000004;
inline constexpr uint32_t CFM_STRIKEOUT = 0x00000008;
inline constexpr uint32_t CFM_UNDERLINETYPE = 0x00800000;
inline constexpr uint32_t CFM_BACKCOLOR = 0x04000000;
inline constexpr uint32_t CFM_CHARSET = 0x08000000;
inline constexpr uint32_t CFM_OFFSET = 0x10000000;
inline constexpr uint32_t CFM_FACE = 0x20000000;
inline constexpr uint32_t CFM_COLOR = 0x40000000;
inline constexpr uint32_t CFM_SIZE = 0x80000000;
inline constexpr uint32_t CFM_ALL2 = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_UNDERLINETYPE |
                                     CFM_BACKCOLOR | CFM_CHARSET | CFM_OFFSET | CFM_FACE | CFM_COLOR | CFM_SIZE;
// CHARFORMAT2 effect bits.
inline constexpr uint32_t CFE_BOLD = 0x00000001;
inline constexpr uint32_t CFE_ITALIC = 0x00000002;
inline constexpr uint32_t CFE_UNDERLINE = 0x00000004;
inline constexpr uint32_t CFE_STRIKEOUT = 0x00000008;
inline constexpr uint32_t CFE_AUTOBACKCOLOR = 0x04000000;
inline constexpr uint32_t CFE_AUTOCOLOR = 0x40000000;
inline constexpr uint8_t CFU_UNDERLINENONE = 0;
inline constexpr uint8_t CFU_UNDERLINE = 1;
inline constexpr uint8_t CFU_UNDERLINEDOTTED = 4;
inline constexpr uint8_t SHIFTJIS_CHARSET = 128;

struct CharFormat2 {
  uint32_t dwMask = CFM_ALL2;
  uint32_t dwEffects = CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR;
  int32_t yHeight = 200;  // twips
  int32_t yOffset = 0;    // twips, positive raises
  COLORREF crTextColor = 0;
  uint8_t bCharSet = SHIFTJIS_CHARSET;
  std::string szFaceName;  // CP932, at most 31 bytes
  COLORREF crBackColor = 0;
  uint8_t bUnderlineType = CFU_UNDERLINENONE;

  bool operator==(const CharFormat2&) const = default;
};

// PARAFORMAT2 mask bits.
inline constexpr uint32_t PFM_STARTINDENT = 0x00000001;
inline constexpr uint32_t PFM_TABSTOPS = 0x00000010;
inline constexpr uint32_t PFM_SPACEBEFORE = 0x00000040;
inline constexpr uint32_t PFM_SPACEAFTER = 0x00000080;
inline constexpr uint32_t PFM_LINESPACING = 0x00000100;
inline constexpr uint32_t PFM_ALL2 = PFM_STARTINDENT | PFM_TABSTOPS | PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_LINESPACING;
// Line-spacing rules: single, one and a half, double, at least dyLineSpacing, exactly
// dyLineSpacing (twips), dyLineSpacing / 20 lines.
inline constexpr uint8_t kSpacingSingle = 0;
inline constexpr uint8_t kSpacingOneHalf = 1;
inline constexpr uint8_t kSpacingDouble = 2;
inline constexpr uint8_t kSpacingAtLeast = 3;
inline constexpr uint8_t kSpacingExact = 4;
inline constexpr uint8_t kSpacingMultiple = 5;
constexpr int kMaxTabStops = 32;

struct ParaFormat2 {
  uint32_t dwMask = PFM_ALL2;
  int32_t dxStartIndent = 0;
  int16_t cTabCount = 0;
  std::array<int32_t, kMaxTabStops> rgxTabs{};  // sorted, twips
  int32_t dySpaceBefore = 0;
  int32_t dySpaceAfter = 0;
  int32_t dyLineSpacing = 0;
  uint8_t bLineSpacingRule = kSpacingSingle;

  bool operator==(const ParaFormat2&) const = default;
};

// The distinct paragraph formats of a text, each kept once (tab stops sorted): a
// paragraph holds an index into the table, as the control itself does. Index 0 is
// the default format; a full table gives 0.
class ParaFormatTable {
 public:
  ParaFormatTable();
  uint16_t Intern(ParaFormat2 pf);
  const ParaFormat2& operator[](size_t i) const { return formats_[i < formats_.size() ? i : 0]; }
  size_t size() const { return formats_.size(); }

 private:
  struct Hash {
    size_t operator()(const ParaFormat2& pf) const;
  };
  std::vector<ParaFormat2> formats_;
  std::unordered_map<ParaFormat2, uint16_t, Hash> index_;
  uint16_t last_ = 0;  // the format interned last, which the next paragraph most often repeats
};

// A character that CP932 has no code of its own for: the text holds a stand-in ('?',
// or the CP932 character it is shown as, such as 0x5C for U+00A5) and the control
// keeps the character's Unicode value beside it, as the Unicode control it stands
// for does, so that RTF out writes the character itself (\uN) and not its stand-in.
struct WideChar {
  int32_t byte = 0;   // the stand-in's first byte in the text
  char32_t code = 0;  // U+0080 to U+10FFFF, no surrogate

  bool operator==(const WideChar&) const = default;
};

// What an RTF text holds, before it goes into a control: the text (CR paragraph
// ends, byte 1 for an object), the format of each byte, the objects' own RTF, the
// characters CP932 cannot write (by byte, ascending), and the format of each
// paragraph (one per CR, and one for the text after the last CR).
struct RichFragment {
  std::string text;
  std::vector<uint16_t> formatOfByte;
  std::vector<CharFormat2> formats;
  std::vector<int32_t> objectOfByte;  // -1, or an index into objects (one per byte)
  std::vector<std::string> objects;
  std::vector<WideChar> wide;
  // Objects and pictures whose group the input cut before its end: left out.
  int objectsLeftOut = 0;
  std::vector<uint16_t> paraOfLine;  // per paragraph: an index into paraFormats
  ParaFormatTable paraFormats;

  void AddPara(const ParaFormat2& pf) { paraOfLine.push_back(paraFormats.Intern(pf)); }
  size_t ParaCount() const { return paraOfLine.size(); }
  // Paragraph i's format; the default past the last one.
  const ParaFormat2& Para(size_t i) const { return paraFormats[i < paraOfLine.size() ? paraOfLine[i] : 0]; }
};

constexpr char kObjectChar = '\x01';
constexpr char kPageChar = '\x0C';

// Reads RTF into a fragment. Bounded in every way (group depth, numbers, tables); an
// object is as large as the input holds it; bad input ends the text where it stops
// making sense, never the program.
// Its buffers grow as the hook allows; a refusal, like memory running out, throws
// std::bad_alloc.
RichFragment ReadRtf(std::string_view rtf, const CharFormat2& defaultFormat, AllocHook* hook = nullptr);

class RichEdit {
 public:
  RichEdit();

  // Whole text (CP932, CR paragraph ends); as EM_SETTEXTEX without undo.
  void SetText(std::string_view text);
  const std::string& Text() const { return text_; }
  int GetTextLength() const { return static_cast<int>(charStart_.size()); }  // characters
  int ByteFromChar(int cp) const;
  int CharFromByte(int byte) const;  // a byte inside a character gives that character
  // The Unicode value of character cp: the one kept for it when CP932 cannot write
  // it, else its CP932 code's; 0 past the end.
  char32_t UnicodeAt(int cp) const;

  // Selection (EM_EXGETSEL/EM_EXSETSEL): (0, -1) selects all; a start of -1 removes
  // the selection, leaving the caret at its end; ends are clamped.
  void ExSetSel(int cpMin, int cpMax);
  void ExGetSel(int& cpMin, int& cpMax) const;
  std::string GetSelText() const;                 // EM_GETSELTEXT
  std::string GetTextRange(int cpMin, int cpMax) const;  // EM_GETTEXTRANGE
  // EM_REPLACESEL: "\r\n" and "\n" become CR; the new text takes the format of the
  // first replaced character, or of the one before, or the insertion format.
  // False when a held range refused it.
  bool ReplaceSel(std::string_view text, bool canUndo = true);
  // Whether character cp is a stand-in for a character CP932 cannot write (its
  // Unicode value kept beside it).
  bool IsWideAt(int cp) const;
  // ReplaceSel with one character CP932 cannot write: standIn (the text it is shown
  // as) goes in and code (U+0080 to U+10FFFF) is kept for it.
  void ReplaceSelWide(std::string_view standIn, char32_t code, bool canUndo = true);

  // Lines (paragraphs).
  int GetLineCount() const { return static_cast<int>(paraStart_.size()); }
  int LineIndex(int line) const;     // -1: the caret's line; -1 when out of range
  // Characters of cp's line before its CR. -1: with a selection, the unselected
  // characters of the lines it touches; else the caret's line.
  int LineLength(int cp) const;
  int ExLineFromChar(int cp) const;
  std::string GetLine(int line) const;  // with its CR

  // Geometry at 96 DPI (15 twips a pixel), relative to the scroll position.
  CPoint PosFromChar(int cp) const;
  int CharFromPos(CPoint p) const;
  int LineHeightTwips(int line) const;
  // x of a character in twips from its line's left edge (start indent included),
  // without the scroll position.
  int XInLineTwips(int cp) const;
  // The advance of character cp in twips when it starts xTwips from its line's left
  // edge: a double-byte character or an object its height, a single-byte one half
  // of it, a Tab up to the next stop, a CR nothing.
  int CharWidthTwips(int cp, int xTwips, const ParaFormat2& pf) const;
  CPoint GetScrollPos() const { return scroll_; }  // x in pixels, y in lines
  void SetScrollPos(CPoint p);

  // Formats. SCF_SELECTION on an empty selection sets the insertion format.
  CharFormat2 GetCharFormat(bool selection) const;  // false: the default format
  void SetCharFormat(const CharFormat2& cf, bool selection, bool all = false);
  const CharFormat2& DefaultCharFormat() const { return defaultFormat_; }
  ParaFormat2 GetParaFormat() const;
  void SetParaFormat(const ParaFormat2& pf);
  const CharFormat2& FormatAt(int cp) const;
  const ParaFormat2& ParaOfLine(int line) const { return paraTable_[para_[static_cast<size_t>(line)]]; }

  // A held range, as the control's protected text: no edit may change characters
  // [cpMin, cpMax) until it is released. An edit before it moves it; an edit that
  // touches it (a format over it, an undo of a step from before it) changes nothing
  // and calls onRefused, which says why; in an undo group the whole group changes
  // nothing then. A whole new text releases it (the same text again keeps it).
  void HoldRange(int cpMin, int cpMax, std::function<void()> onRefused);
  void ReleaseHold();
  bool GetHeldRange(int& cpMin, int& cpMax) const;

  // Undo: one group per command; EndUndoGroup closes it. An edit that changed
  // nothing is no step.
  void BeginUndoGroup();
  void EndUndoGroup();
  bool CanUndo() const { return !undo_.empty(); }
  bool Undo();
  void EmptyUndoBuffer() { undo_.clear(); undoBytes_ = 0; }
  bool GetModify() const { return modified_; }
  void SetModify(bool m) { modified_ = m; }

  // RTF (EM_STREAMIN/EM_STREAMOUT). A whole stream-in resets undo and the modified
  // flag. False, with the control as it was, when memory ran out (or the allocation
  // hook refused) on the way.
  bool StreamInRtf(std::string_view rtf, bool selection);
  // The hook asked before the stream-in's large allocations; nullptr none.
  void SetAllocHook(AllocHook* hook) { hook_ = hook; }
  // Objects and pictures the last stream-in left out because its RTF ended inside them.
  int ObjectsLeftOut() const { return objectsLeftOut_; }
  std::string StreamOutRtf(bool selection) const;

  // Clipboard: text (CR LF lines) and RTF, and the picture (CF_DIB) of a selected
  // picture object; Paste takes the RTF when there is one, else the text, else a
  // packed DIB (CF_DIB), which becomes a static picture object.
  void Copy(Clipboard& clip) const;
  void Cut(Clipboard& clip);
  void Paste(const Clipboard& clip);

  // Objects. The RTF of the object when the selection is exactly one object, else
  // nullptr; SetSelectedObject replaces that RTF (false without one).
  const std::string* SelectedObject() const;
  bool SetSelectedObject(std::string rtf);
  // The RTF of the object that is character cp, nullptr when it is no object.
  const std::string* ObjectAt(int cp) const;

 private:
  struct Snapshot {
    std::string text;
    std::vector<uint16_t> fmt;
    std::vector<uint16_t> paras;
    std::vector<WideChar> wide;
    int selMin, selMax;
    int heldMin, heldMax;
  };
  uint16_t Intern(const CharFormat2& cf, int32_t object);
  void Reindex();
  // Whether a change should keep the text as it is now for undo (and marks the
  // control modified); PushUndo keeps it.
  bool WantsUndo(bool canUndo);
  void PushUndo(Snapshot&& s);
  // The text as it is now, for undo, when the next change would keep it (its group's
  // first change, or one outside any group); RecordChange keeps it when the change
  // changed something.
  std::optional<Snapshot> BeforeChange() const;
  void RecordChange(std::optional<Snapshot>&& before);
  // Whether the held range refuses a change of characters [cpMin, cpMax) (saying so).
  bool Refuses(int cpMin, int cpMax);
  void TakeBack();  // the last undo step's text comes back
  bool InsertFragment(const RichFragment& frag, bool canUndo, bool keepFragmentLastPara);
  void DeleteRange(int cpMin, int cpMax);

  std::string text_;
  std::vector<uint16_t> fmt_;        // per byte: index into formats_
  std::vector<uint16_t> para_;       // per paragraph: index into paraTable_
  std::vector<WideChar> wide_;       // the characters CP932 cannot write, by byte
  ParaFormatTable paraTable_;
  std::vector<int32_t> charStart_;   // per character: its first byte
  std::vector<int32_t> paraStart_;   // per paragraph: its first character
  struct StoredFormat {
    CharFormat2 cf;
    int32_t object = -1;
  };
  std::vector<StoredFormat> formats_;
  std::map<std::string, uint16_t> formatIndex_;
  std::vector<std::string> objects_;
  CharFormat2 defaultFormat_;
  CharFormat2 insertFormat_;
  int insertAt_ = -1;  // where the insertion format applies; -1 none
  int selMin_ = 0, selMax_ = 0;
  int heldMin_ = -1, heldMax_ = -1;  // -1: nothing held
  std::function<void()> onRefused_;
  CPoint scroll_;
  std::vector<Snapshot> undo_;
  size_t undoBytes_ = 0;
  int groupDepth_ = 0;
  bool groupSaved_ = false;
  bool groupRefused_ = false;  // the held range refused a part of the open group
  bool modified_ = false;
  AllocHook* hook_ = nullptr;
  int objectsLeftOut_ = 0;
};

// Writes a fragment of a control as RTF: colour 1 is always RGB(1,0,0); each
// paragraph opens with \pard and all its properties; the first run of a paragraph
// carries its whole format, later runs only what changed.
std::string WriteRtf(const RichFragment& frag, const CharFormat2& defaultFormat);

// A packed DIB (header, colours, rows) as the RTF of a static picture object of
// class StaticDib, sized at 96 DPI; "" when the header cannot be read.
std::string DibPictureObjectRtf(std::string_view packedDib);
// The class word of an object's RTF (\objclass), "" when it has none.
std::string ObjectClassOf(std::string_view objectRtf);
// The packed DIB (header, colours, rows) that an object's RTF shows as its picture
// (\dibitmap0 in hex), "" when it holds none.
std::string PictureObjectDib(std::string_view objectRtf);

}  // namespace plat
