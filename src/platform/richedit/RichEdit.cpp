// The rich-edit control's text, selection, formats and undo. The text is kept as CP932
// bytes with a format index per byte and a paragraph format index per paragraph (the
// formats themselves stored once each), and the characters CP932 cannot write as a
// short list of (byte, Unicode value) that moves with the text; character and
// paragraph starts are indexed after every change, so positions map to bytes in O(1)
// and to lines in O(log n).
// An insertion builds the new text beside the old one and swaps it in, so running
// out of memory on the way leaves the control as it was.
#include "platform/richedit/RichEdit.h"

#include <algorithm>

#include "platform/richedit/RichFormatKey.h"
#include "platform/richedit/RichReserve.h"
#include "platform/text/CodePage.h"

namespace plat {

namespace {

constexpr size_t kMaxUndoGroups = 100;
constexpr size_t kMaxUndoBytes = size_t{64} << 20;
constexpr uint16_t kMaxFormats = 65000;

// "ＭＳ ゴシック" in CP932.
const char kDefaultFace[] = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

// Paragraph ends become CR; an object mark that did not come from RTF becomes a blank.
std::string NormalizeInsert(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += '\r';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += '\r';
    } else if (c == kObjectChar) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

void ApplyCharFormat(const CharFormat2& cf, CharFormat2& to) {
  auto effect = [&](uint32_t maskBit, uint32_t effectBit) {
    if (cf.dwMask & maskBit) to.dwEffects = (to.dwEffects & ~effectBit) | (cf.dwEffects & effectBit);
  };
  effect(CFM_BOLD, CFE_BOLD);
  effect(CFM_ITALIC, CFE_ITALIC);
  effect(CFM_STRIKEOUT, CFE_STRIKEOUT);
  if (cf.dwMask & CFM_UNDERLINETYPE) {
    to.bUnderlineType = cf.bUnderlineType;
    to.dwEffects = (to.dwEffects & ~CFE_UNDERLINE) | (cf.bUnderlineType != 0 ? CFE_UNDERLINE : 0);
  } else if (cf.dwMask & CFM_UNDERLINE) {
    const bool on = (cf.dwEffects & CFE_UNDERLINE) != 0;
    to.dwEffects = (to.dwEffects & ~CFE_UNDERLINE) | (on ? CFE_UNDERLINE : 0);
    to.bUnderlineType = on ? (to.bUnderlineType != 0 ? to.bUnderlineType : CFU_UNDERLINE) : CFU_UNDERLINENONE;
  }
  if (cf.dwMask & CFM_COLOR) {
    to.crTextColor = cf.crTextColor;
    to.dwEffects = (to.dwEffects & ~CFE_AUTOCOLOR) | (cf.dwEffects & CFE_AUTOCOLOR);
  }
  if (cf.dwMask & CFM_BACKCOLOR) {
    to.crBackColor = cf.crBackColor;
    to.dwEffects = (to.dwEffects & ~CFE_AUTOBACKCOLOR) | (cf.dwEffects & CFE_AUTOBACKCOLOR);
  }
  if (cf.dwMask & CFM_SIZE) to.yHeight = std::clamp(cf.yHeight, 1, 32767);
  if (cf.dwMask & CFM_OFFSET) to.yOffset = std::clamp(cf.yOffset, -32767, 32767);
  if (cf.dwMask & CFM_FACE) to.szFaceName = cf.szFaceName.substr(0, 31);
  if (cf.dwMask & CFM_CHARSET) to.bCharSet = cf.bCharSet;
  to.dwMask = CFM_ALL2;
}

// Clears the mask bits of what differs between two formats (a mixed selection).
uint32_t SameMask(const CharFormat2& a, const CharFormat2& b) {
  uint32_t mask = CFM_ALL2;
  const uint32_t diff = a.dwEffects ^ b.dwEffects;
  if (diff & CFE_BOLD) mask &= ~CFM_BOLD;
  if (diff & CFE_ITALIC) mask &= ~CFM_ITALIC;
  if (diff & CFE_STRIKEOUT) mask &= ~CFM_STRIKEOUT;
  if ((diff & CFE_UNDERLINE) || a.bUnderlineType != b.bUnderlineType) mask &= ~(CFM_UNDERLINE | CFM_UNDERLINETYPE);
  if ((diff & CFE_AUTOCOLOR) || a.crTextColor != b.crTextColor) mask &= ~CFM_COLOR;
  if ((diff & CFE_AUTOBACKCOLOR) || a.crBackColor != b.crBackColor) mask &= ~CFM_BACKCOLOR;
  if (a.yHeight != b.yHeight) mask &= ~CFM_SIZE;
  if (a.yOffset != b.yOffset) mask &= ~CFM_OFFSET;
  if (a.szFaceName != b.szFaceName) mask &= ~CFM_FACE;
  if (a.bCharSet != b.bCharSet) mask &= ~CFM_CHARSET;
  return mask;
}

void SortTabs(ParaFormat2& pf) {
  const int n = std::clamp<int>(pf.cTabCount, 0, kMaxTabStops);
  std::sort(pf.rgxTabs.begin(), pf.rgxTabs.begin() + n);
  const int unique = static_cast<int>(std::unique(pf.rgxTabs.begin(), pf.rgxTabs.begin() + n) - pf.rgxTabs.begin());
  std::fill(pf.rgxTabs.begin() + unique, pf.rgxTabs.end(), 0);
  pf.cTabCount = static_cast<int16_t>(unique);
}

constexpr size_t kMaxParaFormats = 65000;

// The kept characters of a text whose bytes [b0, b1) became `inserted` bytes: those
// before b0, the inserted ones (their bytes counted from 0) and those from b1 on, moved.
std::vector<WideChar> SpliceWide(const std::vector<WideChar>& old, size_t b0, size_t b1,
                                 const std::vector<WideChar>& inserted, size_t insertedBytes, AllocHook* hook) {
  const auto before = std::lower_bound(old.begin(), old.end(), static_cast<int32_t>(b0),
                                       [](const WideChar& w, int32_t b) { return w.byte < b; });
  const auto after = std::lower_bound(before, old.end(), static_cast<int32_t>(b1),
                                      [](const WideChar& w, int32_t b) { return w.byte < b; });
  std::vector<WideChar> wide;
  ReserveExactly(wide, static_cast<size_t>((before - old.begin()) + (old.end() - after)) + inserted.size(), hook);
  wide.insert(wide.end(), old.begin(), before);
  for (const WideChar& w : inserted) {
    if (w.byte >= 0 && static_cast<size_t>(w.byte) < insertedBytes) wide.push_back({static_cast<int32_t>(b0) + w.byte, w.code});
  }
  const auto shift = static_cast<int64_t>(b0 + insertedBytes) - static_cast<int64_t>(b1);
  for (auto it = after; it != old.end(); ++it) wide.push_back({static_cast<int32_t>(it->byte + shift), it->code});
  return wide;
}

// What an undo step holds, as counted against the undo volume.
size_t SnapshotBytes(const std::string& text, const std::vector<uint16_t>& paras, const std::vector<WideChar>& wide) {
  return text.size() * 3 + paras.size() * sizeof(uint16_t) + wide.size() * sizeof(WideChar);
}

// Character and paragraph starts of a text, in buffers reserved under the hook.
void IndexText(const std::string& text, std::vector<int32_t>& chars, std::vector<int32_t>& paras, AllocHook* hook) {
  chars.clear();
  paras.clear();
  const size_t n = text.size();
  const auto crs = static_cast<size_t>(std::count(text.begin(), text.end(), '\r'));
  ReserveExactly(chars, n, hook);
  ReserveExactly(paras, crs + 1, hook);
  paras.push_back(0);
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    chars.push_back(static_cast<int32_t>(i));
    if (IsRichLead(c) && i + 1 < n && IsRichTrail(static_cast<unsigned char>(text[i + 1]))) {
      ++i;
    } else if (c == '\r') {
      paras.push_back(static_cast<int32_t>(chars.size()));
    }
  }
}

}  // namespace

ParaFormatTable::ParaFormatTable() {
  formats_.emplace_back();
  index_.emplace(formats_[0], 0);
}

size_t ParaFormatTable::Hash::operator()(const ParaFormat2& pf) const {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](int64_t v) { h = (h ^ static_cast<uint64_t>(v)) * 1099511628211ull; };
  mix(pf.dwMask);
  mix(pf.dxStartIndent);
  mix(pf.cTabCount);
  for (int i = 0; i < pf.cTabCount && i < kMaxTabStops; ++i) mix(pf.rgxTabs[static_cast<size_t>(i)]);
  mix(pf.dySpaceBefore);
  mix(pf.dySpaceAfter);
  mix(pf.dyLineSpacing);
  mix(pf.bLineSpacingRule);
  return static_cast<size_t>(h);
}

uint16_t ParaFormatTable::Intern(ParaFormat2 pf) {
  SortTabs(pf);
  if (formats_[last_] == pf) return last_;
  if (auto it = index_.find(pf); it != index_.end()) return last_ = it->second;
  if (formats_.size() >= kMaxParaFormats) return 0;  // a table this full keeps the default
  const auto index = static_cast<uint16_t>(formats_.size());
  formats_.push_back(pf);
  index_.emplace(pf, index);
  return last_ = index;
}

RichEdit::RichEdit() {
  defaultFormat_.szFaceName = kDefaultFace;
  insertFormat_ = defaultFormat_;
  formats_.push_back({defaultFormat_, -1});
  formatIndex_[RichFormatKey(defaultFormat_, -1)] = 0;
  para_.assign(1, 0);
  undo_.reserve(kMaxUndoGroups + 1);
  Reindex();
}

uint16_t RichEdit::Intern(const CharFormat2& cf, int32_t object) {
  const std::string key = RichFormatKey(cf, object);
  if (auto it = formatIndex_.find(key); it != formatIndex_.end()) return it->second;
  if (formats_.size() >= kMaxFormats) return 0;  // a table this full keeps the default
  const auto index = static_cast<uint16_t>(formats_.size());
  formats_.push_back({cf, object});
  formatIndex_.emplace(key, index);
  return index;
}

void RichEdit::Reindex() {
  IndexText(text_, charStart_, paraStart_, nullptr);
  // Every paragraph has its format; a lost one takes the default.
  para_.resize(paraStart_.size(), 0);
  selMin_ = std::clamp(selMin_, 0, GetTextLength());
  selMax_ = std::clamp(selMax_, selMin_, GetTextLength());
}

int RichEdit::ByteFromChar(int cp) const {
  if (cp <= 0) return 0;
  if (cp >= GetTextLength()) return static_cast<int>(text_.size());
  return charStart_[static_cast<size_t>(cp)];
}

int RichEdit::CharFromByte(int byte) const {
  if (byte <= 0) return 0;
  if (byte >= static_cast<int>(text_.size())) return GetTextLength();
  const auto it = std::upper_bound(charStart_.begin(), charStart_.end(), byte);
  return static_cast<int>(it - charStart_.begin()) - 1;
}

void RichEdit::SetText(std::string_view text) {
  std::string normal = NormalizeInsert(text);
  if (normal != text_) ReleaseHold();  // the same text again (a refresh) keeps it
  text_ = std::move(normal);
  fmt_.assign(text_.size(), Intern(defaultFormat_, -1));
  para_.assign(1, 0);
  selMin_ = selMax_ = 0;
  insertAt_ = -1;
  scroll_ = CPoint{};
  Reindex();
  wide_.clear();
  EmptyUndoBuffer();
  modified_ = false;
}

char32_t RichEdit::UnicodeAt(int cp) const {
  if (cp < 0 || cp >= GetTextLength()) return 0;
  const int32_t byte = ByteFromChar(cp);
  const auto it = std::lower_bound(wide_.begin(), wide_.end(), byte, [](const WideChar& w, int32_t b) { return w.byte < b; });
  if (it != wide_.end() && it->byte == byte) return it->code;
  const auto lead = static_cast<unsigned char>(text_[static_cast<size_t>(byte)]);
  const int next = cp + 1 < GetTextLength() ? ByteFromChar(cp + 1) : static_cast<int>(text_.size());
  const uint16_t code = next - byte == 2 ? static_cast<uint16_t>(lead << 8 | static_cast<unsigned char>(text_[static_cast<size_t>(byte) + 1])) : lead;
  return Cp932CodeToUnicode(code);
}

bool RichEdit::IsWideAt(int cp) const {
  if (cp < 0 || cp >= GetTextLength()) return false;
  const int32_t byte = ByteFromChar(cp);
  const auto it = std::lower_bound(wide_.begin(), wide_.end(), byte, [](const WideChar& w, int32_t b) { return w.byte < b; });
  return it != wide_.end() && it->byte == byte;
}

void RichEdit::ReplaceSelWide(std::string_view standIn, char32_t code, bool canUndo) {
  const int32_t byte = ByteFromChar(selMin_);
  if (!ReplaceSel(standIn, canUndo)) return;
  if (standIn.empty() || code < 0x80 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return;
  const auto it = std::lower_bound(wide_.begin(), wide_.end(), byte, [](const WideChar& w, int32_t b) { return w.byte < b; });
  if (it != wide_.end() && it->byte == byte) {
    it->code = code;
  } else {
    wide_.insert(it, WideChar{byte, code});
  }
}

void RichEdit::ExSetSel(int cpMin, int cpMax) {
  const int n = GetTextLength();
  if (cpMin < 0) {
    selMin_ = selMax_ = std::clamp(cpMax < 0 ? n : cpMax, 0, n);
    return;
  }
  if (cpMax < 0) cpMax = n;
  cpMin = std::clamp(cpMin, 0, n);
  cpMax = std::clamp(cpMax, 0, n);
  selMin_ = std::min(cpMin, cpMax);
  selMax_ = std::max(cpMin, cpMax);
}

void RichEdit::ExGetSel(int& cpMin, int& cpMax) const {
  cpMin = selMin_;
  cpMax = selMax_;
}

std::string RichEdit::GetTextRange(int cpMin, int cpMax) const {
  const int n = GetTextLength();
  cpMin = std::clamp(cpMin, 0, n);
  cpMax = cpMax < 0 ? n : std::clamp(cpMax, 0, n);
  if (cpMax <= cpMin) return {};
  const int a = ByteFromChar(cpMin);
  const int b = ByteFromChar(cpMax);
  return text_.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
}

std::string RichEdit::GetSelText() const { return GetTextRange(selMin_, selMax_); }

int RichEdit::ExLineFromChar(int cp) const {
  cp = std::clamp(cp, 0, GetTextLength());
  return static_cast<int>(std::upper_bound(paraStart_.begin(), paraStart_.end(), cp) - paraStart_.begin()) - 1;
}

int RichEdit::LineIndex(int line) const {
  if (line == -1) line = ExLineFromChar(selMax_);
  return line >= 0 && line < GetLineCount() ? paraStart_[static_cast<size_t>(line)] : -1;
}

int RichEdit::LineLength(int cp) const {
  const auto lineStart = [this](int line) { return paraStart_[static_cast<size_t>(line)]; };
  const auto lineEnd = [this](int line) {
    return line + 1 < GetLineCount() ? paraStart_[static_cast<size_t>(line) + 1] - 1 : GetTextLength();
  };
  if (cp < 0 && selMax_ > selMin_) {
    // The unselected characters of the lines that hold selected ones: those before
    // the selection on its first line and those after it on the line of its last
    // character (none when the selection takes that line's CR).
    const int first = ExLineFromChar(selMin_);
    const int last = ExLineFromChar(selMax_ - 1);
    return (selMin_ - lineStart(first)) + std::max(lineEnd(last) - selMax_, 0);
  }
  const int line = ExLineFromChar(cp < 0 ? selMax_ : cp);
  return lineEnd(line) - lineStart(line);
}

std::string RichEdit::GetLine(int line) const {
  if (line < 0 || line >= GetLineCount()) return {};
  const int start = paraStart_[static_cast<size_t>(line)];
  const int end = line + 1 < GetLineCount() ? paraStart_[static_cast<size_t>(line) + 1] : GetTextLength();
  return GetTextRange(start, end);
}

const CharFormat2& RichEdit::FormatAt(int cp) const {
  if (cp < 0 || cp >= GetTextLength()) return defaultFormat_;
  return formats_[fmt_[static_cast<size_t>(ByteFromChar(cp))]].cf;
}

bool RichEdit::WantsUndo(bool canUndo) {
  modified_ = true;
  if (!canUndo) {
    EmptyUndoBuffer();
    return false;
  }
  if (groupDepth_ > 0 && groupSaved_) return false;
  if (groupDepth_ > 0) groupSaved_ = true;
  return true;
}

void RichEdit::PushUndo(Snapshot&& s) {
  undoBytes_ += SnapshotBytes(s.text, s.paras, s.wide);
  undo_.push_back(std::move(s));
  while (!undo_.empty() && (undo_.size() > kMaxUndoGroups || (undoBytes_ > kMaxUndoBytes && undo_.size() > 1))) {
    undoBytes_ -= SnapshotBytes(undo_.front().text, undo_.front().paras, undo_.front().wide);
    undo_.erase(undo_.begin());
  }
}

std::optional<RichEdit::Snapshot> RichEdit::BeforeChange() const {
  if (groupDepth_ > 0 && groupSaved_) return std::nullopt;
  return Snapshot{text_, fmt_, para_, wide_, selMin_, selMax_, heldMin_, heldMax_};
}

void RichEdit::RecordChange(std::optional<Snapshot>&& before) {
  if (!before) {
    modified_ = true;  // the group's step is kept already
    return;
  }
  if (before->text == text_ && before->fmt == fmt_ && before->paras == para_ && before->wide == wide_) return;
  if (WantsUndo(true)) PushUndo(std::move(*before));
}

void RichEdit::HoldRange(int cpMin, int cpMax, std::function<void()> onRefused) {
  heldMin_ = std::clamp(std::min(cpMin, cpMax), 0, GetTextLength());
  heldMax_ = std::clamp(std::max(cpMin, cpMax), heldMin_, GetTextLength());
  onRefused_ = std::move(onRefused);
}

void RichEdit::ReleaseHold() {
  heldMin_ = heldMax_ = -1;
  onRefused_ = nullptr;
}

bool RichEdit::GetHeldRange(int& cpMin, int& cpMax) const {
  cpMin = heldMin_;
  cpMax = heldMax_;
  return heldMin_ >= 0;
}

bool RichEdit::Refuses(int cpMin, int cpMax) {
  if (heldMin_ < 0 || cpMin >= heldMax_ || cpMax <= heldMin_) return false;
  if (groupDepth_ > 0) groupRefused_ = true;
  if (onRefused_) onRefused_();
  return true;
}

void RichEdit::BeginUndoGroup() {
  if (groupDepth_++ == 0) groupSaved_ = groupRefused_ = false;
}

void RichEdit::EndUndoGroup() {
  if (groupDepth_ == 0 || --groupDepth_ > 0 || !groupRefused_) return;
  // A command is one group: when the held range refused a part of it, the parts
  // already made are taken back too, so that no half of it stays.
  groupRefused_ = false;
  if (groupSaved_ && !undo_.empty()) TakeBack();
}

bool RichEdit::Undo() {
  if (undo_.empty()) return false;
  if (heldMin_ >= 0 && undo_.back().heldMin < 0) {
    // The step is older than the held range: taking it back would change that text.
    if (onRefused_) onRefused_();
    return false;
  }
  TakeBack();
  return true;
}

void RichEdit::TakeBack() {
  Snapshot s = std::move(undo_.back());
  undo_.pop_back();
  undoBytes_ -= SnapshotBytes(s.text, s.paras, s.wide);
  text_ = std::move(s.text);
  fmt_ = std::move(s.fmt);
  para_ = std::move(s.paras);
  wide_ = std::move(s.wide);
  selMin_ = s.selMin;
  selMax_ = s.selMax;
  if (heldMin_ >= 0) {
    heldMin_ = s.heldMin;
    heldMax_ = s.heldMax;
  }
  insertAt_ = -1;
  Reindex();
}

void RichEdit::DeleteRange(int cpMin, int cpMax) {
  if (cpMax <= cpMin) return;
  const int b0 = ByteFromChar(cpMin);
  const int b1 = ByteFromChar(cpMax);
  const int firstLine = ExLineFromChar(cpMin);
  const auto crs = std::count(text_.begin() + b0, text_.begin() + b1, '\r');
  // The merged paragraph keeps the format of the CR that remains.
  para_.erase(para_.begin() + firstLine, para_.begin() + firstLine + crs);
  wide_ = SpliceWide(wide_, static_cast<size_t>(b0), static_cast<size_t>(b1), {}, 0, nullptr);
  text_.erase(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0));
  fmt_.erase(fmt_.begin() + b0, fmt_.begin() + b1);
}

bool RichEdit::InsertFragment(const RichFragment& frag, bool canUndo, bool wholeText) {
  if (wholeText) {
    if (frag.text != text_) ReleaseHold();
  } else if (Refuses(selMin_, selMax_)) {
    return false;
  }
  // The fragment's formats and objects become the control's (interning only adds
  // table entries, harmless when what follows fails).
  std::vector<uint16_t> charMap(frag.formats.size());
  for (size_t f = 0; f < frag.formats.size(); ++f) charMap[f] = Intern(frag.formats[f], -1);
  std::vector<uint16_t> paraMap(frag.paraFormats.size());
  for (size_t f = 0; f < paraMap.size(); ++f) paraMap[f] = paraTable_.Intern(frag.paraFormats[f]);

  // The replaced range: the selection, or everything.
  const int cpMin = wholeText ? 0 : selMin_;
  const int cpMax = wholeText ? GetTextLength() : selMax_;
  const auto b0 = static_cast<size_t>(ByteFromChar(cpMin));
  const auto b1 = static_cast<size_t>(ByteFromChar(cpMax));
  const auto line0 = static_cast<size_t>(ExLineFromChar(cpMin));
  const auto line1 = static_cast<size_t>(ExLineFromChar(cpMax));
  const size_t n = frag.text.size();

  // The new text, formats and paragraphs beside the old ones.
  std::string text;
  ReserveExactly(text, b0 + n + (text_.size() - b1), hook_);
  text.append(text_, 0, b0).append(frag.text).append(text_, b1, std::string::npos);
  std::vector<uint16_t> fmt;
  ReserveExactly(fmt, text.size(), hook_);
  fmt.insert(fmt.end(), fmt_.begin(), fmt_.begin() + static_cast<ptrdiff_t>(b0));
  size_t object = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint16_t f = i < frag.formatOfByte.size() ? frag.formatOfByte[i] : 0;
    const CharFormat2& cf = f < frag.formats.size() ? frag.formats[f] : defaultFormat_;
    if (frag.text[i] == kObjectChar && object < frag.objects.size()) {
      objects_.push_back(frag.objects[object++]);
      fmt.push_back(Intern(cf, static_cast<int32_t>(objects_.size() - 1)));
    } else {
      fmt.push_back(f < charMap.size() ? charMap[f] : Intern(cf, -1));
    }
  }
  fmt.insert(fmt.end(), fmt_.begin() + static_cast<ptrdiff_t>(b1), fmt_.end());
  // Paragraphs before the range, the fragment's (one per CR), then the paragraph the
  // range ended in (for a whole text, the fragment's last).
  const auto crs = static_cast<size_t>(std::count(frag.text.begin(), frag.text.end(), '\r'));
  std::vector<uint16_t> paras;
  ReserveExactly(paras, line0 + crs + (para_.size() - line1), hook_);
  paras.insert(paras.end(), para_.begin(), para_.begin() + static_cast<ptrdiff_t>(line0));
  uint16_t merged = para_[line1];
  if (wholeText) merged = crs < frag.ParaCount() ? paraMap[frag.paraOfLine[crs]] : 0;
  for (size_t i = 0; i < crs; ++i) paras.push_back(i < frag.ParaCount() ? paraMap[frag.paraOfLine[i]] : merged);
  paras.push_back(merged);
  paras.insert(paras.end(), para_.begin() + static_cast<ptrdiff_t>(line1) + 1, para_.end());
  std::vector<WideChar> wide = SpliceWide(wide_, b0, b1, frag.wide, n, hook_);
  std::vector<int32_t> chars, starts;
  IndexText(text, chars, starts, hook_);

  // An edit that changed nothing (Delete at the text's end) is no step and no change.
  if (canUndo && text == text_ && fmt == fmt_ && paras == para_ && wide == wide_) {
    selMin_ = selMax_ = CharFromByte(static_cast<int>(b0 + n));
    insertAt_ = -1;
    return true;
  }
  // Nothing fails from here: the old text goes to the undo list or away.
  const int lengthBefore = GetTextLength();
  Snapshot old{std::move(text_), std::move(fmt_), std::move(para_), std::move(wide_), selMin_, selMax_, heldMin_, heldMax_};
  text_ = std::move(text);
  fmt_ = std::move(fmt);
  para_ = std::move(paras);
  wide_ = std::move(wide);
  charStart_.swap(chars);
  paraStart_.swap(starts);
  if (WantsUndo(canUndo)) PushUndo(std::move(old));
  if (heldMin_ >= 0 && cpMax <= heldMin_) {
    // An edit before the held range moves it.
    heldMin_ += GetTextLength() - lengthBefore;
    heldMax_ += GetTextLength() - lengthBefore;
  }
  selMin_ = selMax_ = CharFromByte(static_cast<int>(b0 + n));
  insertAt_ = -1;
  return true;
}

bool RichEdit::ReplaceSel(std::string_view text, bool canUndo) {
  CharFormat2 cf;
  if (insertAt_ == selMin_ && selMin_ == selMax_) {
    cf = insertFormat_;
  } else if (selMax_ > selMin_) {
    cf = FormatAt(selMin_);
  } else if (selMin_ > 0) {
    cf = FormatAt(selMin_ - 1);
  } else {
    cf = FormatAt(0);
  }
  RichFragment frag;
  frag.text = NormalizeInsert(text);
  frag.formats.push_back(cf);
  frag.formatOfByte.assign(frag.text.size(), 0);
  return InsertFragment(frag, canUndo, false);
}

CharFormat2 RichEdit::GetCharFormat(bool selection) const {
  if (!selection) return defaultFormat_;
  if (selMin_ == selMax_) {
    if (insertAt_ == selMin_) return insertFormat_;
    return FormatAt(selMin_ > 0 ? selMin_ - 1 : 0);
  }
  const int b0 = ByteFromChar(selMin_);
  const int b1 = ByteFromChar(selMax_);
  CharFormat2 first = formats_[fmt_[static_cast<size_t>(b0)]].cf;
  uint32_t mask = CFM_ALL2;
  uint16_t last = fmt_[static_cast<size_t>(b0)];
  for (int i = b0 + 1; i < b1; ++i) {
    const uint16_t f = fmt_[static_cast<size_t>(i)];
    if (f == last) continue;
    last = f;
    mask &= SameMask(first, formats_[f].cf);
  }
  first.dwMask = mask;
  return first;
}

void RichEdit::SetCharFormat(const CharFormat2& cf, bool selection, bool all) {
  if (!all && selection && selMin_ == selMax_) {
    insertFormat_ = GetCharFormat(true);
    ApplyCharFormat(cf, insertFormat_);
    insertAt_ = selMin_;
    return;
  }
  if (!all && !selection) {
    ApplyCharFormat(cf, defaultFormat_);
    return;
  }
  if (all ? Refuses(0, GetTextLength()) : Refuses(selMin_, selMax_)) return;
  std::optional<Snapshot> before = BeforeChange();
  const int b0 = all ? 0 : ByteFromChar(selMin_);
  const int b1 = all ? static_cast<int>(text_.size()) : ByteFromChar(selMax_);
  if (all) ApplyCharFormat(cf, defaultFormat_);
  std::map<uint16_t, uint16_t> changed;
  for (int i = b0; i < b1; ++i) {
    uint16_t& f = fmt_[static_cast<size_t>(i)];
    auto it = changed.find(f);
    if (it == changed.end()) {
      CharFormat2 to = formats_[f].cf;
      ApplyCharFormat(cf, to);
      it = changed.emplace(f, Intern(to, formats_[f].object)).first;
    }
    f = it->second;
  }
  RecordChange(std::move(before));
}

ParaFormat2 RichEdit::GetParaFormat() const {
  const int first = ExLineFromChar(selMin_);
  const int last = ExLineFromChar(selMax_);
  ParaFormat2 pf = ParaOfLine(first);
  uint32_t mask = PFM_ALL2;
  for (int line = first + 1; line <= last; ++line) {
    if (para_[static_cast<size_t>(line)] == para_[static_cast<size_t>(first)]) continue;
    const ParaFormat2& o = ParaOfLine(line);
    if (o.dxStartIndent != pf.dxStartIndent) mask &= ~PFM_STARTINDENT;
    if (o.cTabCount != pf.cTabCount || o.rgxTabs != pf.rgxTabs) mask &= ~PFM_TABSTOPS;
    if (o.dySpaceBefore != pf.dySpaceBefore) mask &= ~PFM_SPACEBEFORE;
    if (o.dySpaceAfter != pf.dySpaceAfter) mask &= ~PFM_SPACEAFTER;
    if (o.dyLineSpacing != pf.dyLineSpacing || o.bLineSpacingRule != pf.bLineSpacingRule) mask &= ~PFM_LINESPACING;
  }
  pf.dwMask = mask;
  return pf;
}

void RichEdit::SetParaFormat(const ParaFormat2& pf) {
  const int first = ExLineFromChar(selMin_);
  const int last = ExLineFromChar(selMax_);
  const int end = last + 1 < GetLineCount() ? paraStart_[static_cast<size_t>(last) + 1] : GetTextLength() + 1;
  if (Refuses(paraStart_[static_cast<size_t>(first)], end)) return;
  std::optional<Snapshot> before = BeforeChange();
  std::map<uint16_t, uint16_t> changed;
  for (int line = first; line <= last; ++line) {
    uint16_t& index = para_[static_cast<size_t>(line)];
    if (auto it = changed.find(index); it != changed.end()) {
      index = it->second;
      continue;
    }
    ParaFormat2 to = paraTable_[index];
    if (pf.dwMask & PFM_STARTINDENT) to.dxStartIndent = std::clamp(pf.dxStartIndent, -31680, 31680);
    if (pf.dwMask & PFM_SPACEBEFORE) to.dySpaceBefore = std::clamp(pf.dySpaceBefore, 0, 31680);
    if (pf.dwMask & PFM_SPACEAFTER) to.dySpaceAfter = std::clamp(pf.dySpaceAfter, 0, 31680);
    if (pf.dwMask & PFM_LINESPACING) {
      to.bLineSpacingRule = pf.bLineSpacingRule <= kSpacingMultiple ? pf.bLineSpacingRule : kSpacingSingle;
      to.dyLineSpacing = std::clamp(pf.dyLineSpacing, 0, 31680);
    }
    if (pf.dwMask & PFM_TABSTOPS) {
      to.cTabCount = static_cast<int16_t>(std::clamp<int>(pf.cTabCount, 0, kMaxTabStops));
      to.rgxTabs = pf.rgxTabs;
      for (int i = 0; i < to.cTabCount; ++i) to.rgxTabs[static_cast<size_t>(i)] = std::clamp(to.rgxTabs[static_cast<size_t>(i)], 0, 31680);
    }
    const uint16_t now = paraTable_.Intern(to);
    changed.emplace(index, now);
    index = now;
  }
  RecordChange(std::move(before));
}

}  // namespace plat
