// The PDF scanners: references, integers and the reference stack.
#include "convert/pdf/PdfTokenizer.h"

#include <algorithm>
#include <cstring>
#include <span>

int PdfTokenizer::ReadForward(int64_t at, int mode) const {
  bool negative = false;
  if (b_.PeekU8(at) == '-') {
    negative = true;
    ++at;
  }
  if (!PdfIsDigit(b_.PeekU8(at))) return -1;
  int64_t value = 0;
  int n = 0;
  while (n < 7 && PdfIsDigit(b_.PeekU8(at))) {
    value = value * 10 + (b_.PeekU8(at) - '0');
    ++at;
    ++n;
  }
  if (b_.PeekU8(at) != ' ' && mode == kPdfStrictObject) return -1;
  if (value > 99999) return -1;
  return static_cast<int>(negative ? -value : value);
}

// Reads the object number of "N G" ending at start, backwards.
int PdfTokenizer::ReadBackward(int64_t start, int mode) {
  const int64_t floor = std::max<int64_t>(start - 50, 0);
  int64_t p = start;
  while (p > floor && PdfIsBlank(b_.PeekU8(p))) --p;
  while (p > floor && PdfIsDigit(b_.PeekU8(p))) --p;
  while (p > floor && PdfIsBlank(b_.PeekU8(p))) --p;
  while (p > floor && PdfIsDigit(b_.PeekU8(p))) --p;
  const int64_t first = PdfIsDigit(b_.PeekU8(p)) && p == floor ? p : p + 1;
  if (mode == kPdfPrevRef) pos_ = first - 1;  // on the byte before the number: the next read goes on from there
  if (b_.PeekU8(first - 1) == '-' && first > 0) return -1;  // "-5 0 R" names no object
  return ReadForward(first, mode);
}

int PdfTokenizer::PdfNextToken(int64_t pos, int mode) {
  if (pos < 0 || pos > b_.Size()) return 0;
  if (mode == kPdfNextRef) {
    int64_t p = pos;
    const int64_t end = std::min(pos + 50, b_.Size());
    bool found = false;
    for (; p < end; ++p) {
      const uint8_t c = b_.PeekU8(p), next = b_.PeekU8(p + 1);
      if (c == ' ' && next == 'R') {
        found = true;
        ++p;
        break;
      }
      if (c == '[') return -9;
      if (c == ']' || c == '/' || c == '<') break;
    }
    if (!found) {
      if (b_.PeekU8(p) == '<' && b_.PeekU8(p + 1) == '<') {
        pos_ = p + 2;
        return -99;
      }
      if (b_.PeekU8(p + 1) != 'R' || p >= end) return 0;
      ++p;
    }
    // p is on the 'R'; a reference ends with a delimiter after it.
    const uint8_t after = b_.PeekU8(p + 1);
    if (!(after < 0x21 || after == '/' || after == '>' || after == ']' || after == '[' || after == '<')) return 0;
    pos_ = p + 1;
    return ReadBackward(p - 1, kPdfObjectNumber);
  }
  if (mode == kPdfPrevRef) {
    // The previous reference: its 'R' (after a space) within 50 bytes back; the
    // list's opening '[' or '<' ends the search.
    const int64_t floor = std::max<int64_t>(pos - 50, 0);
    for (int64_t p = pos; p >= floor; --p) {
      const uint8_t c = b_.PeekU8(p);
      if (c == '[' || c == '<') return 0;
      if (c == 'R' && b_.PeekU8(p - 1) == ' ' && p >= 1) return ReadBackward(p - 1, kPdfPrevRef);
    }
    return 0;
  }
  if (mode == kPdfStrictObject || mode == kPdfObjectNumber) return ReadBackward(pos, mode);
  // The integer after a key.
  int64_t p = pos;
  const int64_t end = pos + 50;
  while (p < end && p < b_.Size() && !PdfIsBlank(b_.PeekU8(p))) ++p;
  while (p < end && p < b_.Size() && PdfIsBlank(b_.PeekU8(p))) ++p;
  return ReadForward(p, kPdfKeyValue);
}

int PdfTokenizer::PdfReadResourceName(int64_t pos, int kind, PdfPrefixes& prefixes) {
  int64_t p = pos;
  int k = kind;
  const int code = PdfReadValue(b_, &p, &k, kPdfNameAfterSlash, prefixes);
  if (kind == 1 || kind == 3) pos_ = p;
  return code > 0 && code <= kPdfResourceCodes ? code : 0;
}

int PdfTokenizer::PdfReadRefList(std::vector<int>& list) {
  list.assign(kPdfStackSize, 0);
  int64_t p = pos_;
  const int64_t end = p + 50;
  while (p < end && p < b_.Size() && PdfIsSkippable(b_.PeekU8(p))) ++p;
  const uint8_t c = b_.PeekU8(p);
  pos_ = p + 1;
  if (c == '[' || (c == '<' && b_.PeekU8(p + 1) == '<')) {
    int n = 0;
    while (n < kPdfStackSize - 2) {
      const int r = PdfNextToken(pos_, kPdfNextRef);
      list[n + 1] = r;
      if (r <= 0) break;
      ++n;
    }
    list[0] = n;
    return list[1];
  }
  list[1] = PdfNextToken(p, kPdfNextRef);
  list[0] = 1;
  return list[1];
}

int64_t PdfTokenizer::FindClose(uint8_t close, int64_t from, int64_t end) {
  CloseSearch& s = closeSearches_[close == ']' ? 0 : 1];
  if (s.data != b_.Data() || s.size != b_.Size() || from < s.from || from > s.upTo) {
    s = CloseSearch{b_.Data(), b_.Size(), from, from};
  }
  int64_t at = s.upTo;
  if (at < end) {
    const std::span<const uint8_t> window = b_.PeekBytes(at, end - at);
    const void* hit = window.empty() ? nullptr : std::memchr(window.data(), close, window.size());
    at = hit ? at + (static_cast<const uint8_t*>(hit) - window.data()) : end;
  }
  s.upTo = at;
  return at;
}

int PdfTokenizer::PdfPushRefs(PdfRefStack& stack, const std::vector<int64_t>& offsets, int key, int kind, int limit) {
  if (pos_ > b_.Size() || pos_ < 0) {
    pos_ = 0;
    return -1;
  }
  const uint8_t open = kind > 0 ? '[' : '<';
  const uint8_t close = kind > 0 ? ']' : '>';
  int64_t p = pos_;
  while (p < pos_ + 9 && p < b_.Size() && (b_.PeekU8(p) == ' ' || b_.PeekU8(p) < 0x1F || b_.PeekU8(p) >= 0x80)) ++p;
  if (b_.PeekU8(p) == open && p < pos_ + 9) {
    if (kind == 2) {
      int64_t q = p + 1;
      while (q < pos_ + 10 && (b_.PeekU8(q) == ' ' || b_.PeekU8(q) < 0x1F)) ++q;
      if (b_.PeekU8(q) == '/') return -1;
    }
    const int64_t end = std::min(pos_ + 24000, b_.Size());
    const int64_t closeAt = FindClose(close, p + 1, end);
    if (closeAt >= end) return stack.top;
    // The references read backward from the close byte with mode 8, each read
    // starting where the previous one ended, until the open byte; then put back in
    // their written order. The surplus beyond the stack's room is dropped from the
    // tail, so the first entries are always walked.
    std::vector<int> refs;
    pos_ = closeAt - 1;
    // A read that found no reference leaves the cursor where it was (object 0, as in
    // "0 0 R", is a reference too and does not end the list).
    for (int64_t before = closeAt; pos_ > p && pos_ < before;) {
      before = pos_;
      const int n = PdfNextToken(pos_, kPdfPrevRef);
      if (pos_ == before) break;
      if (n > 0 && n < limit && n < static_cast<int>(offsets.size()) && offsets[n] > 0) refs.push_back(n);
    }
    std::reverse(refs.begin(), refs.end());
    int top = stack.top;
    if (top + 1 < kPdfStackSize) {
      ++top;
      stack.positions[top] = closeAt + 1;
      stack.keys[top] = key;
    }
    const int room = kPdfStackSize - 1 - top;
    const int take = std::min(room, static_cast<int>(refs.size()));
    for (int i = take - 1; i >= 0; --i) {
      ++top;
      stack.positions[top] = offsets[refs[i]];
      stack.keys[top] = refs[i];
    }
    // Pop the first reference (or the resume point when there is none).
    pos_ = stack.positions[top];
    stack.positions[top] = 0;
    stack.keys[top] = 0;
    stack.top = top - 1;
    return stack.top;
  }
  const uint8_t c = b_.PeekU8(p);
  if (c == '<' || c == '/') return 0;
  const int64_t resume = pos_;
  const int n = PdfNextToken(p, kPdfNextRef);
  // An unknown object (offset 0) is never followed; nor is a jump made that could
  // not be resumed from.
  if (n <= 0 || n >= limit || n >= static_cast<int>(offsets.size()) || offsets[n] <= 0 ||
      stack.top + 1 >= kPdfStackSize) {
    pos_ = resume;
    return 0;
  }
  ++stack.top;
  stack.positions[stack.top] = pos_;
  stack.keys[stack.top] = key;
  pos_ = offsets[n];
  return stack.top;
}
