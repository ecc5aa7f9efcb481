// The piece table of a Word file (where each run of its text lies in the main
// stream and whether it is 8- or 16-bit), and the pictures of its Data stream.
// Both read the stream image through the byte cursor; the piece arrays are filled up to
// their capacity and never past the image.
#include <algorithm>

#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "convert/office/OfficeArt.h"
#include "convert/office/cfb/RawImage.h"
#include "convert/office/doc/WordText.h"

int CQelDoc::ReadWordPieceTable(int start, int* cps, int* fcs, int generation, int capacity) {
  const ByteCursor img = RawImageOf(*this);
  int64_t p = start;
  if (p < 0 || !img.Inside(p)) return 0;
  if (img.PeekU8(p) != 2 || img.PeekU8(p + 1) == 0x80) p += generation == 7 ? 36 : 30;
  if (img.PeekU8(p) != 1 && img.PeekU8(p) != 2) p += generation == 7 ? 8 : 4;

  // Property entries (1) until the piece table (2).
  int64_t count = 0;
  for (int guard = 0; guard < 100000 && img.Inside(p); ++guard) {
    const uint8_t type = img.PeekU8(p);
    if (type == 1) {
      const int b = img.PeekU8(p + 1);
      p += b != 0 ? 1 + 2 + b : 7;
    } else if (type == 2) {
      if (img.PeekU8(p + 4) != 0) {
        p += 5 + 3;
        continue;
      }
      count = img.PeekU24LE(p + 1) / 12;
      p += 5;
      break;
    } else {
      return 0;
    }
  }
  if (count <= 0) return 0;
  const int n = static_cast<int>(std::min<int64_t>(count, capacity - 1));

  // n + 1 character positions, then the n descriptors (file offset at byte 2).
  for (int k = 0; k <= n; ++k) cps[k] = static_cast<int>(img.PeekU24LE(p + 4 * k));
  p += 4 * (count + 1);
  int pieces = 0;
  for (; pieces < n; ++pieces) {
    const int64_t d = p + 8 * static_cast<int64_t>(pieces);
    if (!img.Inside(d + 7)) break;
    fcs[pieces] = static_cast<int>(img.PeekU32LE(d + 2));
    if (fcs[pieces] == 0 || (img.PeekU8(d) == 0xFF && img.PeekU8(d + 1) == 0xFF)) break;
  }
  Convert().m_nRawPos = p;
  return pieces;
}

namespace {

// The picture whose data starts at from: at the first JPEG or PNG signature before
// searchEnd, else at from itself (kind 0); it lasts to recordEnd.
WordPicture PictureAt(const ByteCursor& img, int64_t from, int64_t searchEnd, int64_t recordEnd) {
  for (int64_t q = from; q + 4 <= searchEnd; ++q) {
    if (img.PeekU8(q) == 0xFF && img.PeekU8(q + 1) == 0xD8 && img.PeekU8(q + 2) == 0xFF) return {q, kBlipJpeg, recordEnd - q};
    if (img.PeekU8(q) == 0x89 && img.PeekU8(q + 1) == 0x50 && img.PeekU8(q + 2) == 0x4E && img.PeekU8(q + 3) == 0x47)
      return {q, kBlipPng, recordEnd - q};
  }
  return {from, 0, std::max<int64_t>(recordEnd - from, 0)};
}

}  // namespace

// Pictures of the Data stream: records stepped over by their lengths (a record
// padded to four bytes is found past its padding); a picture record (length,
// header length 0x44, mapping mode 0x64) is searched for the JPEG or PNG data it
// embeds.
int FindWordPictures(const ByteCursor& img, int64_t data, int64_t end, WordPicture* list, int capacity, int count) {
  constexpr uint16_t kPictureHeader = 0x44, kShapeMappingMode = 0x64;
  int64_t p = data;
  for (int guard = 0; guard < 100000 && p + 8 <= end && count < capacity; ++guard) {
    if ((img.PeekU8(p + 2) == 0x16 && img.PeekU8(p + 3) == 0x24) || (img.PeekU8(p + 2) == 0x6B && img.PeekU8(p + 3) == 0x64)) {
      const int step = img.PeekU16LE(p);
      if (step <= 0) break;
      p += step;
      continue;
    }
    // Writers pad the records to four bytes.
    const auto isPicture = [&](int64_t at) {
      return img.PeekU16LE(at + 4) == kPictureHeader && img.PeekU16LE(at + 6) == kShapeMappingMode;
    };
    for (int pad = 0; pad < 3 && !isPicture(p) && p % 4 != 0; ++pad) ++p;
    const uint32_t length = img.PeekU32LE(p);
    if (!isPicture(p) || length < kPictureHeader || length > 0x0FFFFFFF) break;
    const int64_t recordEnd = std::min<int64_t>(p + length, end);
    list[count++] = PictureAt(img, p + kPictureHeader, recordEnd, recordEnd);
    p += length;
  }
  return count;
}

int FindWordPagePictures(const ByteCursor& img, int64_t from, int64_t end, WordPicture* list, int capacity, int count) {
  constexpr int kPages = 900;
  constexpr int64_t kHeadBytes = 100;
  int64_t page = -1;
  for (int k = 0; k < kPages && from + 512 * int64_t{k} + 4 <= end; ++k) {
    const int64_t p = from + 512 * int64_t{k};
    const uint8_t b0 = img.PeekU8(p), b1 = img.PeekU8(p + 1), b2 = img.PeekU8(p + 2), b3 = img.PeekU8(p + 3);
    if (((b0 == 0x20 || b0 == 0x30 || b0 == 0x3A) && b1 == 0 && b2 == 0x31 && b3 == 0x90) ||
        (b0 == 0x35 && b1 == 0 && b2 == 0x12 && b3 == 0x30)) {
      page = p;
      break;
    }
  }
  if (page < 0 || img.PeekU32LE(page + 32) == 0) return count;
  // A page that holds the bytes 1E F0 near its start holds one picture.
  bool single = false;
  for (int64_t q = page; q + 1 < page + kHeadBytes && !single; ++q) single = img.PeekU8(q) == 0x1E && img.PeekU8(q + 1) == 0xF0;
  for (int64_t r = page + 32; r + 4 <= end && count < capacity;) {
    const uint32_t length = img.PeekU32LE(r);
    if (length < 1 || length > 0x0FFFFFFF) break;
    const int64_t recordEnd = std::min<int64_t>(r + length, end);
    int64_t ff = -1;
    for (int64_t q = r; q < std::min(r + kHeadBytes, recordEnd) && ff < 0; ++q)
      if (img.PeekU8(q) == 0xFF) ff = q;
    if (ff < 0) break;
    list[count++] = PictureAt(img, ff, std::min(ff + kHeadBytes, recordEnd), recordEnd);
    if (single) break;
    r += length;
  }
  return count;
}
