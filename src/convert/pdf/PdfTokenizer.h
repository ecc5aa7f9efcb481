// The scanners the PDF walk uses on the raw bytes with the one shared cursor:
// object references (forward, backward, the number before "obj"), integers after a
// dictionary key, resource names, lists of references and the reference stack that
// drives the depth-first walk of the page tree. Every window is bounded; nothing
// allocates per call.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "convert/pdf/PdfScan.h"
#include "convert/pdf/PdfValueReaders.h"

constexpr int kPdfMaxObjects = 49152;   // object numbers 1 to 49,151 are usable
constexpr int kPdfStackSize = 2000;     // reference stack and reference lists
constexpr int kPdfResourceCodes = 18000;

// The depth-first reference stack: resume positions and keys; entry 0 is unused.
struct PdfRefStack {
  std::array<int64_t, kPdfStackSize> positions{};
  std::array<int, kPdfStackSize> keys{};
  int top = 0;
};

// The modes of PdfNextToken: what it reads at or around the position.
enum PdfTokenMode : int {
  kPdfObjectNumber = 0,  // the object number ending at pos, any byte after it
  kPdfKeyValue = 1,      // the integer after the key at pos (so every mode not named here)
  kPdfStrictObject = 7,  // the object number ending at pos, strictly followed by a space
  kPdfPrevRef = 8,       // the previous reference, backward; the cursor before its number
  kPdfNextRef = 9,       // the next reference forward (-9 an array, -99 an inline dictionary)
};

class PdfTokenizer {
 public:
  PdfTokenizer(const ByteCursor& bytes, int64_t& cursor) : b_(bytes), pos_(cursor) {}

  // One reference or integer at or around pos by mode (PdfTokenMode). -1: malformed
  // or out of range.
  int PdfNextToken(int64_t pos, int mode);
  // A resource name after a slash at pos through PdfReadValue; 0 for codes above 18,000.
  int PdfReadResourceName(int64_t pos, int kind, PdfPrefixes& prefixes);
  // The reference or array of references at the cursor: list[0] the count, then the
  // numbers. Returns the first number (0 or below for none).
  int PdfReadRefList(std::vector<int>& list);
  // Pushes the objects the value at the cursor refers to and moves the cursor to the
  // first of them. kind 1 or 2 an array (2 refuses a list of names), 0 a single
  // reference. Returns the new top, or 0 / -1 when nothing was pushed.
  int PdfPushRefs(PdfRefStack& stack, const std::vector<int64_t>& offsets, int key, int kind, int limit);

  int64_t& Cursor() { return pos_; }

 private:
  int ReadBackward(int64_t start, int mode);
  int ReadForward(int64_t at, int mode) const;
  // The first `close` byte (']' or '>') at or after `from`, or a position at or past
  // `end` when none lies before it. A stretch an earlier search found free of the
  // byte is not read again: many openings before one distant close (or none) cost
  // their window once, not once each.
  int64_t FindClose(uint8_t close, int64_t from, int64_t end);

  // What a search learned: [from, upTo) of these bytes holds no close byte.
  struct CloseSearch {
    const uint8_t* data = nullptr;
    int64_t size = -1, from = 0, upTo = 0;
  };

  const ByteCursor& b_;
  int64_t& pos_;
  std::array<CloseSearch, 2> closeSearches_{};  // ']' and '>'
};
